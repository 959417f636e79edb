#!/usr/bin/env bash
# Installs what is missing, builds the editor and starts it on the bundled data.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DTARNISK_TESTS=OFF -DTARNISK_BENCH=OFF >/dev/null
ninja -C "$root/build" tarnisk
cd "$root/data"
exec "$root/build/tarnisk" "$@"
