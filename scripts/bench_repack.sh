#!/bin/sh
# Repack benchmark: the bench corpus written by another writer (zlib level 6, bench_repack)
# as WORK/corpus.mpak, extracted and its table written; then in one run, each RUNS times
# (medians), tarnwick-cli pack of that tree as it is (full), against the archive unedited
# (untouched, checked byte for byte against corpus.mpak), against the archive with one
# texture changed (one change; its archive compared with the tree by tarnwick-cli diff),
# and with the largest file changed instead (the worst case). Peak memory of each
# (/usr/bin/time). Target: one change within a quarter of full.
#
#   scripts/bench_repack.sh                    # work files in /tmp/tarnwick-bench
#   RUNS=5 BENCH_DIR=/var/tmp/tw scripts/bench_repack.sh
set -eu
bench_targets="bench_repack tarnwick-cli"
. "$(dirname "$0")/bench_setup.sh"
cli=$build/bin/tarnwick-cli
archive=$work/corpus.mpak
tree=$work/repack-tree
toc=$work/corpus.mpak.toc
"$build/bin/bench_repack" --corpus "$work/corpus" --archive "$archive"
rm -rf "$tree"
"$cli" extract "$archive" -o "$tree" -q
"$cli" toc "$archive" -o "$toc" --force
# The changed file: a texture of a size modders edit (the first of 256 KiB to 1 MiB), one
# byte in its middle flipped; and, apart, the largest file of the tree (the worst case).
changed=$(find "$tree" -name '*.dds' -size +256k -size -1024k | sort | head -n 1)
largest=$(find "$tree" -type f -printf '%s %p\n' | sort -n | tail -n 1 | cut -d' ' -f2-)
[ -n "$changed" ] || { echo "no texture to change in $tree" >&2; exit 2; }

# measure NAME OUT [--base]: seconds and peak KiB appended to $work/NAME.times
measure() {
  name=$1 out=$2
  shift 2
  sync
  /usr/bin/time -f "%e %M" -o "$work/time.txt" \
    "$cli" pack "$tree" --toc "$toc" -o "$out" --force "$@" > /dev/null
  cat "$work/time.txt" >> "$work/$name.times"
}
flip() {  # flips the byte in the middle of the file $1
  python3 -c "import sys; p=sys.argv[1]; b=bytearray(open(p,'rb').read()); b[len(b)//2]^=0xFF; open(p,'wb').write(b)" "$1"
}
rm -f "$work"/full.times "$work"/untouched.times "$work"/onechange.times "$work"/largest.times
cat "$archive" > /dev/null  # warm the page cache
for i in $(seq "$runs"); do
  measure full "$work/full.mpak"
  measure untouched "$work/untouched.mpak" --base "$archive"
  cmp -s "$work/untouched.mpak" "$archive" || { echo "untouched repack differs from corpus.mpak" >&2; exit 1; }
  for kind in onechange largest; do
    file=$changed
    [ "$kind" = largest ] && file=$largest
    cp "$file" "$work/changed.orig"
    flip "$file"
    measure "$kind" "$work/$kind.mpak" --base "$archive"
    if [ "$i" = "$runs" ] && [ "$kind" = onechange ]; then
      one_summary=$("$cli" diff "$work/$kind.mpak" "$tree" | tail -n 1)
    fi
    cp "$work/changed.orig" "$file"
  done
done
cmp -s "$work/full.mpak" "$archive" && full_same=yes || full_same=no

median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", v[int((NR + 1) / 2)] }'; }
report() {  # NAME: "median seconds, peak MiB"
  t=$(cut -d' ' -f1 < "$work/$1.times" | median)
  m=$(cut -d' ' -f2 < "$work/$1.times" | sort -n | tail -n 1)
  echo "$t $(awk "BEGIN { printf \"%.0f\", $m / 1024 }")"
}
set -- $(report full); full=$1 full_mem=$2
set -- $(report untouched); untouched=$1 untouched_mem=$2
set -- $(report onechange); one=$1 one_mem=$2
set -- $(report largest); big=$1 big_mem=$2
size() { stat -c %s "$1"; }
echo "corpus.mpak: $(size "$archive") bytes, $(find "$tree" -type f | wc -l) files"
echo "full pack            ${full} s, peak ${full_mem} MiB (byte-identical to corpus.mpak: ${full_same})"
echo "untouched repack     ${untouched} s, peak ${untouched_mem} MiB (byte-identical to corpus.mpak: yes)"
echo "one-change repack    ${one} s, peak ${one_mem} MiB (${changed#"$tree"/}, $(size "$changed") bytes)"
echo "  tarnwick-cli diff of that archive and the tree: ${one_summary}"
echo "largest-file repack  ${big} s, peak ${big_mem} MiB (${largest#"$tree"/}, $(size "$largest") bytes)"
awk "BEGIN { r = $one / $full; printf \"one change / full = %.2f (target <= 0.25)%s\n\", r, r <= 0.25 ? \"\" : \"  MISSED\" }"
rm -rf "$tree" "$work"/full.mpak "$work"/untouched.mpak "$work"/onechange.mpak "$work"/largest.mpak \
  "$work/changed.orig" "$work/time.txt"
