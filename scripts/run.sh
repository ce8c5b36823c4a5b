#!/usr/bin/env bash
# Installs what is missing, builds everything and starts the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build="${HARNWICK_BUILD_DIR:-$root/build}"
exec "$build/bin/Harnwick" "$@"
