#!/bin/sh
# A restart of the window with a long list: from the program's start until
# IMG.DAT's photos are listed with their thumbnails, for 500 and 2,000
# photos (hard links to the corpus's five 24.5 MP camera-sized photos, each
# a path of its own), offscreen:
#   cold  this build with an empty thumbnail cache (emptied before each run)
#   warm  this build with the cache filled by one earlier start
#   base  the build before the shared thumbnail cache (BASE_REV), no cache
# The window harness ends right after the list is shown: with RECT.DAT
# empty, its Crop all stops at the first precondition (the notice answered
# by the harness), so the time is the start, the list and the exit.
# Environment, besides bench/common.sh's:
#   HARNESS       this build's window harness (default build-release's)
#   BASE_REV      the revision measured as "before" (default: the parent of
#                 the commit that added the cache, found by its file)
#   BASE_HARNESS  that revision's harness; built (once, and kept) under
#                 bench/out/restart-base/ when unset, as BUILD_TYPE (default
#                 Release; match HARNESS's build)
#   COUNTS        photo counts (default "500 2000"); RUNS as in common.sh,
#                 RUNS_BIG for 2,000 photos and more (default RUNS)
set -eu
NAME=restart
# shellcheck source=bench/common.sh
. "$(dirname "$0")/common.sh"
HARNESS=${HARNESS:-$ROOT/build-release/tools/pelmora-window-harness}
COUNTS=${COUNTS:-"500 2000"}
if [ -z "${BASE_REV:-}" ]; then
  added=$(git -C "$ROOT" log --diff-filter=A --format=%H -- images/ThumbnailCache.cpp | tail -n 1)
  BASE_REV=$(git -C "$ROOT" rev-parse "$added^")
fi
machine_info >"$OUT/machine.txt"
echo "base:      $(git -C "$ROOT" rev-parse --short "$BASE_REV")" >>"$OUT/machine.txt"

if [ -z "${BASE_HARNESS:-}" ]; then
  base=$BENCH_DIR/out/restart-base/$(git -C "$ROOT" rev-parse --short "$BASE_REV")
  if [ ! -d "$base/src" ]; then
    mkdir -p "$base/src"
    git -C "$ROOT" archive "$BASE_REV" | tar -x -C "$base/src"
  fi
  cmake -S "$base/src" -B "$base/build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" \
    -DPELMORA_BUILD_TESTS=OFF >/dev/null
  cmake --build "$base/build" --target pelmora-window-harness >/dev/null
  BASE_HARNESS=$base/build/tools/pelmora-window-harness
fi

export QT_QPA_PLATFORM=offscreen
PHOTOS=$(ls "$CORPUS_DIR"/big24mp-*.jpg)
for count in $COUNTS; do
  data=$OUT/data-$count
  cache=$OUT/cache-$count
  mkdir -p "$data/photos"
  python3 - "$data" "$count" $PHOTOS <<'PY'
import os, sys
data, count, photos = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
with open(f"{data}/IMG.DAT", "wb") as f:
    for i in range(count):
        path = f"{data}/photos/p{i:05d}.jpg"
        os.link(photos[i % len(photos)], path)
        raw = path.encode() + b"\0"
        f.write(raw + bytes(512 - len(raw)))
PY
  run="--data $data --crop-all $OUT/crops"
  XDG_CACHE_HOME=$cache "$HARNESS" --data "$data" --until-cached >/dev/null 2>&1
  echo "$count photos: $(find "$cache/thumbnails/normal" -name '*.png' | wc -l) cache entries" |
    tee -a "$OUT/machine.txt"
  wait_idle
  runs=$RUNS
  [ "$count" -lt 2000 ] || runs=${RUNS_BIG:-$RUNS}
  hyperfine -i --runs "$runs" --prepare "rm -rf $OUT/empty-cache" \
    --export-json "$OUT/restart-$count.json" \
    -n "warm $count" "env XDG_CACHE_HOME=$cache $HARNESS $run" \
    -n "cold $count" "env XDG_CACHE_HOME=$OUT/empty-cache $HARNESS $run" \
    -n "base $count" "env XDG_CACHE_HOME=$OUT/empty-cache $BASE_HARNESS $run" |
    tee "$OUT/restart-$count.txt"
  python3 "$BENCH_DIR/ratios.py" "$OUT/restart-$count.json" "warm $count" "cold $count" 10 \
    "cold $count" "base $count" 1 | tee -a "$OUT/restart-$count.txt"
done
busy_warning
