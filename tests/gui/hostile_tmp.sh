#!/usr/bin/env bash
# Two users share a 1777 temporary folder. One of them plants links there
# under every name the program has ever written into a temporary folder, each
# pointing at a file of the other; the other runs an interactive start on a
# virtual X server (ended by File > Exit) and the batch runs /I, /CAD1:6 and
# /CAD1:16. Every file of the victim stays as it was, every run succeeds, and
# afterwards the shared folder holds nothing but the planted links.
# Needs root (it creates the two users and removes them again); skipped (77)
# otherwise, or without xvfb-run, xdotool, strace or useradd.
#   hostile_tmp.sh WZEB1 SOURCE_DIR
set -u
WZEB1=$1
SRC=$2
[ "$(id -u)" = 0 ] || { echo "hostile_tmp: not root, skipped"; exit 77; }
for tool in xvfb-run xdotool strace useradd userdel runuser sha256sum; do
  command -v "$tool" > /dev/null || { echo "hostile_tmp: $tool missing, skipped"; exit 77; }
done
VICTIM=zeb1victim
ATTACKER=zeb1attack
ROOT=$(mktemp -d /tmp/zeb1_hostile.XXXXXX)
chmod 755 "$ROOT"
made_users=()
cleanup() {
  rm -rf "$ROOT"
  for u in "${made_users[@]}"; do userdel "$u" 2> /dev/null; done
}
trap cleanup EXIT
for u in $VICTIM $ATTACKER; do
  if ! id "$u" > /dev/null 2>&1; then
    useradd -M -N -d /nonexistent -s /bin/sh "$u" || { echo "hostile_tmp: cannot create $u, skipped"; exit 77; }
    made_users+=("$u")
  fi
done
fail() { echo "hostile_tmp: $*"; exit 1; }
if ! runuser -u $VICTIM -- test -x "$WZEB1"; then
  echo "hostile_tmp: another user cannot start $WZEB1 here (a private folder above it), skipped"
  exit 77
fi

SHARED=$ROOT/shared
HOME_V=$ROOT/victim
mkdir -p "$SHARED" "$HOME_V/work" "$HOME_V/files" "$HOME_V/private" "$HOME_V/cfg"
chmod 1777 "$SHARED"
cp "$SRC/examples/table_material.zeb" "$HOME_V/work/t.zeb"
chown -R $VICTIM "$HOME_V"
chmod 700 "$HOME_V/private"

# Runs a command as the victim in its work folder, with the shared folder as
# TMPDIR and its own configuration and runtime folders.
as_victim() {
  runuser -u $VICTIM -- env -i PATH=/usr/bin:/bin HOME="$HOME_V" XDG_CONFIG_HOME="$HOME_V/cfg" \
    XDG_RUNTIME_DIR="$HOME_V/private" TMPDIR="$SHARED" "$@"
}
# The interactive start: the main window, then File > Exit by its keys.
cat > "$ROOT/interactive.sh" << 'EOF'
#!/usr/bin/env bash
cd "$HOME/work" || exit 1
"$1" &
pid=$!
main=$(timeout 30 xdotool search --sync --name "Druckfederberechnung" 2> /dev/null | head -1)
[ -n "$main" ] || { kill "$pid"; echo "no main window"; exit 1; }
sleep 1
xdotool windowfocus "$main"; sleep 0.5
xdotool key --delay 80 alt+d; sleep 0.6
xdotool key --delay 80 b
for _ in $(seq 1 100); do kill -0 "$pid" 2> /dev/null || break; sleep 0.2; done
kill -0 "$pid" 2> /dev/null && { kill "$pid"; echo "still running after File > Exit"; exit 1; }
wait "$pid"
EOF
chmod 755 "$ROOT/interactive.sh"
interactive() {
  # xvfb-run's own files go to the victim's private folder.
  runuser -u $VICTIM -- env -i PATH=/usr/bin:/bin HOME="$HOME_V" XDG_CONFIG_HOME="$HOME_V/cfg" \
    XDG_RUNTIME_DIR="$HOME_V/private" TMPDIR="$HOME_V/private" \
    xvfb-run -a -s "-screen 0 1280x1024x24" env TMPDIR="$SHARED" "$ROOT/interactive.sh" "$WZEB1"
}
batch_runs() {
  for sw in /I /CAD1:6 /CAD1:16; do
    (cd "$HOME_V/work" && as_victim "$WZEB1" t.zeb "$sw") > /dev/null 2> "$ROOT/err" || {
      cat "$ROOT/err"
      fail "$sw ended with an error"
    }
  done
}

