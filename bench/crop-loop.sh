#!/bin/sh
# One process per crop: crops every line "W H X Y PATH [NAME]" of LIST into
# OUTDIR.
#   crop-loop.sh jpegtran LIST OUTDIR
#   crop-loop.sh pelmora LIST OUTDIR PELMORA_CROP
#   crop-loop.sh pelmora-recompress LIST OUTDIR PELMORA_CROP
#   crop-loop.sh vips|vips-420|convert|convert-420 LIST OUTDIR
# jpegtran, vips and convert write OUTDIR/NAME (default: the photo's own
# name); pelmora-crop picks its own names in OUTDIR (the photo's name, with a
# number added when it is taken). The loop is the same for all tools, so its
# own cost (a few shell builtins per crop) cancels out.
#
# pelmora, jpegtran: lossless. The others re-compress at QUALITY (default 90):
# pelmora-recompress with -m recompress -q QUALITY -j 1; vips and convert as
# they are by default, which at quality 90 means 4:4:4 chroma; vips-420 and
# convert-420 with 4:2:0 chroma, as pelmora-crop and libjpeg's defaults write.
set -eu
tool=$1
list=$2
out=$3
pelmora=${4:-}
quality=${QUALITY:-90}
convert=/usr/bin/convert # the program itself, whatever else is first on PATH
while read -r w h x y file name; do
  target=$out/${name:-${file##*/}}
  case $tool in
    jpegtran) jpegtran -copy all -crop "${w}x${h}+${x}+${y}" -outfile "$target" "$file" ;;
    pelmora) "$pelmora" -j 1 --quiet -o "$out" -r "${w}x${h}+${x}+${y}" "$file" >/dev/null ;;
    pelmora-recompress)
      "$pelmora" -m recompress -q "$quality" -j 1 --quiet -o "$out" -r "${w}x${h}+${x}+${y}" "$file" >/dev/null ;;
    vips) vips crop "$file" "${target}[Q=$quality]" "$x" "$y" "$w" "$h" ;;
    vips-420) vips crop "$file" "${target}[Q=$quality,subsample-mode=on]" "$x" "$y" "$w" "$h" ;;
    convert) "$convert" "$file" -crop "${w}x${h}+${x}+${y}" -quality "$quality" "$target" ;;
    convert-420) "$convert" "$file" -crop "${w}x${h}+${x}+${y}" -quality "$quality" -sampling-factor 2x2 "$target" ;;
    *) echo "crop-loop.sh: unknown tool $tool" >&2; exit 2 ;;
  esac
done <"$list"
