#!/usr/bin/env bash
# Runs a command with the services the end-to-end tests need: a private
# PulseAudio server and an Xvfb display. Tests that need a server of their
# own start it under TAVI_RIG_DIR. TAVI_RIG_SCREEN sets the screen (default
# 1280x1024x24). Every server is stopped by its pid when the
# command ends, whether it passed or failed.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
rig=$(mktemp -d /tmp/tavi-rig.XXXXXX)
xvfb_pid=""

cleanup() {
  for pidfile in $(find "$rig" -name pulseaudio.pid 2>/dev/null); do
    "$root/scripts/pulse-server.sh" stop "$(dirname "$pidfile")" || true
  done
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$rig"
}
trap cleanup EXIT

export TAVI_RIG_DIR="$rig"
export XDG_RUNTIME_DIR="$rig"
export PULSE_SERVER=$("$root/scripts/pulse-server.sh" start "$rig/pulse")
export TAVI_PULSE_DIR="$rig/pulse"

# Xvfb picks a free display and reports its number.
Xvfb -displayfd 3 -screen 0 "${TAVI_RIG_SCREEN:-1280x1024x24}" -nolisten tcp 3>"$rig/display" >"$rig/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$rig/display" ] && break
  sleep 0.1
done
if [ ! -s "$rig/display" ]; then
  echo "test-rig: Xvfb did not start:" >&2
  cat "$rig/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(head -n 1 "$rig/display")"

"$@"
