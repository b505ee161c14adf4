#!/usr/bin/env bash
# Runs the Release program for SECONDS (default 600) against a private
# PulseAudio server fed with a 1 kHz tone, under Xvfb at 1920 x 1080 with the
# window at the top left, WIDTHxHEIGHT big (default: the whole screen), in
# display mode MODE (default 0), and prints what it cost: CPU (percent of
# one core) of the program, of each of its threads (with how often each
# wakes) and of the X server, resident memory at the start
# and the end, blocks analysed against those due in the elapsed time, and
# frames the capture layer dropped. Not part of the tests.
# With "tempo-keyboard" the tempo readout and the keyboard window are on,
# with "meter" the meter window, with "levels" the meter window on its sound
# level page; with "starter" the starter settings
# (logarithmic axis, contrast), without which views 3 and 4 draw nothing,
# and with "scale" the frequency scale over the picture ("starter scale" is
# what a first start shows);
# in mode 6 the octave bands are thirds, A-weighted and averaged over 1 s.
# SOAK_PROGRAM=FILE measures that build of the program instead of this
# checkout's (another commit's, to compare).
# The tone is played at 20 ms latency, which makes the server send the
# program a packet every 5 ms or so; FEED_LATENCY_MS sets another latency.
#   [FEED_LATENCY_MS=N] scripts/soak.sh [SECONDS] [MODE] [tempo-keyboard|meter|levels] [starter] [scale] [WIDTHxHEIGHT]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
mode=${2:-0}
show=
starter=
scale=
size=1920x1080
for arg in "${@:3}"; do
  case "$arg" in
    tempo-keyboard|meter|levels) show=$arg ;;
    starter) starter=1 ;;
    scale) scale=1 ;;
    [0-9]*x[0-9]*) size=$arg ;;
    *) echo "soak.sh: unknown argument $arg" >&2; exit 2 ;;
  esac
done
width=${size%x*}
height=${size#*x}
warmup=5

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
program=${SOAK_PROGRAM:-$root/build/app/tavimeter}
if [ -z "${SOAK_PROGRAM:-}" ]; then
  cmake --build "$root/build" -j "$(nproc)" --target tavimeter >/dev/null
fi

work=$(mktemp -d /tmp/tavi-soak.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  "$root/scripts/pulse-server.sh" stop "$work/pulse" || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xserver=$!
pids+=("$xserver")
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
export XDG_RUNTIME_DIR="$work"
export PULSE_SERVER=$("$root/scripts/pulse-server.sh" start "$work/pulse")

# 1 kHz is 48 samples a period at 48 kHz: one stretch of 100 periods, played
# in a loop at pacat's pace.
perl -e 'my $s = ""; for my $n (0 .. 4799) { my $v = int(12000 * sin(6.283185307 * $n / 48));
         $s .= pack("s<s<", $v, $v) } $| = 1; print $s while 1' |
  pacat --playback --latency-msec="${FEED_LATENCY_MS:-20}" --rate=48000 --channels=2 --format=s16le --device=tavi_null &
pids+=($!)

mkdir "$work/app"
cp "$program" "$work/app/tavimeter"
printf '[Window]\nLeft=0\nTop=0\nRight=%d\nBottom=%d\n' "$width" "$height" >"$work/app/tavimeter.ini"
if [ -n "$starter" ]; then
  grep -v '^\[View\]\|^FrequencyScale' "$root/resources/tavimeter.ini" >>"$work/app/tavimeter.ini"
fi
{
  echo '[View]'
  [ -n "$scale" ] && echo 'FrequencyScale=1'
  if [ "$show" = tempo-keyboard ]; then
    printf 'ShowTempo=1\nShowKeyboard=1\n'
  elif [ "$show" = meter ] || [ "$show" = levels ]; then
    echo 'ShowMeter=1'
  fi
  if [ "$show" = levels ]; then printf '[Meter]\nPage=1\n'; fi
} >>"$work/app/tavimeter.ini"
# The octave bands as they are measured for their cost: thirds, A, averaged.
if [ "$mode" = 6 ]; then
  printf '[Measure]\nBands=3\nWeighting=1\nAveraging=2\n' >>"$work/app/tavimeter.ini"
fi

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
resident() { awk '/^VmRSS/ {print $2 " " $3}' "/proc/$1/status"; }
# One line per thread: id, CPU ticks, times it went to sleep, name.
threads() {
  for task in /proc/"$1"/task/*; do
    echo "${task##*/} $(sed 's/.*) //' "$task/stat" | awk '{print $12 + $13}') \
$(awk '/^voluntary_ctxt_switches/ {print $2}' "$task/status") $(cat "$task/comm")"
  done 2>/dev/null
}

