#!/bin/sh
# One drag step of the crop settings dialog on a 24-megapixel photo, in the
# fitted and the actual-size preview (median, 95th percentile and maximum of
# RUNS x 300 steps). The target is a 120 Hz frame: a median of 8 ms or less.
#   BUILD_DIR   build folder to use (default build-release; configured with
#               the benchmark harnesses when missing)
#   BUILD=0     use the harness as built
#   RUNS        runs of the harness (default 3)
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
if [ "${BUILD:-1}" != 0 ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMORA_BUILD_BENCH=ON >/dev/null
  cmake --build "$BUILD_DIR" -j2 --target pelmora-cropdrag-bench
fi
echo "load: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
i=0
while [ "$i" -lt "${RUNS:-3}" ]; do
  QT_QPA_PLATFORM=offscreen "$BUILD_DIR/bench/pelmora-cropdrag-bench" --steps 300
  i=$((i + 1))
done
