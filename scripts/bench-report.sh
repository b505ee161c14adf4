#!/usr/bin/env bash
# tavimeter --report against ffmpeg's EBU R 128 filter (ebur128=peak=true)
# on one hour and ten minutes of 48 kHz stereo FLAC, on all cores. ffmpeg is
# needed only here: it is installed from Debian when it is missing (as
# root), never by scripts/setup-deps. Prints each run's wall time, CPU time
# and peak memory, then how many times faster the report is.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dir="$root/build-bench"
if ! command -v ffmpeg >/dev/null; then
  if [ "$(id -u)" != 0 ]; then
    echo "bench-report: ffmpeg is missing; install it (apt-get install ffmpeg) or run as root" >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ffmpeg >/dev/null
fi
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DTAVI_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" --target report_bench >/dev/null

"$dir/bench/report_bench" --benchmark_format=csv "$@" 2>/dev/null | awk -F, '
  NR == 1 { for (i = 1; i <= NF; ++i) { gsub(/"/, "", $i); column[$i] = i }; next }
  {
    name = $1; gsub(/"/, "", name); sub(/\/iterations.*/, "", name)
    wall = $(column["real_time"]); cpu = $(column["cpu_s"]); mb = $(column["peak_MB"])
    printf "  %-28s %7.2f s wall %7.2f s CPU %7.1f MB peak\n", name, wall, cpu, mb
    split(name, part, "/"); seconds = part[2]
    if (part[1] == "BM_Report") ours[seconds] = wall
    if (part[1] == "BM_FfmpegEbur128") theirs[seconds] = wall
  }
  END {
    for (s in ours)
      if (s in theirs)
        printf "  %s s of sound: --report %.1f times as fast as ffmpeg -af ebur128=peak=true\n", s, theirs[s] / ours[s]
  }'
