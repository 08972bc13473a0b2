#!/bin/sh
# Batch: every photo of the corpus x 3 rectangles (the top-left, centre and
# bottom-right quarters: 0%,0%,50%,50% / 25%,25%,75%,75% / 50%,50%,100%,100%)
# in one pelmora-crop process, against a plain loop of one process per pair
# over the same pairs (pixel rectangles from bench/jpeg-header.py --rect), in
# one hyperfine run:
#   jpegtran-loop       jpegtran -copy all -crop WxH+X+Y, one per pair
#   pelmora-lossless    pelmora-crop -r … -r … -r … CORPUS (default jobs)
#   pelmora-lossless-j1 the same with -j 1
#   vips-loop           vips crop IN OUT[Q=90] X Y W H, one per pair
#   vips-420-loop       the same with subsample-mode=on (4:2:0, as pelmora-crop)
#   pelmora-recompress  pelmora-crop -m recompress -q 90 (default jobs)
#   pelmora-recompress-j1
# Before timing: every lossless pair is checked against jpegtran's file
# (bench/jpeg-header.py --compare), every re-compressed one for its size.
# Then peak memory: -j 1 and default jobs over the corpus, and over 1, 4 and
# 16 names (links) of its largest photo, in both modes, to show
# that memory follows the jobs and not the number of photos.
# Environment: see bench/common.sh; RUNS defaults to 5 here.
set -eu
NAME="batch"
RUNS=${RUNS:-5}
# shellcheck source=bench/common.sh
. "$(dirname "$0")/common.sh"
need jpegtran libjpeg-turbo-progs
need vips libvips-tools
export QUALITY=90
JOBS=$(nproc)

