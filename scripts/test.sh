#!/usr/bin/env bash
# Builds Tavimeter and runs every test: unit, gui and e2e in a Release build,
# then unit and gui once more under AddressSanitizer and
# UndefinedBehaviorSanitizer. Any failure or sanitizer finding fails the run.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

build() {  # build DIR [cmake options...]
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

echo "== Release build"
build "$root/build"
echo "== Tests (unit, gui, e2e)"
"$root/scripts/test-rig.sh" ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

echo "== Sanitizer build"
build "$root/build-sanitize" -DTAVI_SANITIZE=ON -DTAVI_BUILD_BENCHMARKS=OFF
echo "== Tests under AddressSanitizer + UndefinedBehaviorSanitizer (unit, gui)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build-sanitize" --output-on-failure -j "$jobs" -L 'unit|gui'
