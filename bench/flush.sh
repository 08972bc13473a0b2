#!/bin/sh
# What writing outputs safely costs a batch: 50 photos (names linked to the
# corpus photos in turn) x 3 rectangles (the quarters of batch.sh), in one
# pelmora-crop process, lossless and re-compressed at quality 90, timed side
# by side in one hyperfine run:
#   jpegtran-loop, vips-loop     one process per crop, as in batch.sh
#   before-*                     PELMORA_BEFORE: a pelmora-crop built from the
#                                tree before (no name claimed through the file
#                                system, no flush at the end)
#   after-*                      this tree's pelmora-crop
#   noflush-*                    PELMORA_NOFLUSH, when given: this tree built
#                                without the final syncfs, to part the cost of
#                                the flush from the rest
# First the outputs of before and after are compared: the same names and the
# same bytes.
# Environment: as bench/common.sh, plus PELMORA_BEFORE (required),
# PELMORA_NOFLUSH and PHOTOS (default 50).
set -eu
NAME="flush"
# shellcheck source=bench/common.sh
. "$(dirname "$0")/common.sh"
need jpegtran libjpeg-turbo-progs
need vips libvips-tools
export QUALITY=90
BEFORE=${PELMORA_BEFORE:?PELMORA_BEFORE: the pelmora-crop to compare with}
NOFLUSH=${PELMORA_NOFLUSH:-}
PHOTOS=${PHOTOS:-50}

LINKS=$OUT/photos
mkdir -p "$LINKS"
i=0
while [ "$i" -lt "$PHOTOS" ]; do
  for photo in "$CORPUS_DIR"/*.jpg; do
    [ "$i" -lt "$PHOTOS" ] || break
    ln -s "$photo" "$LINKS/$(printf 'photo%03d.jpg' "$i")"
    i=$((i + 1))
  done
done

RECT_0=0%,0%,50%,50%
RECT_1=25%,25%,75%,75%
RECT_2=50%,50%,100%,100%
RECT_ARGS="-r $RECT_0 -r $RECT_1 -r $RECT_2"
PAIRS=$OUT/pairs.txt
: >"$PAIRS"
for k in 0 1 2; do
  case $k in 0) rect=$RECT_0 ;; 1) rect=$RECT_1 ;; *) rect=$RECT_2 ;; esac
  python3 "$BENCH_DIR/jpeg-header.py" --rect "$rect" "$LINKS"/*.jpg \
    | awk -v k="$k" '{n = $5; sub(/.*\//, "", n); sub(/\.[^.]*$/, "", n); print $0, n "-" k ".jpg"}' >>"$PAIRS"
done
{
  machine_info
  echo "before:    $("$BEFORE" --version), $BEFORE (${PELMORA_BEFORE_FROM:-source not recorded})"
  [ -z "$NOFLUSH" ] || echo "noflush:   $NOFLUSH (${PELMORA_NOFLUSH_FROM:-source not recorded})"
  echo "pairs:     $(wc -l <"$PAIRS") ($PHOTOS photos x 3 rectangles), default jobs $(nproc)"
  echo "output:    $(df -T "$OUT" | awk 'NR == 2 {print $2 " on " $1}')"
} | tee "$OUT/machine.txt"

# --- the same files -------------------------------------------------------------------
for mode in lossless recompress; do
  for way in before after; do
    tool=$PELMORA_CROP
    [ "$way" = before ] && tool=$BEFORE
    mkdir -p "$OUT/check-$way"
    # shellcheck disable=SC2086 # RECT_ARGS is meant to split
    "$tool" --quiet -m "$mode" -q "$QUALITY" -o "$OUT/check-$way" $RECT_ARGS "$LINKS"/*.jpg >/dev/null
  done
  if diff -r "$OUT/check-before" "$OUT/check-after" >/dev/null; then
    echo "$mode: before and after wrote the same $(ls "$OUT/check-after" | wc -l) files" | tee -a "$OUT/check.txt"
  else
    echo "$mode: before and after wrote different files" | tee -a "$OUT/check.txt"
  fi
  rm -rf "$OUT"/check-*
done

# --- time --------------------------------------------------------------------------------
CROP_OUT=$OUT/crops
echo "$NAME: waiting for a quiet machine (at most ${START_WAIT}s)" >&2
wait_idle "$START_WAIT"
loop="sh '$BENCH_DIR/crop-loop.sh'"
all="'$LINKS'/*.jpg"
set -- -n jpegtran-loop "$loop jpegtran '$PAIRS' '$CROP_OUT'" \
  -n before-lossless "'$BEFORE' --quiet -o '$CROP_OUT' $RECT_ARGS $all" \
  -n after-lossless "'$PELMORA_CROP' --quiet -o '$CROP_OUT' $RECT_ARGS $all"
[ -z "$NOFLUSH" ] || set -- "$@" -n noflush-lossless "'$NOFLUSH' --quiet -o '$CROP_OUT' $RECT_ARGS $all"
set -- "$@" -n vips-loop "$loop vips '$PAIRS' '$CROP_OUT'" \
  -n before-recompress "'$BEFORE' -m recompress -q $QUALITY --quiet -o '$CROP_OUT' $RECT_ARGS $all" \
  -n after-recompress "'$PELMORA_CROP' -m recompress -q $QUALITY --quiet -o '$CROP_OUT' $RECT_ARGS $all"
[ -z "$NOFLUSH" ] || set -- "$@" -n noflush-recompress "'$NOFLUSH' -m recompress -q $QUALITY --quiet -o '$CROP_OUT' $RECT_ARGS $all"
hyperfine --warmup 1 --runs "$RUNS" \
  --prepare "$WAIT_IDLE && rm -rf '$CROP_OUT' && mkdir '$CROP_OUT'" \
  --export-json "$OUT/time.json" --export-markdown "$OUT/time.md" "$@"
rm -rf "$CROP_OUT"
busy_warning

# --- ratios ------------------------------------------------------------------------------
set -- after-lossless jpegtran-loop - before-lossless jpegtran-loop - \
  after-recompress vips-loop - before-recompress vips-loop - \
  before-lossless after-lossless - before-recompress after-recompress -
[ -z "$NOFLUSH" ] || set -- "$@" noflush-lossless after-lossless - noflush-recompress after-recompress -
python3 "$BENCH_DIR/ratios.py" "$OUT/time.json" "$@" | tee "$OUT/summary.md"
