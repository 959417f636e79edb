#!/bin/sh
# Rebuilds the data generator and regenerates every generated file under
# data/. Previews (icon contact sheet, text sample) go to build-gen/preview/.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root/datagen" -B "$root/build-gen" -G Ninja >/dev/null
ninja -C "$root/build-gen"
"$root/build-gen/datagen" "$root/data" "$root/build-gen/preview"
