#!/usr/bin/env bash
# The README's pictures of the filter line and the viewers, taken from the real window
# under a virtual X display with a window manager, driven by keys and clicks as a user
# drives it.   scripts/screenshot_browser.sh [OUTPUT_FOLDER]   (default: docs)
# Uses build/release/bin (or $TARNWICK_BIN_DIR); needs xvfb, openbox, xdotool, imagemagick.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/docs}
bin=${TARNWICK_BIN_DIR:-$here/build/release/bin}
display=:${TARNWICK_DISPLAY:-97}
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT

# A mod's archive: 400 scripts and 400 textures (a 96 x 96 run-length TGA).
python3 - "$work/tree/game.mpak" <<'PY'
import os, sys
root = sys.argv[1]
def tga(w, h):
    head = bytes([0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, w, 0, h, 0, 24, 0x20])
    body = bytearray()
    for y in range(h):
        for x in range(w):
            # A raw packet of one pixel: blue, green, red.
            body += bytes([0, min(255, 40 + 2 * y), min(255, 2 * x + y), min(255, 255 - 2 * x)])
    return head + bytes(body)
os.makedirs(f"{root}/scripts/ai", exist_ok=True)
os.makedirs(f"{root}/textures/units", exist_ok=True)
picture = tga(96, 96)
for i in range(400):
    with open(f"{root}/scripts/ai/ai_{i:04d}.lua", "w") as f:
        f.write(f"-- ai script {i}: how unit {i} picks its target\n"
                f"local target = require(\"target\")\n\nfunction think(unit)\n"
                f"  local enemy = target.nearest(unit, {100 + i})\n"
                f"  if enemy then\n    unit:attack(enemy)\n  end\nend\n")
    with open(f"{root}/textures/units/units_{i:04d}.tga", "wb") as f:
        f.write(picture)
PY
"$bin/tarnwick-cli" pack "$work/tree/game.mpak" -o "$work/game.mpak" >/dev/null 2>&1

Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
sleep 1
export DISPLAY=$display
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
TARNWICK_HOME=$work/home QT_QPA_PLATFORM=xcb "$bin/tarnwick" "$work/game.mpak" >/dev/null 2>&1 &
pids+=($!)
sleep 3
main=$(xdotool search --name "Tarnwick  ver" | head -1)
xdotool windowmove "$main" 0 22   # the client area; its title bar above it
xdotool windowactivate --sync "$main"
sleep 0.5
# The window with its title bar, at the top left of the screen.
shot() {  # shot OUTPUT
  eval "$(xdotool getwindowgeometry --shell "$main")"
  import -window root -crop "${WIDTH}x$((HEIGHT + 22))+0+0" "$1"
  echo "saved $1"
}
mkdir -p "$out"
xdotool key ctrl+f
xdotool type --delay 60 'ai_01*.lua'
sleep 1
shot "$out/filter.png"

# A script and a texture opened: Enter on the first entry each filter shows.
xdotool key Escape
xdotool type --delay 60 'ai_0107'
sleep 0.5
xdotool key Return Return   # from the filter line to the list, then open the entry
sleep 1
text=$(xdotool search --name "ai_0107.lua - Tarnwick" | head -1)
xdotool windowactivate --sync "$main"
xdotool key ctrl+f
xdotool type --delay 60 'units_0042'
sleep 0.5
xdotool key Return Return
sleep 1
image=$(xdotool search --name "units_0042.tga" | head -1)
# The viewers beside and over the window's right half, the way a user would arrange them.
xdotool windowsize "$text" 620 300
xdotool windowmove "$text" 560 380
xdotool windowmove "$image" 900 60
xdotool windowactivate --sync "$text"
xdotool windowactivate --sync "$image"
sleep 1
import -window root -crop 1280x720+0+0 "$out/viewer.png"
echo "saved $out/viewer.png"
