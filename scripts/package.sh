#!/usr/bin/env bash
# Builds the Debian package vektamon_<version>_amd64.deb (the version is
# project(VERSION) in CMakeLists.txt) with Debian's hardening flags, into
# build-package/ (VEKTA_BUILD names another folder), and prints its path.
# Install it with: sudo apt install ./build-package/vektamon_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

scripts/install-deps.sh

build=${VEKTA_BUILD:-build-package}
# VEKTA_TESTS=ON keeps a build's tests, when the package comes from the test
# command's plain suite.
package_configure "$build" -DVEKTA_TESTS="${VEKTA_TESTS:-OFF}"
cmake --build "$build" -j2
rm -f "$build"/vektamon_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/vektamon_*_amd64.deb
