#!/bin/sh
# Extraction benchmark: builds the release benchmark, makes the corpus, its archive and its
# zip the first time, then times the limit, tarnwick-cli extract, the window's command and
# unzip in one run (medians of RUNS runs).
#
#   scripts/bench_extract.sh                 # work files in /tmp/tarnwick-bench
#   RUNS=5 BENCH_DIR=/var/tmp/tw scripts/bench_extract.sh
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
work=${BENCH_DIR:-/tmp/tarnwick-bench}
build=${BENCH_BUILD:-$repo/build/bench-release}
corpus_script=${CORPUS_SCRIPT:-$repo/../shared/bench/make_corpus.py}
runs=${RUNS:-3}

cmake --preset release -DTARNWICK_BUILD_TESTS=OFF -B "$build" >/dev/null
cmake --build "$build" -j2 --target bench_extract tarnwick-cli

mkdir -p "$work"
if [ ! -d "$work/corpus" ]; then
  python3 "$corpus_script" --quiet "$work/corpus"
fi
if [ ! -f "$work/bench.zip" ] || [ "$work/corpus" -nt "$work/bench.zip" ]; then
  rm -f "$work/bench.zip"
  (cd "$work/corpus" && zip -r -6 -q "$work/bench.zip" .)
fi
exec "$build/bin/bench_extract" --corpus "$work/corpus" --zip "$work/bench.zip" \
  --work "$work" --runs "$runs"
