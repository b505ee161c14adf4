#!/usr/bin/env bash
# Builds Tavimeter in Release and starts the analyser. Arguments are passed on.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j "$(nproc)"
program="$root/build/app/tavimeter"
if [ ! -x "$program" ]; then
  echo "run: the analyser's main window is not built yet; only the libraries and tests exist." >&2
  exit 1
fi
exec "$program" "$@"
