#!/usr/bin/env bash
# Takes the README's screenshot: the Release program under Xvfb (through
# scripts/test-rig.sh), fed a tone with harmonics from the private PulseAudio
# server, with its main window and settings panel side by side.
#   scripts/screenshot.sh [OUTPUT.png]   (default docs/tavimeter.png)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
output=$(realpath -m "${1:-$root/docs/tavimeter.png}")

if [ -z "${TAVI_RIG_DIR:-}" ]; then
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build" -j "$(nproc)" --target tavimeter tavi_screen_grab >/dev/null
  TAVI_RIG_SCREEN=1024x700x24 exec "$root/scripts/test-rig.sh" "$0" "$output"
fi

# Inside the rig: a 220 Hz tone with eight harmonics, its pitch gliding up a
# fifth and back every four seconds; made beforehand, so that it plays
# without a gap.
perl -e 'my $p = 0;
  for my $n (0 .. 12 * 48000) { my $f = 220 * 2 ** (0.29 * (1 - cos(6.283185307 * $n / 192000)));
    $p += 6.283185307 * $f / 48000; my $v = 0;
    for my $k (1 .. 8) { $v += sin($k * $p) / $k }
    print pack("s<s<", int(6000 * $v), int(6000 * $v)) }' >"$TAVI_RIG_DIR/tone.raw"
pacat --playback --latency-msec=20 --rate=48000 --channels=2 --format=s16le --device=tavi_null \
  <"$TAVI_RIG_DIR/tone.raw" &
feeder=$!

app="$TAVI_RIG_DIR/app"
mkdir "$app"
cp "$root/build/app/tavimeter" "$app/"
cat >"$app/tavimeter.ini" <<'INI'
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
WindowType=1
WindowSize=4
MaxFreq=8000.00
[Ctrl]
Slider1=30
Slider2=60
INI
"$app/tavimeter" >"$TAVI_RIG_DIR/app.txt" 2>&1 &
program=$!
sleep 10
"$root/build/tests/e2e/tavi_screen_grab" "$output" 0 0 915 640
kill "$program" "$feeder" 2>/dev/null || true
wait "$program" 2>/dev/null || true
echo "screenshot: $output"
