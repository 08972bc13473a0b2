#!/bin/sh
# Prints a digest of everything Pelmora writes for a fixed set of inputs, so
# two builds can be compared byte for byte (a refactoring must not change a
# single output):
#   tools/output-digest.sh BUILD_DIR > digest.txt
# Inputs are made here: photos of every JPEG kind by cjpeg/jpegtran from one
# generated picture, a RECT.DAT and an IMG.DAT. Outputs: pelmora-crop in both
# modes with -r and --rects, and the window's Crop all (the window harness on
# the offscreen platform) with the IMG.DAT and RECT.DAT it writes back.
set -eu
BUILD=$(cd "$1" && pwd)
# A fixed folder: IMG.DAT and the messages hold the photos' paths.
WORK=/tmp/pelmora-output-digest
rm -rf "$WORK"
mkdir -p "$WORK"
trap 'rm -rf "$WORK"' EXIT
CROP="$BUILD/cli/pelmora-crop"
[ -x "$CROP" ] || CROP="$BUILD/bin/pelmora-crop"
HARNESS="$BUILD/tools/pelmora-window-harness"

python3 - "$WORK" <<'PY'
import struct, sys
work = sys.argv[1]
w, h = 333, 251
rows = []
for y in range(h):
    row = bytearray()
    for x in range(w):
        row += bytes(((x * 7 + y * 3) % 256, (x * y // 17) % 256, (255 - x + y * 5) % 256))
    rows.append(bytes(row))
with open(f"{work}/src.ppm", "wb") as f:
    f.write(b"P6\n%d %d\n255\n" % (w, h) + b"".join(rows))
def rect(pixel, l, t, r, b, color):
    rec = bytearray(264)
    rec[0] = pixel
    struct.pack_into("<dddd", rec, 8, l, t, r, b)
    struct.pack_into("<I", rec, 40, color)
    return bytes(rec)
with open(f"{work}/RECT.DAT", "wb") as f:
    f.write(rect(1, 10, 20, 200, 150, 0x0000FF) + rect(0, 12.5, 7.25, 88.125, 93.5, 0x00FF00)
            + rect(1, 3, 5, 2000, 240, 0xFF0000) + rect(0, 0, 0, 100, 100, 0x123456))
PY

mkdir -p "$WORK/photos/sub" "$WORK/photos/Case"
P="$WORK/photos"
cjpeg -quality 90 -sample 2x2 "$WORK/src.ppm" > "$P/s420.jpg"
cjpeg -quality 85 -sample 2x1 "$WORK/src.ppm" > "$P/s422.jpg"
cjpeg -quality 95 -sample 1x1 "$WORK/src.ppm" > "$P/sub/s444.jpg"
cjpeg -quality 80 -sample 1x2 "$WORK/src.ppm" > "$P/sub/s440.jpg"
cjpeg -quality 90 -progressive "$WORK/src.ppm" > "$P/Case/prog.jpg"
cjpeg -quality 90 -restart 1 "$WORK/src.ppm" > "$P/Case/restart.JPG"
cjpeg -quality 90 -grayscale "$WORK/src.ppm" > "$P/gray.jpeg"
cjpeg -quality 90 -arithmetic "$WORK/src.ppm" > "$P/arith.jpg"
cp "$P/s420.jpg" "$P/Case/S420.jpg"
printf 'not a jpeg' > "$P/broken.jpg"
head -c 3000 "$P/sub/s444.jpg" > "$P/truncated.jpg"

run_crop() {  # name, args...
  name=$1; shift
  out="$WORK/out-$name"; mkdir -p "$out"
  "$CROP" --quiet -o "$out" "$@" "$P" > "$WORK/$name.stdout" 2> "$WORK/$name.stderr" || echo "exit $?" >> "$WORK/$name.stdout"
}
run_crop lossless -r 10,20,200,150 -r 5%,5%,60%,70% -r 64x48+17+9
run_crop recompress -m recompress -q 77 -r 10,20,200,150 -r 5%,5%,60%,70%
run_crop rects --rects "$WORK/RECT.DAT"
run_crop rects-recompress --rects "$WORK/RECT.DAT" -m recompress
run_crop exact --exact -r 16,16,100,100 -r 3,3,50,50

if [ -x "$HARNESS" ]; then
  data="$WORK/data"; mkdir -p "$data"
  cp "$WORK/RECT.DAT" "$data/"
  python3 - "$P" "$data/IMG.DAT" <<'PY'
import os, sys
paths = sorted(os.path.join(d, f) for d, _, fs in os.walk(sys.argv[1]) for f in fs)
with open(sys.argv[2], "wb") as f:
    for p in paths:
        b = p.encode()
        f.write(b + b"\0" * (512 - len(b)))
PY
  for mode in lossless recompress; do
    mkdir -p "$WORK/out-window-$mode"
    XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" QT_QPA_PLATFORM=offscreen \
      "$HARNESS" --data "$data" --crop-all "$WORK/out-window-$mode" --mode $mode --quality 80 \
      2>/dev/null | sed 's/, [0-9.]* s, end [0-9.]*$//; s/, start [0-9.]*$//' > "$WORK/window-$mode.stdout" || true
  done
  mkdir -p "$WORK/out-datafiles" && cp "$data/IMG.DAT" "$data/RECT.DAT" "$WORK/out-datafiles/"
fi

cd "$WORK"
# The harness's timings and process id change from run to run.
sed -i '/^pid /d' window-*.stdout
# Failures are printed in the order pairs finish.
for f in ./*.stderr; do sort -o "$f" "$f"; done
for f in $(find out-* -type f | sort) $(ls ./*.stdout ./*.stderr | sort); do
  printf '%s %s\n' "$(sha256sum < "$f" | cut -c1-16)" "$f"
done
