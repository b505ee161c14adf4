#!/usr/bin/env bash
# Builds the libFuzzer harnesses of the two parsers (the INI store and the
# sound-file reader) with clang, AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs each for SECONDS (default 600), starting from the seed corpus in
# tests/fuzz/corpus. New inputs collect in build-fuzz/corpus; an input that
# breaks a harness is written to build-fuzz/ and fails the run.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
dir="$root/build-fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DTAVI_FUZZ=ON \
  -DTAVI_BUILD_TESTS=OFF -DTAVI_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" --target ini_store_fuzzer audio_file_fuzzer

# The sound-file reader opens every file in a child process first, and a fork
# costs in proportion to the memory touched: a 16 MB quarantine for freed
# blocks instead of 256 MB doubles the runs a minute.
export ASAN_OPTIONS=detect_leaks=1:quarantine_size_mb=16 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$root/tests/lsan-suppressions.txt"
failed=0
for entry in ini_store_fuzzer:ini:16384 audio_file_fuzzer:wav:65536; do
  IFS=: read -r fuzzer corpus max_len <<<"$entry"
  mkdir -p "$dir/corpus/$corpus"
  log="$dir/$fuzzer.log"
  echo "== $fuzzer, $seconds s"
  if (cd "$dir" && "./tests/fuzz/$fuzzer" -max_total_time="$seconds" -max_len="$max_len" -rss_limit_mb=2048         -print_final_stats=1 "$dir/corpus/$corpus" "$root/tests/fuzz/corpus/$corpus") >"$log" 2>&1; then
    grep -E '^#[0-9]+ +DONE|^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
  else
    echo "fuzz: $fuzzer failed; the input that did it is in $dir (crash-*, leak-*, oom-* or timeout-*):"
    tail -n 40 "$log"
    failed=1
  fi
done
exit "$failed"
