#!/bin/sh
# Model and package benchmark: a 200 MB model naming 10,000 textures is scanned by
# tarnwick-cli textures (target: under 1 s), and a package that inflates to 1 GiB is
# unpacked by tarnwick-cli mpkg (target: peak memory under 64 MiB).
#
#   scripts/bench_model_mpkg.sh              # work files in /tmp/tarnwick-bench
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
work=${BENCH_DIR:-/tmp/tarnwick-bench}
build=${BENCH_BUILD:-$repo/build/bench-release}

cmake --preset release -DTARNWICK_BUILD_TESTS=OFF -B "$build" >/dev/null
cmake --build "$build" -j2 --target tarnwick-cli
mkdir -p "$work"
[ -f "$work/big.mpkg" ] || python3 "$repo/bench/make_model_and_package.py" "$work"

cli=$build/bin/tarnwick-cli
"$cli" textures "$work/big.mmod" > /dev/null   # warm the page cache
/usr/bin/time -f "textures: %e s, %M KiB peak" "$cli" textures "$work/big.mmod" > "$work/textures.txt"
echo "textures listed: $(wc -l < "$work/textures.txt")"
sync
/usr/bin/time -f "mpkg: %e s, %M KiB peak" "$cli" mpkg "$work/big.mpkg" -o "$work/big.dat" --force
ls -l "$work/big.dat"
