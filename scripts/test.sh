#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test headless:
#   1. the suite on the normal build (./build);
#   2. the suite again on a build with AddressSanitizer and
#      UndefinedBehaviorSanitizer (./build-asan);
#   3. the libFuzzer targets for a bounded time each (./build-fuzz, clang);
#   4. the dependency check over all three builds.
# HW_TEST_QUICK=1 skips 2 and 3 (CI runs everything). HW_JOBS sets the
# build and test parallelism (default: all cores).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${HARNWICK_BUILD_DIR:-$root/build}"
asan="${HARNWICK_ASAN_BUILD_DIR:-$root/build-asan}"
fuzz="${HARNWICK_FUZZ_BUILD_DIR:-$root/build-fuzz}"
jobs="${HW_JOBS:-$(nproc)}"
export HW_JOBS="$jobs"
quick="${HW_TEST_QUICK:-0}"
export QT_QPA_PLATFORM=offscreen
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

"$root/scripts/install-deps.sh"

passed=0
failed=0
failures=()
# A target that does not build is reported, and whatever else built is
# still tested (its test then counts as failed).
if ! "$root/scripts/build.sh" -- -k 0; then
  failures+=("plain: the build failed")
fi
# Runs ctest in $1 and adds its counts to the totals.
run_suite() {
  local dir=$1 name=$2 log="$logs/$2.log" rc=0
  echo "== test suite: $name"
  (cd "$dir" && ctest --output-on-failure --parallel "$jobs" --timeout 600) 2>&1 | tee "$log" || rc=$?
  local line total bad
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -z "$line" ]; then
    failures+=("$name: ctest did not finish")
    failed=$((failed + 1))
    return
  fi
  bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  if [ "$rc" -ne 0 ] || [ "$bad" -ne 0 ]; then failures+=("$name: $bad of $total tests failed"); fi
}

run_suite "$build" plain
builds=("$build")

if [ "$quick" != 1 ]; then
  echo "== sanitizer build ($asan)"
  # A failed configure is reported like a failed build, and the summary
  # below still comes.
  if [ ! -f "$asan/build.ninja" ] && ! cmake -S "$root" -B "$asan" -G Ninja \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHARNWICK_SANITIZE=address,undefined; then
    failures+=("sanitizers: cmake could not configure $asan")
  elif ! cmake --build "$asan" --parallel "$jobs" -- -k 0; then
    failures+=("sanitizers: the build failed")
  fi
  # LeakSanitizer's exit-time scan crashes on the dynamic TLS bookkeeping
  # of this glibc unless __tls_get_addr is left alone.
  ASAN_OPTIONS="intercept_tls_get_addr=0:detect_leaks=1" \
  LSAN_OPTIONS="suppressions=$root/scripts/lsan-qt-offscreen.supp:print_suppressions=0" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    run_suite "$asan" sanitizers
  [ -f "$asan/build.ninja" ] && builds+=("$asan")

  echo "== fuzzing"
  fuzzlog="$logs/fuzz.log"
  rc=0
  "$root/scripts/fuzz.sh" "$fuzz" 2>&1 | tee "$fuzzlog" || rc=$?
  good=$(grep -c '^fuzz: .* passed' "$fuzzlog" || true)
  bad=$(grep -c '^fuzz: .* FAILED' "$fuzzlog" || true)
  passed=$((passed + good))
  failed=$((failed + bad))
  if [ "$rc" -ne 0 ] && [ "$bad" -gt 0 ]; then
    failures+=("fuzz: $bad targets failed")
  elif [ "$rc" -ne 0 ]; then
    failures+=("fuzz: the fuzz targets could not be built")
    failed=$((failed + 1))
  fi
  [ -f "$fuzz/build.ninja" ] && builds+=("$fuzz")
fi

echo "== dependency check"
if "$root/scripts/check-deps.sh" "${builds[@]}"; then
  passed=$((passed + 1))
else
  failures+=("dependency check")
  failed=$((failed + 1))
fi

echo "test.sh: finished in $((SECONDS / 60)) min $((SECONDS % 60)) s"
for f in "${failures[@]}"; do echo "FAILED: $f" >&2; done
echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ ${#failures[@]} -eq 0 ]
