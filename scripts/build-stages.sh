#!/usr/bin/env bash
# Builds what the test command's stages need, one stage after another in the
# order given, each stage's output into build-test/build-STAGE.log. As each
# stage's build ends it writes "STAGE STATUS SECONDS" on standard output (a
# stage with nothing to build: status 0, 0 s), and it stops at the first
# failure. scripts/test.sh runs it at the lowest priority beside the stages:
# most of a test stage's time is spent waiting on real time (retry pauses,
# time-outs, the soak's minute), which the next stage's build fills.
#   scripts/build-stages.sh asan plain
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

# Line tables (-g1) are all a sanitizer's report needs; full debug
# information costs the optimised build a third more time.
build_asan() {
  cmake -S . -B build-test/asan -G Ninja -DVEKTA_WERROR=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
    -DVEKTA_SANITIZE=address,undefined >/dev/null
  cmake --build build-test/asan -j2
}

build_tsan() {
  cmake -S . -B build-test/tsan -G Ninja -DVEKTA_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" -DVEKTA_SANITIZE=thread >/dev/null
  cmake --build build-test/tsan -j2
}

build_plain() {
  package_configure build-test/plain -DVEKTA_TESTS=ON
  cmake --build build-test/plain -j2
}

# The driver bench's test program, which only its guest runs.
build_driver_native() { cmake --build build-test/plain -j2 --target vektadriver_tests; }

build_wine() { scripts/wine-test.sh --build-only; }

# The artefacts' names, for scripts/windows-test.sh to take.
build_windows() { scripts/windows-package.sh >build-test/windows-artefacts; }

build_fuzz() { scripts/fuzz.sh --build-only; }

mkdir -p build-test
for stage in "$@"; do
  log="build-test/build-$stage.log"
  rm -f "$log"
  at=$SECONDS
  status=0
  if declare -F "build_${stage//-/_}" >/dev/null; then
    # Outside a condition, so that errexit holds inside the build.
    set +e
    (
      set -e
      "build_${stage//-/_}"
    ) >"$log" 2>&1
    status=$?
    set -e
  fi
  echo "$stage $status $((SECONDS - at))"
  [ "$status" -eq 0 ] || exit "$status"
done
