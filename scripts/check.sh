#!/usr/bin/env bash
# Installs what is missing, then builds and tests the suite:
#   1. a debug build and every test,
#   2. the same under AddressSanitizer and UndefinedBehaviorSanitizer,
#   3. every fuzz target, each run briefly on its seed corpus,
#   4. the benchmarks (built, not run).
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

[ "$quick" = 1 ] && exit 0

step "AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan

step "fuzz targets (${fuzz_seconds}s each)"
cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in build/fuzz/bin/*_fuzz; do
  name=$(basename "$target" _fuzz)
  mkdir -p "$work/$name"
  echo "-- $name"
  QELTA_ROOT="$work/root-$name" "$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -print_final_stats=0 \
    "$work/$name" "fuzz/corpus/$name" 2>&1 | tail -n 3
done

step "benchmarks (build only)"
cmake --preset release
cmake --build --preset release -j "$jobs"

echo
echo "check: all steps passed"
