#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan+UBSan) and runs each for the
# given number of seconds (default 30) on a working copy of its seed corpus,
# the two side by side, one a core. A longer run: scripts/fuzz.sh 3600;
# scripts/fuzz.sh --build-only builds them and runs nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build="build-test/fuzz"

CXX=clang++ cmake -S . -B "$build" -G Ninja -DVEKTA_WERROR=ON -DVEKTA_FUZZ=ON -DVEKTA_WINDOW=OFF -DVEKTA_TESTS=OFF \
  -DVEKTA_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
  >/dev/null
cmake --build "$build" -j2
[ "$seconds" != --build-only ] || exit 0

run() {
  local target=$1 seeds=$2
  local corpus="$build/corpus-$target"
  mkdir -p "$corpus"
  cp -n fuzz/seeds/"$seeds"/* "$corpus"/
  local output="$build/$target.out"
  echo "=== fuzz $target for ${seconds}s"
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -max_len=4096 -print_final_stats=1 \
      "$corpus" >"$output" 2>&1; then
    cat "$output"
    return 1
  fi
  grep -E "DONE|^Done" "$output"
}

run frame_stream_fuzz frame_stream &
frame_stream=$!
run settings_fuzz settings &
settings=$!
status=0
wait "$frame_stream" || status=1
wait "$settings" || status=1
exit "$status"
