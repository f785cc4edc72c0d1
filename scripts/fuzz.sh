#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each one briefly on its seeds,
# as many at a time as there are cores (each run is one process on one core).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
SECONDS_EACH="${QUARN_FUZZ_SECONDS:-20}"
dir="$ROOT/build-fuzz"
shopt -s nullglob
targets=("$ROOT"/fuzz/*_fuzz.cpp)
[ ${#targets[@]} -eq 0 ] && { echo "=== fuzz: no targets"; exit 0; }
echo "=== fuzz: build"
phase_start
names=()
for src in "${targets[@]}"; do names+=("$(basename "$src" .cpp)"); done
CC=clang CXX=clang++ BUILD_TARGET="${names[*]}" configure_and_build "$dir" -DQUARN_FUZZ=ON -DQUARN_TESTS=OFF ||
  { echo "fuzz build failed"; exit 1; }
phase_end "fuzz build"

# fuzz_one NAME: one target on a copy of its seeds; leaves its exit code in
# NAME.status beside its log.
fuzz_one() {
  local name="$1" corpus="$ROOT/fuzz/corpus/${1%_fuzz}" work="$dir/corpus-$1" rc=0
  mkdir -p "$work"
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/ 2>/dev/null || true
  "$dir/fuzz/$name" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 -print_final_stats=0 \
    "$work" >"$dir/$name.log" 2>&1 || rc=$?
  echo "$rc" >"$dir/$name.status"
}

echo "=== fuzz: ${#names[@]} targets, $SECONDS_EACH s each, $JOBS at a time"
phase_start
for name in "${names[@]}"; do
  rm -f "$dir/$name.status"
  while [ "$(jobs -rp | wc -l)" -ge "$JOBS" ]; do wait -n || true; done
  fuzz_one "$name" &
done
wait
status=0
for name in "${names[@]}"; do
  if [ "$(cat "$dir/$name.status" 2>/dev/null)" = "0" ]; then
    echo "fuzz $name: ok"
  else
    echo "fuzz $name: FAILED"; tail -n 30 "$dir/$name.log"; status=1
  fi
done
phase_end "fuzz runs"
exit $status
