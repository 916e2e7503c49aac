#!/usr/bin/env bash
# Starts the window under a virtual X display and saves a screenshot.
#   scripts/screenshot.sh [OUTPUT.png] [ARCHIVE]
# Uses build/release/bin/tarnwick (or $TARNWICK_BIN). Needs xvfb and imagemagick.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/docs/window.png}
archive=${2:-}
bin=${TARNWICK_BIN:-$here/build/release/bin/tarnwick}
display=:${TARNWICK_DISPLAY:-97}
home=$(mktemp -d)
trap 'kill $app $xvfb 2>/dev/null || true; rm -rf "$home"' EXIT

Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
args=()
[ -n "$archive" ] && args+=("$archive")
DISPLAY=$display TARNWICK_HOME=$home QT_QPA_PLATFORM=xcb "$bin" "${args[@]}" &
app=$!
sleep "${TARNWICK_SHOT_DELAY:-3}"
mkdir -p "$(dirname "$out")"
# The window sits at the top left of the screen: crop the screen to it.
DISPLAY=$display import -window root -crop 900x600+0+0 "$out"
echo "saved $out"
