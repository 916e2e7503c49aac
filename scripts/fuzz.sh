#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them from their committed seeds.
#   scripts/fuzz.sh [SECONDS]              each target for SECONDS (20 by default)
#   scripts/fuzz.sh --runs N [TARGET...]   a campaign: N executions per target (all six
#                                          by default), kept in build/fuzz/campaign/TARGET
# A crash, leak or hang stops the target with its input saved as build/fuzz/TARGET-crash-*;
# the script then fails.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
all=(archive_reader library_toc model_scan package sound_bank tga_image)
if [[ ${1:-} == --runs ]]; then
  runs=${2:?--runs needs a number}
  shift 2
  targets=("${all[@]}")
  [[ $# -eq 0 ]] || targets=("$@")
  limit=(-runs="$runs" -print_final_stats=1)
  work_root=build/fuzz/campaign
else
  targets=("${all[@]}")
  limit=(-max_total_time="${1:-20}" -print_final_stats=0)
  work_root=build/fuzz/corpus-work
fi
# Undefined behaviour stops the run like a crash does, instead of a line in the log.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
# The targets come from the optimised fuzz build, or from TARNWICK_FUZZ_BUILD (the test
# command uses the sanitizer build it has just built, which holds them too).
bin=${TARNWICK_FUZZ_BUILD:-build/fuzz}/bin
if [[ -z ${TARNWICK_FUZZ_BUILD:-} ]]; then
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz --target "${targets[@]/#/fuzz_}"
else
  cmake --build "$TARNWICK_FUZZ_BUILD" --target "${targets[@]/#/fuzz_}"
fi
mkdir -p build/fuzz
# One target: its run, its summary lines, and its log's end when it failed.
fuzz_one() {
  local name=$1 max_len=65536 status=0 start
  # A library table is read line by line, so 4 KiB of lines reach all of its parser and
  # keep the runs fast; the binary formats get 64 KiB.
  [[ $name == library_toc ]] && max_len=4096
  local work=$work_root/$name log=build/fuzz/$name.log
  mkdir -p "$work"
  start=$(date +%s)
  "$bin/fuzz_$name" "${limit[@]}" -max_len=$max_len -timeout=10 \
    -artifact_prefix=build/fuzz/"$name"- "$work" fuzz/corpus/"$name" >"$log" 2>&1 || status=$?
  {
    echo "== fuzz_$name: ${limit[0]}, inputs up to $max_len bytes"
    grep -E '^(stat::|SUMMARY|artifact_prefix|Test unit written|Done )|DONE|ERROR' "$log" || true
    echo "fuzz_$name: exit $status, $(($(date +%s) - start)) s, corpus $(ls "$work" | wc -l) files"
    [[ $status -eq 0 ]] || tail -n 40 "$log"
  } >"$log.summary"
  return "$status"
}

# The targets run side by side, one a core; each one's summary is printed when it ends.
failed=0
running=()
finish_one() {
  local pid=$1 name=$2 status=0
  wait "$pid" || status=$?
  cat "build/fuzz/$name.log.summary"
  [[ $status -eq 0 ]] || failed=$status
}
slots=$(nproc)
for name in "${targets[@]}"; do
  if [[ ${#running[@]} -ge $slots ]]; then
    finish_one "${running[0]%%:*}" "${running[0]#*:}"
    running=("${running[@]:1}")
  fi
  fuzz_one "$name" &
  running+=("$!:$name")
done
for job in "${running[@]}"; do
  finish_one "${job%%:*}" "${job#*:}"
done
exit "$failed"
