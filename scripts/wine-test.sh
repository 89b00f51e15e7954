#!/usr/bin/env bash
# Cross-builds the capture library and its tests for 64-bit Windows with
# mingw-w64 and runs them under Wine, against two simulated adapters that run
# natively behind Wine's COM5 (VEKTA) and COM6 (TRILOX), the first also
# listed as COM12, a flooding one behind COM8 for the build's pace, and a
# third behind COM7 that is killed and started again mid-reception. Installs
# mingw-w64, Wine and the rest when missing (as root, Debian 12). Arguments
# go to the test program, e.g. --gtest_filter='FullCapture*'; --build-only
# builds and runs nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
repo=$PWD
out="$repo/${VEKTA_WINE_BUILD:-build-wine}"
started=$SECONDS

scripts/install-deps.sh cmake ninja-build g++ googletest g++-mingw-w64-x86-64-posix wine wine64

echo "=== simulator (native)"
cmake -S . -B "$out/native" -G Ninja -DVEKTA_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEKTA_WINDOW=OFF -DVEKTA_TESTS=OFF >/dev/null
cmake --build "$out/native" -j2 --target vektasim
echo "=== capture library and tests (mingw-w64)"
cmake -S tests/wine -B "$out/mingw" -G Ninja -DVEKTA_WERROR=ON -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$out/mingw" -j2
[ "${1:-}" != --build-only ] || exit 0

run="$out/run"
rm -rf "$run"
mkdir -p "$run"

sims=()
# shellcheck disable=SC2317 # run by the trap on EXIT only
cleanup() {
  stop_processes "${sims[@]}"
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

echo "=== Wine prefix"
use_wine_prefix "$out/prefix" "$run/wineboot.out"
declare -A ports=([VEKTA]=COM5 [TRILOX]=COM6)
for kind in VEKTA TRILOX; do
  port=${ports[$kind]}
  link="$run/${kind,,}-port"
  # The port names the link, which serves this session.
  wine_port "$port" "$link"
  ln -sfn "$link" "$WINEPREFIX/dosdevices/${port,,}"

  "$out/native/sim/vektasim" --kind "${kind,,}" --link "$link" --record "$run/${kind,,}.rec" \
    --replay tests/wine/frames.candump --fast >"$run/${kind,,}.out" 2>&1 &
  sims+=("$!")
  wait_for_file "$link" "$!"
  export "VEKTAMON_TEST_${kind}_PORT=$port"
  export "VEKTAMON_TEST_${kind}_RECORD=$(windows_path "$run/${kind,,}.rec")"
done
# A third port, only listed: the port list must put COM12 after COM5 and COM6.
listed_port=COM12
wine_port "$listed_port" "$run/vekta-port"
ln -sfn "$run/vekta-port" "$WINEPREFIX/dosdevices/${listed_port,,}"
export VEKTAMON_TEST_LISTED_PORT=$listed_port
# A flooding TRILOX adapter: the Windows build's pace, a figure beside the
# Linux build's (tests/capture/FloodRateTest.cpp) in the same run.
flood_port=COM8
wine_port "$flood_port" "$run/flood-port"
ln -sfn "$run/flood-port" "$WINEPREFIX/dosdevices/${flood_port,,}"
export VEKTAMON_TEST_FLOOD_PORT=$flood_port VEKTAMON_TEST_FLOOD_FRAMES=100000
"$out/native/sim/vektasim" --kind trilox --link "$run/flood-port" --flood 500 --frames "$VEKTAMON_TEST_FLOOD_FRAMES" \
  >"$run/flood.out" 2>&1 &
sims+=("$!")
wait_for_file "$run/flood-port" "$!"
# Wine's device manager reads the Ports key as it starts: the ports are in
# the system's device list only from the next start of Wine on.
wineserver -w
export VEKTAMON_TEST_FRAMES
VEKTAMON_TEST_FRAMES=$(windows_path "$repo/tests/wine/frames.candump")

echo "=== tests under $(wine --version)"
status=0
# The converter tests need a real converter: scripts/driver-bench.sh wine.
timeout 900 wine "$out/mingw/vektacapture_wintests.exe" --gtest_color=no --gtest_filter='-*/Converter*' "$@" \
  >"$run/tests.out" 2>&1 || status=$?
cat "$run/tests.out"
# Wine may end a crashed program with status 0: the run counts only when
# the test program reached its summary.
finished() {
  grep -q '^\[  PASSED  \] [0-9]* test' "$1" || { echo "wine-test: $1 has no summary: the program ended early" >&2; return 1; }
}
finished "$run/tests.out" || status=1

echo "=== a converter pulled mid-reception: the simulator killed and started again"
# The test signals through files in $signals: "receiving" (kill it now) and
# "broken" (the capture saw the line fail; start it again).
restart_port=COM7
restart_link="$run/restart-port"
signals="$run/signals"
mkdir -p "$signals"
wine_port "$restart_port" "$restart_link"
ln -sfn "$restart_link" "$WINEPREFIX/dosdevices/${restart_port,,}"
start_restart_sim() {
  "$out/native/sim/vektasim" --kind trilox --link "$restart_link" --replay tests/wine/frames.candump --fast --loop \
    >>"$run/restart-sim.out" 2>&1 &
  restart_sim=$!
  sims+=("$restart_sim")
  wait_for_file "$restart_link" "$restart_sim"
}
start_restart_sim
VEKTAMON_TEST_RESTART_PORT=$restart_port VEKTAMON_TEST_RESTART_SIGNALS=$(windows_path "$signals") \
  timeout 300 wine "$out/mingw/vektacapture_wintests.exe" --gtest_color=no --gtest_filter='SimulatorRestart.*' \
  >"$run/restart.out" 2>&1 &
restart_tests=$!
restart_status=0
if wait_until 120 "no reception to break" test -e "$signals/receiving"; then
  stop_processes "$restart_sim"
  wait_until 120 "the broken line was not seen" test -e "$signals/broken" || restart_status=1
  start_restart_sim
fi
wait "$restart_tests" || restart_status=$?
cat "$run/restart.out"
finished "$run/restart.out" || restart_status=1
[ "$restart_status" -eq 0 ] || status=$restart_status

echo "=== where Wine differed from Windows"
grep -hF '[ WINE     ]' "$run/tests.out" "$run/restart.out" | sort -u || echo "(nowhere)"
echo "=== wine tests: exit $status after $((SECONDS - started)) s"
exit $status
