#!/usr/bin/env bash
# Runs a test program under the German desktop locale, as the table window
# meets it there: LANG=de_DE.UTF-8 and no LC_ALL or LC_NUMERIC over it.
# Skipped (77) when the system has no such locale (test.sh makes it as root).
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "in_german.sh: locale de_DE.UTF-8 missing" >&2
  exit 77
fi
unset LC_ALL LC_NUMERIC LANGUAGE
export LANG=de_DE.UTF-8
exec "$@"
