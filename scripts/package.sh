#!/usr/bin/env bash
# Builds the Debian package vektamon_<version>_amd64.deb (the version is
# project(VERSION) in CMakeLists.txt) with Debian's hardening flags, into
# build-package/ (VEKTA_BUILD names another folder), and prints its path.
# Install it with: sudo apt install ./build-package/vektamon_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=${VEKTA_BUILD:-build-package}
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DVEKTA_TESTS=OFF -DVEKTA_WERROR=ON \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" -j2
rm -f "$build"/vektamon_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/vektamon_*_amd64.deb
