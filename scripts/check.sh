#!/usr/bin/env bash
# Installs what is missing, then builds and tests the suite:
#   1. a debug build and every test (as root, the permission tests again as user nobody),
#   2. the same under AddressSanitizer and UndefinedBehaviorSanitizer,
#   3. every fuzz target, each run briefly on its seed corpus,
#   4. the benchmarks (built, not run),
#   5. a distribution's build type (RelWithDebInfo: -O2 -g), built without tests: no warning at -O2.
# --quick runs step 1 only.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
[ "${1:-}" = "--quick" ] && quick=1
jobs=$(nproc 2>/dev/null || echo 4)
fuzz_seconds=${QELTA_FUZZ_SECONDS:-20}

bash scripts/install-deps.sh

step() { echo; echo "==== $* ===="; }

step "debug build and tests"
cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default

# Tests of permissions skip when run as root (root ignores them): as root, run them again as the
# unprivileged user nobody, from a copy that user can read, and let none of them skip.
if [ "$(id -u)" = 0 ]; then
  step "permission tests as an unprivileged user"
  copy=$(mktemp -d)
  cp -r build/default/lib "$copy/lib"
  cp build/default/bin/platform_files_test "$copy/"
  chmod -R a+rX "$copy"
  out=$(cd "$copy" && setpriv --reuid=nobody --regid=nogroup --clear-groups env -u QELTA_ROOT HOME="$copy" \
          TMPDIR=/tmp LD_LIBRARY_PATH="$copy/lib" ./platform_files_test 2>&1) || { echo "$out"; rm -rf "$copy"; exit 1; }
  rm -rf "$copy"
  tail -n 3 <<<"$out"
  if grep -q '^\[  SKIPPED \]' <<<"$out"; then
    grep '^\[  SKIPPED \]' <<<"$out"
    echo "check: permission tests were skipped as an unprivileged user"
    exit 1
  fi
fi

[ "$quick" = 1 ] && exit 0

step "AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
cmake --preset asan
cmake --build --preset asan -j "$jobs"
# The leak checker stops a process's threads through a tracer of its own at exit; now and then that
# tracer crashes ("Tracer caught signal 11", then "LeakSanitizer has encountered a fatal error")
# with no leak found. Only when every failed test ended so are they run once more; a leak report,
# a sanitizer error or any other failure fails the check as it is.
asan_log=$(mktemp)
if ! ctest --preset asan --output-log "$asan_log"; then
  failed=$(grep -c . build/asan/Testing/Temporary/LastTestsFailed.log || true)
  tracer=$(grep -c '^Tracer caught signal' "$asan_log" || true)
  fatal=$(grep -c 'LeakSanitizer has encountered a fatal error' "$asan_log" || true)
  if [ "$failed" -gt 0 ] && [ "$tracer" -ge "$failed" ] && [ "$fatal" -ge "$failed" ] \
      && ! grep -qE 'ERROR: (LeakSanitizer: detected|AddressSanitizer)|runtime error:' "$asan_log"; then
    echo "check: the leak checker's tracer crashed in $failed test(s); they run once more"
    ctest --preset asan --rerun-failed || { rm -f "$asan_log"; exit 1; }
  else
    rm -f "$asan_log"
    exit 1
  fi
fi
rm -f "$asan_log"

step "fuzz targets (${fuzz_seconds}s each, ${jobs} at once)"
cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Each target runs on one core; the first sanitizer report or crash ends its run and fails the check.
fuzz_one() {
  local target=$1 name
  name=$(basename "$target" _fuzz)
  mkdir -p "$work/$name"
  if QELTA_ROOT="$work/root-$name" UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
      "$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -print_final_stats=0 \
      -artifact_prefix="$work/$name-" "$work/$name" "fuzz/corpus/$name" >"$work/$name.log" 2>&1; then
    # The run's own summary ("Done N runs ..."), not the leak checker's table of suppressions after it.
    local summary
    summary=$(grep -a '^Done [0-9]* runs' "$work/$name.log" | tail -n 1 || true)
    echo "-- $name: ${summary:-$(grep -a . "$work/$name.log" | tail -n 1)}"
  else
    touch "$work/$name.failed"
    echo "-- $name: FAILED"
  fi
}
running=0
for target in build/fuzz/bin/*_fuzz; do
  fuzz_one "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait
for failed in "$work"/*.failed; do
  [ -e "$failed" ] || continue
  name=$(basename "$failed" .failed)
  tail -n 80 "$work/$name.log"
  echo "check: fuzz target $name found a fault (input kept as $work/$name-*)"
  trap - EXIT
  exit 1
done

step "benchmarks (build only)"
cmake --preset release
cmake --build --preset release -j "$jobs"

step "RelWithDebInfo build, as a distribution builds (warnings are errors)"
cmake --preset packaging
cmake --build --preset packaging -j "$jobs"

echo
echo "check: all steps passed"
