#!/bin/sh
# Runs a Windows program of the cross build under Wine: the CMAKE_CROSSCOMPILING_EMULATOR
# of cmake/mingw-w64.cmake, so ctest and gtest_discover_tests() run the tests through it.
#   wine-run.sh WINE WINEPREFIX PROGRAM.exe [ARGS...]
# Quiet (WINEDEBUG=-all unless set), without a display (console programs need none), and
# never asking to install Mono or Gecko.
set -e
wine=$1
export WINEPREFIX="$2"
shift 2
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64
# Wine converts arguments and file names between the Unix side and UTF-16 with the Unix
# locale's character set: under LANG=C an "é" becomes "C)". The Windows side is the same
# either way (GetACP() is 1252 under C and C.UTF-8 alike).
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY

# ctest waits until every process holding a test's output pipe has gone. The first Wine
# program of a session starts the wineserver and Wine's own services (winedevice.exe and
# others), which inherit that pipe and stay until the server ends, so every test would wait
# for them and then start them anew: 4 s a test instead of 0.1 s. Start the server and the
# services here, away from the pipe, once: the server ends itself 30 s after the last program.
# The lock (a file beside the prefix) keeps two tests started at once from both doing it;
# its descriptor must not reach the processes that stay, or it would stay locked while they
# live. A new prefix is created first (wineboot, 15 s), also away from the pipe.
server=$(dirname "$wine")/wineserver64
[ -x "$server" ] || server=$(dirname "$wine")/wineserver
[ -x "$server" ] || server=$(command -v wineserver || true)
if [ -n "$server" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$wine" wineboot --init </dev/null >/dev/null 2>&1 9>&- || true
      "$server" -w 9>&- || true
    fi
    # Exit status 0: a new server (2 when one runs already for this prefix).
    if "$server" -p30 </dev/null >/dev/null 2>&1 9>&-; then
      "$wine" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$wine" "$@"
