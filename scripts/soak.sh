#!/usr/bin/env bash
# A station left alone, with its faults: vorn-monitor against the meter
# emulator for MINUTES (default 30) at 1-minute intervals, its folder deleted
# once, its disk filled and freed once (on a small tmpfs; skipped with the
# reason where none can be mounted), the adapter pulled once, and a SIGTERM
# with a restart once. Then it checks what the station left:
#   - no stamp twice, and no gap but the pulled adapter and the restart;
#   - every whole interval row equals vorn-stats --join --intervals on that
#     day's files (a partial row in every column but end and partial);
#   - each fault said once in the events file, and its end once.
# Prints the figures and exits 1 when a check fails.
#
#   bash scripts/soak.sh [MINUTES]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VORN_BUILD_DIR:-$here/build}
minutes=${1:-30}
"$here/scripts/setup.sh"
"$here/scripts/build.sh" >/dev/null

work=$(mktemp -d)
export VORN_PORTS_DIR="$work/ports"
mkdir -p "$VORN_PORTS_DIR" "$work/disk"
small=no
if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=8m tmpfs "$work/disk" 2>/dev/null; then
  small=yes
fi
site="$work/disk/site"
emulator= monitor=
cleanup() {
  [ -n "$monitor" ] && kill "$monitor" 2>/dev/null
  [ -n "$emulator" ] && kill "$emulator" 2>/dev/null
  wait 2>/dev/null || true
  [ "$small" = yes ] && umount "$work/disk"
  rm -rf "$work"
}
trap cleanup EXIT

"$build/tools/meter-emulator/vorn-meter-emulator" --port COM1 >"$work/emulator.log" 2>&1 &
emulator=$!
for _ in $(seq 50); do [ -e "$VORN_PORTS_DIR/COM1" ] && break; sleep 0.1; done

start_monitor() {
  "$build/src/vorn-monitor" --port COM1 --folder "$site" --station soak --interval 1min \
    >>"$work/journal.log" 2>&1 &
  monitor=$!
}
at() { # seconds since the start
  local wait=$(( $1 - SECONDS ))
  [ "$wait" -gt 0 ] && sleep "$wait"
  return 0
}
total=$(( minutes * 60 ))
SECONDS=0
start_monitor
at $(( total * 15 / 100 ))
echo "$(date +%T) folder deleted"
rm -rf "$site"
if [ "$small" = yes ]; then
  at $(( total * 30 / 100 ))
  echo "$(date +%T) disk filled"
  dd if=/dev/zero of="$work/disk/filler" bs=64k 2>/dev/null || true
  at $(( total * 40 / 100 ))
  echo "$(date +%T) disk freed"
  rm -f "$work/disk/filler"
else
  echo "disk full skipped: no tmpfs can be mounted here (needs root)"
fi
at $(( total * 55 / 100 ))
echo "$(date +%T) adapter pulled for 20 s"
echo "unplug 20" >"$VORN_PORTS_DIR/COM1.control"
at $(( total * 75 / 100 ))
echo "$(date +%T) SIGTERM and a restart"
kill -TERM "$monitor"; wait "$monitor" || true
start_monitor
at "$total"
kill -TERM "$monitor"; wait "$monitor" || true
monitor=

python3 - "$site" "$build/src/vorn-stats" "$small" <<'PY'
import csv, datetime, glob, os, subprocess, sys
site, stats, small = sys.argv[1], sys.argv[2], sys.argv[3] == "yes"
failed = []
def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failed.append(what)

days = {}
for path in sorted(glob.glob(os.path.join(site, "soak *.vorn"))):
    days.setdefault(os.path.basename(path)[5:15], []).append(path)
stamps = []
for files in days.values():
    for path in files:
        with open(path, encoding="latin-1") as f:
            for line in f:
                parts = line.rstrip("\r\n").split("\t")
                if len(parts) >= 3 and parts[1][:4].isdigit():
                    stamps.append(datetime.datetime.strptime(parts[1], "%Y/%m/%d %H:%M:%S"))
stamps.sort()
print(f"readings in day files: {len(stamps)} in {len(glob.glob(os.path.join(site, 'soak *.vorn')))} files")
check(len(stamps) == len(set(stamps)), "no stamp twice")
gaps = [(a, b) for a, b in zip(stamps, stamps[1:]) if (b - a).total_seconds() > 1]
for a, b in gaps:
    print(f"     gap {a:%H:%M:%S} to {b:%H:%M:%S} ({(b - a).total_seconds():.0f} s)")
# The pulled adapter and the restart, nothing else.
check(len(gaps) <= 2, "gaps only where the adapter was pulled and the monitor restarted")

rows_checked = partial_checked = 0
cols = ["readings", "coverage", "leq", "lmax", "lmin", "l10", "l50", "l90"]
def figures(files):
    out = subprocess.run([stats, "--join", "--intervals", "60", "--csv"] + files,
                         capture_output=True, text=True).stdout
    return {r["start"][:16]: r for r in csv.DictReader(out.splitlines())}
for day, files in days.items():
    table = os.path.join(site, f"soak {day} intervals.csv")
    if not os.path.exists(table):
        continue
    joined = figures(files)
    for row in csv.DictReader(open(table)):
        # A row cut by a stop, and the rest of its window after the restart,
        # each hold one run's readings: they equal that file alone, but for
        # their ends.
        cut = row.get("partial") == "yes" or row["start"][17:19] != "00"
        if cut:
            theirs = figures([os.path.join(site, row["file"])]).get(row["start"][:16])
            partial_checked += 1
        else:
            theirs = joined.get(row["start"][:16])
            rows_checked += 1
        same = theirs is not None and all(theirs[c] == row[c] for c in cols)
        if not cut:
            same = same and theirs["end"] == row["end"] and theirs["start"] == row["start"]
        if not same:
            check(False, f"row {row['start']} equals vorn-stats: {dict(row)} vs {theirs}")
print(f"interval rows compared: {rows_checked} whole, {partial_checked} cut by a stop")
check(rows_checked > 0, "interval rows equal vorn-stats --intervals")

events = list(csv.DictReader(open(os.path.join(site, "soak events.csv"))))
names = [e["event"] for e in events]
for e in events:
    if e["event"] not in ("day file",):
        print(f"     {e['time']} {e['event']}: {e['detail'][:100]}")
pairs = [("folder lost", "folder back"), ("link lost", "link back")]
if small:
    pairs.append(("disk full", "writing resumed"))
for begin, end in pairs:
    check(names.count(begin) == 1 and names.count(end) == 1, f"{begin} and {end} said once each")
check(names.count("stopped") == 2, "both stops said")
check("not recorded" not in names, "no reading lost")
sys.exit(1 if failed else 0)
PY
