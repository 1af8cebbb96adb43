#!/usr/bin/env bash
# Builds ZEB1 when needed and runs every test.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$ROOT/scripts/setup.sh"
ZEB1_EXTRA_PACKAGES="$ZEB1_PEER_PACKAGES"
mkdir -p "$ROOT/build" && touch "$ROOT/build/wzeb1.built.new" || exit 1
zeb1_setup || exit 1
# Everything is built, the program too: ./wzeb1 starts it at once.
mv -f "$ROOT/build/wzeb1.built.new" "$ROOT/build/wzeb1.built"
# ./test.sh --fuzz [SECONDS]: timed libFuzzer runs of every fuzz target instead.
if [ "${1:-}" = "--fuzz" ]; then
  . "$ROOT/scripts/fuzz.sh"
  zeb1_fuzz "${2:-60}"
  exit $?
fi
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  if [ "$(id -u)" = 0 ]; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8 >&2 || echo "test.sh: could not make de_DE.UTF-8" >&2
  else
    echo "test.sh: locale de_DE.UTF-8 missing (run as root once)" >&2
  fi
fi
cd "$ROOT/build" || exit 1
export QT_QPA_PLATFORM=offscreen
# ZEB1_ULP_SHIFT=up|down ./test.sh: every long-double sin, cos, tan, atan,
# log, exp, pow ... result of the tests and of the programs they start one
# unit in the last place up or down, as another processor make may give it.
case "${ZEB1_ULP_SHIFT:-}" in
  "") ;;
  # By its name, its folder on the library path: the loader splits
  # LD_PRELOAD at blanks, and the checkout's path may hold some.
  up | down)
    export LD_PRELOAD="libzeb_test_ulp_shift.so${LD_PRELOAD:+:$LD_PRELOAD}"
    export LD_LIBRARY_PATH="$ROOT/build${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
    ;;
  *)
    echo "test.sh: ZEB1_ULP_SHIFT is up or down" >&2
    exit 2
    ;;
esac
# Under a faked clock (faketime ./test.sh) the file times tests set go
# through it too, as the times they read do.
case "${LD_PRELOAD:-}" in *libfaketime*) export FAKE_UTIME=1 ;; esac
# Nothing a test writes may land in the source tree: files that git does not
# know of, or changed ones, that were not there before the run fail it.
tree_state() { git -C "$ROOT" status --porcelain --untracked-files=all 2>/dev/null | sort; }
before=$(tree_state)
# The tests' temporary folder is one of this run's own, below the caller's:
# whatever a test leaves in it fails the run, named, and it goes at the end.
runtmp=$(mktemp -d "${TMPDIR:-/tmp}/zeb1_tests.XXXXXX") || exit 1
TMPDIR="$runtmp" ctest --output-on-failure --parallel "$(nproc)" "$@"
rc=$?
left=$(find "$runtmp" -mindepth 1 -maxdepth 1 -printf '%f\n' | sort)
if [ -n "$left" ]; then
  echo "test.sh: the tests left in their temporary folder:" >&2
  echo "$left" >&2
  [ $rc = 0 ] && rc=1
fi
chmod -R u+rwx "$runtmp" 2> /dev/null
rm -rf "$runtmp"
landed=$(comm -13 <(echo "$before") <(tree_state))
if [ -n "$landed" ]; then
  echo "test.sh: the run wrote into the source tree:" >&2
  echo "$landed" >&2
  [ $rc = 0 ] && rc=1
fi
exit $rc
