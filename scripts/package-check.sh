#!/usr/bin/env bash
# Installs the package as a user would (apt resolves its dependencies), runs
# what it installed, validates its desktop entry, metadata, unit and the
# package itself, then purges it and checks that no file of it is left.
# Needs root (CI runs as root on a machine of its own).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
deb=$(ls "$here"/build-package/vorn_*.deb)
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq --no-install-recommends lintian appstream desktop-file-utils man-db \
  >/dev/null
apt-get install -y -qq "$deb" >/dev/null
files=$(dpkg -L vorn)

vorn --version
vorn-monitor --help >/dev/null
vorn-hub --help >/dev/null
sample=$(mktemp --suffix=.vorn)
trap 'rm -f "$sample"' EXIT
printf 'Real Time\r\n 1 \r\nA\r\nSlow\r\n30-90\r\n72.4\r\n2026/03/12 10:00:01\r\n77.2\r\n72.0\r\nNo.s\tDate Time\tdB\t\r\n1\t2026/03/12 10:00:00\t71.5\t\r\n2\t2026/03/12 10:00:01\t72.4\t\r\n' >"$sample"
vorn-stats "$sample" | grep -q 'Leq:'
man -w vorn-stats >/dev/null
for page in vorn vorn-stats vorn-stats-report vorn-monitor vorn-meter-emulator vorn-hub; do
  MANWIDTH=80 man --warnings -l "$(man -w "$page")" >/dev/null
done
desktop-file-validate /usr/share/applications/vorn.desktop
appstreamcli validate --no-net /usr/share/metainfo/io.github.vorn.VORN.metainfo.xml
unit=$(dpkg -L vorn | grep 'vorn-monitor@.service$')
if command -v systemd-analyze >/dev/null; then
  # A template is verified as one of its instances.
  units=$(mktemp -d)
  cp "$unit" "$units/vorn-monitor@example.service"
  systemd-analyze verify "$units/vorn-monitor@example.service"
  # Hardened: the exposure systemd rates stays under 5.
  exposure=$(systemd-analyze security --offline=true "$units/vorn-monitor@example.service" \
    | sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
  echo "unit exposure: $exposure"
  awk -v e="$exposure" 'BEGIN { exit !(e != "" && e < 5) }'
  hub=$(dpkg -L vorn | grep 'vorn-hub.service$')
  systemd-analyze verify "$hub"
  exposure=$(systemd-analyze security --offline=true "$hub" \
    | sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
  echo "hub unit exposure: $exposure"
  awk -v e="$exposure" 'BEGIN { exit !(e != "" && e < 5) }'
  rm -rf "$units"
fi
grep -q '^ExecStart=/usr/bin/vorn-monitor ' "$unit"
# The station's user, allowed to use serial ports.
getent passwd vorn >/dev/null
id -nG vorn | grep -qw dialout
# Errors fail the run; the warnings left are listed.
lintian_status=0
lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1 | grep -v 'root privileges' \
  || lintian_status=${PIPESTATUS[0]}
[ "$lintian_status" -eq 0 ]

apt-get purge -y -qq vorn >/dev/null
left=0
while IFS= read -r f; do
  if [ -f "$f" ] || [ -L "$f" ]; then
    echo "left behind: $f"
    left=1
  fi
done <<<"$files"
[ "$left" -eq 0 ]
echo "package: installed, checked and purged"
