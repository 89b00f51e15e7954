#!/usr/bin/env bash
# The test command. Installs what is needed, then runs each stage in turn:
#   format         shellcheck over the scripts, clang-format over the sources
#   asan           the suite under AddressSanitizer+UBSan (a shorter soak)
#   plain          the suite plainly, built as the Debian package is built
#   package        the package from the plain build: lintian, apt, its window
#                  driven as a user would (scripts/package-test.sh)
#   tsan           the suite under ThreadSanitizer (a shorter soak)
#   wine           the Windows build of the capture library under Wine
#   windows        the whole Windows program, zipped and installed, driven
#                  under Wine on Xvfb (scripts/windows-test.sh)
#   driver-native  the driver bench in a QEMU guest: the capture and the
#                  bridge on the kernel's own USB serial driver
#   powercut       a capture logging onto the guest's disk through a power
#                  cut, and onto a throttled disk
#   driver-wine    the driver bench's Windows build, under Wine in the guest
#   fuzz           each fuzz target for 30 s
#
#   scripts/test.sh              every stage
#   scripts/test.sh plain wine   only those, in that order
#
# The stages' builds run beside them, one after another at the lowest
# priority (scripts/build-stages.sh): a stage waits only for its own build.
# The guest's stages, whose two processors keep both cores busy, come when
# the builds are done.
#
# The last line is "vektamon: N passed, 0 failed" (the cases passed in the
# JUnit reports of ctest, the package test and the Wine tests; the driver
# bench and the fuzz targets pass or fail as a whole), or names the stage
# and the tests that failed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
repo=$PWD

all_stages=(format asan plain package tsan wine windows driver-native powercut driver-wine fuzz)
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
builder=

# The last line of a failed run says where it failed; the builds stop with it.
finish() {
  local status=$?
  [ -z "$builder" ] || kill -- -"$builder" 2>/dev/null || true
  if [ "$status" -ne 0 ] && [ -n "$stage" ]; then
    echo "vektamon: FAILED in stage $stage after $((SECONDS - started)) s${failed_tests:+: $failed_tests}"
  fi
}
trap finish EXIT

count_passed() {
  local count
  count=$(scripts/junit-passed.py "$@")
  passed=$((passed + count))
}

# Waits for the builder to be done with this stage and shows its build.
await_build() {
  local built status seconds log="build-test/build-$stage.log"
  read -r -u 8 built status seconds || { failed_tests="its build: the builder ended early"; return 1; }
  [ "$built" = "$stage" ] || { failed_tests="its build: the builder built $built instead"; return 1; }
  [ ! -f "$log" ] || cat "$log"
  [ "$status" -eq 0 ] || { failed_tests="its build ($log)"; return 1; }
  [ ! -f "$log" ] || echo "=== stage $stage built in $seconds s, beside the stages before it"
}

# Runs one stage, timed; a failure leaves its failed tests in failed_tests.
run_stage() {
  stage=$1
  echo "=== stage $stage"
  await_build
  local at=$SECONDS
  # The stage's programs (Wine's server among them) keep no end of the builder's pipe.
  "stage_${stage//-/_}" 8<&-
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

stage_asan() { VEKTA_SOAK_SECONDS=$sanitized_soak_s run_ctest build-test/asan; }
stage_tsan() { VEKTA_SOAK_SECONDS=$sanitized_soak_s run_ctest build-test/tsan; }
stage_plain() { run_ctest build-test/plain; }

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
  VEKTA_WINDOWS_ARTEFACTS=build-test/windows-artefacts VEKTA_JUNIT="$repo/$report" scripts/windows-test.sh ||
    { junit_failures "$report"; return 1; }
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
mkdir -p build-test
# Its own process group, so that a failure stops its compilers too.
exec 8< <(exec setsid nice -n 19 scripts/build-stages.sh "${stages[@]}")
builder=$!
for s in "${stages[@]}"; do
  run_stage "$s"
done
stage=
echo "test: all stages in $((SECONDS - started)) s"
echo "vektamon: $passed passed, 0 failed"
