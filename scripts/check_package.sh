#!/usr/bin/env bash
# Builds the Debian package from a build folder and holds it to Debian's checks: lintian
# with no error and no warning, AppStream metadata that appstreamcli validates, a desktop
# entry that desktop-file-validate accepts, and a manual page for every program.
#   scripts/check_package.sh [BUILD_FOLDER]   (default: build/dev)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build/dev}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(ls "$work"/tarnwick_*.deb)
echo "== lintian $(basename "$deb")"
lintian --fail-on error,warning "$deb"
dpkg-deb -x "$deb" "$work/root"
echo "== appstreamcli validate"
appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml
desktop-file-validate "$work"/root/usr/share/applications/tarnwick.desktop
for program in tarnwick tarnwick-cli fsbext; do
  page="$work/root/usr/share/man/man1/$program.1.gz"
  [ -s "$page" ] || { echo "no manual page for $program"; exit 1; }
  # The page must render without complaint from man.
  problems=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null || true)
  [ -z "$problems" ] || { echo "$program.1: $problems"; exit 1; }
done
echo "package checks passed"
