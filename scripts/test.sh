#!/usr/bin/env bash
# Checks that every include points down the layers, then builds Tavimeter
# and runs every test: unit, gui and e2e in a Release build;
# unit, gui and the capture e2e tests once more under AddressSanitizer and
# UndefinedBehaviorSanitizer; the input and analysis tests, the capture e2e
# tests and the file picture drawn in parts under ThreadSanitizer; then the parsers' fuzz harnesses for a minute each. Any
# failure or sanitizer report fails the run.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

build() {  # build DIR [cmake options...] [-- targets...]
  local dir=$1; shift
  local options=() targets=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do options+=("$1"); shift; done
  [ $# -gt 0 ] && shift && targets=(--target "$@")
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release "${options[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs" "${targets[@]}"
}

# The capture tests that need a sound server.
capture_e2e='^Capture(ThroughServer|WithoutServer)\.'

echo "== Layers"
"$root/scripts/check-layers.sh"

echo "== Release build"
build "$root/build"
echo "== Tests (unit, gui, e2e)"
"$root/scripts/test-rig.sh" ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

echo "== Install (program, desktop entry, icon, metainfo, manual page)"
staging=$(mktemp -d /tmp/tavi-install.XXXXXX)
cmake --install "$root/build" --prefix "$staging" >/dev/null
for file in bin/tavimeter share/applications/tavimeter.desktop share/icons/hicolor/64x64/apps/tavimeter.png \
            share/tavimeter/tavimeter.ini share/metainfo/io.github.tavimeter.Tavimeter.metainfo.xml \
            share/man/man1/tavimeter.1.gz; do
  [ -f "$staging/$file" ] || { echo "install: $file is missing" >&2; exit 1; }
done
desktop-file-validate "$staging/share/applications/tavimeter.desktop"
"$staging/bin/tavimeter" --help >/dev/null
rm -rf "$staging"

echo "== Sanitizer build"
build "$root/build-sanitize" -DTAVI_SANITIZE=ON -DTAVI_BUILD_BENCHMARKS=OFF
echo "== Tests under AddressSanitizer + UndefinedBehaviorSanitizer (unit, gui, capture e2e)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$root/tests/lsan-suppressions.txt"
ctest --test-dir "$root/build-sanitize" --output-on-failure -j "$jobs" -L 'unit|gui'
"$root/scripts/test-rig.sh" ctest --test-dir "$root/build-sanitize" --output-on-failure -R "$capture_e2e"

echo "== ThreadSanitizer build (input, analysis, capture e2e, and the file pictures drawn in parts)"
build "$root/build-tsan" -DTAVI_SANITIZE_THREAD=ON -DTAVI_BUILD_BENCHMARKS=OFF -- input_tests analysis_tests \
  capture_e2e_tests display_tests
echo "== Input, analysis and capture e2e tests under ThreadSanitizer"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/tsan-suppressions.txt"
# The tests of the measurements run on one thread and take minutes under
# ThreadSanitizer; they run in the other two builds.
single_threaded='BandLevels.*:BandsPerOctave/*:Signals/TempoReadout.*:SpectrumAverage.*:LoudnessMeter.*:LevelLog.*:TransferFunction.*:FileMeasurement.*'
"$root/build-tsan/tests/input/input_tests"
"$root/build-tsan/tests/analysis/analysis_tests" --gtest_filter="-$single_threaded"
"$root/scripts/test-rig.sh" "$root/build-tsan/tests/e2e/capture_e2e_tests"
"$root/build-tsan/tests/display/display_tests" --gtest_filter='FilePicture.PartsDrawnAtOnceMakeOneRunsPicture'

echo "== Fuzzing the INI store and the sound-file reader (60 s each)"
"$root/scripts/fuzz.sh" 60

echo "== The Debian package: lintian, AppStream, the desktop entry, install and remove (as root)"
"$root/scripts/check-package.sh"
