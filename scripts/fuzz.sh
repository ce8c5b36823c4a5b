#!/usr/bin/env bash
# fuzz.sh [FUZZ_BUILD_DIR]
# Builds the libFuzzer targets with clang (ASan + UBSan) in their own build
# folder and runs each of them for HW_FUZZ_SECONDS (default 60), HW_JOBS of
# them at a time (default: all cores).
# The seeds in fuzz/corpus/<target> are read only; what the runs find goes to
# the build folder. Any crash, leak, undefined behaviour or hang fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${1:-${HARNWICK_FUZZ_BUILD_DIR:-$root/build-fuzz}}"
seconds="${HW_FUZZ_SECONDS:-60}"

if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DHARNWICK_SANITIZE=address,undefined -DHARNWICK_FUZZ=ON
fi
cmake --build "$build" --target hw_fuzzers --parallel "${HW_JOBS:-$(nproc)}"

export LC_ALL=C.UTF-8
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
work="$build/fuzz-work"
mkdir -p "$work"
targets=()
for seeds in "$root"/fuzz/corpus/*/; do
  targets+=("$(basename "$seeds")")
done

# Each target runs in one process; at most HW_JOBS of them at a time.
run_one() {
  local t=$1 dict=()
  mkdir -p "$work/$t/corpus" "$work/$t/artifacts"
  [ "$t" = fuzz_curveblob ] || dict=(-dict="$root/fuzz/text.dict")
  if "$build/bin/$t" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
      "${dict[@]}" -artifact_prefix="$work/$t/artifacts/" "$work/$t/corpus" "$root/fuzz/corpus/$t" \
      > "$work/$t/log" 2>&1; then
    local runs
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$t/log" | grep -o '[0-9]*$' || true)
    echo "fuzz: $t passed (${runs:-?} inputs in ${seconds}s)"
  else
    {
      echo "fuzz: $t FAILED; log $work/$t/log"
      tail -n 60 "$work/$t/log"
      ls "$work/$t/artifacts"
    } >&2
    return 1
  fi
}

slots="${HW_JOBS:-$(nproc)}"
failed=0
running=0
for t in "${targets[@]}"; do
  if [ "$running" -ge "$slots" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run_one "$t" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit "$failed"
