#!/usr/bin/env bash
# Makes the fuzzing seeds of the archive reader and the block reader with
# qrnpack itself: small archives (empty, plain and compressed entries, a name
# with "\") and blocks of text, zeros and one byte.
# usage: make-seeds.sh QRNPACK   (writes into fuzz/corpus/pack and zblock)
set -euo pipefail
qrnpack="$1"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$root/fuzz/corpus/pack" "$root/fuzz/corpus/zblock" "$work/empty" "$work/small/sub" "$work/mixed"

"$qrnpack" "$root/fuzz/corpus/pack/empty.dat" "$work/empty"
printf 'ab\ncd' >"$work/small/plain.txt"
: >"$work/small/empty.txt"
printf 'in a folder\r\n' >"$work/small/sub/x.txt"
"$qrnpack" "$root/fuzz/corpus/pack/small.dat" "$work/small"
for i in $(seq 1 40); do printf 'line %d of a text that repeats\r\n' "$i"; done >"$work/mixed/text.txt"
head -c 300 /dev/zero >"$work/mixed/zeros.bin"
printf 'x' >"$work/mixed/x"
"$qrnpack" "$root/fuzz/corpus/pack/mixed.dat" "$work/mixed"

"$qrnpack" -z "$work/mixed/text.txt" "$root/fuzz/corpus/zblock/text.z"
"$qrnpack" -z "$work/mixed/zeros.bin" "$root/fuzz/corpus/zblock/zeros.z"
"$qrnpack" -z "$work/mixed/x" "$root/fuzz/corpus/zblock/byte.z"
