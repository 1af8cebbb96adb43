#!/usr/bin/env bash
# Generated springs on every sheet, judged by the sheet checks, as the test
# drawings_spring_sheets runs a few hundred of them: by default 3000.
#   scripts/spring_sheets.sh [COUNT]
# It prints its seed first; ZEB1_SHEET_SEED=SEED repeats a run,
# ZEB1_SHEET_JOBS sets the processes (default: the cores) and
# ZEB1_SHEET_KEEP=DIR keeps the springs and sheets in DIR, ZEB1_SHEET_FOUND=DIR the
# spring files of findings.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$ROOT/scripts/setup.sh"
ZEB1_EXTRA_PACKAGES="$ZEB1_PEER_PACKAGES"
zeb1_setup zeb_test_spring_sheets || exit 1
export ZEB1_SOURCE_DIR="$ROOT" QT_QPA_PLATFORM=offscreen
exec /usr/bin/python3 "$ROOT/tests/drawings/spring_sheets.py" "$ROOT/build/tests/zeb_test_spring_sheets" \
  "${1:-3000}"
