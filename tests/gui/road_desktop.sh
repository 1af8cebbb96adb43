#!/usr/bin/env bash
# A second road on the real program, keys only: the six diagrams of the View
# menu, Edit > Vorauslegung, the print macro with two drawings (without a
# printer: two PDF files named in one box) and the about box. Run by ctest
# under xvfb-run; skipped (77) without xvfb-run, xdotool or import.
#   road_desktop.sh WZEB1 SOURCE_DIR
set -u
WZEB1=$1
SRC=$2
for tool in xvfb-run xdotool import; do
  command -v "$tool" > /dev/null || { echo "$tool missing"; exit 77; }
done
if [ -z "${ROAD_INSIDE_X:-}" ]; then
  ROAD_INSIDE_X=1 exec bash "$(dirname "$0")/../scripts/xvfb_run.sh" -a -s "-screen 0 1280x1024x24" -- "$0" "$@"
fi
ROOT=$(mktemp -d "${TMPDIR:-/tmp}/zeb1_road2.XXXXXX")
trap 'rm -rf "$ROOT"' EXIT
mkdir -p "$ROOT/cfg" "$ROOT/home" "$ROOT/tmp" "$ROOT/work" && chmod 700 "$ROOT/tmp"
cp "$SRC/examples/round_dynamic.zeb" "$ROOT/work/t.zeb"
# No printer: the print jobs become PDF files of the temp folder.
export XDG_CONFIG_HOME=$ROOT/cfg HOME=$ROOT/home TMPDIR=$ROOT/tmp XDG_RUNTIME_DIR=$ROOT/tmp
export CUPS_SERVER=$ROOT/no-cups
unset QT_QPA_PLATFORM
cd "$ROOT/work" || exit 1

fail() {
  echo "road: $*"
  [ -n "${ROAD_SHOT:-}" ] && import -window root "$ROAD_SHOT"
  kill "$pid" 2> /dev/null
  exit 1
}
# The window whose name matches, within 20 s (a hang bound, as every wait
# below; windows show within a second).
wait_for() { timeout 20 xdotool search --sync --name "$1" 2> /dev/null | head -1; }
# Windows whose name matches, now.
count_windows() { xdotool search --onlyvisible --name "$1" 2> /dev/null | wc -l; }
key() { xdotool key --delay 80 "$@"; sleep 0.4; }
shot() { import -window "$main" "$ROOT/shot.png" 2> /dev/null && md5sum < "$ROOT/shot.png"; }

"$WZEB1" "$ROOT/work/t.zeb" &
pid=$!
main=$(wait_for "Druckfederberechnung.*t.zeb") || true
[ -n "$main" ] || fail "no main window with t.zeb"
xdotool windowfocus "$main"; sleep 1

# View (Ansicht): its entries from the top are Ausdruck, Quick 1..3,
# Zeichnung, two production drawings, Federkennlinie (7 down), Dauer-
# festigkeit, Knicksicherheit, Temperatur (10 down), Spannung (11 down).
# Each item draws a sheet of its own: the canvas changes, and no box opens.
last=$(shot)
view_item() {  # name, downs to the submenu, downs inside it
  xdotool windowfocus "$main"; sleep 0.3
  key alt+a
  [ "$2" -gt 0 ] && xdotool key --delay 60 $(printf 'Down %.0s' $(seq 1 "$2"))
  key Right
  [ "$3" -gt 0 ] && xdotool key --delay 60 $(printf 'Down %.0s' $(seq 1 "$3"))
  key Return
  now=$last
  for _ in $(seq 1 60); do
    sleep 0.3
    now=$(shot)
    [ "$now" != "$last" ] && break
  done
  [ "$now" != "$last" ] || fail "$1: nothing drawn"
  # Drawn to the end: two shots alike.
  for _ in $(seq 1 60); do
    sleep 0.3
    again=$(shot)
    [ "$again" = "$now" ] && break
    now=$again
  done
  [ "$(count_windows 'Fehler|Meldung')" = 0 ] || fail "$1: a box opened"
  last=$now
}
view_item "F'-s'" 7 3
view_item "G-T" 10 0
view_item "F1-T" 10 1
view_item "F2-T" 10 2
view_item "tau-s" 11 0
view_item "tau-d (log.)" 11 3

# Edit (Bearbeiten) > Vorauslegung, 9 down: the pre-dimensioning screen
# opens at once (no question about the material), Esc closes it.
xdotool windowfocus "$main"; sleep 0.3
key alt+b
xdotool key --delay 60 $(printf 'Down %.0s' $(seq 1 9))
key Return
form=$(wait_for "ZEB1    Vorauslegung") || true
[ -n "$form" ] || fail "no pre-dimensioning screen"
[ "$(count_windows 'Achtung')" = 0 ] || fail "Vorauslegung asks about the material"
xdotool windowfocus "$form"; sleep 0.3
key Escape
sleep 1

# File (Datei) > Print Macro, 6 down: tick Zeichnung and Knicksicherheit by
# their access keys, OK. Two PDF files, one box naming them.
xdotool windowfocus "$main"; sleep 0.3
key alt+d
xdotool key --delay 60 $(printf 'Down %.0s' $(seq 1 6))
key Return
macro=$(wait_for "^ZEB1$") || true
[ -n "$macro" ] || fail "no print macro dialog"
xdotool windowfocus "$macro"; sleep 0.3
key alt+z
key alt+k
key Return
box=$(wait_for "Meldung") || true
[ -n "$box" ] || fail "no box naming the PDF files"
sleep 1.5
[ "$(count_windows 'Meldung')" = 1 ] || fail "more than one box"
[ "$(count_windows 'existiert|exists')" = 0 ] || fail "asked about overwriting"
xdotool windowfocus "$box"; key Return
sleep 1
[ "$(count_windows 'Meldung')" = 0 ] || fail "a second box followed the first"
pdfs=$(ls "$ROOT"/tmp/*.pdf 2> /dev/null | wc -l)
[ "$pdfs" = 2 ] || fail "$pdfs PDF files, not 2"

# Help (Hilfe) > ZEB1: the about box over the logo; OK closes it.
xdotool windowfocus "$main"; sleep 0.3
key alt+h
key z
about=$(wait_for "^ZEB1$") || true
[ -n "$about" ] || fail "no about box"
xdotool windowfocus "$about"; key Return
sleep 0.5

# File > Exit without saving.
xdotool windowfocus "$main"; sleep 0.3
key alt+d
key b
# The changed spring: the save question is answered No.
sleep 1
ask=$(xdotool search --onlyvisible --name "." 2> /dev/null | grep -v "^$main\$" | head -1) || true
[ -n "$ask" ] && { xdotool windowfocus "$ask"; key n; }
for _ in $(seq 1 100); do kill -0 "$pid" 2> /dev/null || break; sleep 0.2; done
kill -0 "$pid" 2> /dev/null && fail "still running after File > Exit"
wait "$pid"; code=$?
[ "$code" = 0 ] || fail "exit code $code"
echo "road: ok"
