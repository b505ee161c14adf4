#!/usr/bin/env bash
# Measures every designed view's load with scripts/soak.sh: SECONDS (default
# 60) per run, views 0 to 5, at 1600x1000 and 700x360, ROUNDS rounds
# (default 2) in one batch; prints one line per run: view, size, round, the
# program's CPU and the X server's (percent of one core). Views 3 and 4 run
# with the starter settings: on the linear axis they draw nothing.
# With BEFORE, another build of the program (another commit's), each run is
# made with it and then with this checkout's, side by side: a machine whose
# load drifts over the batch gives both the same drift. SOAK_VIEWS (default
# "0 1 2 3 4 5") and SOAK_SIZES (default "1600x1000 700x360") narrow a batch;
# SOAK_SETTINGS (say "starter scale", what a first start shows) goes to
# every run.
#   scripts/soak-views.sh [SECONDS] [ROUNDS] [BEFORE]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
rounds=${2:-2}
before=${3:-}
[ -z "$before" ] || before=$(realpath "$before")
cmake --build "$root/build" -j "$(nproc)" --target tavimeter >/dev/null

# Prints the program's CPU and the X server's for one run.
measure() {  # measure PROGRAM MODE SIZE
  local settings=(${SOAK_SETTINGS:-})
  if [ "$2" = 3 ] || [ "$2" = 4 ]; then settings+=(starter); fi
  local out
  out=$(SOAK_PROGRAM="$1" "$root/scripts/soak.sh" "$seconds" "$2" "${settings[@]}" "$3")
  printf "%8s %8s" "$(sed -n 's/^  CPU: *\([0-9.]*\) %.*/\1/p' <<<"$out")" \
    "$(sed -n 's/^  X server CPU: *\([0-9.]*\) %.*/\1/p' <<<"$out")"
}

if [ -n "$before" ]; then
  printf "%-5s %-10s %-6s %8s %8s %8s %8s\n" view size round before X program X
else
  printf "%-5s %-10s %-6s %8s %8s\n" view size round program X
fi
for round in $(seq "$rounds"); do
  for size in ${SOAK_SIZES:-1600x1000 700x360}; do
    for mode in ${SOAK_VIEWS:-0 1 2 3 4 5}; do
      line=$(printf "%-5s %-10s %-6s" "$mode" "$size" "$round")
      [ -z "$before" ] || line+=" $(measure "$before" "$mode" "$size")"
      echo "$line $(measure "$root/build/app/tavimeter" "$mode" "$size")"
    done
  done
done
