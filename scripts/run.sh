#!/usr/bin/env bash
# Installs what is needed, builds the program and opens its window, as the
# calling user: only the package installation asks for root (sudo), and only
# when something is missing.
# With no adapter on a USB serial port, the stand-in adapter vektasim plays one
# on a pseudo-terminal, and a first settings file chooses it: press "Пуск" and
# the table fills. The stand-in stops when the window closes.
# VEKTA_BUILD names the build folder (default build-run).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

build=${VEKTA_BUILD:-build-run}
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ]; then
  echo "Run scripts/run.sh as yourself, without sudo: it asks for sudo itself when packages are missing." >&2
  exit 1
fi
if [ -e "$build" ] && [ ! -w "$build" ]; then
  echo "$build is not yours to write (left by a run as root?): remove it, or set VEKTA_BUILD to another folder." >&2
  exit 1
fi

scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target vektamon vektasim

# A copy in a folder the user can write keeps its settings and logs beside itself.
settings="$build/vektamon.set"
port=/tmp/vektasim-adapter

# A first settings file: the stand-in's port, a window tall enough for eight
# grid rows (274 pixels show one, each further row adds 19), every other value
# as designed.
write_first_settings() {
  printf '%s\r\n' "$port" 0 4 2 0 0 0 0 500000 1000 \
    000007E0 000007E8 00000FFF 000007E1 000007E9 000007E2 000007EA 00000FFF \
    $((274 + 7 * 19)) 409 120 120 >"$settings"
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
