#!/usr/bin/env bash
# The main road on the real program, keys only: open a spring file, change
# L0 in the recalculation screen, print, save and exit. Run by ctest under
# xvfb-run; skipped (77) without xvfb-run or xdotool.
#   road.sh WZEB1 SOURCE_DIR
set -u
WZEB1=$1
SRC=$2
command -v xvfb-run > /dev/null && command -v xdotool > /dev/null || { echo "xvfb-run or xdotool missing"; exit 77; }
if [ -z "${ROAD_INSIDE_X:-}" ]; then
  ROAD_INSIDE_X=1 exec bash "$(dirname "$0")/../scripts/xvfb_run.sh" -a -s "-screen 0 1280x1024x24" -- "$0" "$@"
fi
ROOT=$(mktemp -d "${TMPDIR:-/tmp}/zeb1_road.XXXXXX")
trap 'rm -rf "$ROOT"' EXIT
mkdir -p "$ROOT/cfg" "$ROOT/home" "$ROOT/tmp" "$ROOT/work" && chmod 700 "$ROOT/tmp"
cp "$SRC/examples/round_dynamic.zeb" "$ROOT/work/t.zeb"
export XDG_CONFIG_HOME=$ROOT/cfg HOME=$ROOT/home TMPDIR=$ROOT/tmp XDG_RUNTIME_DIR=$ROOT/tmp
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
key() { xdotool key --delay 80 "$@"; sleep 0.4; }

"$WZEB1" &
pid=$!
main=$(wait_for "Druckfederberechnung") || true
[ -n "$main" ] || fail "no main window"
xdotool windowfocus "$main"; sleep 0.5

# File > Open: the chooser takes the typed path.
key ctrl+o
chooser=$(wait_for "^Öffnen") || true  # Qt's own title, in the session's German
[ -n "$chooser" ] || fail "no file chooser"
xdotool windowfocus "$chooser"; sleep 0.3
xdotool type --delay 20 "$ROOT/work/t.zeb"; key Return
[ -n "$(wait_for "Druckfederberechnung  -  t.zeb")" ] || fail "t.zeb not opened"
sleep 1
xdotool windowfocus "$main"; sleep 0.5

# Edit > Nachrechnung by its access key: A&nwendung above it shares the key,
# so the second press selects it and Return opens it.
key alt+b; sleep 0.6
key n
key n
key Return
form=$(wait_for "ZEB1    Nachrechnung") || true
[ -n "$form" ] || fail "no recalculation screen"
key Down
key Down
xdotool type --delay 30 "110.5"; key Return
key Escape
sleep 0.5

# File > Print: the print set-up, OK; without a printer a PDF, named in a box.
xdotool windowfocus "$main"; sleep 0.3
key ctrl+p
setup=$(wait_for "Ausdruck") || true
[ -n "$setup" ] || fail "no print set-up dialog"
xdotool windowfocus "$setup"; sleep 0.3
key Return
box=$(wait_for "Meldung") || true
[ -n "$box" ] && { xdotool windowfocus "$box"; key Return; }
xdotool windowfocus "$main"; sleep 0.3
key ctrl+s
sleep 0.5
key alt+d
key b
for _ in $(seq 1 100); do kill -0 "$pid" 2> /dev/null || break; sleep 0.2; done
kill -0 "$pid" 2> /dev/null && fail "still running after File > Exit"
wait "$pid"; code=$?
[ "$code" = 0 ] || fail "exit code $code"

ls "$ROOT"/tmp/*.pdf > /dev/null 2>&1 || fail "no PDF printed"
(cd "$ROOT/work" && QT_QPA_PLATFORM=offscreen "$WZEB1" t.zeb /I /NOGUI) || fail "saved file unreadable"
grep -q "110.5" "$ROOT/work/t.txt" || fail "saved L0 is not 110.5"
grep -q "Fatal" "$ROOT/work/t.txt" && fail "the saved spring does not calculate"
session="$ROOT/cfg/zeb1/zeb1.cff"
[ -f "$session" ] || fail "no session file"
grep -q "$ROOT/work/t.zeb" "$session" || fail "the session file does not list t.zeb"
echo "road: ok"
