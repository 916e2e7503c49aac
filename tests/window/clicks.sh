#!/usr/bin/env bash
# Drives the window as a user would, under Xvfb with a window manager: xdotool clicks the
# buttons at their designed places, each chooser gets a path pasted into it, and the log
# pane is read after each step with Ctrl+A, Ctrl+C. Run against the Qt window and against
# tarnwick.exe under Wine, the logs must be the same byte for byte (paths aside: the
# working folders lie in different places, and Windows names them with "\").
#
#   tests/window/clicks.sh LINUX_BIN WINDOWS_BIN [SCREENSHOT_FOLDER]
#
# LINUX_BIN holds tarnwick, tarnwick-make-sample and tarnwick-make-bank; WINDOWS_BIN holds
# tarnwick.exe and fsbext.exe. With SCREENSHOT_FOLDER, both windows with the sample archive
# loaded are saved there as window.png and window-windows.png.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
lin_bin=$(cd "$1" && pwd)
win_bin=$(cd "$2" && pwd)
shots=${3:-}
wine=/usr/lib/wine/wine64
[[ -x $wine ]] || wine=$(command -v wine64 || command -v wine)
export WINEPREFIX=${TARNWICK_WINEPREFIX:-$here/build/windows-deps/wine}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8

work=$(mktemp -d)
pids=()
server=$(dirname "$wine")/wineserver64
[[ -x $server ]] || server=$(command -v wineserver || echo true)
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  "$server" -k 2>/dev/null || true  # the file manager and whatever else Wine started
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/in"
"$lin_bin/tarnwick-make-sample" "$here/samples/files" "$work/in/sample.mpak" >/dev/null
"$lin_bin/tarnwick-make-bank" "$work/in/tones.fsb" >/dev/null
printf 'MMOD\0hull.tga\0\1\1deck.tga\0hull.tga\0' >"$work/in/ship.mmod"
printf '\x78\x9c\x01\x05\x00\xfa\xffhello' >"$work/in/data.mpkg"

# A display of our own, with a window manager as users have.
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
read -r -t 10 number <&"$fd" || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$number
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

# The designed places in pixels at 96 DPI (15 twips a pixel): the middle of each button.
# Frame1's controls are placed from the frame, which lies at the right edge of the window.
declare -A frame_button=(
  [butSelectMPAKfile]="240 840 1935 255" [butMassExtract]="240 1440 2055 375"
  [butGetModelGraphics]="240 1920 1695 375" [butDecompressMPKG]="2040 1920 1455 375"
  [butFileExtractorQuestion]="3360 480 255 255" [butConvertFSB]="240 5400 2055 375"
  [butSelectMPAKFolder]="240 3000 1935 255" [butPackMPAK]="240 4320 2055 375"
  [butOpenFolder]="2400 1440 1095 375")
frame_width=$((3735 / 15))

# click WINDOW NAME: a left click in the middle of the named button.
click() {
  local window=$1 name=$2 x y
  if [[ $name == butSelectAll ]]; then
    x=$(((5760 + 1455 / 2) / 15)) y=$(((120 + 255 / 2) / 15))
  else
    read -r left top width height <<<"${frame_button[$name]}"
    local client_width
    client_width=$(xdotool getwindowgeometry --shell "$window" | sed -n 's/^WIDTH=//p')
    x=$((client_width - frame_width + (left + width / 2) / 15)) y=$(((top + height / 2) / 15))
  fi
  xdotool mousemove --window "$window" "$x" "$y" click 1
}

# window_named PATTERN: the first visible window whose name matches PATTERN, waited for 30 s at most.
window_named() {
  local id
  for _ in $(seq 150); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [[ -n $id ]] && { echo "$id"; return 0; }
    sleep 0.2
  done
  echo "no window named like \"$1\" came" >&2
  return 1
}

# close WINDOW PID: closes the window as its close box does, and waits for its program to end.
close() {
  xdotool windowactivate --sync "$1" key --clearmodifiers alt+F4 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$2" 2>/dev/null || return 0
    sleep 0.2
  done
  echo "the window did not close"
  return 1
}

