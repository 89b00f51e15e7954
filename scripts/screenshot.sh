#!/usr/bin/env bash
# Regenerates docs/screenshot.png: the window during a capture from the
# stand-in adapter vektasim (TRILOX, built-in traffic), on a virtual display.
# VEKTA_BUILD names the build folder (default build-shot).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

scripts/install-deps.sh

build=${VEKTA_BUILD:-build-shot}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target vektasim vektawindow_screenshot

work=$(mktemp -d)
port="$work/adapter"
trap 'stop_simulator; rm -rf "$work"' EXIT
start_simulator "$build" "$port" --kind trilox

mkdir -p docs
xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb \
  "$build/tests/window/vektawindow_screenshot" "$port" "$work" docs/screenshot.png
echo "Wrote docs/screenshot.png"
