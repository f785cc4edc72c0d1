# Shared by the scripts: paths, the build, and an X server for tests.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="$(nproc 2>/dev/null || echo 4)"

# configure_and_build DIR [cmake options...]
configure_and_build() {
  local dir="$1"; shift
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS" >"$dir.log" 2>&1 || { tail -n 60 "$dir.log"; echo "build failed: $dir (see $dir.log)"; return 1; }
}

# Starts an Xvfb of our own on a free display number and exports DISPLAY.
XVFB_PID=""
start_xvfb() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null; XVFB_PID=""
  done
  echo "could not start Xvfb" >&2
  return 1
}
stop_xvfb() { [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null; XVFB_PID=""; }
