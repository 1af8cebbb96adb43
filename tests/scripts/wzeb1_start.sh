#!/usr/bin/env bash
# ./wzeb1 on an up-to-date build starts the program without building; on a
# changed source it builds the program alone and runs the new one (its start
# time against the program's: bench_script_start).
# Usage: wzeb1_start.sh SOURCE_DIR
set -u
SRC=$1
fail() { echo "FAIL: $*"; exit 1; }

# A tree of its own: the script, its set-up and a small project whose
#  other target does not compile. The first call builds the program alone,
#  the second runs it without building, a changed source builds again.
T=$(mktemp -d) || fail "mktemp"
trap 'rm -rf "$T"' EXIT
mkdir -p "$T/scripts" "$T/src/mainwin"
cp "$SRC/wzeb1" "$T/wzeb1"
cp "$SRC/scripts/setup.sh" "$T/scripts/setup.sh"
cat > "$T/CMakeLists.txt" <<'CM'
cmake_minimum_required(VERSION 3.25)
project(mini LANGUAGES CXX)
add_subdirectory(src/mainwin)
add_executable(not_for_the_program broken.cpp)
CM
echo 'this is not C++' > "$T/broken.cpp"
echo 'add_executable(wzeb1 main.cpp)' > "$T/src/mainwin/CMakeLists.txt"
version() { printf '#include <cstdio>\nint main(int, char** argv) { std::printf("%s %%s\\n", argv[1]); }\n' "$1" > "$T/src/mainwin/main.cpp"; }
version v1
out=$("$T/wzeb1" hello 2>&1) || fail "first call: $out"
[ "$out" = "v1 hello" ] || fail "first call printed: $out"
log_before=$(stat -c %Y.%s "$T/build/setup.log")
sleep 1
out=$("$T/wzeb1" again 2>&1) || fail "second call: $out"
[ "$out" = "v1 again" ] || fail "second call printed: $out"
[ "$(stat -c %Y.%s "$T/build/setup.log")" = "$log_before" ] || fail "the second call built"
version v2
out=$("$T/wzeb1" changed 2>&1) || fail "call after a change: $out"
[ "$out" = "v2 changed" ] || fail "call after a change printed: $out"
echo "1 passed, 0 failed"
