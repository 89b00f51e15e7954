#!/usr/bin/env bash
# Installs what is needed, builds the program and opens its window.
# With no adapter on a USB serial port, the stand-in adapter vektasim plays one
# on a pseudo-terminal, and a first settings file chooses it: press "Пуск" and
# the table fills. The stand-in stops when the window closes.
# VEKTA_BUILD names the build folder (default build-run).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/simulator.sh

if [ "$(id -u)" -eq 0 ]; then scripts/install-deps.sh; else sudo scripts/install-deps.sh; fi

build=${VEKTA_BUILD:-build-run}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target vektamon vektasim

# The program keeps its settings and logs beside itself.
settings="$build/vektamon.set"
port=/tmp/vektasim-adapter

# A first settings file: the stand-in's port, every other value as designed.
write_first_settings() {
  printf '%s\r\n' "$port" 0 4 2 0 0 0 0 500000 1000 \
    000007E0 000007E8 00000FFF 000007E1 000007E9 000007E2 000007EA 00000FFF \
    274 409 120 120 >"$settings"
}

shopt -s nullglob
adapters=(/dev/ttyUSB* /dev/ttyACM*)
if [ ${#adapters[@]} -eq 0 ]; then
  trap stop_simulator EXIT
  start_simulator "$build" "$port"
  echo "No adapter attached: vektasim plays one on $port"
  [ -f "$settings" ] || write_first_settings
else
  echo "Adapters attached: ${adapters[*]} (choose one in the COM: list)"
fi

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display is set (DISPLAY or WAYLAND_DISPLAY); the window needs one." >&2
fi
"$build/vektamon"
