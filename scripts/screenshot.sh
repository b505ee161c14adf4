#!/usr/bin/env bash
# Takes the README's screenshot: the Release program under Xvfb, fed a tone
# with harmonics from a private PulseAudio server, with its main window and
# settings panel side by side.
#   scripts/screenshot.sh [OUTPUT.png]   (default docs/tavimeter.png)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
output=${1:-$root/docs/tavimeter.png}

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target tavimeter tavi_screen_grab >/dev/null

work=$(mktemp -d /tmp/tavi-shot.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  "$root/scripts/pulse-server.sh" stop "$work/pulse" || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x700x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
export XDG_RUNTIME_DIR="$work"
export PULSE_SERVER=$("$root/scripts/pulse-server.sh" start "$work/pulse")

# A 220 Hz tone with eight harmonics, its pitch gliding up a fifth and back
# every four seconds.
perl -e '$| = 1; my $p = 0; my $n = 0;
  while (1) { my $s = "";
    for (1 .. 4800) { my $f = 220 * 2 ** (0.29 * (1 - cos(6.283185307 * $n / 192000)));
      $p += 6.283185307 * $f / 48000; my $v = 0;
      for my $k (1 .. 8) { $v += sin($k * $p) / $k }
      $v = int(6000 * $v); $s .= pack("s<s<", $v, $v); $n++ }
    print $s }' |
  pacat --playback --latency-msec=20 --rate=48000 --channels=2 --format=s16le --device=tavi_null &
pids+=($!)

mkdir "$work/app"
cp "$root/build/app/tavimeter" "$work/app/"
cat >"$work/app/tavimeter.ini" <<'INI'
[Window]
Left=0
Top=0
Right=700
Bottom=640
[SettingWindow]
Left=710
Top=0
Right=911
Bottom=615
Check1=1
Check2=1
Check4=0
WindowType=1
ColorType=0
WindowSize=4
MaxFreq=8000.00
[Ctrl]
Slider1=30
Slider2=60
INI
"$work/app/tavimeter" >"$work/out.txt" 2>&1 &
app=$!
pids+=("$app")
sleep 10
"$root/build/tests/e2e/tavi_screen_grab" "$output" 0 0 915 640
echo "screenshot: $output"