# The program prints its counts on SIGUSR1: at the start and the end of the
# measured stretch.
counts() {  # counts N: blocks analysed and frames dropped of the Nth count
  grep '^blocks analysed' "$work/out.txt" | sed -n "${1}s/^blocks analysed \([0-9]*\),.*frames dropped \([0-9]*\).*/\1 \2/p"
}
TAVIMETER_STATS=1 "$work/app/tavimeter" --mode "$mode" >"$work/out.txt" 2>"$work/err.txt" &
app=$!
pids+=("$app")
sleep "$warmup"
kill -USR1 "$app"
measured=$(date +%s.%N)
rss_start=$(resident "$app")
ticks_start=$(cpu_ticks "$app")
xticks_start=$(cpu_ticks "$xserver")
threads "$app" >"$work/threads-start"
sleep "$seconds"
kill -USR1 "$app"
ended=$(date +%s.%N)
rss_end=$(resident "$app")
ticks_end=$(cpu_ticks "$app")
xticks_end=$(cpu_ticks "$xserver")
threads "$app" >"$work/threads-end"
sleep 0.5
kill -TERM "$app"
wait "$app" || true

read -r blocks_start dropped_start < <(counts 1)
read -r blocks_end dropped_end < <(counts 2)
awk -v t1="$measured" -v t2="$ended" -v c0="$ticks_start" -v c1="$ticks_end" -v hz="$ticks" -v mode="$mode" \
    -v r0="$rss_start" -v r1="$rss_end" -v b0="$blocks_start" -v b1="$blocks_end" -v d0="$dropped_start" \
    -v d1="$dropped_end" -v warmup="$warmup" -v show="${show:+ with $show}" -v size="$width x $height" \
    -v x0="$xticks_start" -v x1="$xticks_end" -v feed="${FEED_LATENCY_MS:-20}" '
  BEGIN {
    due = (t2 - t1) * 23.4375
    printf "mode %d%s, %s, tone at %d ms latency, %.0f s measured after %d s of start-up\n", mode, show, size,
           feed, t2 - t1, warmup
    printf "  CPU:             %.2f %% of one core\n", 100 * (c1 - c0) / hz / (t2 - t1)
    printf "  X server CPU:    %.2f %% of one core\n", 100 * (x1 - x0) / hz / (t2 - t1)
    printf "  resident memory: %s at the start, %s at the end\n", r0, r1
    printf "  blocks analysed: %d of %.1f due (%.2f %%)\n", b1 - b0, due, 100 * (b1 - b0) / due
    printf "  frames dropped:  %d while measured, %d during start-up\n", d1 - d0, d0
  }'
echo "  per thread:       CPU, wake-ups a second"
awk -v t1="$measured" -v t2="$ended" -v hz="$ticks" '
  NR == FNR { ticks[$1] = $2; sleeps[$1] = $3; next }
  { name = $4; for (i = 5; i <= NF; ++i) name = name " " $i
    printf "%20.2f %% %6.0f  %s\n", 100 * ($2 - ticks[$1]) / hz / (t2 - t1), ($3 - sleeps[$1]) / (t2 - t1), name }
' "$work/threads-start" "$work/threads-end" | sort -rn
if [ -s "$work/err.txt" ]; then
  echo "  the program wrote to stderr:"
  sed 's/^/    /' "$work/err.txt" | head -n 20
fi
