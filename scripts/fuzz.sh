#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs each for the given seconds from the checked-in seeds.
#   scripts/fuzz.sh [seconds=60] [target ...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"; shift || true
build="$root/build-fuzz"
dpkg -s clang-14 >/dev/null 2>&1 || { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang-14 libclang-rt-14-dev; }
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DTARNISK_FUZZ=ON -DTARNISK_SANITIZE=ON \
  -DTARNISK_TESTS=OFF -DTARNISK_BENCH=OFF >/dev/null
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(manifest_fuzz obj_fuzz mtl_fuzz font_fuzz theme_fuzz scene_load_fuzz scan_fuzz)
ninja -C "$build" "${targets[@]}"

seeds_for() {
  case "$1" in
    manifest_fuzz) echo "$root/data/resources.txt" ;;
    obj_fuzz) ls "$root"/tests/data/assets/obj/*.obj "$root"/data/models/*.obj ;;
    mtl_fuzz) ls "$root"/tests/data/assets/obj/*.mtl "$root"/data/models/*.mtl ;;
    font_fuzz) echo "$root/data/textures/font_info.txt" ;;
    theme_fuzz) echo "$root/data/examples/theme_light.txt" ;;
    scene_load_fuzz) ls "$root"/tests/data/scene/*.scene ;;
    *) ;;
  esac
}

for target in "${targets[@]}"; do
  corpus="$build/corpus-$target"
  mkdir -p "$corpus"
  for seed in $(seeds_for "$target"); do cp -n "$seed" "$corpus/" 2>/dev/null || true; done
  echo "== $target for ${seconds}s =="
  (cd "$build" && "./fuzz/$target" "$corpus" -max_total_time="$seconds" -close_fd_mask=1 -print_final_stats=1 2>&1 \
     | grep -E 'stat::number_of_executed_units|stat::peak_rss|ERROR|SUMMARY|Done' || true)
done
