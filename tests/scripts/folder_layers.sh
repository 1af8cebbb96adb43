#!/bin/bash
# A folder uses only folders below it: no library under the main window
# includes a main-window header, and none under the drawings a drawings
# header. Prints each offending line; exit 1 when there is one.
# Usage: folder_layers.sh <source tree>
set -u
src="$1/src"
[ -d "$src" ] || { echo "no source folder $src" >&2; exit 2; }
status=0
check() {  # check <header folder> <folder>...
  local header="$1"
  shift
  for folder in "$@"; do
    [ -d "$src/$folder" ] || { echo "missing folder src/$folder" >&2; status=1; continue; }
    if grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]$header/" "$src/$folder" \
         --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.cc'; then
      echo "src/$folder includes $header/ headers" >&2
      status=1
    fi
  done
}
check mainwin drawings graphics reports tables spring xbase base platform settings
check drawings graphics reports tables spring xbase base platform settings
exit $status
