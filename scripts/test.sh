#!/usr/bin/env bash
# Sets up, builds and runs every test of VORN, headless. The suite runs under a
# decimal-comma locale on purpose: numbers in files must keep their point.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VORN_BUILD_DIR:-$here/build}
"$here/scripts/setup.sh"
"$here/scripts/build.sh"
cd "$build"
export LC_ALL=de_DE.UTF-8
export VORN_PORTS_DIR
VORN_PORTS_DIR=$(mktemp -d)
trap 'rm -rf "$VORN_PORTS_DIR"' EXIT
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j4 --timeout 300
