#!/usr/bin/env bash
# Sets up the cross build for 64-bit Windows (cmake/mingw-w64.cmake): installs the mingw-w64
# compilers, Debian's zlib for mingw, Wine and what the window test drives it with (Xvfb,
# openbox, xdotool, xclip, ImageMagick; only the packages missing), and builds into
# the prefix (default build/windows-deps) what Debian does not ship for Windows:
#   libdeflate   from its Debian source package, static, with a pkg-config file
#   GoogleTest   gtest and gtest_main from /usr/src/googletest, with its CMake package files
#   CLI11        the Linux headers and CMake package files, copied (header-only)
# and creates the Wine prefix the tests run in. Each step is skipped when its stamp says it
# is done, so a second run takes seconds.   scripts/windows-deps.sh [PREFIX]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
prefix=${1:-${TARNWICK_WINDOWS_PREFIX:-$here/build/windows-deps}}
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
src="$prefix/src"
stamps="$prefix/stamps"
triple=x86_64-w64-mingw32
jobs=2
mkdir -p "$src" "$stamps"

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

# step NAME FUNCTION: runs FUNCTION and says how long it took.
step() {
  local name=$1 start end
  start=$(date +%s.%N)
  "$2"
  end=$(date +%s.%N)
  printf '== %-12s %6.1f s\n' "$name" "$(awk "BEGIN { print $end - $start }")"
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

packages() {
  local wanted=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev mingw-w64-tools wine64 wine
                dpkg-dev libcli11-dev googletest cmake ninja-build pkg-config make
                xvfb xauth openbox xdotool xclip imagemagick)
  local missing=() p
  for p in "${wanted[@]}"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && return
  echo "installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

# Prints deb-src entries for the Debian archives among the enabled deb entries: one-line
# entries from *.list, deb822 stanzas from *.sources.
debian_src_entries() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n -E 's%^[[:space:]]*deb[[:space:]]+(\[[^]]*\][[:space:]]+)?([a-z]+://[^[:space:]]*/debian(-security)?/?[[:space:]].*)$%deb-src \1\2%p' "$f"
  done | sort -u | sed '1i # deb-src twins of the Debian entries (scripts/windows-deps.sh)' \
    >"$1.list.tmp"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         {
           n = split($0, lines, "\n"); out = ""; types = ""; uris = ""; enabled = "yes"
           for (i = 1; i <= n; i++) {
             if (lines[i] ~ /^#/) continue
             if (lines[i] ~ /^Types:/) { types = lines[i]; continue }
             if (lines[i] ~ /^URIs:/) uris = lines[i]
             if (lines[i] ~ /^Enabled:/) { enabled = tolower(lines[i]); sub(/^enabled:[ \t]*/, "", enabled) }
             out = out lines[i] "\n"
           }
           if (types ~ /[ \t]deb([ \t]|$)/ && uris ~ /\/debian(-security)?\/?([ \t]|$)/ && enabled != "no")
             printf "Types: deb-src\n%s\n", out
         }' "$f"
  done >"$1.sources.tmp"
}

deb_src() {
  if grep -qsE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list ||
     grep -qsE '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources; then
    echo "a deb-src entry exists"
    return
  fi
  local out=/etc/apt/sources.list.d/tarnwick-deb-src
  debian_src_entries "$out"
  if [ -s "$out.sources.tmp" ]; then
    "${sudo_cmd[@]}" mv "$out.sources.tmp" "$out.sources"
    cat "$out.sources"
  fi
  if [ "$(wc -l <"$out.list.tmp")" -gt 1 ]; then
    "${sudo_cmd[@]}" mv "$out.list.tmp" "$out.list"
    cat "$out.list"
  fi
  rm -f "$out.sources.tmp" "$out.list.tmp"
  "${sudo_cmd[@]}" apt-get update -qq
}

libdeflate_dir() { find "$src" -maxdepth 1 -type d -name 'libdeflate-*' | sort | tail -n 1; }

libdeflate_source() {
  if [ -n "$(libdeflate_dir)" ]; then
    echo "have $(basename "$(libdeflate_dir)")"
    return
  fi
  # apt-get source leaves the download (owned by root) where it runs: keep it out of the way.
  (cd "$src" && { apt-get source -qq libdeflate 2>&1 | grep -v "unsandboxed as root" || true; })
  [ -n "$(libdeflate_dir)" ] || { echo "apt-get source libdeflate failed"; exit 1; }
}

libdeflate_build() {
  local dir version stamp
  dir=$(libdeflate_dir)
  version=${dir##*/libdeflate-}
  stamp="$stamps/libdeflate-$version"
  [ -f "$stamp" ] && { echo "libdeflate $version is built"; return; }
  # The Makefile names the static library of a mingw build libdeflatestatic.lib (an ar
  # archive): build just that, never the DLL nor the programs.
  local lib
  lib=$(make -s -C "$dir" CC=$triple-gcc-posix -pn 2>/dev/null |
        sed -n 's/^STATIC_LIB := *//p' | head -n 1)
  lib=${lib:-libdeflate.a}
  nice make -s -C "$dir" -j"$jobs" CC=$triple-gcc-posix AR=$triple-ar \
    CFLAGS="-O2 -DNDEBUG" "$lib"
  mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
  install -m 644 "$dir/libdeflate.h" "$prefix/include/libdeflate.h"
  install -m 644 "$dir/$lib" "$prefix/lib/libdeflate.a"
  cat >"$prefix/lib/pkgconfig/libdeflate.pc" <<EOF
prefix=\${pcfiledir}/../..
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: libdeflate
Description: Fast implementation of DEFLATE, zlib, and gzip (static, for Windows)
Version: ${version%%-*}
Libs: -L\${libdir} -ldeflate
Cflags: -I\${includedir}
EOF
  touch "$stamp"
}

gtest() {
  local version stamp build
  version=$(dpkg-query -W -f='${Version}' googletest)
  stamp="$stamps/googletest-$version"
  [ -f "$stamp" ] && { echo "GoogleTest $version is built"; return; }
  build="$prefix/build/googletest"
  rm -rf "$build"
  cmake -S /usr/src/googletest -B "$build" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" -DTARNWICK_WINDOWS_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF \
    -DINSTALL_GTEST=ON >/dev/null
  nice cmake --build "$build" -j "$jobs" >/dev/null
  cmake --install "$build" >/dev/null
  touch "$stamp"
}

cli11() {
  local version stamp
  version=$(dpkg-query -W -f='${Version}' libcli11-dev)
  stamp="$stamps/cli11-$version"
  [ -f "$stamp" ] && { echo "CLI11 $version is in place"; return; }
  # CLI11Config.cmake finds its headers at ../../../include from itself.
  mkdir -p "$prefix/include" "$prefix/share/cmake"
  rm -rf "$prefix/include/CLI" "$prefix/share/cmake/CLI11"
  cp -r /usr/include/CLI "$prefix/include/CLI"
  cp -r /usr/share/cmake/CLI11 "$prefix/share/cmake/CLI11"
  touch "$stamp"
}

# The first start of Wine creates its prefix (15 s): do it here once rather than in the first
# test (cmake/wine-run.sh would do it there too), never asking to install Mono or Gecko. With
# no 32-bit Wine it says it failed to open syswow64\rundll32.exe: nothing needs that.
wine_prefix() {
  local wineprefix="$prefix/wine"
  [ -f "$wineprefix/system.reg" ] && { echo "Wine prefix exists"; return; }
  local wine=/usr/lib/wine/wine64
  [ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
  (
    export WINEPREFIX="$wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
      WINEARCH=win64 LC_ALL=C.UTF-8
    unset DISPLAY WAYLAND_DISPLAY
    "$wine" wineboot --init 2>&1 | { grep -v 'syswow64.*rundll32.exe' || true; }
  )
}

total_start=$(date +%s.%N)
step packages packages
step deb-src deb_src
step source libdeflate_source
step libdeflate libdeflate_build
step googletest gtest
step cli11 cli11
step wine-prefix wine_prefix
printf '== %-12s %6.1f s   (prefix: %s)\n' total "$(awk "BEGIN { print $(date +%s.%N) - $total_start }")" "$prefix"
