#!/usr/bin/env bash
# Builds Tavimeter in Release and starts the analyser. Arguments are passed on.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j "$(nproc)"
exec "$root/build/app/tavimeter" "$@"