RECT_0=0%,0%,50%,50%
RECT_1=25%,25%,75%,75%
RECT_2=50%,50%,100%,100%
PAIRS=$OUT/pairs.txt
: >"$PAIRS"
for k in 0 1 2; do
  case $k in 0) rect=$RECT_0 ;; 1) rect=$RECT_1 ;; *) rect=$RECT_2 ;; esac
  # pelmora-crop names the k-th rectangle's output NAME-k.jpg; so does the loop.
  python3 "$BENCH_DIR/jpeg-header.py" --rect "$rect" "$CORPUS_DIR"/*.jpg \
    | awk -v k="$k" '{n = $5; sub(/.*\//, "", n); sub(/\.[^.]*$/, "", n); print $0, n "-" k ".jpg"}' >>"$PAIRS"
done
PAIR_COUNT=$(wc -l <"$PAIRS")
RECT_ARGS="-r $RECT_0 -r $RECT_1 -r $RECT_2"
{
  machine_info
  echo "jpegtran:  $(jpegtran -version 2>&1 | head -n 1)"
  echo "vips:      $(vips --version)"
  echo "pairs:     $PAIR_COUNT ($COUNT photos x 3 rectangles), default jobs $JOBS"
} | tee "$OUT/machine.txt"

# --- the same crops -------------------------------------------------------------
mkdir -p "$OUT/check-jpegtran" "$OUT/check-lossless" "$OUT/check-recompress"
sh "$BENCH_DIR/crop-loop.sh" jpegtran "$PAIRS" "$OUT/check-jpegtran"
# shellcheck disable=SC2086 # RECT_ARGS is meant to split
"$PELMORA_CROP" --quiet -o "$OUT/check-lossless" $RECT_ARGS "$CORPUS_DIR"/*.jpg >/dev/null
# shellcheck disable=SC2086
"$PELMORA_CROP" --quiet -m recompress -q "$QUALITY" -o "$OUT/check-recompress" $RECT_ARGS "$CORPUS_DIR"/*.jpg >/dev/null
identical=0
same_image=0
different=0
wrong_size=0
while read -r w h _x _y _file name; do
  verdict=missing
  [ -f "$OUT/check-lossless/$name" ] &&
    verdict=$(python3 "$BENCH_DIR/jpeg-header.py" --compare "$OUT/check-jpegtran/$name" "$OUT/check-lossless/$name")
  case $verdict in
    identical) identical=$((identical + 1)) ;;
    same-image) same_image=$((same_image + 1)) ;;
    *) different=$((different + 1)); echo "$name: lossless $verdict from jpegtran's" >>"$OUT/check.txt" ;;
  esac
  size=$(python3 "$BENCH_DIR/jpeg-header.py" "$OUT/check-recompress/$name" 2>/dev/null | cut -d' ' -f1-2)
  [ "$size" = "$w $h" ] || { wrong_size=$((wrong_size + 1)); echo "$name: recompress wrote '$size', not $w $h" >>"$OUT/check.txt"; }
done <"$PAIRS"
{
  echo "lossless vs jpegtran: $identical identical, $same_image same image data with other metadata, $different different (of $PAIR_COUNT)"
  echo "recompress: $((PAIR_COUNT - wrong_size)) of $PAIR_COUNT of the asked size"
} | tee -a "$OUT/check.txt"
rm -rf "$OUT"/check-*

# --- time ---------------------------------------------------------------------------
CROP_OUT=$OUT/crops
echo "$NAME: waiting for a quiet machine (at most ${START_WAIT}s)" >&2
wait_idle "$START_WAIT"
loop="sh '$BENCH_DIR/crop-loop.sh'"
all="'$CORPUS_DIR'/*.jpg"
hyperfine --warmup 1 --runs "$RUNS" \
  --prepare "$WAIT_IDLE && rm -rf '$CROP_OUT' && mkdir '$CROP_OUT'" \
  --export-json "$OUT/time.json" --export-markdown "$OUT/time.md" \
  -n jpegtran-loop "$loop jpegtran '$PAIRS' '$CROP_OUT'" \
  -n pelmora-lossless "'$PELMORA_CROP' --quiet -o '$CROP_OUT' $RECT_ARGS $all" \
  -n pelmora-lossless-j1 "'$PELMORA_CROP' -j 1 --quiet -o '$CROP_OUT' $RECT_ARGS $all" \
  -n vips-loop "$loop vips '$PAIRS' '$CROP_OUT'" \
  -n vips-420-loop "$loop vips-420 '$PAIRS' '$CROP_OUT'" \
  -n pelmora-recompress "'$PELMORA_CROP' -m recompress -q $QUALITY --quiet -o '$CROP_OUT' $RECT_ARGS $all" \
  -n pelmora-recompress-j1 "'$PELMORA_CROP' -m recompress -q $QUALITY -j 1 --quiet -o '$CROP_OUT' $RECT_ARGS $all"

# --- peak memory: jobs against photos --------------------------------------------------
MEM_OUT=$OUT/mem
LINKS=$OUT/links
SAME=$CORPUS_DIR/$(sort -k7,7n "$CORPUS_DIR/MANIFEST.txt" | tail -n 1 | cut -d' ' -f8-)
{
  echo "photos mode jobs peak_kB"
  for mode in lossless recompress; do
    for jobs in 1 "$JOBS"; do
      # shellcheck disable=SC2086
      echo "corpus-$COUNT $mode $jobs $(median_kb "$PELMORA_CROP" -m "$mode" -q "$QUALITY" -j "$jobs" --quiet -o "$MEM_OUT" $RECT_ARGS "$CORPUS_DIR"/*.jpg)"
    done
  done
  for n in 1 4 16; do
    rm -rf "$LINKS" && mkdir -p "$LINKS"
    i=1
    while [ "$i" -le "$n" ]; do ln -s "$SAME" "$LINKS/same-$i.jpg"; i=$((i + 1)); done
    for mode in lossless recompress; do
      for jobs in 1 "$JOBS"; do
        # shellcheck disable=SC2086
        echo "${SAME##*/}-x$n $mode $jobs $(median_kb "$PELMORA_CROP" -m "$mode" -q "$QUALITY" -j "$jobs" --quiet -o "$MEM_OUT" $RECT_ARGS "$LINKS"/*.jpg)"
      done
    done
  done
} | tee "$OUT/memory.txt"
rm -rf "$MEM_OUT" "$LINKS" "$CROP_OUT"
busy_warning

# --- ratios ---------------------------------------------------------------------------
python3 "$BENCH_DIR/ratios.py" "$OUT/time.json" \
  pelmora-lossless jpegtran-loop 4 \
  pelmora-recompress vips-loop 3 \
  pelmora-recompress vips-420-loop 3 \
  pelmora-lossless-j1 jpegtran-loop - \
  pelmora-recompress-j1 vips-loop - \
  pelmora-recompress-j1 vips-420-loop - | tee "$OUT/summary.md"
