#!/usr/bin/env bash
# Runs the music disk under an X server of its own while xdotool clicks
# tracks, photos and the puzzle, and samples what memory it holds: RSS from
# /proc, malloc's own totals (mallinfo2, from tools/memwatch_preload.c loaded
# into the program) and, with MEMWATCH_GDB=1, the tracked allocator's blocks
# (SYS_MemInfo called from gdb; attaching can upset llvmpipe's JIT threads,
# so keep such runs short). The program needs no switch of its own.
#
#   tools/memwatch.sh BUILD_DIR MINUTES [SAMPLE_SECONDS] > samples.txt
#
# One line per sample: seconds, RSS kB, malloc in use, arena, mmapped, free
# bytes, tracked blocks, tracked bytes; at the end, where the resident
# memory lies (/proc smaps, kB by mapping). Needs cc, xdotool and Xvfb.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
build="$(cd "$1" && pwd)"
minutes="$2"
every="${3:-20}"
work="$(mktemp -d)"
cp "$build/app/musicdisk" "$work/musicdisk"
ln -s "$build/app/kelm.dat" "$work/kelm.dat"
cc -O2 -shared -fPIC -o "$work/preload.so" "$(dirname "${BASH_SOURCE[0]}")/memwatch_preload.c" -lpthread

start_xvfb
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  stop_xvfb
  if [ "${MEMWATCH_KEEP:-0}" = 1 ]; then echo "kept: $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

(cd "$work" && ulimit -c unlimited && ALSOFT_DRIVERS=null QUARN_MSGBOX_TEST=1 \
  MEMWATCH_LOG="$work/malloc.txt" MEMWATCH_EVERY="$every" LD_PRELOAD="$work/preload.so" exec ./musicdisk -default 2>>"$work/stderr.txt") &
pid=$!
win=""
for _ in $(seq 1 900); do
  win="$(xdotool search --pid "$pid" --name 'Musicdisk' 2>/dev/null | head -n 1 || true)"
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || { echo "no window" >&2; exit 1; }
sleep 5
xdotool mousemove --window "$win" 5 5 key --window "$win" Escape
sleep 2

# A click at a point of the drawing space (1280 x 720, y upwards).
click() {
  xdotool mousemove --window "$win" "$1" $((720 - $2)) mousedown 1 sleep 0.15 mouseup 1 >/dev/null 2>&1 || true
  sleep 0.15
}
sample() {
  local rss blocks="-" bytes="-"
  rss="$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status")"
  if [ "${MEMWATCH_GDB:-0}" = 1 ]; then
    rm -f "$work/blocks.txt"
    gdb -batch -p "$pid" -ex "call (int)SYS_MemInfo(\"$work/blocks.txt\")" >/dev/null 2>&1 || true
    blocks="$(grep -c ' -> ' "$work/blocks.txt" 2>/dev/null || true)"
    bytes="$(awk '/^Total:/ { print $2 }' "$work/blocks.txt" 2>/dev/null || true)"
  fi
  echo "$1 ${rss:-?} $(tail -n 1 "$work/malloc.txt" 2>/dev/null | cut -d' ' -f2-) $blocks $bytes"
}

echo "# seconds rss_kB malloc_inuse arena mmapped free tracked_blocks tracked_bytes"
start=$SECONDS
next=0
while [ $((SECONDS - start)) -lt $((minutes * 60)) ]; do
  if [ $((SECONDS - start)) -ge "$next" ]; then
    sample $((SECONDS - start))
    next=$((next + every))
  fi
  column=$((RANDOM % 3))
  click $((140 + 199 * column)) $((605 - 50 * (RANDOM % 8)))  # a track
  click 1136 294                                                # next photo
  click 1243 630                                                # puzzle on or off
  for _ in 1 2 3 4; do click $((816 + 25 + 51 * (RANDOM % 5))) $((185 + 24 + 49 * (RANDOM % 4))); done
done
sample $((SECONDS - start))
echo "# resident kB by mapping at the end"
awk '/^[0-9a-f]+-[0-9a-f]+ / { name = NF >= 6 ? $6 : "[anonymous]" } /^Rss:/ { rss[name] += $2 }
     END { for (n in rss) if (rss[n] >= 1024) print rss[n], n }' "/proc/$pid/smaps" | sort -rn
