#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs every test:
# once in a normal build with warnings as errors, once under AddressSanitizer
# and UndefinedBehaviorSanitizer; also builds the fuzz targets with clang.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

bash scripts/install-deps.sh

export LC_ALL=C.UTF-8
export QT_QPA_PLATFORM=offscreen

echo "== build (warnings as errors)"
cmake -S . -B build -DVEX_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
# Runs ctest and adds its counts to the totals printed at the end.
passed=0
run_ctest() {
  local log
  log=$(mktemp)
  ctest "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local total
  total=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  rm -f "$log"
  [ "$rc" -eq 0 ] || exit "$rc"
  passed=$((passed + ${total:-0}))
}

echo "== tests"
run_ctest --test-dir build --output-on-failure -j"$jobs" --timeout 600

echo "== build and tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DVEX_WERROR=ON -DVEX_SANITIZE=ON -DVEX_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tests/support/lsan.supp:print_suppressions=0"
run_ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 900

if [ -d fuzz ] && [ -f fuzz/CMakeLists.txt ]; then
  echo "== fuzz targets (build only)"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DVEX_FUZZ=ON -DVEX_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build-fuzz -j"$jobs" --target vex_fuzz_all
fi
echo "tests: $passed passed, 0 failed"
