#!/usr/bin/env bash
# Sets up and builds VORN, starts the bundled meter emulator on COM1 and then
# the program. The emulator stops when the program ends.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VORN_BUILD_DIR:-$here/build}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'MSG'
VORN is a desktop program and there is no display here (DISPLAY is not set).
Run it on a desktop session, or under a virtual X server:
    xvfb-run -a -s "-screen 0 1280x1024x24" bash scripts/run.sh
MSG
  exit 1
fi

"$here/scripts/setup.sh"
"$here/scripts/build.sh" >/dev/null

emulator_args=(--port COM1)
"$build/tools/meter-emulator/vorn-meter-emulator" "${emulator_args[@]}" "$@" &
emulator=$!
program=
stop() {
  [ -n "$program" ] && kill "$program" 2>/dev/null
  kill "$emulator" 2>/dev/null
  wait 2>/dev/null || true
}
trap stop EXIT
trap 'exit 130' INT TERM

# Wait until the emulator has made its COM1 link, so OK in the Port window finds it.
ports=${VORN_PORTS_DIR:-${XDG_RUNTIME_DIR:+$XDG_RUNTIME_DIR/vorn/ports}}
ports=${ports:-/tmp/vorn-$(id -u)/ports}
for _ in $(seq 50); do
  [ -e "$ports/COM1" ] && break
  kill -0 "$emulator" 2>/dev/null || { echo "The meter emulator did not start." >&2; exit 1; }
  sleep 0.1
done

"$build/src/vorn" &
program=$!
wait "$program"
