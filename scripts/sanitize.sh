#!/usr/bin/env bash
# Builds the whole suite with AddressSanitizer and UndefinedBehaviorSanitizer
# (benchmarks off; -O1 and line tables only, all a report needs, which shortens
# the build) and runs it as scripts/test.sh does. Any report fails the test
# that met it: undefined behaviour stops the program.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VORN_ASAN_BUILD_DIR:-$here/build-asan}
"$here/scripts/setup.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_SANITIZE=ON \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DVORN_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)"
cd "$build"
export LC_ALL=de_DE.UTF-8
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export VORN_PORTS_DIR
VORN_PORTS_DIR=$(mktemp -d)
trap 'rm -rf "$VORN_PORTS_DIR"' EXIT
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 --timeout 600
