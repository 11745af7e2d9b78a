#!/usr/bin/env bash
# Builds the Debian package build-package/vorn_VERSION_ARCH.deb with CPack.
# An optimised build that exists already (the one the tests run) is reused,
# so CI compiles nothing a fourth time; otherwise a release build is made in
# build-release.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
# dpkg-shlibdeps finds the package's dependencies.
if ! dpkg-query -W -f='${Status}' dpkg-dev 2>/dev/null | grep -q 'install ok installed'; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    dpkg-dev >/dev/null
fi
build=${VORN_BUILD_DIR:-$here/build}
if [ -f "$build/CMakeCache.txt" ] \
  && grep -qE '^CMAKE_BUILD_TYPE:STRING=(Release|RelWithDebInfo)$' "$build/CMakeCache.txt" \
  && ! grep -qE '^VORN_SANITIZE:BOOL=ON$' "$build/CMakeCache.txt"; then
  echo "Packaging the optimised build in $build"
else
  build=$here/build-release
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)"
rm -f "$here"/build-package/vorn_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$here"/build-package/vorn_*.deb
