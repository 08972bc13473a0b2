#!/bin/sh
# One process per photo: crops every line "W H X Y PATH" of LIST into OUTDIR.
#   crop-loop.sh jpegtran LIST OUTDIR
#   crop-loop.sh pelmora LIST OUTDIR PELMORA_CROP
# Both tools write OUTDIR/<name of the photo>. The loop is the same for both,
# so its own cost (a few shell builtins per photo) cancels out.
set -eu
tool=$1
list=$2
out=$3
pelmora=${4:-}
while read -r w h x y file; do
  case $tool in
    jpegtran) jpegtran -copy all -crop "${w}x${h}+${x}+${y}" -outfile "$out/${file##*/}" "$file" ;;
    pelmora) "$pelmora" -j 1 --quiet -o "$out" -r "${w}x${h}+${x}+${y}" "$file" >/dev/null ;;
    *) echo "crop-loop.sh: unknown tool $tool" >&2; exit 2 ;;
  esac
done <"$list"
