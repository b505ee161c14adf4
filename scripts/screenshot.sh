#!/usr/bin/env bash
# Takes the README's screenshots with the Release program under Xvfb
# (through scripts/test-rig.sh), fed from the private PulseAudio server:
#   scripts/screenshot.sh             docs/tavimeter.png: a first start, no
#                                     settings file, a tune and a tone, the
#                                     main window and the panel side by side
#   scripts/screenshot.sh measure     docs/octave_bands.png (pink noise in
#                                     thirds, A, averaged, peaks held) and
#                                     docs/spectrum_average.png (the tune in
#                                     the 1-D view averaged over 1 s, peaks held)
#   scripts/screenshot.sh meter       docs/meter.png: the meter window with
#                                     the tune
#   scripts/screenshot.sh levels      docs/levels.png: the meter window's
#                                     sound level page, pink noise, the
#                                     default input calibrated
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
what=${1:-first-start}

if [ -z "${TAVI_RIG_DIR:-}" ]; then
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build" -j "$(nproc)" --target tavimeter tavi_screen_grab >/dev/null
  TAVI_RIG_SCREEN=1024x700x24 exec "$root/scripts/test-rig.sh" "$0" "$what"
fi

# Sounds made beforehand, so that they play without a gap: a tune of notes
# with harmonics around -20 dBFS over a -40 dBFS tone at 3 kHz and -70 dBFS
# noise; and pink noise (Paul Kellet's filter) around -20 dBFS.
make_tune() {
  perl -e 'srand(7); my @scale = (261.63, 293.66, 329.63, 349.23, 392.00, 440.00, 493.88, 523.25);
    for my $n (0 .. 20 * 48000) { my $note = int($n / 12000); my $f = $scale[($note * 5) % 8] / (($note >> 3) % 2 + 1);
      my $t = ($n % 12000) / 48000; my $v = 0.01 * sin(6.283185307 * 3000 * $n / 48000);
      for my $k (1 .. 6) { $v += 0.1 / $k * exp(-6 * $t) * sin(6.283185307 * $k * $f * $n / 48000) }
      $v += 0.000316 * (rand() + rand() + rand() - 1.5) * 2;
      my $s = int(32767 * $v); print pack("s<s<", $s, $s) }' >"$TAVI_RIG_DIR/tune.raw"
}
make_pink() {
  perl -e 'srand(11); my @b = (0) x 7;
    for my $n (0 .. 20 * 48000) { my $w = (rand() + rand() + rand() + rand() - 2) * 0.02;
      $b[0] = 0.99886 * $b[0] + $w * 0.0555179; $b[1] = 0.99332 * $b[1] + $w * 0.0750759;
      $b[2] = 0.96900 * $b[2] + $w * 0.1538520; $b[3] = 0.86650 * $b[3] + $w * 0.3104856;
      $b[4] = 0.55000 * $b[4] + $w * 0.5329522; $b[5] = -0.7616 * $b[5] - $w * 0.0168980;
      my $p = $b[0] + $b[1] + $b[2] + $b[3] + $b[4] + $b[5] + $b[6] + $w * 0.5362; $b[6] = $w * 0.115926;
      my $s = int(32767 * $p); print pack("s<s<", $s, $s) }' >"$TAVI_RIG_DIR/pink.raw"
}

# geometry NAME: x y width height of the window of that title
geometry() {
  xwininfo -name "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}

# shoot OUTPUT SOUND INI ARGUMENTS...: plays SOUND, starts the program in a
# folder of its own with the settings file INI (none when empty) and grabs
# the main window (with the panel beside it for a first start), or the
# window SHOT_WINDOW names.
shoot() {
  local output=$1 sound=$2 ini=$3; shift 3
  local name=${SHOT_WINDOW:-Tavimeter}
  pacat --playback --latency-msec=20 --rate=48000 --channels=2 --format=s16le --device=tavi_null <"$sound" &
  local feeder=$!
  local app
  app=$(mktemp -d "$TAVI_RIG_DIR/app.XXXXXX")
  cp "$root/build/app/tavimeter" "$app/"
  [ -z "$ini" ] || printf '%b' "$ini" >"$app/tavimeter.ini"
  "$app/tavimeter" "$@" >"$app/out.txt" 2>&1 &
  local program=$!
  sleep 10
  local mx my mw mh px py pw ph
  read -r mx my mw mh < <(geometry "$name")
  if [ -z "$ini" ]; then
    read -r px py pw ph < <(geometry Settings)
  else
    px=$mx py=$my pw=$mw ph=$mh
  fi
  local left=$((mx < px ? mx : px)) top=$((my < py ? my : py))
  local right=$((mx + mw > px + pw ? mx + mw : px + pw)) bottom=$((my + mh > py + ph ? my + mh : py + ph))
  "$root/build/tests/e2e/tavi_screen_grab" "$output" "$left" "$top" $((right - left)) $((bottom - top))
  kill "$program" "$feeder" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  echo "screenshot: $output"
}

window='[Window]\nLeft=0\nTop=0\nRight=760\nBottom=480\n[SettingWindow]\nLeft=780\nTop=0\nRight=981\nBottom=615\n'
case "$what" in
first-start)
  make_tune
  shoot "$root/docs/tavimeter.png" "$TAVI_RIG_DIR/tune.raw" ""
  ;;
measure)
  make_pink
  make_tune
  shoot "$root/docs/octave_bands.png" "$TAVI_RIG_DIR/pink.raw" \
    "$window[Measure]\nBands=3\nWeighting=1\nAveraging=4\nPeakHold=1\n" --mode 6
  shoot "$root/docs/spectrum_average.png" "$TAVI_RIG_DIR/tune.raw" \
    "${window}WindowType=1\nWindowSize=3\nCheck2=1\n[Measure]\nAveraging=2\nPeakHold=1\n" --mode 2
  ;;
meter)
  make_tune
  SHOT_WINDOW=Meter shoot "$root/docs/meter.png" "$TAVI_RIG_DIR/tune.raw" \
    "$window[View]\nShowMeter=1\n[Meter]\nLeft=0\nTop=360\nRight=440\nBottom=680\n"
  ;;
levels)
  make_pink
  SHOT_WINDOW=Meter shoot "$root/docs/levels.png" "$TAVI_RIG_DIR/pink.raw" \
    "$window[View]\nShowMeter=1\n[Meter]\nLeft=0\nTop=330\nRight=460\nBottom=690\nPage=1\nWeighting=1\n[Calibration]\n%default.offset=114.00\n%default.date=2026-12-09\n"
  ;;
*)
  echo "screenshot: first-start, measure, meter or levels" >&2
  exit 2
  ;;
esac
