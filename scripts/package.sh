#!/usr/bin/env bash
# package.sh: builds the Debian package of the console in a tree of its own (build/package, with
# Debian's hardening flags, without the tests), then checks it (scripts/check-package.sh: contents,
# the programs start, lintian). The package ends up in build/package/; install it with
#   sudo apt install ./build/package/quorvane-laser-control_<version>-1_<arch>.deb
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
build="$here/build/package"
# Every hardening Debian knows (PIE, stack protector, fortified functions, RELRO, bind now).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_BUILD_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/*.deb)
"$here/scripts/check-package.sh" "$deb"
echo "$deb"
