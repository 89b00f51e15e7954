#!/usr/bin/env bash
# Proof against luck: runs the tests that meet real time (the capture's, the
# window's whole captures, the bridge's, a short soak, and the driver bench's
# unplug tests) N times while another build keeps the second core busy, and
# prints how many runs failed.
#
#   scripts/repeat.sh N            host tests and driver bench
#   scripts/repeat.sh N host       host tests only
#   scripts/repeat.sh N driver     driver bench only
#
# Uses the plain build of the test command (build-test/plain), building it
# when needed; each host run's output is kept in build-test/repeat/, the
# driver bench's in build-test/repeat/driver.out.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

runs=${1:?usage: scripts/repeat.sh N [host|driver]}
which=${2:-all}
build="build-test/plain"
out="build-test/repeat"
# The unplug tests of the driver bench: the capture's replugs, the raw
# converter pulled out, and the bridge's.
driver_filter='Replugs/*:*PulledOut*'

scripts/install-deps.sh
package_configure "$build" -DVEKTA_TESTS=ON
cmake --build "$build" -j2
mkdir -p "$out"

# The load: the sanitized suite built over and over, one job at a time.
load_build="$out/load"
cmake -S . -B "$load_build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVEKTA_SANITIZE=address,undefined >/dev/null
(
  while true; do
    ninja -C "$load_build" -t clean >/dev/null
    ninja -C "$load_build" -j1 >/dev/null 2>&1 || true
  done
) &
load=$!
trap 'stop_processes "$load"; pkill -f "ninja -C $load_build" || true' EXIT

export QT_QPA_PLATFORM=offscreen VEKTA_SOAK_SECONDS=15
host_failed=0
if [ "$which" != driver ]; then
  for ((i = 1; i <= runs; i++)); do
    if ctest --test-dir "$build" -L 'capture|window|bridge|soak' -j2 >"$out/host-$i.out" 2>&1; then
      echo "run $i: host tests passed"
    else
      host_failed=$((host_failed + 1))
      echo "run $i: host tests FAILED: $(cut -d: -f2- "$build/Testing/Temporary/LastTestsFailed.log" | paste -sd' ')"
    fi
  done
fi

# The unplug tests N times over in one guest: GoogleTest repeats them, and
# each iteration with a failed test counts once.
driver_failed=0
if [ "$which" != host ]; then
  VEKTA_DRIVER_NATIVE=$build scripts/driver-bench.sh native --gtest_filter="$driver_filter" \
    --gtest_repeat="$runs" >"$out/driver.out" 2>&1 || true
  console="build-driver/run-native/console"
  iterations=$(grep -c '^Repeating all tests (iteration' "$console" || true)
  [ "$iterations" -eq "$runs" ] ||
    { echo "repeat: the driver bench ran $iterations of $runs iterations, see $out/driver.out" >&2; exit 1; }
  driver_failed=$(awk '/^Repeating all tests \(iteration/ { it = $5 } /^\[  FAILED  \] .* \([0-9]+ ms\)/ { failed[it] = 1 }
    END { print length(failed) }' "$console")
  echo "driver bench unplug tests: $runs iterations, failed in $driver_failed"
fi
echo "repeat: $runs runs under load; host tests failed in $host_failed, driver bench unplug tests in $driver_failed"
[ $((host_failed + driver_failed)) -eq 0 ]
