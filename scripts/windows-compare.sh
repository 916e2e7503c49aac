#!/usr/bin/env bash
# Runs the Windows programs (under Wine) and the Linux ones on the same inputs and fails on
# any difference in what they print, write or end with, apart from CR LF line ends.
#   scripts/windows-compare.sh WINDOWS_BIN [LINUX_BIN]
# Inputs: the bundled sample archive, a sound bank, a model, a package, a game-like archive
# of 600 entries (the benchmarks' corpus script, --small), and inputs that must fail.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
win_bin=$(cd "$1" && pwd)
lin_bin=${2:-}
for candidate in "$lin_bin" "$here/build/dev/bin" "$here/build/release/bin"; do
  [[ -n $candidate && -x $candidate/tarnwick-cli ]] && { lin_bin=$candidate; break; }
done
[[ -x $lin_bin/tarnwick-cli ]] || { echo "no Linux build to compare with (scripts/setup.sh dev)"; exit 1; }
wine=/usr/lib/wine/wine64
[[ -x $wine ]] || wine=$(command -v wine64 || command -v wine)
prefix=${TARNWICK_WINEPREFIX:-$here/build/windows-deps/wine}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir in
cp "$here/build/windows/samples/sample.mpak" in/ 2>/dev/null || "$lin_bin/tarnwick-make-sample" \
  "$here/samples/files" in/sample.mpak >/dev/null
"$lin_bin/tarnwick-make-bank" in/tones.fsb >/dev/null
printf 'MMOD\0hull.tga\0\1\1deck.tga\0hull.tga\0' >in/ship.mmod
printf '\x78\x9c\x01\x05\x00\xfa\xffhello' >in/data.mpkg
# The game-like tree the benchmarks use, small, packed by the Linux build.
corpus_script=${CORPUS_SCRIPT:-$here/../shared/bench/make_corpus.py}
if [[ -f $corpus_script ]]; then
  python3 "$corpus_script" --small --quiet corpus
  "$lin_bin/tarnwick-cli" pack corpus -o in/corpus.mpak >/dev/null 2>&1
  rm -rf corpus
fi

failures=0
# same NAME ARGS...: runs tarnwick-cli (or fsbext, with NAME starting "fsbext") both ways, each
# in its own folder holding a copy of in/, and compares exit codes, output and trees.
same() {
  local name=$1 program=tarnwick-cli
  shift
  [[ $name == fsbext* ]] && program=fsbext
  for side in lin win; do
    rm -rf "$side" && mkdir "$side" && cp -r in "$side/"
  done
  local lin_code=0 win_code=0
  (cd lin && "$lin_bin/$program" "$@" >../lin.out 2>../lin.err) || lin_code=$?
  (cd win && "$here/cmake/wine-run.sh" "$wine" "$prefix" "$win_bin/$program.exe" "$@" \
    >../win.out 2>../win.err) || win_code=$?
  sed -i 's/\r$//' win.out win.err
  local bad=""
  [[ $lin_code == "$win_code" ]] || bad+=" exit($lin_code/$win_code)"
  # Windows programs name their own files with "\"; archive paths have it on both sides.
  local slashes=""
  for stream in out err; do
    if ! cmp -s lin.$stream win.$stream; then
      if cmp -s <(tr '\\' / <lin.$stream) <(tr '\\' / <win.$stream); then
        slashes=" (\\ in paths)"
      else
        bad+=" std$stream"
      fi
    fi
  done
  diff -r lin win >/dev/null || bad+=" files"
  if [[ -n $bad ]]; then
    echo "DIFFERENT $name:$bad"
    diff lin.out win.out | head -5 || true
    diff lin.err win.err | head -5 || true
    diff -r lin win | head -5 || true
    failures=$((failures + 1))
  else
    echo "same      $name (exit $lin_code)$slashes"
  fi
}

same list list in/sample.mpak
same toc toc in/sample.mpak -o sample.toc
same extract extract in/sample.mpak -o out
same verify verify in/sample.mpak
same roundtrip roundtrip in/sample.mpak
"$lin_bin/tarnwick-cli" extract in/sample.mpak -o in/tree -q
"$lin_bin/tarnwick-cli" toc in/sample.mpak -o in/sample.toc
same pack pack in/tree -o packed.mpak --toc in/sample.toc
same diff diff in/sample.mpak in/tree
same textures textures in/ship.mmod
same mpkg mpkg in/data.mpkg -o data.dat
same sounds sounds in/tones.fsb
same sounds-convert sounds in/tones.fsb -o sounds
same fsbext -v -d sounds -a in/tones.fsb
same absolute-path list "$work/in/sample.mpak"
# Names beyond ASCII (Windows-1252 in the archive, UTF-8 on Linux, UTF-16 on Windows).
mkdir -p in/names/café && echo naïve >in/names/café/naïve.txt && echo x >in/names/Ærø.lua
"$lin_bin/tarnwick-cli" pack in/names -o in/names.mpak >/dev/null 2>&1
rm -rf in/names
same names-list list in/names.mpak
same names-extract extract in/names.mpak -o out
same missing-archive list in/nothing.mpak
same not-an-archive list in/ship.mmod
same bad-verb frobnicate
if [[ -f in/corpus.mpak ]]; then
  same corpus-list list in/corpus.mpak
  same corpus-extract extract in/corpus.mpak -o out -q
  "$lin_bin/tarnwick-cli" extract in/corpus.mpak -o in/corpus -q
  "$lin_bin/tarnwick-cli" toc in/corpus.mpak -o in/corpus.toc
  same corpus-pack pack in/corpus -o repacked.mpak --toc in/corpus.toc
else
  echo "skipped: the game-like archive ($corpus_script is not here)"
fi
# Ctrl+C in the middle of an extraction (Wine turns SIGINT into the console's Ctrl+C): the
# program ends with a failure status and leaves no temporary file behind.
python3 - <<'PY'
import os, random
r = random.Random(7)
for i in range(3000):
    folder = "many/d%02d" % (i % 30)
    os.makedirs(folder, exist_ok=True)
    with open("%s/f%04d.bin" % (folder, i), "wb") as f:
        f.write(r.randbytes(60000))
PY
"$lin_bin/tarnwick-cli" pack many -o many.mpak >/dev/null 2>&1
rm -rf many
"$here/cmake/wine-run.sh" "$wine" "$prefix" "$win_bin/tarnwick-cli.exe" extract many.mpak -o cut -q &
pid=$!
sleep 1
pkill -INT -f 'tarnwick-cli.exe extract many.mpak' || true
code=0
wait "$pid" || code=$?
written=$(find cut -type f ! -name '*.tmp' | wc -l)
left=$(find cut -name '*.tmp' | wc -l)
if [[ $code == 0 || $left != 0 || $written -ge 3000 ]]; then
  echo "DIFFERENT interrupt: exit $code, $written of 3000 files written, $left temporaries left"
  failures=$((failures + 1))
else
  echo "same      interrupt (exit $code after $written of 3000 files, no temporary left)"
fi

echo "windows-compare: $failures difference(s)"
[[ $failures == 0 ]]
