#!/usr/bin/env bash
# Sets everything up, builds, and starts Tarnwick: the window where a display exists,
# otherwise a demo of the command line on the bundled sample archive.
#   scripts/run.sh [ARCHIVE]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" release
bin=$here/build/release/bin
sample=$here/build/release/samples/sample.mpak

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$bin/tarnwick" "$@"
fi

echo
echo "No display found: showing what the command line does with the bundled sample archive."
archive=${1:-$sample}
demo=$(mktemp -d)
trap 'rm -rf "$demo"' EXIT
set -x
"$bin/tarnwick-cli" list "$archive"
"$bin/tarnwick-cli" toc "$archive" -o "$demo/sample.mpak.toc"
awk 1 "$demo/sample.mpak.toc"   # the table ends without a line end
"$bin/tarnwick-cli" extract "$archive" -o "$demo/sample.mpak"
"$bin/tarnwick-cli" verify "$archive"
"$bin/tarnwick-cli" roundtrip "$archive"
find "$demo/sample.mpak" -type f | sort
"$bin/tarnwick-cli" pack "$demo/sample.mpak" --toc "$demo/sample.mpak.toc" -o "$demo/repacked.mpak"
"$bin/tarnwick-cli" verify "$demo/repacked.mpak"
if cmp -s "$archive" "$demo/repacked.mpak"; then
  echo "the repacked archive is byte for byte the original"
fi
if [ -f "$demo/sample.mpak/sound/bank1.fsb" ]; then
  "$bin/tarnwick-cli" sounds "$demo/sample.mpak/sound/bank1.fsb"
  "$bin/fsbext" -d "$demo/sounds" -a "$demo/sample.mpak/sound/bank1.fsb"
  file "$demo/sounds"/* 2>/dev/null || ls -l "$demo/sounds"
fi
