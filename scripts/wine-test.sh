#!/usr/bin/env bash
# Cross-builds the capture library and its tests for 64-bit Windows with
# mingw-w64 and runs them under Wine, against two simulated adapters that run
# natively behind Wine's COM5 (VEKTA) and COM6 (TRILOX). Installs mingw-w64,
# Wine and the rest when missing (as root, Debian 12). Arguments go to the
# test program, e.g. --gtest_filter='FullCapture*'.
set -euo pipefail
cd "$(dirname "$0")/.."
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

# A prefix of our own; nothing here draws, so no display is needed.
export WINEPREFIX="$out/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
run="$out/run"
rm -rf "$run"
mkdir -p "$run"

sims=()
cleanup() {
  for pid in "${sims[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

# A Windows path for a file of ours: Wine maps the root to drive Z:.
windows_path() {
  local path=$1
  printf 'Z:%s' "${path//\//\\}"
}

# Waits for a file to appear, for a simulator that is starting.
wait_for_file() {
  local file=$1 deadline=$((SECONDS + 30))
  while [ ! -e "$file" ]; do
    if [ $SECONDS -ge $deadline ]; then
      echo "no $file after 30 s" >&2
      return 1
    fi
    sleep 0.1
  done
}

echo "=== Wine prefix"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >"$run/wineboot.out" 2>&1 || { cat "$run/wineboot.out"; exit 1; }
fi
declare -A ports=([VEKTA]=COM5 [TRILOX]=COM6)
for kind in VEKTA TRILOX; do
  port=${ports[$kind]}
  link="$run/${kind,,}-port"
  # The registry entry survives Wine's own scan of the machine's serial
  # devices, which may claim low COM numbers; the link serves this session.
  wine reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "$link" /f >/dev/null 2>&1
  ln -sfn "$link" "$WINEPREFIX/dosdevices/${port,,}"

  "$out/native/sim/vektasim" --kind "${kind,,}" --link "$link" --record "$run/${kind,,}.rec" \
    --replay tests/wine/frames.candump --fast >"$run/${kind,,}.out" 2>&1 &
  sims+=($!)
  wait_for_file "$link"
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
