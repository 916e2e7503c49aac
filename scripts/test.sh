#!/usr/bin/env bash
# Sets everything up and runs every test: the warnings-as-errors build, the same tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, and a short fuzzing run of
# every parser.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
passed=0

# Runs one ctest preset and adds its test count to the total.
run_ctest() {
  local log
  log=$(mktemp)
  ctest --preset "$1" -j "$jobs" 2>&1 | tee "$log"
  local count
  count=$(sed -n 's/^100% tests passed, 0 tests failed out of \([0-9]*\)$/\1/p' "$log")
  rm -f "$log"
  [ -n "$count" ] || { echo "no tests ran in $1"; exit 1; }
  passed=$((passed + count))
}

"$here/scripts/setup.sh" dev
echo "== tests (dev)"
run_ctest dev
echo "== Debian package (lintian, appstreamcli)"
"$here/scripts/check_package.sh" build/dev

"$here/scripts/setup.sh" asan
echo "== tests (asan + ubsan)"
run_ctest asan

echo "== fuzzing (bounded)"
TARNWICK_FUZZ_BUILD=build/asan "$here/scripts/fuzz.sh" "${TARNWICK_FUZZ_SECONDS:-10}"

echo
echo "tests: $passed passed, 0 failed"
