#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each one briefly on its seeds.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
SECONDS_EACH="${QUARN_FUZZ_SECONDS:-20}"
dir="$ROOT/build-fuzz"
shopt -s nullglob
targets=("$ROOT"/fuzz/*_fuzz.cpp)
[ ${#targets[@]} -eq 0 ] && { echo "=== fuzz: no targets"; exit 0; }
echo "=== fuzz: build"
names=()
for src in "${targets[@]}"; do names+=("$(basename "$src" .cpp)"); done
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARN_FUZZ=ON -DQUARN_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$JOBS" --target "${names[@]}" >"$dir.log" 2>&1 || { tail -n 60 "$dir.log"; echo "fuzz build failed"; exit 1; }
status=0
for src in "${targets[@]}"; do
  name="$(basename "$src" .cpp)"
  corpus="$ROOT/fuzz/corpus/${name%_fuzz}"
  work="$dir/corpus-$name"
  mkdir -p "$work"
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/ 2>/dev/null || true
  if "$dir/fuzz/$name" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 -print_final_stats=0 \
       "$work" >"$dir/$name.log" 2>&1; then
    echo "fuzz $name: ok"
  else
    echo "fuzz $name: FAILED"; tail -n 30 "$dir/$name.log"; status=1
  fi
done
exit $status
