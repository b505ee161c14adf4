#!/usr/bin/env bash
# Measures every designed view's load with scripts/soak.sh: SECONDS (default
# 60) per run, views 0 to 5, at 1600x1000 and 700x360, ROUNDS rounds
# (default 2) in one batch; prints one line per run: view, size, round, the
# program's CPU and the X server's (percent of one core). Views 3 and 4 run
# with the starter settings: on the linear axis they draw nothing.
#   scripts/soak-views.sh [SECONDS] [ROUNDS]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
rounds=${2:-2}
printf "%-5s %-10s %-6s %8s %8s\n" view size round program X
for round in $(seq "$rounds"); do
  for size in 1600x1000 700x360; do
    for mode in 0 1 2 3 4 5; do
      settings=()
      if [ "$mode" = 3 ] || [ "$mode" = 4 ]; then settings=(starter); fi
      out=$("$root/scripts/soak.sh" "$seconds" "$mode" "${settings[@]}" "$size")
      cpu=$(sed -n 's/^  CPU: *\([0-9.]*\) %.*/\1/p' <<<"$out")
      x=$(sed -n 's/^  X server CPU: *\([0-9.]*\) %.*/\1/p' <<<"$out")
      printf "%-5s %-10s %-6s %8s %8s\n" "$mode" "$size" "$round" "$cpu" "$x"
    done
  done
done