# 1. Which names do the runs write into a temporary folder? Traced once in a
#    folder of the victim's own.
mkdir -p "$HOME_V/trace" "$HOME_V/log"
chown $VICTIM "$HOME_V/trace" "$HOME_V/log"
for sw in /I /CAD1:6 /CAD1:16 /CAD2:16; do
  (cd "$HOME_V/work" && runuser -u $VICTIM -- env -i PATH=/usr/bin:/bin HOME="$HOME_V" \
    XDG_CONFIG_HOME="$HOME_V/cfg" TMPDIR="$HOME_V/trace" \
    strace -f -qq -e trace=openat,creat,rename,mkdir,link,symlink -o "$HOME_V/log/trace" "$WZEB1" t.zeb "$sw") \
    > /dev/null 2>&1
  grep -o "\"$HOME_V/trace/[^\"]*\"" "$HOME_V/log/trace" >> "$ROOT/names" 2> /dev/null
done
grep -q "/zeb1-" "$ROOT/names" || fail "the trace found no run folder"
names=$( (sed 's|"||g; s|.*/||' "$ROOT/names" 2> /dev/null
  # Names written into the temporary folder itself by earlier versions.
  printf '%s\n' '$feder.dx$' '$zebl1.dx$' '$zebl2.dx$' '$goodman.dx$' '$FRAME_1.dx$' '$FRAME_2.dx$' \
    '$LOGO_1.dx$' '$LOGO_2.dx$' '$LOGO_3.dx$' outwin.txt '$$$1.txt' '$$1.txt' '$$$.dbh' '$OUT1.TMP' \
    zebwst.ndx zebwst.dbf zebrmmin.ndx zebrmmax.ndx '$tlmtemp.ndx' zeb1.pdf gravelo \
    "zeb1-$(id -u $VICTIM)") | grep -v '^$' | grep -v '^zeb1-[A-Za-z0-9]\{6\}$' | sort -u)
[ "$(echo "$names" | wc -l)" -ge 10 ] || fail "too few names traced: $names"

# 2. The attacker plants a link under each name, each to a victim file.
n=0
while IFS= read -r name; do
  n=$((n + 1))
  victim_file="$HOME_V/files/v$n.txt"
  printf 'chapter %s of the thesis\n' "$n" > "$victim_file"
  runuser -u $ATTACKER -- ln -s "$victim_file" "$SHARED/$name" || fail "cannot plant $name"
done <<< "$names"
chown -R $VICTIM "$HOME_V/files"
(cd "$HOME_V/files" && sha256sum ./* > "$ROOT/before")
planted=$(cd "$SHARED" && ls -A | sort)

# 3. The victim works.
interactive > "$ROOT/gui.log" 2>&1 || { cat "$ROOT/gui.log"; fail "interactive start failed"; }
batch_runs
[ -s "$HOME_V/work/t.txt" ] && [ -s "$HOME_V/work/t.dxf" ] || fail "outputs missing"

# 4. Nothing of the victim changed, nothing of the runs stayed.
(cd "$HOME_V/files" && sha256sum -c --quiet "$ROOT/before") || fail "a victim file was changed"
[ "$(cd "$SHARED" && ls -A | sort)" = "$planted" ] || {
  ls -la "$SHARED"
  fail "the shared folder holds files of the runs"
}
leftover=$(find "$SHARED" -mindepth 1 ! -user $ATTACKER)
[ -z "$leftover" ] || fail "left in the shared folder: $leftover"
echo "hostile_tmp: names:" $names
echo "hostile_tmp: $n links planted, victim files unchanged, shared folder clean"
