#!/bin/sh
# The main window's two speeds:
#   1. The preview of a 24.5 MP photo (bench/corpus/big24mp-420.jpg) decoded
#      fitted into the preview's box at 984 x 728 (467 x 438), against a full
#      decode of the same photo by the same code and by djpeg, in one
#      hyperfine run; each command decodes REPEAT times in one process.
#   2. One resize step of the window (geometry, layout, every paint) with
#      1,000 images in the collection, median of STEPS steps, under xvfb-run.
#   3. Stepping to the next of five 24.5 MP photos in the window: the median
#      time until the preview shows a picture (the thumbnail, enlarged) and
#      until the fitted decode, made on a worker thread, has replaced it.
# Environment: see bench/common.sh; REPEAT (default 5), STEPS (default 300).
set -eu
NAME=main-window
# shellcheck source=bench/common.sh
. "$(dirname "$0")/common.sh"
need djpeg libjpeg-turbo-progs
need xvfb-run xvfb
REPEAT=${REPEAT:-5}
STEPS=${STEPS:-300}
PREVIEW_BENCH=$ROOT/build-release/bench/pelmora-preview-bench
HARNESS=$ROOT/build-release/tools/pelmora-window-harness
PHOTO=$CORPUS_DIR/big24mp-420.jpg
machine_info >"$OUT/machine.txt"

wait_idle
hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/preview.json" \
  -n preview "$PREVIEW_BENCH --fit 467x438 --repeat $REPEAT $PHOTO" \
  -n full-decode "$PREVIEW_BENCH --repeat $REPEAT $PHOTO" \
  -n djpeg "sh -c 'i=0; while [ \$i -lt $REPEAT ]; do djpeg $PHOTO >/dev/null; i=\$((i+1)); done'" \
  | tee "$OUT/preview.txt"
python3 "$BENCH_DIR/ratios.py" "$OUT/preview.json" preview full-decode 4 preview djpeg 4 | tee -a "$OUT/preview.txt"

# A thousand small photos (copies of one 640 x 480 picture) and three rectangles.
DATA=$OUT/data
mkdir -p "$DATA/photos"
djpeg "$PHOTO" | convert - -resize 640x480 "$DATA/photos/p0.jpg" 2>/dev/null ||
  cp "$CORPUS_DIR/$(awk '$1 <= 2000 {print $NF; exit}' "$CORPUS_DIR/MANIFEST.txt")" "$DATA/photos/p0.jpg"
python3 - "$DATA" <<'PY'
import shutil, struct, sys
data = sys.argv[1]
with open(f"{data}/IMG.DAT", "wb") as f:
    for i in range(1000):
        path = f"{data}/photos/p{i}.jpg"
        if i: shutil.copyfile(f"{data}/photos/p0.jpg", path)
        raw = path.encode() + b"\0"
        f.write(raw + bytes(512 - len(raw)))
with open(f"{data}/RECT.DAT", "wb") as f:
    for unit, rect, colour in ((1, (10, 10, 300, 200), 0xFF), (0, (50, 10, 95, 60), 0xFF00),
                               (1, (320, 240, 640, 480), 0xFF0000)):
        rec = bytes([unit]) + bytes(7) + struct.pack("<dddd", *rect) + struct.pack("<I", colour)
        f.write(rec + bytes(264 - len(rec)))
PY
wait_idle
xvfb-run -a -s "-screen 0 1920x1200x24" "$HARNESS" --data "$DATA" --select 1,3 \
  --time-resize "$STEPS" 2>/dev/null | tee "$OUT/resize.txt"

BIG=$OUT/big
mkdir -p "$BIG"
python3 - "$BIG" "$PHOTO" <<'PY'
import os, sys
big, photo = sys.argv[1], sys.argv[2]
with open(f"{big}/IMG.DAT", "wb") as f:
    for i in range(5):
        path = f"{big}/photo{i}.jpg"
        os.link(photo, path)
        raw = path.encode() + b"\0"
        f.write(raw + bytes(512 - len(raw)))
PY
wait_idle
xvfb-run -a -s "-screen 0 1920x1200x24" "$HARNESS" --data "$BIG" --time-step 20 2>/dev/null |
  tee "$OUT/step.txt"
