#!/usr/bin/env bash
# A private PulseAudio server for tests, in a folder of its own:
#   pulse-server.sh start DIR   start it (null sink tavi_null at 48 kHz, its
#                               monitor the default source); prints the
#                               PULSE_SERVER address
#   pulse-server.sh stop DIR    stop it by its pid
set -euo pipefail

command=${1:?start or stop}
dir=${2:?folder}

case "$command" in
start)
  mkdir -p "$dir"
  export XDG_RUNTIME_DIR="$dir" HOME="$dir"
  unset PULSE_SERVER
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    -L module-native-protocol-unix \
    -L "module-null-sink sink_name=tavi_null rate=48000" \
    >"$dir/pulseaudio.log" 2>&1 &
  echo $! >"$dir/pulseaudio.pid"
  export PULSE_SERVER="unix:$dir/pulse/native"
  for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  if ! pactl info >/dev/null 2>&1; then
    echo "pulse-server: the server did not start:" >&2
    cat "$dir/pulseaudio.log" >&2
    exit 1
  fi
  pactl set-default-sink tavi_null
  pactl set-default-source tavi_null.monitor
  echo "$PULSE_SERVER"
  ;;
stop)
  if [ -f "$dir/pulseaudio.pid" ]; then
    pid=$(cat "$dir/pulseaudio.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$dir/pulseaudio.pid"
  fi
  ;;
*)
  echo "pulse-server: start or stop" >&2
  exit 2
  ;;
esac
