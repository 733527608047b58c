#!/usr/bin/env bash
# Builds Fenu2 and starts it: the window when a display is present, a
# window-less run when none is. Arguments are passed on to fenu2.
set -euo pipefail
cd "$(dirname "$0")"
source tools/ensure-deps.sh
fenu2_ensure_deps
fenu2_build build

if [ -n "${DISPLAY:-}" ]; then
  exec ./build/fenu2 "$@"
else
  exec ./build/fenu2 -nw "$@"
fi
