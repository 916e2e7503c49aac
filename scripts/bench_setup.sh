# Sourced by the benchmark scripts: builds $bench_targets in the release benchmark build and makes
# the bench corpus the first time. Sets repo, work, build and runs.
#   bench_targets="TARGET..."; . "$(dirname "$0")/bench_setup.sh"
repo=$(cd "$(dirname "$0")/.." && pwd)
work=${BENCH_DIR:-/tmp/tarnwick-bench}
build=${BENCH_BUILD:-$repo/build/bench-release}
corpus_script=${CORPUS_SCRIPT:-$repo/../shared/bench/make_corpus.py}
runs=${RUNS:-3}

cmake --preset release -DTARNWICK_BUILD_TESTS=OFF -B "$build" >/dev/null
# shellcheck disable=SC2086  # one word per target
cmake --build "$build" -j2 --target $bench_targets

mkdir -p "$work"
if [ ! -d "$work/corpus" ]; then
  python3 "$corpus_script" --quiet "$work/corpus"
fi
