#!/usr/bin/env bash
# Installs the Debian packages VORN needs to build, run and test. Quiet and
# quick when everything is already there. Works as root or with sudo.
# "setup.sh windows" adds what the Windows build needs: the MinGW compilers,
# Wine to run the result, and the fonts its windows fall back to.
set -euo pipefail

packages=(
  # build
  cmake g++ make ccache lld pkg-config qt6-base-dev qt6-serialport-dev libqcustomplot-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libmosquitto-dev libsqlite3-dev libpq-dev
  # run
  libqt6widgets6 libqt6serialport6 libqt6printsupport6 libqcustomplot2.1-qt6 fonts-dejavu-core
  # tests and screenshots
  xvfb xauth imagemagick poppler-utils locales tzdata mosquitto mosquitto-clients openssl libfaketime
  postgresql sqlite3
  # sanitizer and fuzz builds
  clang libclang-rt-14-dev
)
if [ "${1:-}" = windows ]; then
  packages+=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64 ninja-build zip unzip x11-utils
             fonts-liberation nsis osslsigncode)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq || true
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The decimal-comma locale the test suite also runs under.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf8$'; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  "${sudo_cmd[@]}" locale-gen de_DE.UTF-8 >/dev/null
fi
