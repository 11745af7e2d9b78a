#!/usr/bin/env bash
# The Windows build, cross-built here with MinGW and tested under Wine:
#   1. vorn.exe, vorn-stats.exe, vorn-stats-report.exe, vorn-monitor.exe and
#      the widget-free test programs, into build-windows/ (reused, ccache;
#      a unity build: MinGW spends most of its time in Qt's headers);
#   2. those tests, run under Wine by CTest;
#   3. vorn-stats.exe against the Linux vorn-stats: the same standard output,
#      byte for byte, in text, CSV and JSON (both in UTC);
#   4. the portable zip, unpacked and run from where it was unpacked: each
#      program starts with only what the zip holds;
#   5. vorn.exe opening a data file under Xvfb: its statistics window shows,
#      and a screenshot of it goes to build-windows/screenshots/;
#   6. vorn-monitor.exe recording the meter emulator through COM1 (its
#      pseudo-terminal mapped in the prefix's registry) for 25 s, stopped
#      with Ctrl+C: one reading a second at the emulator's level, interval
#      rows equal to the Linux vorn-stats on the day file;
#   7. vorn.exe --port COM1 under Xvfb: its panel shows, mirroring the
#      emulator (a screenshot: build-windows/screenshots/panel-on-com1.png);
#   8. the installer, in a Wine prefix of its own: a silent install (/S) puts
#      the programs, the Start menu entry, the .vorn type and the user's PATH
#      in place, vorn-stats.exe runs from PATH, a .vorn file opened through
#      its type starts vorn.exe with it, and the uninstaller removes it all;
#      a user PATH of 1,439 characters is appended to, kept by an upgrade and
#      given back whole, and a long system PATH keeps every entry.
# The toolchain is unpacked from ../shared/toolchains into build-windows/;
# the CMake cache variable VORN_WINDOWS_QT points at another MinGW Qt.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VORN_WINDOWS_BUILD_DIR:-$here/build-windows}
linux=${VORN_BUILD_DIR:-$here/build}
start=$SECONDS
"$here/scripts/setup.sh" windows
qt=${VORN_WINDOWS_QT:-$build/qt6.4.2-mingw64}
if [ ! -d "$qt" ]; then
  mkdir -p "$build"
  tar -C "$build" -xJf "$here/../shared/toolchains/qt6.4.2-mingw64.tar.xz"
fi
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DVORN_WINDOWS_QT="$qt" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DVORN_BENCHMARKS=OFF \
  -DCMAKE_UNITY_BUILD=ON -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" >/dev/null
cmake --build "$build" -j"$(nproc)"
# The Linux vorn-stats, to compare with.
"$here/scripts/build.sh" >/dev/null
echo "windows build: $((SECONDS - start)) s"

# Wine: a prefix of this build's own, quiet, with the DLLs' folders on its PATH.
export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
windows() { printf 'Z:%s' "${1//\//\\}"; }
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
pthread=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)")
export WINEPATH="$(windows "$qt/bin");$(windows "$runtime");$(windows "$pthread")"
export QT_PLUGIN_PATH="$(windows "$qt/plugins")"
# The prefix is made (and its start-up chatter said) once, before any run.
"$wine" cmd /c exit >/dev/null 2>&1 || true

failed=0
check() { # name, then a command that succeeds when the check passes
  local name=$1
  shift
  if "$@"; then echo "passed: $name"; else echo "FAILED: $name"; failed=$((failed + 1)); fi
}

# 2. The widget-free tests, one at a time: Wine keeps one local zone for the
# prefix's running programs, and a test started in another zone (LOCAL_ZONE)
# was seen to move a running test's clock.
check "the test programs under Wine" \
  bash -c "cd '$build' && TZ=UTC ctest --output-on-failure -j1 --timeout 300"
echo "windows tests: $((SECONDS - start)) s"

samples=$(mktemp -d)
trap 'rm -rf "$samples"; "$wineserver" -k 2>/dev/null || true' EXIT
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

# 3. vorn-stats.exe against vorn-stats.
same_output() { # program arguments...
  TZ=UTC "$linux/src/vorn-stats" "$@" >linux.out 2>/dev/null || true
  TZ=UTC "$wine" "$build/src/vorn-stats.exe" "$@" >windows.out 2>/dev/null || true
  cmp -s linux.out windows.out || { diff linux.out windows.out | head -5; return 1; }
}
for args in "day.vorn" "--csv day.vorn" "--json --intervals 1h --lden day.vorn" \
            "--csv --intervals 15min day.vorn" "--join --json --lden day.vorn next.vorn"; do
  # shellcheck disable=SC2086
  check "vorn-stats $args: the same output" same_output $args
done

