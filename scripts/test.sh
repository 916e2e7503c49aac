#!/usr/bin/env bash
# Sets everything up and runs every test: the warnings-as-errors build, the same tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, and a short fuzzing run of
# every parser.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

"$here/scripts/setup.sh" dev
echo "== tests (dev)"
ctest --preset dev -j "$jobs"

"$here/scripts/setup.sh" asan
echo "== tests (asan + ubsan)"
ctest --preset asan -j "$jobs"

echo "== fuzzing (bounded)"
"$here/scripts/fuzz.sh" "${TARNWICK_FUZZ_SECONDS:-20}"
