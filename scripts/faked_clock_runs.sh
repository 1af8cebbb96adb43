#!/usr/bin/env bash
# Runs the tests that read or write a date or a file time (ctest label
# "clock"; they run without SOURCE_DATE_EPOCH, on the system clock) on a
# faked clock (libfaketime; ./test.sh installs it) at a year's last second, a
# leap day, a moment past 32-bit seconds and the change to summer time in
# Berlin; each moment starts the clock, which then runs on.
# Extra arguments go to ./test.sh after these.
set -e
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$ROOT/scripts/setup.sh"
ZEB1_EXTRA_PACKAGES="$ZEB1_PEER_PACKAGES"
zeb1_setup || exit 1
for moment in '2026-12-31 23:59:59' '2028-02-29 23:59:50' '2038-01-19 03:14:00' 'Europe/Berlin 2027-03-28 01:59:30'; do
  zone=UTC
  case "$moment" in Europe/*) zone=${moment%% *} moment=${moment#* } ;; esac
  echo "faked clock: $moment ($zone)"
  TZ=$zone faketime "$moment" "$ROOT/test.sh" -L clock "$@"
done
