#!/usr/bin/env bash
# The test command. Installs what is needed, then runs each stage in turn:
#   format         shellcheck over the scripts, clang-format over the sources
#   asan           the suite under AddressSanitizer+UBSan (a shorter soak)
#   tsan           the suite under ThreadSanitizer (a shorter soak)
#   plain          the suite plainly, built as the Debian package is built
#   package        the package from the plain build: lintian, apt, its window
#                  driven as a user would (scripts/package-test.sh)
#   wine           the Windows build of the capture library under Wine
#   windows        the whole Windows program, zipped and installed, driven
#                  under Wine on Xvfb (scripts/windows-test.sh)
#   driver-native  the driver bench in a QEMU guest: the capture and the
#                  bridge on the kernel's own USB serial driver
#   driver-wine    the Windows build there, under Wine
#   powercut       a capture logging onto the guest's disk through a power
#                  cut, and onto a throttled disk
#   fuzz           each fuzz target for 30 s
#
#   scripts/test.sh              every stage
#   scripts/test.sh plain wine   only those, in that order
#
# The last line is "vektamon: N passed, 0 failed" (the cases passed in the
# JUnit reports of ctest, the package test and the Wine tests; the driver
# bench and the fuzz targets pass or fail as a whole), or names the stage
# and the tests that failed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
repo=$PWD

all_stages=(format asan tsan plain package wine windows driver-native driver-wine powercut fuzz)
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=("${all_stages[@]}")
for s in "${stages[@]}"; do
  [[ " ${all_stages[*]} " == *" $s "* ]] || { echo "test: no stage \"$s\" (stages: ${all_stages[*]})" >&2; exit 2; }
done

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# Under the sanitizers the soak is shorter; it still meets every kind of
# mishap, and the plain suite runs its full minute.
sanitized_soak_s=15

stage=
failed_tests=
started=$SECONDS
passed=0

# The last line of a failed run says where it failed.
report_failure() {
  local status=$?
  if [ "$status" -ne 0 ] && [ -n "$stage" ]; then
    echo "vektamon: FAILED in stage $stage after $((SECONDS - started)) s${failed_tests:+: $failed_tests}"
  fi
}
trap report_failure EXIT

count_passed() {
  local count
  count=$(scripts/junit-passed.py "$@")
  passed=$((passed + count))
}

# Runs one stage, timed; a failure leaves its failed tests in failed_tests.
run_stage() {
  stage=$1
  local at=$SECONDS
  echo "=== stage $stage"
  "stage_${stage//-/_}"
  echo "=== stage $stage passed in $((SECONDS - at)) s"
}

# ctest over a build; the names of failed tests kept for the last line.
run_ctest() {
  local dir=$1
  rm -f "$dir/ctest.xml" "$dir/Testing/Temporary/LastTestsFailed.log"
  if ! ctest --test-dir "$dir" --output-on-failure -j2 --output-junit "$repo/$dir/ctest.xml"; then
    failed_tests=$(cut -d: -f2- "$dir/Testing/Temporary/LastTestsFailed.log" 2>/dev/null | paste -sd' ' || true)
    return 1
  fi
  count_passed "$dir/ctest.xml"
}

sanitized_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DVEKTA_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j2
  VEKTA_SOAK_SECONDS=$sanitized_soak_s run_ctest "$dir"
}

# A JUnit report's failed cases, for the last line.
junit_failures() {
  failed_tests=$(scripts/junit-passed.py --failed "$1" 2>/dev/null || true)
}

stage_format() {
  shellcheck scripts/*.sh tests/driver/guest/init
  echo "shellcheck: scripts clean"
  git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
  echo "clang-format: sources as .clang-format has them"
}

# Line tables (-g1) are all a sanitizer's report needs; full debug
# information costs the optimised build a third more time.
stage_asan() {
  sanitized_suite build-test/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
    -DVEKTA_SANITIZE=address,undefined
}

stage_tsan() {
  sanitized_suite build-test/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
    -DVEKTA_SANITIZE=thread
}

stage_plain() {
  package_configure build-test/plain -DVEKTA_TESTS=ON
  cmake --build build-test/plain -j2
  run_ctest build-test/plain
}

stage_package() {
  local report=build-test/package-test.xml
  rm -f "$report"
  VEKTA_BUILD=build-test/plain VEKTA_TESTS=ON VEKTA_JUNIT="$repo/$report" scripts/package-test.sh ||
    { junit_failures "$report"; return 1; }
  count_passed "$report"
}

stage_wine() {
  local report=build-test/wine-test.xml
  rm -f "$report"
  scripts/wine-test.sh --gtest_output="xml:$(windows_path "$repo/$report")" || { junit_failures "$report"; return 1; }
  count_passed "$report"
}

stage_windows() {
  local report=build-test/windows-test.xml
  rm -f "$report"
  VEKTA_JUNIT="$repo/$report" scripts/windows-test.sh || { junit_failures "$report"; return 1; }
  count_passed "$report"
}

driver_bench() {
  local mode=$1
  shift
  VEKTA_DRIVER_NATIVE=build-test/plain scripts/driver-bench.sh "$mode" "$@" ||
    { failed_tests=$(cat build-driver/failed-"$mode" 2>/dev/null || true); return 1; }
}

# The bridge's line rate for 10 s here; its minute and the side-by-side with
# slcand are figures, printed by scripts/bench.sh.
stage_driver_native() {
  VEKTABENCH_LINE_RATE_S=10 driver_bench native --gtest_filter='-*BesideSlcand*'
}
stage_driver_wine() { driver_bench wine; }
stage_powercut() { driver_bench powercut; }

stage_fuzz() {
  scripts/fuzz.sh 30
}

scripts/install-deps.sh
for s in "${stages[@]}"; do
  run_stage "$s"
done
stage=
echo "test: all stages in $((SECONDS - started)) s"
echo "vektamon: $passed passed, 0 failed"
