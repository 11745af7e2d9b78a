#!/usr/bin/env bash
# The Windows build, cross-built here with MinGW and run under Wine. So far:
# vorn-stats.exe, whose standard output must equal the Linux vorn-stats byte
# for byte (in UTC, paths aside). The toolchain is unpacked from
# ../shared/toolchains into build-windows/ (a CMake cache variable,
# VORN_WINDOWS_QT, points at another MinGW Qt).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VORN_WINDOWS_BUILD_DIR:-$here/build-windows}
linux=${VORN_BUILD_DIR:-$here/build}
"$here/scripts/setup.sh"
packages=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64 ninja-build)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi
qt=${VORN_WINDOWS_QT:-$build/qt6.4.2-mingw64}
if [ ! -d "$qt" ]; then
  mkdir -p "$build"
  tar -C "$build" -xJf "$here/../shared/toolchains/qt6.4.2-mingw64.tar.xz"
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DVORN_WINDOWS_QT="$qt" -DBUILD_TESTING=OFF -DVORN_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target vorn-stats
"$here/scripts/build.sh" >/dev/null

# Wine: a prefix of this build's own, quiet, with the DLLs' folders on its PATH.
export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
windows() { printf 'Z:%s' "${1//\//\\}"; }
export WINEPATH="$(windows "$qt/bin");$(windows /usr/lib/gcc/x86_64-w64-mingw32/12-posix);$(windows /usr/x86_64-w64-mingw32/lib)"

# The prefix is made (and its start-up chatter said) once, before any run.
"$wine" cmd /c exit >/dev/null 2>&1 || true

samples=$(mktemp -d)
trap 'rm -rf "$samples"' EXIT
cd "$samples"
python3 - <<'PY'
import datetime
def write(name, start, count, step):
    lines = ["Real Time", f" {step} ", "A", "Slow", "30-90", "70", "2026/03/04 00:00:00", "80", "70",
             "No.s\tDate Time\tdB\t"]
    for i in range(count):
        t = start + datetime.timedelta(seconds=step * i)
        lines.append(f"{i + 1}\t{t:%Y/%m/%d %H:%M:%S}\t{50 + i % 23}.{i % 10}\t")
    open(name, "w", newline="").write("\r\n".join(lines) + "\r\n")
write("day.vorn", datetime.datetime(2026, 3, 4, 6, 0), 8640, 10)
write("next.vorn", datetime.datetime(2026, 3, 5, 6, 0), 8640, 10)
PY
failed=0
for args in "day.vorn" "--csv day.vorn" "--json --intervals 1h --lden day.vorn" \
            "--csv --intervals 15min day.vorn" "--join --json --lden day.vorn next.vorn"; do
  # shellcheck disable=SC2086
  TZ=UTC "$linux/src/vorn-stats" $args >linux.out 2>/dev/null || true
  # shellcheck disable=SC2086
  TZ=UTC "$wine" "$build/src/vorn-stats.exe" $args >windows.out 2>/dev/null || true
  if cmp -s linux.out windows.out; then
    echo "same: vorn-stats $args"
  else
    echo "DIFFERENT: vorn-stats $args"
    diff linux.out windows.out | head -5
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit "$failed"
