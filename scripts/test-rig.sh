#!/usr/bin/env bash
# Runs a command with the services the end-to-end tests need: a private
# PulseAudio server (null sink at 48 kHz, its monitor the default source) and
# an Xvfb display. Both are stopped by their pids when the command ends,
# whether it passed or failed.
set -euo pipefail

runtime=$(mktemp -d /tmp/tavi-rig.XXXXXX)
pulse_pid=""
xvfb_pid=""

cleanup() {
  [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$runtime"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR="$runtime"
export HOME="$runtime"  # keeps PulseAudio's cookie and state out of the real home
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
  -L module-native-protocol-unix \
  -L "module-null-sink sink_name=tavi_null rate=48000" \
  >"$runtime/pulseaudio.log" 2>&1 &
pulse_pid=$!

for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
if ! pactl info >/dev/null 2>&1; then
  echo "test-rig: PulseAudio did not start:" >&2
  cat "$runtime/pulseaudio.log" >&2
  exit 1
fi
pactl set-default-source tavi_null.monitor
pactl set-default-sink tavi_null
export TAVI_PULSE_PID=$pulse_pid

display=":$((90 + RANDOM % 400))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$runtime/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display

"$@"
