#!/usr/bin/env bash
# xvfb-run under any temporary folder: xvfb-run passes the path of its X
# authority file, which it makes in $TMPDIR, unquoted to the server, so it
# gets a private folder without blanks of its own; the command runs with the
# caller's TMPDIR (or none) as given.
#   xvfb_run.sh [XVFB-RUN OPTIONS...] -- CMD [ARGS...]
set -u
options=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  options+=("$1")
  shift
done
[ $# -gt 1 ] || { echo "usage: xvfb_run.sh [XVFB-RUN OPTIONS...] -- CMD [ARGS...]" >&2; exit 2; }
shift
own=$(mktemp -d /tmp/zeb1-xvfb.XXXXXX) || exit 1
trap 'rm -rf "$own"' EXIT
if [ -n "${TMPDIR+set}" ]; then
  TMPDIR=$own xvfb-run "${options[@]}" env TMPDIR="$TMPDIR" "$@"
else
  TMPDIR=$own xvfb-run "${options[@]}" env -u TMPDIR "$@"
fi
