#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo data and starts the music disk.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
"$ROOT/scripts/deps.sh"
SHOW_PROGRESS=1 configure_and_build "$ROOT/build"
exec "$ROOT/build/app/musicdisk" "$@"
