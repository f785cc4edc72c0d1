#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: a normal build, a
# build with AddressSanitizer and UndefinedBehaviorSanitizer, and a short run
# of each fuzz target. QUARN_QUICK=1 runs the normal build's tests only.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
"$ROOT/scripts/deps.sh"

start_xvfb
trap stop_xvfb EXIT
# Sound tests write through OpenAL Soft's null/file backends, never a card.
export ALSOFT_DRIVERS="${ALSOFT_DRIVERS:-null}"

status=0
run_tests() {
  local dir="$1" name="$2"
  echo "=== $name: build"
  configure_and_build "$dir" "${@:3}" || { status=1; return; }
  echo "=== $name: tests"
  if ! ctest --test-dir "$dir" -j "$JOBS" --output-on-failure --timeout 600 >"$dir/ctest.log" 2>&1; then
    status=1
    grep -B2 -A25 -E '\*\*\*Failed|\*\*\*Exception|\*\*\*Timeout' "$dir/ctest.log" | head -n 300 || true
  fi
  tail -n 15 "$dir/ctest.log"
}

run_tests "$ROOT/build" "normal build"
if [ "${QUARN_QUICK:-0}" != "1" ]; then
  ASAN_OPTIONS="detect_leaks=0:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    run_tests "$ROOT/build-asan" "sanitizer build" -DQUARN_SANITIZE=ON
  "$ROOT/scripts/fuzz.sh" || status=1
fi
exit $status
