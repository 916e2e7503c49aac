#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them from their committed seeds.
#   scripts/fuzz.sh [SECONDS]              each target for SECONDS (20 by default)
#   scripts/fuzz.sh --runs N [TARGET...]   a campaign: N executions per target (all five
#                                          by default), kept in build/fuzz/campaign/TARGET
# A crash, leak or hang stops the target with its input saved as build/fuzz/TARGET-crash-*;
# the script then fails.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
all=(archive_reader library_toc model_scan package sound_bank)
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
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]/#/fuzz_}"
for name in "${targets[@]}"; do
  # A library table is read line by line, so 4 KiB of lines reach all of its parser and
  # keep the runs fast; the binary formats get 64 KiB.
  max_len=65536
  [[ $name == library_toc ]] && max_len=4096
  work=$work_root/$name
  mkdir -p "$work"
  echo "== fuzz_$name: ${limit[0]}, inputs up to $max_len bytes"
  log=build/fuzz/$name.log
  start=$(date +%s)
  status=0
  build/fuzz/bin/fuzz_"$name" "${limit[@]}" -max_len=$max_len -timeout=10 \
    -artifact_prefix=build/fuzz/"$name"- "$work" fuzz/corpus/"$name" >"$log" 2>&1 || status=$?
  grep -E '^(stat::|SUMMARY|artifact_prefix|Test unit written|Done )|DONE|ERROR' "$log" || true
  echo "fuzz_$name: exit $status, $(($(date +%s) - start)) s, corpus $(ls "$work" | wc -l) files"
  [[ $status -eq 0 ]] || { tail -n 40 "$log"; exit "$status"; }
done
