#!/usr/bin/env bash
# Installs what is needed, checks the scripts with shellcheck, then builds and
# runs every test three times:
# under AddressSanitizer+UBSan, under ThreadSanitizer and plainly; then the
# Debian package's tests (scripts/package-test.sh), the Windows build's tests
# under Wine (the capture library's, then the whole program's), the driver bench in a QEMU guest (the capture and the Windows
# build under Wine, each on the kernel's own USB serial driver) and a short
# run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
repo=$PWD

scripts/install-deps.sh

# The scripts and the sources' format first: it takes seconds, and a fault
# in them would spoil a long run.
shellcheck scripts/*.sh tests/driver/guest/init
echo "shellcheck: scripts clean"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "clang-format: sources as .clang-format has them"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

# Passed cases are counted from the test programs' own reports (JUnit XML);
# every step stops the script when it fails.
passed=0
count_passed() {
  local count
  count=$(scripts/junit-passed.py "$@")
  passed=$((passed + count))
}

suite() {
  local dir=$1
  shift
  echo "=== $dir"
  cmake -S . -B "$dir" -G Ninja -DVEKTA_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j2
  rm -f "$dir/ctest.xml"
  ctest --test-dir "$dir" --output-on-failure -j2 --output-junit "$repo/$dir/ctest.xml"
  count_passed "$dir/ctest.xml"
}

suite build-test/asan -DCMAKE_BUILD_TYPE=Debug -DVEKTA_SANITIZE=address,undefined
suite build-test/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEKTA_SANITIZE=thread
suite build-test/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo

# The package built, checked, installed and its window driven as a user would.
rm -f build-test/package-test.xml
VEKTA_JUNIT="$repo/build-test/package-test.xml" scripts/package-test.sh
count_passed build-test/package-test.xml

# The Windows build of the capture library under Wine, against the simulator.
rm -f build-test/wine-test.xml
scripts/wine-test.sh --gtest_output="xml:$(windows_path "$repo/build-test/wine-test.xml")"
count_passed build-test/wine-test.xml

# The whole Windows program, zipped and installed, driven under Wine on Xvfb.
rm -f build-test/windows-test.xml
VEKTA_JUNIT="$repo/build-test/windows-test.xml" scripts/windows-test.sh
count_passed build-test/windows-test.xml

# The capture against the kernel's own USB serial driver, in a QEMU guest;
# then the Windows build there, under Wine, on the same converters; then a
# capture logging onto the guest's own disk through a power cut, and onto a
# throttled disk.
VEKTA_DRIVER_NATIVE=build-test/plain scripts/driver-bench.sh native
VEKTA_DRIVER_NATIVE=build-test/plain scripts/driver-bench.sh wine
VEKTA_DRIVER_NATIVE=build-test/plain scripts/driver-bench.sh powercut

# Each fuzz target for a short, bounded time on its seed corpus.
scripts/fuzz.sh 30

# Reached only when everything above passed (set -e). The driver bench and
# the fuzz targets pass or fail as a whole: their cases are not counted.
echo "vektamon: $passed passed, 0 failed"
