#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: a normal build, a
# build with AddressSanitizer and UndefinedBehaviorSanitizer, a build with
# ThreadSanitizer, and a short run of each fuzz target. QUARN_QUICK=1 runs the
# normal build's tests only.
#
# The ThreadSanitizer build (build-tsan) makes and runs only the programs
# that start threads or take locks (TSAN_PROGRAMS: the kernel's threads and
# locks, the framework's threads, memory tracker, log and sockets, the sound system
# and the music disk's audio library), so that it costs CI little. A report stops the program (halt_on_error) and
# fails its test; scripts/tsan.supp holds the few reports that lie wholly
# inside uninstrumented system libraries. Its programs run without address
# space randomisation where setarch can switch it off: ThreadSanitizer fails
# at start ("unexpected memory mapping") on kernels that randomise more
# address bits than it knows.
#
# At the end it prints the seconds of each phase and, last, the tests passed
# and failed over all builds.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
PHASE_LOG="$(mktemp)"
export PHASE_LOG
phase_start
"$ROOT/scripts/deps.sh"
phase_end "packages"

start_xvfb
trap stop_xvfb EXIT
# Sound tests write through OpenAL Soft's null/file backends, never a card.
export ALSOFT_DRIVERS="${ALSOFT_DRIVERS:-null}"

status=0
ctest_logs=()
run_tests() {
  local dir="$1" name="$2"
  echo "=== $name: build"
  phase_start
  configure_and_build "$dir" "${@:3}" || { status=1; phase_end "$name"; return; }
  phase_end "$name"
  echo "=== $name: tests"
  phase_start
  ctest_logs+=("$dir/ctest.log")
  if ! ${TEST_WRAP:-} ctest --test-dir "$dir" -j "$JOBS" --output-on-failure --timeout 600 >"$dir/ctest.log" 2>&1; then
    status=1
    grep -B2 -A25 -E '\*\*\*Failed|\*\*\*Exception|\*\*\*Timeout' "$dir/ctest.log" | head -n 300 || true
  fi
  tail -n 15 "$dir/ctest.log"
  phase_end "$name: tests"
}

# The phases' seconds, then the tests of every build together, as ctest
# counted them ("N tests failed out of M").
summary() {
  local log failed total all_failed=0 all=0
  echo "=== seconds per phase"
  cat "$PHASE_LOG"
  printf '%-24s %5d s\n' "whole run" "$SECONDS"
  rm -f "$PHASE_LOG"
  for log in "${ctest_logs[@]}"; do
    read -r failed total < <(sed -n 's/.* \([0-9]\+\) tests\? failed out of \([0-9]\+\).*/\1 \2/p' "$log" 2>/dev/null | tail -n 1) ||
      { status=1; echo "no test count in $log"; continue; }
    all_failed=$((all_failed + failed)); all=$((all + total))
  done
  echo "tests: $((all - all_failed)) passed, $all_failed failed"
}

run_tests "$ROOT/build" "normal build"
if [ "${QUARN_QUICK:-0}" != "1" ]; then
  OPT_LEVEL=-O1 ASAN_OPTIONS="detect_leaks=0:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    run_tests "$ROOT/build-asan" "sanitizer build" -DQUARN_SANITIZE=ON
  TSAN_PROGRAMS='^(platform_kernel_test|base_(thread|mem|log|netzwerk)_test|fss_.*|bass_.*)$'
  norandom=""
  setarch "$(uname -m)" -R true 2>/dev/null && norandom="setarch $(uname -m) -R"
  TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$ROOT/scripts/tsan.supp" \
    TEST_WRAP="$norandom" BUILD_TARGET=quarn_test_programs \
    run_tests "$ROOT/build-tsan" "thread sanitizer build" -DQUARN_TSAN=ON "-DQUARN_TEST_PROGRAMS=$TSAN_PROGRAMS"
  "$ROOT/scripts/fuzz.sh" || status=1
fi
summary
exit $status
