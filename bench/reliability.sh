#!/bin/sh
# Reliability of a long batch, run by hand before a release (not in CI):
#   1. Crop all in the real main window (pelmora-window-harness --crop-all
#      under xvfb-run), PHOTOS photos (default 2000) and SMALL (default 500)
#      x 3 pixel rectangles, in both modes. Every pair must be written under
#      the name the batch rules plan (most names collide: 40 folders hold the
#      same 50 names, and two files are in the way in the output folder),
#      decode completely with djpeg at the rectangle's size, and the
#      process's VmRSS (sampled every 0.2 s) must not grow with the photos.
#   2. The same window run killed with SIGKILL once a sixth, a third and a
#      half of the outputs exist, in both modes: every output under a planned name decodes
#      completely at its size (hidden .pelmora-*.part leftovers are counted),
#      and IMG.DAT / RECT.DAT are byte-identical to those the last completed
#      run wrote.
#   3. pelmora-crop killed the same way, in both modes. (A worker spends most
#      of a pair reading its source, so a kill finds a .part file only now
#      and then: hence three kills each.)
# The photos are hard links to bench/corpus (one in a hundred a 24.5 MP one).
# Results in bench/out/reliability/summary.txt. Environment: see
# bench/common.sh; PHOTOS, SMALL.
set -eu
NAME=reliability
# shellcheck source=bench/common.sh
. "$(dirname "$0")/common.sh"
need djpeg libjpeg-turbo-progs
need xvfb-run xvfb
PHOTOS=${PHOTOS:-2000}
SMALL=${SMALL:-500}
KILL_AT="$((PHOTOS / 2)) $PHOTOS $((PHOTOS * 3 / 2))" # outputs before each SIGKILL
HARNESS=$ROOT/build-release/tools/pelmora-window-harness
HELPER="python3 $BENCH_DIR/reliability.py"
SUMMARY=$OUT/summary.txt
{
  machine_info
  echo "memory:    $(awk '/MemTotal/ {printf "%.1f GB", $2 / 1048576}' /proc/meminfo)"
  echo "photos:    $PHOTOS and $SMALL, x 3 rectangles, SIGKILL after $KILL_AT outputs"
} | tee "$OUT/machine.txt" >"$SUMMARY"

for n in "$SMALL" "$PHOTOS"; do
  $HELPER make "$OUT/data-$n" "$CORPUS_DIR" "$n"
done

note() { echo "$*" | tee -a "$SUMMARY"; }

# window DATA MODE TAG [KILL_AT]: one crop-all run in the window into
# $OUT/out-TAG, its log in TAG.log, its VmRSS samples in TAG.rss.
window() {
  out=$OUT/out-$3
  rm -rf "$out"
  $HELPER seed "$out"
  log=$OUT/$3.log
  : >"$log"
  xvfb-run -a -s "-screen 0 1920x1200x24" "$HARNESS" --data "$1" --crop-all "$out" \
    --mode "$2" >"$log" 2>"$OUT/$3.err" &
  runner=$!
  pid=
  while [ -z "$pid" ]; do
    kill -0 "$runner" 2>/dev/null || { echo "$3: the harness did not start" >&2; cat "$OUT/$3.err" >&2; exit 1; }
    sleep 0.1
    pid=$(sed -n 's/^pid //p' "$log")
  done
  $HELPER sample "$pid" "$OUT/$3.rss" &
  sampler=$!
  if [ -n "${4:-}" ]; then $HELPER kill-when "$pid" "$out" "$4" | sed "s/^/$3: /" | tee -a "$SUMMARY"; fi
  status=0
  wait "$runner" || status=$?
  wait "$sampler" || true
  note "$3: exit $status; $(grep -v '^pid ' "$log" | tr '\n' ';')"
}

# check DATA TAG [--partial]
check() {
  # shellcheck disable=SC2086 # $3 is nothing or --partial
  note "$2: $($HELPER check "$1" "$OUT/out-$2" ${3:-} | tr '\n' ';')"
  rm -rf "$OUT/out-$2"
}

# --- 1. complete runs --------------------------------------------------------------
for n in "$SMALL" "$PHOTOS"; do
  for mode in lossless recompress; do
    window "$OUT/data-$n" "$mode" "window-$mode-$n"
    note "window-$mode-$n: $($HELPER rss "$OUT/window-$mode-$n.rss" "$OUT/window-$mode-$n.log")"
    check "$OUT/data-$n" "window-$mode-$n"
  done
done

# --- 2. the window killed -----------------------------------------------------------
DATA=$OUT/data-$PHOTOS
for mode in lossless recompress; do
  for at in $KILL_AT; do
    tag=window-killed-$mode-$at
    before=$($HELPER hash "$DATA/IMG.DAT" "$DATA/RECT.DAT")
    window "$DATA" "$mode" "$tag" "$at"
    after=$($HELPER hash "$DATA/IMG.DAT" "$DATA/RECT.DAT")
    verdict="the same"
    [ "$before" = "$after" ] || verdict="CHANGED"
    note "$tag: IMG.DAT and RECT.DAT $verdict (before $before, after $after)"
    check "$DATA" "$tag" --partial
  done
done

# --- 3. pelmora-crop killed ---------------------------------------------------------
# shellcheck disable=SC2046 # one argument per photo, in the collection's order
set -- $($HELPER list "$DATA")
for mode in lossless recompress; do
  for at in $KILL_AT; do
    tag=cli-killed-$mode-$at
    out=$OUT/out-$tag
    rm -rf "$out"
    $HELPER seed "$out"
    "$PELMORA_CROP" --quiet -m "$mode" -q 90 -o "$out" --rects "$DATA/RECT.DAT" "$@" \
      >"$OUT/$tag.log" 2>&1 &
    pid=$!
    $HELPER kill-when "$pid" "$out" "$at" | sed "s/^/$tag: /" | tee -a "$SUMMARY"
    status=0
    wait "$pid" || status=$?
    note "$tag: exit $status"
    check "$DATA" "$tag" --partial
  done
done
cat "$SUMMARY"
