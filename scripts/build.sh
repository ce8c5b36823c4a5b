#!/usr/bin/env bash
# Configures (once) and builds everything into ./build with Ninja; extra
# arguments go to cmake --build (e.g. -- -k 0 to build all that can be built).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${HARNWICK_BUILD_DIR:-$root/build}"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --parallel "${HW_JOBS:-$(nproc)}" "$@"
