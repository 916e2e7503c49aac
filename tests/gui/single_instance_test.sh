#!/usr/bin/env bash
# A second window started for the same program folder ends at once and silently, and
# leaves the first one running; start-up has made the five working folders. An archive
# given to the second instance opens in the first window.
set -u
bin=$1
sample=$2
home=$(mktemp -d)
export TARNWICK_HOME=$home QT_QPA_PLATFORM=offscreen
"$bin" >/dev/null 2>&1 &
first=$!
trap 'kill $first 2>/dev/null; rm -rf "$home"' EXIT
for _ in $(seq 50); do [ -d "$home/Sounds" ] && break; sleep 0.1; done
for folder in ExtractedFiles Temp NewMPAKs Library Sounds; do
  [ -d "$home/$folder" ] || { echo "FAIL: $folder was not made"; exit 1; }
done
start=$(date +%s)
timeout 10 "$bin" >/dev/null 2>&1
code=$?
[ "$code" -eq 0 ] || { echo "FAIL: the second instance exited with $code"; exit 1; }
[ $(( $(date +%s) - start )) -le 3 ] || { echo "FAIL: the second instance did not end at once"; exit 1; }
kill -0 $first 2>/dev/null || { echo "FAIL: the first instance is gone"; exit 1; }

cp "$sample" "$home/handed.mpak"
timeout 10 "$bin" "$home/handed.mpak" >/dev/null 2>&1 || { echo "FAIL: handing over an archive"; exit 1; }
for _ in $(seq 50); do [ -f "$home/Library/handed.mpak.toc" ] && break; sleep 0.1; done
[ -f "$home/Library/handed.mpak.toc" ] || { echo "FAIL: the first window did not open the handed archive"; exit 1; }
echo "2 passed, 0 failed"
