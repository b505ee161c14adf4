#!/usr/bin/env bash
# Runs a command with the services the end-to-end tests need: a private
# PulseAudio server and an Xvfb display. Tests that need a server of their
# own start it under TAVI_RIG_DIR. Every server is stopped by its pid when the
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

display=":$((90 + RANDOM % 400))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$rig/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done

"$@"
