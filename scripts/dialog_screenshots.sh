#!/usr/bin/env bash
# Takes the screenshots of the input and documentation dialogs into
# docs/review/dialogs (build first: cmake --build build --target mainwin_dialog_screenshots).
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
mkdir -p "$ROOT/docs/review/dialogs"
QT_QPA_PLATFORM=xcb exec bash "$ROOT/tests/scripts/xvfb_run.sh" -a -s "-screen 0 1024x768x24" -- \
  "$ROOT/build/tests/mainwin_dialog_screenshots" "$ROOT/docs/review/dialogs"
