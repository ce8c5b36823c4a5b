#!/usr/bin/env bash
# Installs what is missing, builds everything and starts the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build="${HARNWICK_BUILD_DIR:-$root/build}"
# A first-time user gets a synthetic demo project to open.
demo="$build/demo/demo.QELVA"
if [ ! -e "$demo" ] && [ -x "$build/bin/harnwick-projectgen" ]; then
  mkdir -p "$build/demo"
  echo "Writing a demo project:"
  "$build/bin/harnwick-projectgen" "$demo" || echo "Could not write the demo project." >&2
elif [ -e "$demo" ]; then
  echo "Demo project: $demo"
fi
# The program keeps history.ini in its working folder and reads the colour
# presets from "ColorScales" there, which the build puts beside it. On a first
# run the history points at the demo, so the first open dialog starts there.
if [ -e "$demo" ]; then
  "$root/scripts/seed-history.sh" "$build/bin/history.ini" "$demo" ||
    echo "Could not point the file history at the demo project." >&2
fi
cd "$build/bin"
exec "$build/bin/Harnwick" "$@"
