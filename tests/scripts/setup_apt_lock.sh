#!/usr/bin/env bash
# The set-up's apt-get calls wait for a package lock another package
# manager holds, and say on stderr that they wait: apt-get, id, dpkg-query
# and cmake are stand-ins; the lock is a real one on a file of the test's.
# Usage: setup_apt_lock.sh SOURCE_DIR
set -u
SRC=$1
fail() { echo "FAIL: $*"; exit 1; }
# The test's folder holds blanks (a lock's path may), whatever the caller's
# temporary folder is; the set-up runs with it as its temporary folder too.
T=$(mktemp -d "${TMPDIR:-/tmp}/zeb1 apt lock.XXXXXX") || fail "mktemp"
holder=""
trap '[ -n "$holder" ] && kill "$holder" 2> /dev/null; rm -rf "$T"' EXIT
mkdir -p "$T/bin" "$T/root/build"
stand_in() { printf '#!/bin/sh\n%s\n' "$2" > "$T/bin/$1" && chmod +x "$T/bin/$1"; }
# Root, every package missing, a build that succeeds; apt-get notes its arguments.
stand_in id 'echo 0'
stand_in dpkg-query 'exit 1'
stand_in cmake 'exit 0'
stand_in apt-get "echo \"\$*\" >> '$T/apt.log'"
lock="$T/lock-frontend"
: > "$lock"

run() {
  : > "$T/apt.log"
  (PATH="$T/bin:$PATH" TMPDIR="$T" ZEB1_PACKAGE_LOCKS="$T/none"$'\n'"$lock" ROOT="$T/root" bash -c \
    ". '$SRC/scripts/setup.sh' && zeb1_setup" > "$T/out" 2> "$T/err") || fail "set-up failed: $(cat "$T/err")"
  # Both calls, update and install, wait for the lock.
  [ "$(grep -c '^-o DPkg::Lock::Timeout=[1-9][0-9]* ' "$T/apt.log")" = 2 ] || fail "apt-get calls: $(cat "$T/apt.log")"
  grep -q '^-o DPkg::Lock::Timeout=[0-9]* update$' "$T/apt.log" || fail "no update: $(cat "$T/apt.log")"
  grep -q '^-o DPkg::Lock::Timeout=[0-9]* install -y ' "$T/apt.log" || fail "no install: $(cat "$T/apt.log")"
}

# Nobody holds the lock: no word of waiting.
run
grep -q 'waits' "$T/err" && fail "waits with a free lock: $(cat "$T/err")"

# Another package manager holds it (as apt does, an fcntl lock): each call says so, naming it.
python3 -c "
import fcntl, sys, time
f = open(sys.argv[1], 'w')
fcntl.lockf(f, fcntl.LOCK_EX)
open(sys.argv[2], 'w').close()
time.sleep(60)" "$lock" "$T/held" &
holder=$!
for _ in $(seq 1 100); do [ -e "$T/held" ] && break; sleep 0.1; done
[ -e "$T/held" ] || fail "the lock was not taken"
run
[ "$(grep -c "another package manager holds the package lock (process $holder (python3)); apt-get [a-z]* waits for it, up to [0-9]* minutes" "$T/err")" = 2 ] ||
  fail "stderr: $(cat "$T/err")"
[ -s "$T/out" ] && fail "stdout: $(cat "$T/out")"
echo "2 passed, 0 failed"
