#!/bin/sh
# Extraction benchmark: builds the release benchmark, makes the corpus, its archive and its
# zip the first time, then times the limit, tarnwick-cli extract, the window's command and
# unzip in one run (medians of RUNS runs).
#
#   scripts/bench_extract.sh                 # work files in /tmp/tarnwick-bench
#   RUNS=5 BENCH_DIR=/var/tmp/tw scripts/bench_extract.sh
set -eu
bench_targets="bench_extract tarnwick-cli"
. "$(dirname "$0")/bench_setup.sh"
if [ ! -f "$work/bench.zip" ] || [ "$work/corpus" -nt "$work/bench.zip" ]; then
  rm -f "$work/bench.zip"
  (cd "$work/corpus" && zip -r -6 -q "$work/bench.zip" .)
fi
exec "$build/bin/bench_extract" --corpus "$work/corpus" --zip "$work/bench.zip" \
  --work "$work" --runs "$runs"
