#!/bin/sh
# Thumbnails: the 96 x 96 fit of every photo of the corpus in one process,
# pelmora against vipsthumbnail, in one hyperfine run:
#   pelmora-seq      pelmora-thumbnail-bench ALL_FILES: one after another on
#                    one thread, as MakeImageRecord makes them
#   pelmora-jobs     pelmora-thumbnail-bench --jobs NPROC CORPUS_DIR: the
#                    folder searched and added through ImageCollection::AddImages
#                    on as many threads as there are cores (the collection's
#                    parallel adding)
#   pelmora-seq-out  pelmora-seq, also writing every thumbnail as a JPEG,
#                    which is what vipsthumbnail does and the collection not
#   vipsthumbnail    vipsthumbnail -s 96 -o OUT/%s.jpg ALL_FILES (its default
#                    thread pool)
#   vipsthumbnail-c1 the same with --vips-concurrency=1
#   pelmora-baseline / vips-baseline, pelmora-progressive / vips-progressive
#                    pelmora-seq and vipsthumbnail on the baseline and on the
#                    progressive photos alone (libjpeg must read every scan of
#                    a progressive file into a whole-picture coefficient buffer)
# The ratios: pelmora-seq and pelmora-jobs against vipsthumbnail.
#
# Then peak memory (/usr/bin/time -v, median of MEM_RUNS) of one 24.5 MP
# photo in each coding, set beside the size of its full decode, its scaled
# decode and its coefficient buffer (bench/jpeg-header.py --sizes), and of the
# whole corpus. Environment: see bench/common.sh.
set -eu
NAME=thumbnails
# shellcheck source=bench/common.sh
. "$(dirname "$0")/common.sh"
need vipsthumbnail libvips-tools

JOBS=$(nproc)
THUMBS=$OUT/thumbs
{
  machine_info
  echo "vips:      $(vipsthumbnail --vips-version 2>&1 | head -n 1)"
  echo "jobs:      $JOBS"
} | tee "$OUT/machine.txt"

# --- both make every thumbnail, at the same size ------------------------------
mkdir -p "$OUT/check-pelmora" "$OUT/check-vips"
"$THUMB_BENCH" --out "$OUT/check-pelmora" "$CORPUS_DIR"/*.jpg
"$THUMB_BENCH" --jobs "$JOBS" "$CORPUS_DIR" >/dev/null
vipsthumbnail -s 96 -o "$OUT/check-vips/%s.jpg" "$CORPUS_DIR"/*.jpg 2>/dev/null
same=0
other=0
for file in "$OUT"/check-pelmora/*.jpg; do
  ours=$(python3 "$BENCH_DIR/jpeg-header.py" "$file" | cut -d' ' -f1-2)
  theirs=$(python3 "$BENCH_DIR/jpeg-header.py" "$OUT/check-vips/${file##*/}" | cut -d' ' -f1-2)
  if [ "$ours" = "$theirs" ]; then same=$((same + 1)); else
    other=$((other + 1))
    echo "${file##*/}: pelmora $ours, vipsthumbnail $theirs" >>"$OUT/check.txt"
  fi
done
echo "thumbnail sizes: $same of $COUNT equal, $other differ by rounding" | tee -a "$OUT/check.txt"
rm -rf "$OUT"/check-*

# --- time -----------------------------------------------------------------------
files_of() {
  awk -v mode="$1" -v dir="$CORPUS_DIR" '$5 == mode {printf "'"'"'%s/%s'"'"' ", dir, $8}' "$CORPUS_DIR/MANIFEST.txt"
}
BASELINE=$(files_of baseline)
PROGRESSIVE=$(files_of progressive)
echo "$NAME: waiting for a quiet machine (at most ${START_WAIT}s)" >&2
wait_idle "$START_WAIT"
hyperfine --warmup 1 --runs "$RUNS" \
  --prepare "$WAIT_IDLE && rm -rf '$THUMBS' && mkdir '$THUMBS'" \
  --export-json "$OUT/time.json" --export-markdown "$OUT/time.md" \
  -n pelmora-seq "'$THUMB_BENCH' '$CORPUS_DIR'/*.jpg" \
  -n pelmora-jobs "'$THUMB_BENCH' --jobs $JOBS '$CORPUS_DIR'" \
  -n pelmora-seq-out "'$THUMB_BENCH' --out '$THUMBS' '$CORPUS_DIR'/*.jpg" \
  -n vipsthumbnail "vipsthumbnail -s 96 -o '$THUMBS/%s.jpg' '$CORPUS_DIR'/*.jpg" \
  -n vipsthumbnail-c1 "vipsthumbnail --vips-concurrency=1 -s 96 -o '$THUMBS/%s.jpg' '$CORPUS_DIR'/*.jpg" \
  -n pelmora-baseline "'$THUMB_BENCH' $BASELINE" \
  -n vips-baseline "vipsthumbnail -s 96 -o '$THUMBS/%s.jpg' $BASELINE" \
  -n pelmora-progressive "'$THUMB_BENCH' $PROGRESSIVE" \
  -n vips-progressive "vipsthumbnail -s 96 -o '$THUMBS/%s.jpg' $PROGRESSIVE"

# --- peak memory ------------------------------------------------------------------
MEM_OUT=$OUT/mem
{
  echo "file full_rgb_kB scaled_kB scaled_size coefficients_kB pelmora_kB vipsthumbnail_kB"
  for name in big24mp-420 big24mp-444 big24mp-420-progressive; do
    file=$CORPUS_DIR/$name.jpg
    # shellcheck disable=SC2046 # the fields are meant to split
    set -- $(python3 "$BENCH_DIR/jpeg-header.py" --sizes "$file")
    ours=$(median_kb "$THUMB_BENCH" "$file")
    theirs=$(median_kb vipsthumbnail -s 96 -o "$MEM_OUT/%s.jpg" "$file")
    echo "$name $(($1 / 1024)) $(($2 / 1024)) ${3}x$4 $(($5 / 1024)) $ours $theirs"
  done
  # Start alone: a path that does not exist is refused before any decode.
  echo "start-only - - - - $(ALLOW_FAIL=1 median_kb "$THUMB_BENCH" "$OUT/none.jpg") $(ALLOW_FAIL=1 median_kb vipsthumbnail -s 96 -o "$MEM_OUT/%s.jpg" "$OUT/none.jpg")"
  echo "all-sequential - - - - $(median_kb "$THUMB_BENCH" "$CORPUS_DIR"/*.jpg) $(median_kb vipsthumbnail -s 96 -o "$MEM_OUT/%s.jpg" "$CORPUS_DIR"/*.jpg)"
  echo "all-jobs-$JOBS - - - - $(median_kb "$THUMB_BENCH" --jobs "$JOBS" "$CORPUS_DIR") -"
} | tee "$OUT/memory.txt"
rm -rf "$MEM_OUT" "$THUMBS"
busy_warning

# --- ratios -------------------------------------------------------------------------
python3 "$BENCH_DIR/ratios.py" "$OUT/time.json" \
  pelmora-seq vipsthumbnail 1.5 \
  pelmora-jobs vipsthumbnail 2 \
  pelmora-seq vipsthumbnail-c1 - \
  pelmora-seq-out vipsthumbnail - \
  pelmora-jobs pelmora-seq - \
  pelmora-baseline vips-baseline - \
  pelmora-progressive vips-progressive - | tee "$OUT/summary.md"
