#!/usr/bin/env bash
# Installs what is missing, builds the editor and starts it on the bundled data.
# With no scene named, the bundled sample opens as a new scene (its first save
# asks where to save, so the sample itself stays as it is). Arguments are
# passed on; paths among them that exist are made absolute first, because the
# editor runs from the data folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DTARNISK_TESTS=OFF -DTARNISK_BENCH=OFF >/dev/null
ninja -C "$root/build" tarnisk
arguments=()
for argument in "$@"; do
    if [[ "$argument" != -* && -e "$argument" ]]; then argument="$(realpath "$argument")"; fi
    arguments+=("$argument")
done
cd "$root/data"
exec "$root/build/tarnisk" -template samples/sample.scene ${arguments[@]+"${arguments[@]}"}
