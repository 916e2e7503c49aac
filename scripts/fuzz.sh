#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a few seconds, starting from
# its committed seed corpus.   scripts/fuzz.sh [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
cd "$here"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_archive_reader fuzz_library_toc fuzz_model_scan fuzz_package fuzz_sound_bank
for target in build/fuzz/bin/fuzz_*; do
  name=$(basename "$target")
  seeds=fuzz/corpus/${name#fuzz_}
  work=build/fuzz/corpus-work/${name#fuzz_}
  mkdir -p "$work"
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=0 "$work" "$seeds" 2>&1 | tail -n 3
done
