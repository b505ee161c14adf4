#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them on one core, except the
# constant-Q kernel build, which shares its bins between both cores. Each
# figure is printed with its share of the 42.67 ms block period (2048 frames
# at 48 kHz). Extra arguments go to every benchmark program
# (e.g. --benchmark_filter=FFT).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dir="$root/build-bench"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DTAVI_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" >/dev/null

period_us=42666.67
report() {
  awk -F, -v period="$period_us" '
      /_median"?,/ {
        name=$1; gsub(/"/, "", name); t=$3; unit=$5; gsub(/"/, "", unit)
        us = (unit == "ms") ? t * 1000 : (unit == "ns") ? t / 1000 : t
        printf "  %-55s %10.1f us  %6.2f %% of a block\n", name, us, 100 * us / period
      }'
}
run() {  # run CPUS PROGRAM ARGS...
  local cpus=$1; shift
  taskset -c "$cpus" "$@" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_format=csv 2>/dev/null | report
}

for program in "$dir"/bench/*_bench; do
  [ -x "$program" ] || continue
  # The whole program against sox or ffmpeg: minutes, both cores; run them
  # by themselves.
  case "$(basename "$program")" in render_bench|report_bench) continue ;; esac
  echo "== $(basename "$program")"
  run 0 "$program" --benchmark_filter='-BuildKernel' "$@"
  if [ "$(basename "$program")" = engine_bench ]; then
    run 0-1 "$program" --benchmark_filter=BuildKernel "$@"
  fi
done
