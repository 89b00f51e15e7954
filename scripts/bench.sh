#!/usr/bin/env bash
# Builds the benchmarks (release) and prints every figure: the capture path
# through the simulator, the window's status tick, and on the driver bench
# the bridge's minute of line rate and its CPU beside slcand, and 24 power cuts.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build="build-bench"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEKTA_TESTS=OFF -DVEKTA_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target capture_bench window_bench
echo "machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'), $(uname -sr)"
"$build/bench/capture_bench"
QT_QPA_PLATFORM=offscreen "$build/bench/window_bench" 2>/dev/null
VEKTABENCH_LINE_RATE_S=60 scripts/driver-bench.sh native --gtest_filter='BridgeLineRate.*'
VEKTA_POWER_CUTS=24 scripts/driver-bench.sh powercut