# exactly TEXT: a pattern for xdotool's --name that matches TEXT and nothing longer.
exactly() {
  local text=$1 c out="^"
  for ((i = 0; i < ${#text}; i++)); do
    c=${text:i:1}
    [[ $c == [\[\].\\] ]] && out+="\\"
    out+=$c
  done
  printf '%s$' "$out"
}

# to_clipboard TEXT: puts TEXT on the clipboard and waits until the clipboard gives it back.
to_clipboard() {
  printf '%s' "$1" | xclip -selection clipboard
  for _ in $(seq 25); do
    [[ $(xclip -o -selection clipboard 2>/dev/null) == "$1" ]] && return 0
    sleep 0.1
  done
}

# choose TITLE PATH: waits for the chooser titled TITLE and pastes PATH into its name box
# (a second time when the chooser is still there: it may not have taken the keys yet).
choose() {
  local dialog pattern
  pattern=$(exactly "$1")
  dialog=$(window_named "$pattern")
  to_clipboard "$2"
  for _ in 1 2 3; do
    sleep 1
    xdotool windowactivate --sync "$dialog" key --clearmodifiers ctrl+a ctrl+v Return 2>/dev/null
    for _ in $(seq 25); do
      xdotool search --onlyvisible --name "$pattern" >/dev/null 2>&1 || return 0
      sleep 0.2
    done
  done
  echo "the chooser \"$1\" did not close"
  [[ -n ${CLICKS_DEBUG:-} ]] && import -window root "$CLICKS_DEBUG/chooser.png"
  return 1
}

# log WINDOW FILE: the log pane's whole text, copied as a user would, into FILE.
log() {
  local window=$1 out=$2
  # Message boxes are titled "Tarnwick" alone; each one is answered with Enter.
  while box=$(xdotool search --onlyvisible --name '^Tarnwick$' 2>/dev/null | head -1) && [[ -n $box ]]; do
    echo "message box" >>"$out.boxes"
    xdotool windowactivate --sync "$box" key Return
    sleep 0.5
  done
  printf '' | xclip -selection clipboard
  xdotool windowactivate --sync "$window"
  xdotool mousemove --window "$window" 150 470 click 1
  xdotool key --clearmodifiers ctrl+a ctrl+c
  sleep 0.5
  xclip -o -selection clipboard 2>/dev/null | tr -d '\r' >"$out" || true
}

failures=0
# scenario SIDE INPUTS TREE COMMAND...: starts the window and runs the clicks, opening files
# from the folder INPUTS (ending in its separator) and packing the extracted folder TREE; the
# logs go to $work/SIDE/NN-step.
scenario() {
  local side=$1 prefix=$2 tree=$3
  shift 3
  local out=$work/$side
  mkdir -p "$out"
  "$@" >/dev/null 2>&1 &
  local pid=$!
  pids+=("$pid")
  local window
  window=$(window_named '^Tarnwick .')
  sleep 2
  log "$window" "$out/01-start"
  click "$window" butSelectMPAKfile
  choose "Select File [.mpak]" "${prefix}sample.mpak"
  sleep 2
  [[ -n $shots ]] && import -window "$window" "$out/loaded.png"
  log "$window" "$out/02-open"
  click "$window" butSelectAll
  click "$window" butMassExtract
  sleep 3
  log "$window" "$out/03-extract"
  if [[ $side == win ]]; then
    # Open Folder shows the extracted tree in the file manager (Wine's explorer).
    click "$window" butOpenFolder
    local manager
    if manager=$(window_named '^sample\.mpak$'); then
      xdotool windowactivate --sync "$manager" key --clearmodifiers alt+F4 2>/dev/null || true
    else
      echo "FAIL Open Folder showed no file manager"
      failures=$((failures + 1))
    fi
  fi
  click "$window" butFileExtractorQuestion
  sleep 1
  log "$window" "$out/04-help"
  click "$window" butGetModelGraphics
  choose "Select File [.mmod]" "${prefix}ship.mmod"
  sleep 1
  log "$window" "$out/05-model"
  click "$window" butDecompressMPKG
  choose "Select File [.mpkg]" "${prefix}data.mpkg"
  sleep 1
  log "$window" "$out/06-package"
  click "$window" butConvertFSB
  choose "Select File [.fsb]" "${prefix}tones.fsb"
  sleep 3
  log "$window" "$out/07-sounds"
  click "$window" butSelectMPAKFolder
  choose "Select .mpak folder from \\ExtractedFiles" "$tree"
  click "$window" butPackMPAK
  sleep 3
  log "$window" "$out/08-pack"
  # A second start with an archive hands it to the window already open, and ends.
  "$@" "${prefix}sample.mpak" >/dev/null 2>&1
  sleep 2
  log "$window" "$out/09-second-start"
  # The filter line narrows the list; Select All and Extract take the entries shown, and the
  # question about the files already extracted is answered with its first answer (Enter).
  xdotool mousemove --window "$window" $(((2040 + 1800) / 15)) $(((120 + 127) / 15)) click 1
  xdotool type --delay 50 '*.lua'
  sleep 1
  click "$window" butSelectAll
  click "$window" butMassExtract
  sleep 2
  log "$window" "$out/10-filtered-extract"
  close "$window" "$pid"
}

lin_home=$work/lin-home
mkdir -p "$lin_home"
TARNWICK_HOME=$lin_home QT_QPA_PLATFORM=xcb scenario lin "$work/in/" \
  "$lin_home/ExtractedFiles/sample.mpak" "$lin_bin/tarnwick"

win_home=$work/win-home
mkdir -p "$win_home"
win_in=$(sed 's|/|\\|g' <<<"Z:$work/in/")
win_tree=$(sed 's|/|\\|g' <<<"Z:$win_home/ExtractedFiles/sample.mpak")
TARNWICK_HOME=$(sed 's|/|\\|g' <<<"Z:$win_home") scenario win "$win_in" "$win_tree" \
  "$wine" "$win_bin/tarnwick.exe"

# The two sides name their folders differently: each home becomes HOME, "\" becomes "/".
normal() {
  sed -e "s|$(sed 's|/|\\\\|g' <<<"Z:$win_home")|HOME|g" -e "s|$lin_home|HOME|g" \
    -e "s|$(sed 's|/|\\\\|g' <<<"Z:$work/in")|IN|g" -e "s|$work/in|IN|g" -e 's|\\|/|g' "$1"
}
for step in "$work"/lin/[0-9]*; do
  name=$(basename "$step")
  [[ $name == *.boxes ]] && continue
  if ! cmp -s <(normal "$step") <(normal "$work/win/$name"); then
    echo "FAIL $name: the log panes differ"
    diff <(normal "$step") <(normal "$work/win/$name") | head -20 || true
    failures=$((failures + 1))
  elif ! cmp -s "$step.boxes" "$work/win/$name.boxes" 2>/dev/null &&
    [[ -e $step.boxes || -e $work/win/$name.boxes ]]; then
    echo "FAIL $name: message boxes differ"
    failures=$((failures + 1))
  else
    echo "same $name ($(wc -l <"$step") lines)"
  fi
done
# Both packed archives are the same bytes.
if ! cmp -s "$lin_home/NewMPAKs/sample.mpak" "$win_home/NewMPAKs/sample.mpak"; then
  echo "FAIL the packed archives differ (or one is missing)"
  failures=$((failures + 1))
fi
# A step whose log is empty on both sides proves nothing, but the start.
for step in 02-open 03-extract 04-help 05-model 06-package 07-sounds 08-pack 09-second-start \
  10-filtered-extract; do
  [[ -s $work/lin/$step ]] || { echo "FAIL $step: the log pane was empty"; failures=$((failures + 1)); }
done
# The chooser's folder is remembered in the registry, under the application's key.
remembered=$("$wine" reg query 'HKCU\Software\Tarnwick\Preferences' /v OpenFilePath 2>/dev/null |
  tr -d '\r' | sed -n 's/.*REG_SZ *//p')
if [[ $remembered != "${win_in%\\}" ]]; then
  echo "FAIL the remembered folder is \"$remembered\", not \"${win_in%\\}\""
  failures=$((failures + 1))
fi

# Closed in the middle of extracting 3000 files, the window leaves no temporary file.
python3 - "$work/many" <<'PY'
import os, random, sys
r = random.Random(7)
for i in range(3000):
    folder = os.path.join(sys.argv[1], "d%02d" % (i % 30))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%04d.bin" % i), "wb") as f:
        f.write(r.randbytes(60000))
PY
"$lin_bin/tarnwick-cli" pack "$work/many" -o "$work/in/many.mpak" >/dev/null 2>&1
rm -rf "$work/many" "$win_home/ExtractedFiles"

# extract_many: starts tarnwick.exe with many.mpak and extracts every entry; sets `window`
# and `pid`, two seconds into the extraction.
extract_many() {
  TARNWICK_HOME=$(sed 's|/|\\|g' <<<"Z:$win_home") "$wine" "$win_bin/tarnwick.exe" \
    "${win_in}many.mpak" >/dev/null 2>&1 &
  pid=$!
  pids+=("$pid")
  window=$(window_named '^Tarnwick .')
  sleep 3
  click "$window" butSelectAll
  click "$window" butMassExtract
  sleep 2
}

# Escape in the middle of extracting them stops after the current file: the log says how
# far it got, and no temporary is left.
extract_many
xdotool windowactivate --sync "$window" key Escape
sleep 2
log "$window" "$work/cancelled"
last=$(tail -1 "$work/cancelled")
left=$(find "$win_home" -name '*.tmp' | wc -l)
if [[ ! $last =~ ^Extraction\ cancelled\ after\ [0-9]+\ of\ 3000\ entries\.$ || $left != 0 ]]; then
  echo "FAIL Escape mid-extraction: the log ends \"$last\", $left temporaries left"
  failures=$((failures + 1))
else
  echo "Escape mid-extraction: \"$last\", no temporary left"
fi
close "$window" "$pid" || failures=$((failures + 1))
rm -rf "$win_home/ExtractedFiles"

extract_many
close "$window" "$pid" || failures=$((failures + 1))
written=$(find "$win_home/ExtractedFiles" -type f ! -name '*.tmp' | wc -l)
left=$(find "$win_home" -name '*.tmp' | wc -l)
if [[ $left != 0 || $written -ge 3000 || $written == 0 ]]; then
  echo "FAIL closed mid-extraction: $written of 3000 files written, $left temporaries left"
  failures=$((failures + 1))
else
  echo "closed mid-extraction after $written of 3000 files, no temporary left"
fi

if [[ -n $shots ]]; then
  mkdir -p "$shots"
  cp "$work/lin/loaded.png" "$shots/window.png"
  cp "$work/win/loaded.png" "$shots/window-windows.png"
fi
[[ $failures == 0 ]] || { echo "$failures steps differ"; exit 1; }
echo "the windows wrote the same logs"
