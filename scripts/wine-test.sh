#!/usr/bin/env bash
# Cross-builds the capture library and its tests for 64-bit Windows with
# mingw-w64 and runs them under Wine, against two simulated adapters that run
# natively behind Wine's COM5 (VEKTA) and COM6 (TRILOX). Installs mingw-w64,
# Wine and the rest when missing (as root, Debian 12). Arguments go to the
# test program, e.g. --gtest_filter='FullCapture*'.
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
export VEKTAMON_TEST_FRAMES
VEKTAMON_TEST_FRAMES=$(windows_path "$repo/tests/wine/frames.candump")

echo "=== tests under $(wine --version)"
status=0
# The converter tests need a real converter: scripts/driver-bench.sh wine.
timeout 900 wine "$out/mingw/vektacapture_wintests.exe" --gtest_color=no --gtest_filter='-*/Converter*' "$@" \
  >"$run/tests.out" 2>&1 || status=$?
cat "$run/tests.out"
echo "=== where Wine differed from Windows"
grep -F '[ WINE     ]' "$run/tests.out" | sort -u || echo "(nowhere)"
echo "=== wine tests: exit $status after $((SECONDS - started)) s"
exit $status
