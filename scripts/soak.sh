#!/bin/sh
# A long random-input soak of the real program under Xvfb: 200 000 frames
# unless FRAMES says otherwise, from seed SEED (default 17), stopping early
# after SECONDS when given (it then says how many frames it ran). Uses the
# sanitized build when SANITIZE=1. Prints the wall time and peak memory.
# Usage: scripts/soak.sh [FRAMES] [SEED] [SECONDS]
set -eu
cd "$(dirname "$0")/.."
frames=${1:-200000}
seed=${2:-17}
seconds=${3:-0}
build=build-test
options="-DTARNISK_BENCH=ON"
if [ "${SANITIZE:-0}" = 1 ]; then
    build=build-asan
    options="-DTARNISK_SANITIZE=ON -DTARNISK_BENCH=OFF"
fi
cmake -S . -B "$build" -G Ninja $options -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
ninja -C "$build" -j2 soak_tests
start=$(date +%s)
timer=""
[ -x /usr/bin/time ] && timer="/usr/bin/time -f %Mkb_peak_memory"
TARNISK_SOAK_FRAMES=$frames TARNISK_SOAK_SEED=$seed TARNISK_SOAK_SECONDS=$seconds \
    ASAN_OPTIONS=detect_leaks=0:halt_on_error=1 \
    xvfb-run -a -s "-screen 0 1280x1024x24" $timer "$build/tests/soak_tests"
echo "soak of $frames frames, seed $seed: $(( $(date +%s) - start )) s"
