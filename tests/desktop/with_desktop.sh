#!/usr/bin/env bash
# Runs a command on a desktop of its own: a virtual X server and the openbox
# window manager, so that activation, focus and expose events arrive as they
# do on a real desktop (they do not under the offscreen platform or a bare X
# server). The command gets DISPLAY, QT_QPA_PLATFORM=xcb and a TMPDIR removed
# with the desktop (also after a crash); its exit status
# is ours. Exit 77 (skip) only when Xvfb or openbox is missing.
#   with_desktop.sh [--size WxH] CMD [ARGS...]
set -u
size=1280x1024
if [ "${1:-}" = "--size" ]; then size=$2; shift 2; fi
[ $# -gt 0 ] || { echo "usage: with_desktop.sh [--size WxH] CMD [ARGS...]" >&2; exit 2; }
for tool in Xvfb openbox xprop; do
  command -v "$tool" > /dev/null || { echo "with_desktop: $tool missing" >&2; exit 77; }
done
# A faked clock (libfaketime) stays out of the desktop and the command: under
# it Qt's X connection leaves a shown window unmapped. The desktop tests look
# at windows, not at dates.
if [[ "${LD_PRELOAD:-}" == *libfaketime* ]]; then
  LD_PRELOAD=$(tr ' :' '\n\n' <<< "$LD_PRELOAD" | grep -v -e libfaketime -e '^$' | paste -sd:)
  if [ -n "$LD_PRELOAD" ]; then export LD_PRELOAD; else unset LD_PRELOAD; fi
  unset FAKETIME FAKETIME_SHARED
fi
run=$(mktemp -d "${TMPDIR:-/tmp}/zeb1-desktop.XXXXXX") || exit 1
xpid="" wmpid=""
cleanup() {
  [ -n "$wmpid" ] && kill "$wmpid" 2> /dev/null
  [ -n "$xpid" ] && kill "$xpid" 2> /dev/null
  wait 2> /dev/null
  rm -rf "$run"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# The server picks a free display and writes its number on fd 3. Each wait
# below is a hang bound of 30 s; the server and openbox start within a second.
exec 3> "$run/display"
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset > "$run/xvfb.log" 2>&1 &
xpid=$!
exec 3>&-
for _ in $(seq 1 300); do
  [ -s "$run/display" ] && break
  kill -0 "$xpid" 2> /dev/null || { cat "$run/xvfb.log" >&2; exit 1; }
  sleep 0.1
done
[ -s "$run/display" ] || { echo "with_desktop: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(tr -d '\n' < "$run/display")
# openbox without a session manager, with its defaults (no user rc file).
# Its start-up command runs once it manages windows: a window mapped before
# that (its check window is set much earlier) would be taken over unfocused.
# (The mark's path quoted: a temporary folder may hold a blank.)
HOME=$run XDG_CONFIG_HOME=$run/config openbox --sm-disable --startup "touch $(printf %q "$run/wm.ready")" \
  > "$run/wm.log" 2>&1 &
wmpid=$!
for _ in $(seq 1 300); do
  [ -e "$run/wm.ready" ] && xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id' && break
  kill -0 "$wmpid" 2> /dev/null || { cat "$run/wm.log" >&2; exit 1; }
  sleep 0.1
done
[ -e "$run/wm.ready" ] || { echo "with_desktop: openbox did not start" >&2; exit 1; }
xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id' \
  || { echo "with_desktop: openbox did not start" >&2; exit 1; }
export QT_QPA_PLATFORM=xcb
# The command's temporary files go with this folder, also after a crash.
export TMPDIR=$run/tmp
mkdir -p "$TMPDIR" || exit 1
"$@"