# Paths in messages have Windows' separators, also where the program made them.
native_paths() {
  mkdir -p station
  cp day.vorn "station/fence 2026-03-04.vorn"
  : >"station/fence 2026-03-05.vorn"
  local said
  said=$(TZ=UTC "$wine" "$build/src/vorn-stats.exe" station 2>&1 >/dev/null) || true
  grep -q 'station\\fence 2026-03-05.vorn: The file is empty' <<<"$said" \
    || { echo "$said" | head -5; return 1; }
}
check "vorn-stats: paths in messages with backslashes" native_paths

# 4. The portable zip, run with nothing but what it holds.
# The programs in both are signed when VORN_SIGN_CERT gives a certificate,
# and the installer after them; without one, the build says so.
(cd "$build" && cpack -G ZIP >cpack.log && cpack -G NSIS >>cpack.log)
grep -E '^(not )?signed' "$build/cpack.log" | sort -u || true
version=$(sed -n 's/^project(VORN VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
bash "$here/scripts/sign-windows.sh" "$build/package/vorn-$version-windows-x64.exe" | grep -v '^not signed' || true

# A test-signed copy of the installer carries a signature that verifies
# against its test authority, and a program signed so still runs.
signing() {
  local ca=$samples/ca cert=$samples/sign
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$ca.key" -out "$ca.pem" -days 2 \
    -subj "/CN=VORN test authority" -addext "basicConstraints=critical,CA:TRUE" 2>/dev/null || return 1
  openssl req -newkey rsa:2048 -nodes -keyout "$cert.key" -out "$cert.csr" \
    -subj "/CN=VORN developers" 2>/dev/null || return 1
  printf 'extendedKeyUsage=codeSigning\nkeyUsage=digitalSignature\n' >"$cert.ext"
  openssl x509 -req -in "$cert.csr" -CA "$ca.pem" -CAkey "$ca.key" -CAcreateserial -days 2 \
    -extfile "$cert.ext" -out "$cert.pem" 2>/dev/null || return 1
  cp "$build/package/vorn-$version-windows-x64.exe" "$samples/signed-installer.exe"
  VORN_SIGN_CERT=$cert.pem VORN_SIGN_KEY=$cert.key \
    bash "$here/scripts/sign-windows.sh" "$samples/signed-installer.exe" >/dev/null || return 1
  osslsigncode verify -CAfile "$ca.pem" -in "$samples/signed-installer.exe" 2>&1 |
    grep -q 'Signature verification: ok' || { echo "the signature does not verify"; return 1; }
  [ "$(bash "$here/scripts/sign-windows.sh" "$samples/signed-installer.exe")" = \
    "not signed: no certificate (set VORN_SIGN_CERT to sign the programs and the installer)" ]
}
check "a test-signed installer's signature verifies" signing
zip_file=$build/package/vorn-$version-windows-x64.zip
unzip -q "$zip_file" -d unpacked
portable=$samples/unpacked/vorn-$version-windows-x64/bin
from_zip() { # program, expected text, arguments...
  local program=$1 expected=$2
  shift 2
  local said
  said=$(WINEPATH= QT_PLUGIN_PATH= "$wine" "$portable/$program" "$@" 2>&1) || true
  grep -q "$expected" <<<"$said"
}
check "zip: vorn-stats runs from it" from_zip vorn-stats.exe "Leq" day.vorn
check "zip: vorn-monitor refuses MQTT" from_zip vorn-monitor.exe "built without MQTT" \
  --port COM1 --folder x --mqtt mqtt://localhost
check "zip: vorn-stats-report writes a PDF" \
  bash -c "WINEPATH= QT_PLUGIN_PATH= '$wine' '$portable/vorn-stats.exe' --pdf day.pdf day.vorn >/dev/null 2>&1; head -c 5 day.pdf | grep -q '%PDF-'"
check "zip: every program carries its icon" bash -c "
  for p in vorn vorn-stats vorn-stats-report vorn-monitor; do
    x86_64-w64-mingw32-objdump -h '$portable/'\$p.exe | grep -q '\\.rsrc' || exit 1
  done"

# 5. vorn.exe opens a data file: its statistics window, on screen and seen.
shots=$build/screenshots
mkdir -p "$shots"
# A program on a screen of its own: true once a window whose title holds
# TEXT is mapped; after SETTLE seconds the screen goes to SHOT ("-": none).
cat >on_screen.sh <<'SH'
text=$1 settle=$2 shot=$3
shift 3
"$@" >/dev/null 2>&1 &
shown=1
for _ in $(seq 240); do
  sleep 0.5
  if xwininfo -root -tree 2>/dev/null | grep -qF "$text"; then shown=0; break; fi
done
sleep "$settle"
[ "$shot" = - ] || import -window root "$shot" 2>/dev/null || true
"$wineserver" -k 2>/dev/null || true
exit $shown
SH
on_screen() { # TEXT SETTLE SHOT COMMAND...
  # Wine picks its display when its server starts: one started without X
  # would show nothing.
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
  env wineserver="$wineserver" xvfb-run -a -s "-screen 0 1280x1024x24" \
    bash "$samples/on_screen.sh" "$@"
}
check "vorn.exe FILE.vorn shows its statistics window" \
  on_screen '"day.vorn"' 2 "$shots/statistics-window.png" \
  env WINEPATH= QT_PLUGIN_PATH= "$wine" "$portable/vorn.exe" day.vorn

# 6. The station on COM1, against the meter emulator (Linux, on a pty).
export VORN_PORTS_DIR=$samples/ports
"$linux/tools/meter-emulator/vorn-meter-emulator" --port COM1 --level 72.4 >/dev/null 2>&1 &
emulator=$!
for _ in $(seq 50); do [ -L "$VORN_PORTS_DIR/COM1" ] && break; sleep 0.1; done
"$wine" reg add 'HKEY_LOCAL_MACHINE\Software\Wine\Ports' /v COM1 /t REG_SZ \
  /d "$(readlink "$VORN_PORTS_DIR/COM1")" /f >/dev/null 2>&1
"$wineserver" -w 2>/dev/null || true # the next start links COM1 to it
station() {
  TZ=UTC WINEPATH= QT_PLUGIN_PATH= "$wine" "$portable/vorn-monitor.exe" --port COM1 --folder site --station s1 \
    --interval 20s >station.out 2>&1 &
  sleep 25
  pkill -INT -f 'vorn-monitor.exe' || return 1 # Wine's Ctrl+C
  wait $! || true
  grep -q '^stopped' station.out || { cat station.out; return 1; }
  python3 - "$linux/src/vorn-stats" <<'PY'
import csv, glob, os, subprocess, sys
day = glob.glob("site/s1 ????-??-??.vorn")
assert len(day) == 1, day
rows = [l.split("\t") for l in open(day[0], newline="").read().split("\r\n")[10:] if l]
assert len(rows) >= 20 and all(r[2] == "72.4" for r in rows), rows[:3]
stamps = [r[1] for r in rows]
assert len(set(stamps)) == len(stamps), "a stamp twice"
out = subprocess.run([sys.argv[1], "--csv", "--intervals", "20", day[0]], capture_output=True,
                     text=True, env=dict(os.environ, TZ="UTC")).stdout
theirs = {r["start"]: r for r in csv.DictReader(out.splitlines())}
table = list(csv.DictReader(open(glob.glob("site/s1 ????-??-?? intervals.csv")[0])))
cols = ["readings", "coverage", "leq", "lmax", "lmin", "l10", "l50", "l90"]
for row in table:
    other = theirs.get(row["start"])
    assert other and all(other[c] == row[c] for c in cols), (row, other)
    assert row["partial"] == "yes" or other["end"] == row["end"], (row, other)
print(f"{len(rows)} readings, {len(table)} interval rows equal vorn-stats")
PY
}
check "vorn-monitor.exe records the emulator on COM1 and stops on Ctrl+C" station

# 7. The panel on COM1, on screen, a few readings in.
check "vorn.exe --port COM1 shows its panel" \
  on_screen '"Panel   V' 5 "$shots/panel-on-com1.png" \
  env WINEPATH= QT_PLUGIN_PATH= "$wine" "$portable/vorn.exe" --port COM1
kill "$emulator" 2>/dev/null || true

# 8. The installer, silent, in a prefix of its own.
installer() {
  local prefix=$samples/installed program_files
  program_files="$prefix/drive_c/Program Files/VORN"
  WINEPREFIX=$prefix "$wine" cmd /c exit >/dev/null 2>&1 || true
  local ours='C:\Program Files\VORN\bin' long
  install_silently() { # the installer's arguments after /S
    WINEPREFIX=$prefix WINEPATH= "$wine" "$build/package/vorn-$version-windows-x64.exe" /S "$@" ||
      return 1
    WINEPREFIX=$prefix "$wineserver" -w
  }
  uninstall_silently() { # the folder installed to
    WINEPREFIX=$prefix "$wine" "$1/Uninstall.exe" /S || return 1
    WINEPREFIX=$prefix "$wineserver" -w
    sleep 2 # the uninstaller runs from a copy of itself
    WINEPREFIX=$prefix "$wineserver" -w
    [ ! -e "$1" ] || { find "$1"; return 1; }
  }
  set_user_path() {
    WINEPREFIX=$prefix "$wine" reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$1" /f \
      >/dev/null 2>&1
  }
  # A user PATH longer than the installer's strings (1,024 characters):
  # appended to, kept through an upgrade, and given back whole; the upgrade
  # goes to the custom folder the first install was given. (Wine cuts a
  # process's PATH at about 1,100 characters, so what runs from PATH is
  # tried below with a short one.)
  local custom="$prefix/drive_c/Custom/VORN" customBin='C:\Custom\VORN\bin'
  long=$(python3 -c "print(';'.join(r'C:\\Tools\\package%03d\\bin' % i for i in range(60))[:1439])")
  set_user_path "$long" || return 1
  install_silently '/D=C:\Custom\VORN' || return 1
  install_silently || return 1
  [ -f "$custom/bin/vorn.exe" ] && [ ! -e "$program_files" ] ||
    { echo "the upgrade did not go to the custom folder"; return 1; }
  [ "$(user_path "$prefix")" = "$long;$customBin" ] ||
    { echo "user PATH after the upgrade: $(user_path "$prefix" | tail -c 120)"; return 1; }
  uninstall_silently "$custom" || return 1
  [ "$(user_path "$prefix")" = "$long" ] ||
    { echo "user PATH after the uninstall: $(user_path "$prefix" | tail -c 120)"; return 1; }
  ! WINEPREFIX=$prefix "$wine" reg query 'HKLM\Software\VORN developers' >/dev/null 2>&1 ||
    { echo "the vendor's key left"; return 1; }

  set_user_path 'C:\Tools' || return 1
  install_silently || return 1
  [ "$(user_path "$prefix")" = "C:\Tools;$ours" ] || { echo "PATH: $(user_path "$prefix")"; return 1; }
  [ -f "$program_files/bin/vorn.exe" ] && [ -f "$program_files/bin/platforms/qwindows.dll" ] ||
    { echo "not installed"; return 1; }
  ls "$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/VORN $version/"*.lnk \
    >/dev/null 2>&1 || { echo "no Start menu entry"; return 1; }
  WINEPREFIX=$prefix "$wine" reg query 'HKCR\VORN.DataFile\shell\open\command' 2>/dev/null |
    grep -q 'vorn.exe' || { echo "no .vorn type"; return 1; }
  local said
  # (An empty WINEPATH would hide the PATH of the registry.)
  said=$(env -u WINEPATH WINEPREFIX="$prefix" "$wine" cmd /c "vorn-stats.exe --version" 2>&1)
  grep -q "^vorn-stats $version" <<<"$said" || { echo "not on PATH: $said"; return 1; }
  # Opened as Explorer would: through the type's open command.
  WINEPREFIX=$prefix on_screen '"day.vorn"' 0 - \
    env -u WINEPATH "$wine" cmd /c start "" "$(windows "$PWD")\\day.vorn" ||
    { echo "not opened"; return 1; }
  uninstall_silently "$program_files" || return 1
  ! WINEPREFIX=$prefix "$wine" reg query 'HKCR\.vorn' >/dev/null 2>&1 || { echo ".vorn left"; return 1; }
  [ "$(user_path "$prefix")" = 'C:\Tools' ] || { echo "PATH left: $(user_path "$prefix")"; return 1; }
}
# The user's PATH as the registry holds it.
user_path() {
  WINEPREFIX=$1 "$wine" reg query 'HKCU\Environment' /v Path 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *Path *REG_[A-Z_]*SZ *//p'
}
check "the installer installs silently, and its uninstaller removes it all" installer

# The system PATH of an install for all users: system32 stays, whatever its length.
system_path() {
  local key='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' before after
  before=$("$wine" reg query "$key" /v Path | tr -d '\r' | sed -n 's/^ *Path *REG_[A-Z_]*SZ *//p')
  local padded="$before;$(python3 -c "print(';'.join(r'C:\\Tools\\system%03d' % i for i in range(80))[:1255])")"
  "$wine" reg add "$key" /v Path /t REG_EXPAND_SZ /d "$padded" /f >/dev/null 2>&1 || return 1
  WINEPATH= "$wine" "$portable/vorn-path.exe" add system 'C:\Program Files\VORN\bin' || return 1
  after=$("$wine" reg query "$key" /v Path | tr -d '\r' | sed -n 's/^ *Path *REG_[A-Z_]*SZ *//p')
  [ "$after" = "$padded;C:\Program Files\VORN\bin" ] || { echo "added: ${after: -120}"; return 1; }
  WINEPATH= "$wine" "$portable/vorn-path.exe" remove system 'C:\Program Files\VORN\bin\' || return 1
  after=$("$wine" reg query "$key" /v Path | tr -d '\r' | sed -n 's/^ *Path *REG_[A-Z_]*SZ *//p')
  "$wine" reg add "$key" /v Path /t REG_EXPAND_SZ /d "$before" /f >/dev/null 2>&1
  [ "$after" = "$padded" ] || { echo "removed: ${after: -120}"; return 1; }
}
check "a long system PATH is appended to and given back whole" system_path

echo "windows stage: $((SECONDS - start)) s, $failed failed"
exit $((failed > 0))
