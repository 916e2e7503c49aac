#!/usr/bin/env bash
# One window per program folder, with two real processes: a second window started for the
# same program folder ends at once and silently and leaves the first one running; an
# archive handed over by a later start opens in the first window, which lives on; the
# lock file and the socket are gone when the first window ends and one pair serves every
# start of the same folder.
set -u
bin=$1
sample=$2
home=$(mktemp -d)
tmp=$(mktemp -d)  # the windows' own temporary folder, so nothing else's files count
export TARNWICK_HOME=$home QT_QPA_PLATFORM=offscreen TMPDIR=$tmp
first=
trap 'kill $first 2>/dev/null; rm -rf "$home" "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
passed=0

start_first() {
  "$bin" >/dev/null 2>&1 &
  first=$!
  # Listening comes before start-up has made the working folders: wait for both.
  for _ in $(seq 100); do
    [ -S "$(ls -d "$tmp"/tarnwick-* 2>/dev/null | grep -v '\.lock$' | head -n 1)" ] &&
      [ -d "$home/Sounds" ] && break
    sleep 0.1
  done
}
# The files the windows keep in the temporary folder.
leftovers() { find "$tmp" -maxdepth 1 -name 'tarnwick-*' | sort; }

start_first
for folder in ExtractedFiles Temp NewMPAKs Library Sounds; do
  [ -d "$home/$folder" ] || fail "$folder was not made"
done
start=$(date +%s)
timeout 10 "$bin" >/dev/null 2>&1
code=$?
[ "$code" -eq 0 ] || fail "the second instance exited with $code"
[ $(( $(date +%s) - start )) -le 3 ] || fail "the second instance did not end at once"
kill -0 $first 2>/dev/null || fail "the first instance is gone"
passed=$((passed + 1))

# Two archives handed over one after the other: each opens, and the window survives both.
for name in handed.mpak second.mpak; do
  cp "$sample" "$home/$name"
  timeout 10 "$bin" "$home/$name" >/dev/null 2>&1 || fail "handing over $name"
  for _ in $(seq 50); do [ -f "$home/Library/$name.toc" ] && break; sleep 0.1; done
  [ -f "$home/Library/$name.toc" ] || fail "the first window did not open $name"
  sleep 1
  kill -0 $first 2>/dev/null || fail "the first window died after opening $name"
done
passed=$((passed + 1))

# The same folder spelled another way is the same window.
mkdir "$home/sub"
TARNWICK_HOME="$home/sub/.." timeout 10 "$bin" >/dev/null 2>&1 || fail "a start through sub/.."
[ "$(leftovers | wc -l)" -eq 2 ] || fail "a folder spelled another way got its own lock: $(leftovers)"

# Ended by a signal, the window takes its lock file and socket with it.
kill -TERM $first
wait $first 2>/dev/null
[ -z "$(leftovers)" ] || fail "left behind after SIGTERM: $(leftovers)"
# Killed outright, it leaves them; the next start for the folder takes them over.
start_first
kill -KILL $first
wait $first 2>/dev/null
start_first
sleep 0.5
[ "$(leftovers | wc -l)" -eq 2 ] || fail "a start after a kill made new files: $(leftovers)"
kill -0 $first 2>/dev/null || fail "the window after a kill did not start"
kill -HUP $first
wait $first 2>/dev/null
[ -z "$(leftovers)" ] || fail "left behind after SIGHUP: $(leftovers)"
passed=$((passed + 1))
echo "$passed passed, 0 failed"
