# Timed libFuzzer runs of every fuzz target (sourced by ./test.sh --fuzz).
# Builds them with clang, ASan and UBSan into build-fuzz/ and runs each over a
# copy of its seed corpus for the given seconds, several at a time. Any
# sanitizer report stops a target and fails the run; the input that caused it
# stays in build-fuzz/artifacts/<target>/.
zeb1_fuzz() {
  local seconds=${1:-60} missing failed=0 name work artifacts a
  ZEB1_EXTRA_PACKAGES="clang libclang-rt-14-dev"
  missing=$(zeb1_missing_packages)
  if [ -n "$missing" ]; then
    if [ "$(id -u)" != 0 ]; then
      echo "test.sh --fuzz: missing packages:$missing" >&2
      return 1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y $missing >&2 || return 1
  fi
  # Configured every time: a new fuzz target needs its rule before it is named.
  if [ ! -f "$ROOT/build-fuzz/CMakeCache.txt" ]; then
    CXX=clang++ cmake -S "$ROOT" -B "$ROOT/build-fuzz" -DZEB1_FUZZ=ON -DCMAKE_BUILD_TYPE=Release >&2 || return 1
  else
    cmake -S "$ROOT" -B "$ROOT/build-fuzz" >&2 || return 1
  fi
  local targets
  targets=$(cd "$ROOT/fuzz" && ls fuzz_*.cpp *_fuzz.cpp 2>/dev/null | sed 's/\.cpp$//')
  # shellcheck disable=SC2086
  cmake --build "$ROOT/build-fuzz" --parallel "$(nproc)" --target $targets >&2 || return 1
  work=$(mktemp -d) || return 1
  artifacts="$ROOT/build-fuzz/artifacts"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  export ASAN_OPTIONS="abort_on_error=0:detect_leaks=1"
  for name in $targets; do
    mkdir -p "$work/$name" "$work/tmp-$name" "$artifacts/$name"
    touch "$work/$name.stamp"
    cp "$ROOT/fuzz/seeds/$name/"* "$work/$name/" 2>/dev/null
    (cd "$work/tmp-$name" && TMPDIR="$work/tmp-$name" "$ROOT/build-fuzz/fuzz/$name" -max_total_time="$seconds" \
        -timeout=60 -rss_limit_mb=2048 -artifact_prefix="$artifacts/$name/" "$work/$name" > "$work/$name.log" 2>&1
     echo $? > "$work/$name.rc") &
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do sleep 1; done
  done
  wait
  for name in $targets; do
    if [ "$(cat "$work/$name.rc")" = 0 ] && ! grep -q "runtime error:" "$work/$name.log"; then
      echo "fuzz $name: clean for ${seconds}s"
    else
      echo "fuzz $name: FAILED"; tail -40 "$work/$name.log"; failed=1
      # Inputs of this run only; earlier ones stay where they are.
      for a in $(find "$artifacts/$name" -type f -newer "$work/$name.stamp" 2>/dev/null); do
        echo "fuzz $name: input kept in $a ($(stat -c %s "$a") bytes):"
        od -An -tx1 -v "$a" | head -64
      done
    fi
  done
  rm -rf "$work"
  return $failed
}
