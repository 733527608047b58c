#!/usr/bin/env bash
# Refreshes resources/Fenu2_ja_JP.ts from the sources and forms, keeping every
# translation already made. Then fill in the new (unfinished) entries.
set -euo pipefail
cd "$(dirname "$0")/.."
/usr/lib/qt6/bin/lupdate -locations none -no-ui-lines -I . \
  app input recon control mainwindow display view3d forms \
  -ts resources/Fenu2_ja_JP.ts
