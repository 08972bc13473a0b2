#!/bin/sh
# Re-compressing crop, one process per photo: every photo of the corpus cut to
# its centre rectangle (half the width and height, bench/jpeg-header.py
# --centre) and written at quality 90, by bench/crop-loop.sh in one hyperfine
# run:
#   pelmora      pelmora-crop -m recompress -q 90 -j 1 -r WxH+X+Y
#   vips         vips crop IN OUT[Q=90] X Y W H
#   convert      convert IN -crop WxH+X+Y -quality 90 OUT  (ImageMagick)
#   vips-420     vips with subsample-mode=on
#   convert-420  convert with -sampling-factor 2x2
# At quality 90 vips writes 4:4:4 chroma and convert keeps the source's
# sampling, where pelmora-crop (libjpeg's defaults) writes 4:2:0; the -420
# rows write what pelmora-crop writes. The ratios are taken against both.
# Before timing every output is checked: same size, and PSNR against the
# vips-420 output (ImageMagick's compare) to show the same region was cut.
# Then the start cost of each program and peak memory on the largest photo.
# Environment: see bench/common.sh; RUNS defaults to 5 here.
set -eu
NAME=recompress
RUNS=${RUNS:-5}
# shellcheck source=bench/common.sh
. "$(dirname "$0")/common.sh"
need vips libvips-tools
if [ ! -x /usr/bin/convert ] || [ ! -x /usr/bin/compare ]; then need /usr/bin/convert imagemagick; fi
export QUALITY=90

RECTS=$OUT/rects.txt
python3 "$BENCH_DIR/jpeg-header.py" --centre "$CORPUS_DIR"/*.jpg >"$RECTS"
{
  machine_info
  echo "vips:      $(vips --version)"
  echo "convert:   $(/usr/bin/convert -version | head -n 1)"
  echo "quality:   $QUALITY"
} | tee "$OUT/machine.txt"

# --- the same region, the same size ---------------------------------------------
for way in pelmora vips vips-420 convert convert-420; do
  mkdir -p "$OUT/check-$way"
  if [ "$way" = pelmora ]; then
    sh "$BENCH_DIR/crop-loop.sh" pelmora-recompress "$RECTS" "$OUT/check-$way" "$PELMORA_CROP"
  else
    sh "$BENCH_DIR/crop-loop.sh" "$way" "$RECTS" "$OUT/check-$way" 2>/dev/null
  fi
done
: >"$OUT/check.txt"
bad=0
while read -r w h x y file; do
  name=${file##*/}
  for way in pelmora vips convert convert-420; do
    size=$(python3 "$BENCH_DIR/jpeg-header.py" "$OUT/check-$way/$name" | cut -d' ' -f1-2)
    [ "$size" = "$w $h" ] || { bad=$((bad + 1)); echo "$name: $way wrote $size, not $w $h" >>"$OUT/check.txt"; }
  done
  psnr=$(/usr/bin/compare -metric PSNR "$OUT/check-pelmora/$name" "$OUT/check-vips-420/$name" null: 2>&1 || true)
  sampling=$(python3 "$BENCH_DIR/jpeg-header.py" "$OUT/check-vips/$name" "$OUT/check-convert/$name" "$OUT/check-pelmora/$name" | cut -d' ' -f4 | tr '\n' ' ')
  echo "$name PSNR(pelmora, vips-420) $psnr dB; sampling vips, convert, pelmora: $sampling" >>"$OUT/check.txt"
done <"$RECTS"
echo "outputs of the wrong size: $bad" | tee -a "$OUT/check.txt"
awk '/PSNR/ {v = $4; if (v + 0 < min || min == "") min = v + 0} END {print "lowest PSNR(pelmora, vips-420): " min " dB"}' \
  "$OUT/check.txt" | tee -a "$OUT/check.txt"
rm -rf "$OUT"/check-*

# --- time ---------------------------------------------------------------------------
CROP_OUT=$OUT/crops
echo "$NAME: waiting for a quiet machine (at most ${START_WAIT}s)" >&2
wait_idle "$START_WAIT"
loop="sh '$BENCH_DIR/crop-loop.sh'"
hyperfine --warmup 1 --runs "$RUNS" \
  --prepare "$WAIT_IDLE && rm -rf '$CROP_OUT' && mkdir '$CROP_OUT'" \
  --export-json "$OUT/time.json" --export-markdown "$OUT/time.md" \
  -n pelmora "$loop pelmora-recompress '$RECTS' '$CROP_OUT' '$PELMORA_CROP'" \
  -n vips "$loop vips '$RECTS' '$CROP_OUT'" \
  -n convert "$loop convert '$RECTS' '$CROP_OUT'" \
  -n vips-420 "$loop vips-420 '$RECTS' '$CROP_OUT'" \
  -n convert-420 "$loop convert-420 '$RECTS' '$CROP_OUT'"

# Start cost alone: print the version and exit.
wait_idle
hyperfine -N --warmup 10 --runs 100 \
  --export-json "$OUT/start.json" --export-markdown "$OUT/start.md" \
  -n pelmora-version "$PELMORA_CROP --version" \
  -n vips-version "vips --version" \
  -n convert-version "/usr/bin/convert -version"

# --- peak memory on the largest photo ------------------------------------------------
MEM_OUT=$OUT/mem
LARGEST=$(sort -k7,7n "$CORPUS_DIR/MANIFEST.txt" | tail -n 1 | cut -d' ' -f8-)
grep -F "/$LARGEST" "$RECTS" | head -n 1 >"$OUT/largest.txt"
read -r w h x y file <"$OUT/largest.txt"
{
  echo "largest photo: $LARGEST, rectangle ${w}x$h+$x+$y"
  echo "pelmora peak RSS kB: $(median_kb "$PELMORA_CROP" -m recompress -q 90 -j 1 --quiet -o "$MEM_OUT" -r "${w}x$h+$x+$y" "$file")"
  echo "vips peak RSS kB: $(median_kb vips crop "$file" "$MEM_OUT/out.jpg[Q=90]" "$x" "$y" "$w" "$h")"
  echo "convert peak RSS kB: $(median_kb /usr/bin/convert "$file" -crop "${w}x$h+$x+$y" -quality 90 "$MEM_OUT/out.jpg")"
  echo "crop as RGB kB: $((w * h * 3 / 1024))"
} | tee "$OUT/memory.txt"
rm -rf "$MEM_OUT" "$CROP_OUT"
busy_warning

# --- ratios ---------------------------------------------------------------------------
{
  python3 "$BENCH_DIR/ratios.py" "$OUT/time.json" \
    pelmora vips 1.4 \
    pelmora convert 2 \
    pelmora vips-420 1.4 \
    pelmora convert-420 2
  echo
  python3 "$BENCH_DIR/ratios.py" "$OUT/start.json"
} | tee "$OUT/summary.md"
