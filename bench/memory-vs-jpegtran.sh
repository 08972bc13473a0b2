#!/bin/sh
# Peak memory of one lossless crop of a large photo: pelmora-crop against
# jpegtran -crop on the same file and rectangle, and of the refusal of a
# header-only file that claims 65000 x 65000. Prints kilobytes and the ratio.
#   bench/memory-vs-jpegtran.sh [MEGAPIXELS] [BUILD_DIR]
# Defaults: 100 megapixels, build/. Needs /usr/bin/time, cjpeg, jpegtran and
# python3; the photo is made here (a pattern with noise, 4:2:0, quality 90)
# and kept in bench/out/ for the next run.
set -e
cd "$(dirname "$0")/.."
MP=${1:-100}
BUILD_DIR=${2:-build}
TOOL=$BUILD_DIR/cli/pelmora-crop
OUT=bench/out
mkdir -p "$OUT"
[ -x "$TOOL" ] || { echo "build pelmora-crop first ($TOOL)" >&2; exit 1; }

SIDE=$(python3 -c "import math; print(int(math.sqrt($MP * 1e6)))")
PHOTO=$OUT/photo-${SIDE}.jpg
if [ ! -f "$PHOTO" ]; then
  python3 - "$SIDE" <<'EOF' | cjpeg -quality 90 -sample 2x2 > "$PHOTO"
import random, sys
side = int(sys.argv[1])
out = sys.stdout.buffer
out.write(b"P6\n%d %d\n255\n" % (side, side))
rng = random.Random(7)
# A few hundred distinct rows, repeated with a shift: gradients, edges, noise.
rows = []
for k in range(256):
    row = bytearray(3 * side)
    for x in range(side):
        v = (x * 255 // side + k * 7 + rng.randrange(24)) & 0xFF
        row[3 * x] = v
        row[3 * x + 1] = (v + 85 * ((x // 64) % 2)) & 0xFF
        row[3 * x + 2] = (255 - v) & 0xFF
    rows.append(bytes(row))
for y in range(side):
    out.write(rows[(y * 13) % 256])
EOF
fi

# A rectangle off the block grid in the middle, two thirds of each side.
W=$((SIDE * 2 / 3)); H=$((SIDE * 2 / 3)); X=$((SIDE / 6 + 5)); Y=$((SIDE / 6 + 3))
# Runs a command, keeps its stderr in $OUT/stderr.txt, prints its peak RSS.
peak() {
  /usr/bin/time -f %M -o "$OUT/peak.txt" "$@" >/dev/null 2>"$OUT/stderr.txt" || true
  tail -n 1 "$OUT/peak.txt"
}

rm -rf "$OUT/crop"; mkdir -p "$OUT/crop"
JT=$(peak jpegtran -crop "${W}x${H}+${X}+${Y}" -copy all -outfile "$OUT/crop/jpegtran.jpg" "$PHOTO")
PC=$(peak "$TOOL" --quiet -j 1 -o "$OUT/crop" -r "${W}x${H}+${X}+${Y}" "$PHOTO")
echo "photo: $PHOTO ($(wc -c < "$PHOTO") bytes, ${SIDE}x${SIDE}), rectangle ${W}x${H}+${X}+${Y}"
echo "peak kB: jpegtran $JT, pelmora-crop $PC, ratio $(python3 -c "print(round($PC / $JT, 3))")"
if cmp -s "$OUT/crop/jpegtran.jpg" "$OUT/crop/$(basename "$PHOTO")"; then same=yes; else same=NO; fi
echo "outputs byte-identical: $same"

# The hostile header: SOF0 65000 x 65000, 4:2:0, a few bytes of scan data.
python3 - "$OUT/claims-65000.jpg" <<'EOF'
import sys
def seg(code, body):
    return bytes([0xFF, code]) + (len(body) + 2).to_bytes(2, "big") + body
data = b"\xff\xd8" + seg(0xDB, b"\x00" + b"\x10" * 64)
data += seg(0xC0, bytes([8]) + (65000).to_bytes(2, "big") * 2 + bytes.fromhex("03012200021100031100"))
data += seg(0xDA, bytes.fromhex("03010002110311003f00")) + b"\x55" * 64 + b"\xff\xd9"
open(sys.argv[1], "wb").write(data)
EOF
for mode in lossless recompress; do
  HK=$(peak "$TOOL" --quiet -m $mode -o "$OUT/crop" -r 0,0,64,64 "$OUT/claims-65000.jpg")
  echo "65000x65000 header-only file, $mode: peak kB $HK, $(head -n 1 "$OUT/stderr.txt")"
done
