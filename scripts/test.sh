#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test three times:
# under AddressSanitizer+UBSan, under ThreadSanitizer and plainly; then the
# Debian package's tests (scripts/package-test.sh), the Windows build's tests
# under Wine, the driver bench in a QEMU guest (the capture and the Windows
# build under Wine, each on the kernel's own USB serial driver) and a short
# run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

passed=0
suite() {
  local dir=$1
  shift
  echo "=== $dir"
  cmake -S . -B "$dir" -G Ninja -DVEKTA_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j2
  ctest --test-dir "$dir" --output-on-failure -j2 | tee "$dir/ctest.out"
  passed=$((passed + $(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$dir/ctest.out")))
}

suite build-test/asan -DCMAKE_BUILD_TYPE=Debug -DVEKTA_SANITIZE=address,undefined
suite build-test/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEKTA_SANITIZE=thread
suite build-test/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo

# The package built, checked, installed and its window driven as a user would.
scripts/package-test.sh | tee build-test/package-test.out
passed=$((passed + $(sed -n 's/^package: \([0-9]*\) passed, 0 failed$/\1/p' build-test/package-test.out)))

# The Windows build of the capture library under Wine, against the simulator.
scripts/wine-test.sh

# The capture against the kernel's own USB serial driver, in a QEMU guest;
# then the Windows build there, under Wine, on the same converters.
VEKTA_DRIVER_NATIVE=build-test/plain scripts/driver-bench.sh native
VEKTA_DRIVER_NATIVE=build-test/plain scripts/driver-bench.sh wine

# Each fuzz target for a short, bounded time on its seed corpus.
scripts/fuzz.sh 30

# Reached only when everything above passed (set -e).
echo "vektamon: $passed passed, 0 failed"
