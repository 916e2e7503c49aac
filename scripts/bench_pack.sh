#!/bin/sh
# Pack benchmark: builds the release benchmark, makes the corpus the first time, then
# times the limit, tarnwick-cli pack, the window's command and zip -r -6 in one run
# (medians of RUNS runs), then the command line's peak memory (/usr/bin/time).
#
#   scripts/bench_pack.sh                    # work files in /tmp/tarnwick-bench
#   RUNS=5 BENCH_DIR=/var/tmp/tw scripts/bench_pack.sh
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
work=${BENCH_DIR:-/tmp/tarnwick-bench}
build=${BENCH_BUILD:-$repo/build/bench-release}
corpus_script=${CORPUS_SCRIPT:-$repo/../shared/bench/make_corpus.py}
runs=${RUNS:-3}

cmake --preset release -DTARNWICK_BUILD_TESTS=OFF -B "$build" >/dev/null
cmake --build "$build" -j2 --target bench_pack tarnwick-cli

mkdir -p "$work"
if [ ! -d "$work/corpus" ]; then
  python3 "$corpus_script" --quiet "$work/corpus"
fi
"$build/bin/bench_pack" --corpus "$work/corpus" --work "$work" --runs "$runs"
sync
/usr/bin/time -f "cli peak memory: %M KiB (target < 160 MiB)" \
  "$build/bin/tarnwick-cli" pack "$work/corpus" -o "$work/cli.mpak" --force 2>&1 | tail -n 1
