#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), then configures and
# builds one preset.   scripts/setup.sh [PRESET]   (default: release)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:-release}

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libdeflate-dev zlib1g-dev libcli11-dev
          libgtest-dev clang libclang-rt-14-dev python3 xvfb xauth desktop-file-utils
          qt6-multimedia-dev help2man dpkg-dev lintian appstream)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cd "$here"
echo "== configuring and building ($preset)"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
