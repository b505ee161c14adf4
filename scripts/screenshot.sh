#!/usr/bin/env bash
# Takes the README's screenshot: the Release program's first start under
# Xvfb (through scripts/test-rig.sh), fed a tune and a tone from the private
# PulseAudio server, with its main window and settings panel side by side.
#   scripts/screenshot.sh [OUTPUT.png]   (default docs/tavimeter.png)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
output=$(realpath -m "${1:-$root/docs/tavimeter.png}")

if [ -z "${TAVI_RIG_DIR:-}" ]; then
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build" -j "$(nproc)" --target tavimeter tavi_screen_grab >/dev/null
  TAVI_RIG_SCREEN=1024x700x24 exec "$root/scripts/test-rig.sh" "$0" "$output"
fi

# Inside the rig: a first start, with no settings file, as a new user meets
# it. The sound: a tune of notes with harmonics around -20 dBFS, a -40 dBFS
# tone at 3 kHz and -70 dBFS noise; made beforehand, so that it plays
# without a gap.
perl -e 'srand(7); my @scale = (261.63, 293.66, 329.63, 349.23, 392.00, 440.00, 493.88, 523.25);
  for my $n (0 .. 14 * 48000) { my $note = int($n / 12000); my $f = $scale[($note * 5) % 8] / (($note >> 3) % 2 + 1);
    my $t = ($n % 12000) / 48000; my $v = 0.01 * sin(6.283185307 * 3000 * $n / 48000);
    for my $k (1 .. 6) { $v += 0.1 / $k * exp(-6 * $t) * sin(6.283185307 * $k * $f * $n / 48000) }
    $v += 0.000316 * (rand() + rand() + rand() - 1.5) * 2;
    my $s = int(32767 * $v); print pack("s<s<", $s, $s) }' >"$TAVI_RIG_DIR/tune.raw"
pacat --playback --latency-msec=20 --rate=48000 --channels=2 --format=s16le --device=tavi_null \
  <"$TAVI_RIG_DIR/tune.raw" &
feeder=$!

app="$TAVI_RIG_DIR/app"
mkdir "$app"
cp "$root/build/app/tavimeter" "$app/"
"$app/tavimeter" >"$TAVI_RIG_DIR/app.txt" 2>&1 &
program=$!
sleep 10
# The main window and the panel beside it, as xwininfo places them.
geometry() {  # geometry NAME: x y width height
  xwininfo -name "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}
read -r mx my mw mh < <(geometry Tavimeter)
read -r px py pw ph < <(geometry Settings)
left=$((mx < px ? mx : px)); top=$((my < py ? my : py))
right=$((mx + mw > px + pw ? mx + mw : px + pw)); bottom=$((my + mh > py + ph ? my + mh : py + ph))
"$root/build/tests/e2e/tavi_screen_grab" "$output" "$left" "$top" $((right - left)) $((bottom - top))
kill "$program" "$feeder" 2>/dev/null || true
wait "$program" 2>/dev/null || true
echo "screenshot: $output"
