#!/bin/sh
# Round trip and diff benchmark on the bench corpus packed into one archive: times
# tarnwick-cli extract, pack, roundtrip and diff (medians of RUNS runs). Targets: roundtrip
# within 2x of extract + pack, diff within 1.5x of extract.
#
#   scripts/bench_trust.sh                 # work files in /tmp/tarnwick-bench
set -eu
bench_targets="tarnwick-cli"
. "$(dirname "$0")/bench_setup.sh"
cli=$build/bin/tarnwick-cli
archive=$work/trust.mpak
[ -f "$archive" ] || "$cli" pack "$work/corpus" -o "$archive" 2>/dev/null
"$cli" toc "$archive" -o "$work/trust.toc" --force

seconds() {
  start=$(date +%s.%N)
  "$@" > /dev/null
  end=$(date +%s.%N)
  awk "BEGIN { print $end - $start }"
}
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", v[int((NR + 1) / 2)] }'; }
extract_once() { rm -rf "$work/trust-tree" && "$cli" extract "$archive" -o "$work/trust-tree" -q; }
pack_once() { "$cli" pack "$work/trust-tree" --toc "$work/trust.toc" -o "$work/trust-repack.mpak" --force; }

cat "$archive" > /dev/null  # warm the page cache
extract=$(for i in $(seq "$runs"); do seconds extract_once; done | median)
pack=$(for i in $(seq "$runs"); do seconds pack_once; done | median)
roundtrip=$(for i in $(seq "$runs"); do seconds "$cli" roundtrip "$archive"; done | median)
diff=$(for i in $(seq "$runs"); do seconds "$cli" diff "$archive" "$work/trust-tree"; done | median)
echo "extract ${extract} s, pack ${pack} s, roundtrip ${roundtrip} s, diff ${diff} s"
awk "BEGIN { printf \"roundtrip / (extract + pack) = %.2f (target <= 2)\n\", $roundtrip / ($extract + $pack);
             printf \"diff / extract = %.2f (target <= 1.5)\n\", $diff / $extract }"
rm -rf "$work/trust-tree" "$work/trust-repack.mpak"
