#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo data and starts the music disk.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
"$ROOT/scripts/deps.sh"
configure_and_build "$ROOT/build"
if [ -x "$ROOT/build/app/musicdisk" ]; then
  exec "$ROOT/build/app/musicdisk" "$@"
fi
echo "Built the toolkit in $ROOT/build; the music disk itself is not part of this build yet."
