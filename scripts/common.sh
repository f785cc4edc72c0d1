# Shared by the scripts: paths, the build, and an X server for tests.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="$(nproc 2>/dev/null || echo 4)"

# Seconds each phase of a run took: phase_start, then phase_end NAME adds a
# line to PHASE_LOG (when set; scripts/test.sh prints it at the end).
PHASE_STARTED=0
phase_start() { PHASE_STARTED=$SECONDS; }
phase_end() {
  [ -n "${PHASE_LOG:-}" ] && printf '%-24s %5d s\n' "$1" $((SECONDS - PHASE_STARTED)) >>"$PHASE_LOG"
  return 0
}

# Every build is RelWithDebInfo with line tables only (-g1): backtraces and
# sanitizer reports keep their files, lines and functions, and a compile
# takes about a quarter less time than with full debug information.
# OPT_LEVEL changes the optimisation (the sanitizer build uses -O1, as its
# runtime's authors advise: a third less compile time, its tests no slower).
build_type_options() {
  local flags="${OPT_LEVEL:--O2} -g1 -DNDEBUG"
  BUILD_TYPE_OPTIONS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo
    "-DCMAKE_C_FLAGS_RELWITHDEBINFO=$flags" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$flags")
}
build_type_options

# Ninja builds many targets at once (make runs the targets of one command
# line one after another) and starts faster. A build folder made by another
# generator is configured afresh.
GENERATOR_OPTIONS=()
command -v ninja >/dev/null 2>&1 && GENERATOR_OPTIONS=(-G Ninja)
use_generator() {
  local dir="$1"
  [ ${#GENERATOR_OPTIONS[@]} -gt 0 ] && [ -f "$dir/CMakeCache.txt" ] &&
    ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$dir/CMakeCache.txt" &&
    rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
  return 0
}

# configure_and_build DIR [cmake options...]: the whole project, or only the
# targets named by BUILD_TARGET. The build runs under TEST_WRAP (a command
# prefix), since it starts the test programs to list their tests. Its output
# goes to DIR.log; with SHOW_PROGRESS=1 each step's line is shown as well,
# with the share of the build done.
configure_and_build() {
  local dir="$1"; shift
  local -
  set -o pipefail
  build_type_options
  use_generator "$dir"
  [ "${SHOW_PROGRESS:-0}" = "1" ] && echo "building in $dir (the full log is $dir.log)"
  cmake -S "$ROOT" -B "$dir" "${GENERATOR_OPTIONS[@]}" "${BUILD_TYPE_OPTIONS[@]}" "$@" >"$dir.log" 2>&1 ||
    { tail -n 60 "$dir.log"; echo "configuring failed: $dir (see $dir.log)"; return 1; }
  if ! NINJA_STATUS="[%p %f/%t] " ${TEST_WRAP:-} cmake --build "$dir" -j "$JOBS" ${BUILD_TARGET:+--target $BUILD_TARGET} 2>&1 |
    tee -a "$dir.log" | show_progress; then
    tail -n 60 "$dir.log"; echo "build failed: $dir (see $dir.log)"; return 1
  fi
}
# The step lines of a build on the terminal when SHOW_PROGRESS=1; nothing
# otherwise.
show_progress() {
  if [ "${SHOW_PROGRESS:-0}" = "1" ]; then grep --line-buffered -E '^\[' || true; else cat >/dev/null; fi
}

# Starts an Xvfb of our own and exports DISPLAY. Xvfb itself makes sure one
# server only gets a number and reports it on a descriptor when it is ready;
# the server found there must be the one we started (it holds the socket).
XVFB_PID=""
start_xvfb() {
  local n report reported
  report="$(mktemp)"
  for n in $(seq 90 140); do
    { [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; } && continue
    : >"$report"
    Xvfb ":$n" -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$report" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 1 200); do
      [ -s "$report" ] && break
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    reported="$(head -n 1 "$report")"
    if [ "$reported" = "$n" ] && xvfb_serves "$XVFB_PID" "$n"; then
      rm -f "$report"
      export DISPLAY=":$n"
      return 0
    fi
    stop_xvfb
  done
  rm -f "$report"
  echo "could not start Xvfb" >&2
  return 1
}
# xvfb_serves PID N: the process holds a listening socket of display N.
xvfb_serves() {
  local inode
  for inode in $(awk -v s="/tmp/.X11-unix/X$2" '$8 == s || $8 == "@" s { print $7 }' /proc/net/unix); do
    ls -l "/proc/$1/fd" 2>/dev/null | grep -q "socket:\[$inode\]" && return 0
  done
  return 1
}
stop_xvfb() { [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null; XVFB_PID=""; }
