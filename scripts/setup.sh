# Shared set-up of ./wzeb1 and ./test.sh: install what is missing, configure, build.
# Sourced with ROOT set; talks on stderr only.
ZEB1_PACKAGES="build-essential cmake qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev libxcb-xtest0-dev libxcb-damage0-dev python3 poppler-utils locales fonts-wqy-microhei xdg-utils qt6-translations-l10n"
# Peer programs the tests read our files with.
ZEB1_PEER_PACKAGES="faketime python3-ezdxf gdal-bin occt-draw libocct-draw-dev python3-dbf python3-dbfread libdbd-xbase-perl hp2xx xvfb xauth imagemagick fonts-liberation xdotool strace openbox x11-utils"

zeb1_missing_packages() {
  local p missing=""
  for p in $ZEB1_PACKAGES ${ZEB1_EXTRA_PACKAGES:-}; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing="$missing $p"
    fi
  done
  echo "$missing"
}

# The locks another package manager (apt-get, unattended upgrades) holds
# while it works, one a line; ZEB1_PACKAGE_LOCKS names others (the set-up's
# test).
ZEB1_PACKAGE_LOCKS=${ZEB1_PACKAGE_LOCKS:-$'/var/lib/dpkg/lock-frontend\n/var/lib/dpkg/lock\n/var/lib/apt/lists/lock\n/var/cache/apt/archives/lock'}
# How long apt-get waits for them, in seconds.
ZEB1_APT_LOCK_WAIT=1200

# The processes that hold one of the package locks ("pid (name)"), from the
# kernel's lock list.
zeb1_lock_holders() {
  local lock inode pid holders=""
  while IFS= read -r lock; do
    inode=$(stat -L -c %i "$lock" 2> /dev/null) || continue
    for pid in $(awk -v inode="$inode" '$2 != "->" { n = split($6, id, ":"); if (id[n] == inode) print $5 }' /proc/locks 2> /dev/null); do
      case " $holders " in *" $pid "*) continue ;; esac
      holders="$holders $pid"
    done
  done <<< "$ZEB1_PACKAGE_LOCKS"
  for pid in $holders; do
    printf '%s (%s) ' "$pid" "$(cat "/proc/$pid/comm" 2> /dev/null || echo "?")"
  done
}

# apt-get that waits for a package lock another package manager holds
# instead of giving up, and says so.
zeb1_apt_get() {
  local holders
  holders=$(zeb1_lock_holders)
  if [ -n "$holders" ]; then
    echo "wzeb1 set-up: another package manager holds the package lock (process ${holders% }); apt-get $1 waits for it, up to $((ZEB1_APT_LOCK_WAIT / 60)) minutes" >&2
  fi
  apt-get -o DPkg::Lock::Timeout="$ZEB1_APT_LOCK_WAIT" "$@"
}

# zeb1_setup [TARGET...]: builds the given targets, or everything.
zeb1_setup() {
  local missing
  missing=$(zeb1_missing_packages)
  if [ -n "$missing" ]; then
    if [ "$(id -u)" != 0 ]; then
      echo "wzeb1 set-up: missing packages:$missing" >&2
      echo "wzeb1 set-up: run as root, or install them: apt-get install$missing" >&2
      return 1
    fi
    echo "wzeb1 set-up: installing$missing" >&2
    export DEBIAN_FRONTEND=noninteractive
    zeb1_apt_get update >&2 || return 1
    # shellcheck disable=SC2086
    zeb1_apt_get install -y $missing >&2 || return 1
  fi
  # Configure and build quietly; the log is shown only when a step fails.
  mkdir -p "$ROOT/build" || return 1
  local log="$ROOT/build/setup.log"
  : > "$log"
  if [ ! -f "$ROOT/build/CMakeCache.txt" ]; then
    if ! cmake -S "$ROOT" -B "$ROOT/build" -DCMAKE_BUILD_TYPE=Release >> "$log" 2>&1; then
      tail -40 "$log" >&2
      echo "wzeb1 set-up: configuring failed (log: $log)" >&2
      return 1
    fi
  fi
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  if ! cmake --build "$ROOT/build" --parallel "$(nproc)" "${targets[@]}" >> "$log" 2>&1; then
    grep -E 'error|Error' "$log" | head -40 >&2
    echo "wzeb1 set-up: building failed (log: $log)" >&2
    return 1
  fi
}
