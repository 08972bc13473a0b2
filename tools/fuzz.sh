#!/bin/sh
# Builds the libFuzzer targets (clang, ASan + UBSan) in build-fuzz/ and runs
# them.
#   tools/fuzz.sh [--seconds N | --runs N] [--seed N] [--parallel N] [TARGET...]
# Default: every target for 600 seconds, one at a time. --runs gives each
# target a fixed number of inputs instead and --seed fixes the random choices
# (what CI does); --parallel runs that many targets at once. Targets: lossless_crop recompress_crop thumbnail
# rect_spec rect_file image_list.
#
# Each target's corpus grows in build-fuzz/fuzz/corpus/TARGET (the seeds made
# by the build, the kept corpus fuzz/corpus/TARGET and fuzz/regressions/TARGET
# are read too); a crash is written
# to build-fuzz/fuzz/crashes/TARGET/ and the log to build-fuzz/fuzz/logs/.
# A crash that has been mended belongs in fuzz/regressions/TARGET/, which the
# ordinary test suite replays.
set -e
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD_DIR=$ROOT/build-fuzz
LIMIT=-max_total_time=600
PARALLEL=1
SEED=0
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) LIMIT=-max_total_time=$2; shift 2 ;;
    --runs) LIMIT=-runs=$2; shift 2 ;;
    --seed) SEED=$2; shift 2 ;;
    --parallel) PARALLEL=$2; shift 2 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
TARGETS=${*:-lossless_crop recompress_crop thumbnail rect_spec rect_file image_list}

CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELMORA_FUZZ=ON -DPELMORA_BUILD_TESTS=OFF -DPELMORA_WERROR=ON >/dev/null
if ! cmake --build "$BUILD_DIR" >"$BUILD_DIR/build.log" 2>&1; then
  grep -E "error|FAILED" "$BUILD_DIR/build.log" | head -40 >&2
  echo "fuzz.sh: the fuzz build failed (log: $BUILD_DIR/build.log)" >&2
  exit 1
fi

FUZZ=$BUILD_DIR/fuzz
mkdir -p "$FUZZ/logs"
# Inputs are written to files on every run: keep them in memory when we can.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_one() {
  target=$1
  mkdir -p "$FUZZ/corpus/$target" "$FUZZ/crashes/$target" "$ROOT/fuzz/regressions/$target"
  kept=
  if [ -d "$ROOT/fuzz/corpus/$target" ]; then kept=$ROOT/fuzz/corpus/$target; fi
  dict=
  case $target in
    lossless_crop|recompress_crop|thumbnail) dict=-dict=$ROOT/fuzz/jpeg.dict ;;
  esac
  "$FUZZ/fuzz_$target" "$LIMIT" $dict -seed="$SEED" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$FUZZ/crashes/$target/" "$FUZZ/corpus/$target" \
    "$FUZZ/seeds/$target" $kept "$ROOT/fuzz/regressions/$target" >"$FUZZ/logs/$target.log" 2>&1
}

summary() {
  target=$1
  status=$2
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$FUZZ/logs/$target.log")
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$FUZZ/logs/$target.log" | tail -n 1)
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$FUZZ/logs/$target.log")
  if [ "$status" -eq 0 ]; then verdict=clean; else verdict="FAILED (see $FUZZ/logs/$target.log)"; fi
  echo "fuzz $target: ${runs:-?} runs, ${cov:-no coverage line}, peak ${rss:-?} MB: $verdict"
}

failed=0
clean=0
set -- $TARGETS
while [ $# -gt 0 ]; do
  batch=
  n=0
  while [ $# -gt 0 ] && [ $n -lt "$PARALLEL" ]; do
    run_one "$1" &
    batch="$batch $1:$!"
    n=$((n + 1))
    shift
  done
  for entry in $batch; do
    status=0
    wait "${entry#*:}" || status=$?
    summary "${entry%%:*}" "$status"
    if [ "$status" -eq 0 ]; then clean=$((clean + 1)); else failed=$((failed + 1)); fi
  done
done
echo "fuzz: $clean passed, $failed failed"
[ "$failed" -eq 0 ]
