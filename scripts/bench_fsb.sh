#!/bin/sh
# Sound bank benchmark: a 100 MB bank of PCM16 stereo tones is converted by fsbext into
# WAV files (target: no longer than copying the bank twice with cp), medians of $RUNS runs.
#
#   scripts/bench_fsb.sh              # work files in /tmp/tarnwick-bench
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
work=${BENCH_DIR:-/tmp/tarnwick-bench}
build=${BENCH_BUILD:-$repo/build/bench-release}
runs=${RUNS:-5}

cmake --preset release -DTARNWICK_BUILD_TESTS=OFF -B "$build" >/dev/null
cmake --build "$build" -j2 --target fsbext tarnwick-make-bank
mkdir -p "$work"
bank=$work/bank100.fsb
[ -f "$bank" ] || "$build/bin/tarnwick-make-bank" "$bank" 100
ls -l "$bank"

# Seconds of one run of "$@", with the output folder emptied before it.
seconds() {
  rm -rf "$work/fsb-out" && mkdir -p "$work/fsb-out" && sync
  start=$(date +%s.%N)
  "$@"
  end=$(date +%s.%N)
  awk "BEGIN { print $end - $start }"
}
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", v[int((NR + 1) / 2)] }'; }

copy_twice() { cp "$bank" "$work/fsb-out/a" && cp "$bank" "$work/fsb-out/b"; }
cat "$bank" > /dev/null  # warm the page cache
copy=$(for i in $(seq "$runs"); do seconds copy_twice; done | median)
convert=$(for i in $(seq "$runs"); do seconds "$build/bin/fsbext" -d "$work/fsb-out" -a "$bank"; done | median)
/usr/bin/time -f "fsbext peak memory: %M KiB" "$build/bin/fsbext" -d "$work/fsb-out/again" -a "$bank"
echo "copy twice: ${copy} s   fsbext: ${convert} s   ratio: $(awk "BEGIN { printf \"%.2f\", $convert / $copy }") (target <= 1)"
rm -rf "$work/fsb-out"
