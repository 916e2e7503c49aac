#!/bin/sh
# Pack benchmark: builds the release benchmark, makes the corpus the first time, then
# times the limit, tarnwick-cli pack, the window's command and zip -r -6 in one run
# (medians of RUNS runs), then the command line's peak memory (/usr/bin/time).
#
#   scripts/bench_pack.sh                    # work files in /tmp/tarnwick-bench
#   RUNS=5 BENCH_DIR=/var/tmp/tw scripts/bench_pack.sh
set -eu
bench_targets="bench_pack tarnwick-cli"
. "$(dirname "$0")/bench_setup.sh"
"$build/bin/bench_pack" --corpus "$work/corpus" --work "$work" --runs "$runs"
sync
/usr/bin/time -f "cli peak memory: %M KiB (target < 160 MiB)" \
  "$build/bin/tarnwick-cli" pack "$work/corpus" -o "$work/cli.mpak" --force 2>&1 | tail -n 1
