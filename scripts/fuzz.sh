#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a fixed, seeded
# time (FUZZ_SECONDS, default 60) from the corpus in the repository. New
# inputs go to a scratch copy; a crash fails the run and leaves its input in
# build-fuzz/crashes, to be kept in tests/fuzz/crashes/<target>.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VORN_FUZZ_BUILD_DIR:-$here/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
"$here/scripts/setup.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DVORN_FUZZ=ON -DBUILD_TESTING=OFF -DVORN_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target vorn_fuzz_targets
mkdir -p "$build/crashes"
# A small quarantine and hard limits, so that real growth fails the run
# instead of hiding behind the sanitizer's own bookkeeping.
export ASAN_OPTIONS="abort_on_error=1:quarantine_size_mb=32${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
for corpus in "$here"/tests/fuzz/corpus/*/; do
  name=$(basename "$corpus")
  scratch=$(mktemp -d)
  cp "$corpus"* "$scratch"/
  [ -d "$here/tests/fuzz/crashes/$name" ] && cp "$here/tests/fuzz/crashes/$name/"* "$scratch"/ 2>/dev/null || true
  echo "fuzz_$name: ${seconds} s"
  log="$build/fuzz_$name.log"
  status=0
  "$build/fuzz_$name" -seed=1 -max_total_time="$seconds" -print_final_stats=1 \
    -rss_limit_mb=512 -malloc_limit_mb=64 -max_len=4096 \
    -artifact_prefix="$build/crashes/$name-" "$scratch" >"$log" 2>&1 || status=$?
  rm -rf "$scratch"
  tail -n 12 "$log"
  if [ "$status" -ne 0 ]; then
    echo "fuzz_$name found a crash (exit $status); its input is in $build/crashes" >&2
    exit 1
  fi
done
