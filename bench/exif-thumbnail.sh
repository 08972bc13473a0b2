#!/bin/sh
# What rebuilding the Exif thumbnail adds to a lossless crop: pelmora-crop by
# default (a new thumbnail made from the crop) against --keep-exif-thumbnail
# (the old one copied), in one hyperfine run without a shell in between.
#
# The photo is made here, as a camera would write it: lomiri-picosdeeuropa
# (3264x2448) scaled by 10/8 with djpeg to 4080x3060 (12.5 MP), cjpeg
# -quality 92 -sample 2x2 (baseline 4:2:0), and an Exif block with the pixel
# dimensions and a 160x120 JPEG thumbnail in IFD1 (bench/exif-photo.py). It is
# cut by
#   centre   25%,25%,75%,75%  (a quarter of the picture)
#   trim     5%,5%,95%,95%    (most of it)
# each with -j 1, default and --keep-exif-thumbnail; jpegtran -copy all on the
# centre rectangle for scale. Also in the same run: one pelmora-crop process
# over every corpus photo that has an Exif thumbnail (1.8 to 4.9 MP; there the
# crop is small and the thumbnail weighs more), centre rectangle, both ways.
# Then callgrind instruction counts of the centre crop and of the corpus
# photos both ways (when valgrind is there), which the machine's load does
# not disturb. System time is the unsteady part here: how many fresh pages the
# coefficient buffers take depends on the allocator's state, which the order
# of the photos and every other allocation shift; user time and instructions
# are what the rebuild itself costs.
# Environment: see bench/common.sh; RUNS defaults to 40 here.
set -eu
NAME=exif-thumbnail
RUNS=${RUNS:-40}
# shellcheck source=bench/common.sh
. "$(dirname "$0")/common.sh"
need jpegtran libjpeg-turbo-progs
need cjpeg libjpeg-turbo-progs

# --- the 12.5 MP photo with an Exif thumbnail ------------------------------------
WORK=$OUT/work
mkdir -p "$WORK"
PHOTO=$WORK/exif12mp.jpg
djpeg -scale 10/8 -ppm -outfile "$WORK/big.ppm" "$CORPUS_DIR/lomiri-picosdeeuropa.jpg"
cjpeg -quality 92 -sample 2x2 -outfile "$WORK/plain.jpg" "$WORK/big.ppm"
djpeg -scale 1/8 -ppm -outfile "$WORK/small.ppm" "$WORK/plain.jpg"
python3 "$BENCH_DIR/exif-photo.py" shrink "$WORK/small.ppm" 160 120 "$WORK/thumb.ppm"
cjpeg -quality 85 -outfile "$WORK/thumb.jpg" "$WORK/thumb.ppm"
python3 "$BENCH_DIR/exif-photo.py" make "$WORK/plain.jpg" "$WORK/thumb.jpg" "$PHOTO"
rm -f "$WORK"/*.ppm "$WORK/plain.jpg" "$WORK/thumb.jpg"

# Corpus photos with an Exif thumbnail.
EXIF_LIST=$WORK/with-thumbnail.txt
for file in "$CORPUS_DIR"/*.jpg; do
  [ "$(python3 "$BENCH_DIR/exif-photo.py" thumbnail "$file")" = none ] || echo "$file"
done >"$EXIF_LIST"
EXIF_COUNT=$(wc -l <"$EXIF_LIST")
EXIF_FILES=$(tr '\n' ' ' <"$EXIF_LIST")

CENTRE=25%,25%,75%,75%
TRIM=5%,5%,95%,95%
# shellcheck disable=SC2046 # the fields are meant to split
set -- $(python3 "$BENCH_DIR/jpeg-header.py" --centre "$PHOTO")
CENTRE_PX=${1}x$2+$3+$4
{
  machine_info
  echo "jpegtran:  $(jpegtran -version 2>&1 | head -n 1)"
  echo "photo:     $(python3 "$BENCH_DIR/jpeg-header.py" "$PHOTO" | awk '{print $1 "x" $2 ", " $4 ", " $5 ", " $7 " bytes"}')"
  echo "thumbnail: $(python3 "$BENCH_DIR/exif-photo.py" thumbnail "$PHOTO" | cut -d' ' -f1-3) (width height bytes)"
  echo "corpus photos with an Exif thumbnail: $EXIF_COUNT"
} | tee "$OUT/machine.txt"

# --- what each way writes ------------------------------------------------------------
mkdir -p "$WORK/default" "$WORK/keep"
"$PELMORA_CROP" -j 1 --quiet -o "$WORK/default" -r "$CENTRE" "$PHOTO" >/dev/null
"$PELMORA_CROP" -j 1 --quiet --keep-exif-thumbnail -o "$WORK/keep" -r "$CENTRE" "$PHOTO" >/dev/null
{
  echo "source thumbnail:            $(python3 "$BENCH_DIR/exif-photo.py" thumbnail "$PHOTO")"
  echo "default, centre crop:        $(python3 "$BENCH_DIR/exif-photo.py" thumbnail "$WORK/default/exif12mp.jpg")"
  echo "--keep-exif-thumbnail:       $(python3 "$BENCH_DIR/exif-photo.py" thumbnail "$WORK/keep/exif12mp.jpg")"
  echo "image data default vs keep:  $(python3 "$BENCH_DIR/jpeg-header.py" --compare "$WORK/default/exif12mp.jpg" "$WORK/keep/exif12mp.jpg")"
} | tee "$OUT/check.txt"
rm -rf "$WORK/default" "$WORK/keep"

# --- time ---------------------------------------------------------------------------
CROP_OUT=$OUT/crops
echo "$NAME: waiting for a quiet machine (at most ${START_WAIT}s)" >&2
wait_idle "$START_WAIT"
crop="$PELMORA_CROP -j 1 --quiet -o $CROP_OUT"
# shellcheck disable=SC2086 # EXIF_FILES is meant to split
hyperfine -N --warmup 3 --runs "$RUNS" \
  --prepare "sh -c \"sh '$BENCH_DIR/wait-idle.sh' && rm -rf '$CROP_OUT' && mkdir '$CROP_OUT'\"" \
  --export-json "$OUT/time.json" --export-markdown "$OUT/time.md" \
  -n centre-default "$crop -r $CENTRE $PHOTO" \
  -n centre-keep "$crop --keep-exif-thumbnail -r $CENTRE $PHOTO" \
  -n trim-default "$crop -r $TRIM $PHOTO" \
  -n trim-keep "$crop --keep-exif-thumbnail -r $TRIM $PHOTO" \
  -n centre-jpegtran "jpegtran -copy all -crop $CENTRE_PX -outfile $CROP_OUT/jpegtran.jpg $PHOTO" \
  -n corpus-exif-default "$crop -r $CENTRE $EXIF_FILES" \
  -n corpus-exif-keep "$crop --keep-exif-thumbnail -r $CENTRE $EXIF_FILES"

# --- instructions -----------------------------------------------------------------------
if command -v valgrind >/dev/null 2>&1; then
  # instructions NAME OPTION FILE...: user-space instructions of one run.
  instructions() {
    name=$1 option=$2
    shift 2
    rm -rf "$CROP_OUT" && mkdir "$CROP_OUT"
    valgrind --tool=callgrind --callgrind-out-file="$OUT/callgrind.$name" "$PELMORA_CROP" -j 1 --quiet \
      -o "$CROP_OUT" ${option:+"$option"} -r "$CENTRE" "$@" 2>&1 >/dev/null \
      | sed -n 's/.*Collected : //p'
  }
  {
    echo "centre-default instructions: $(instructions centre-default '' "$PHOTO")"
    echo "centre-keep instructions: $(instructions centre-keep --keep-exif-thumbnail "$PHOTO")"
    # shellcheck disable=SC2086
    echo "corpus-exif-default instructions: $(instructions corpus-exif-default '' $EXIF_FILES)"
    # shellcheck disable=SC2086
    echo "corpus-exif-keep instructions: $(instructions corpus-exif-keep --keep-exif-thumbnail $EXIF_FILES)"
  } | tee "$OUT/instructions.txt"
  for name in centre-default corpus-exif-default; do
    callgrind_annotate --inclusive=yes "$OUT/callgrind.$name" 2>/dev/null | head -n 60 >"$OUT/callgrind-$name.txt" || true
  done
fi
rm -rf "$CROP_OUT" "$WORK/big.ppm"
busy_warning

# --- ratios ---------------------------------------------------------------------------
python3 - "$OUT" <<'EOF' | tee "$OUT/summary.md"
import json, sys
folder = sys.argv[1]
with open(folder + "/time.json") as f:
    r = {x["command"]: x for x in json.load(f)["results"]}
print("| command | mean (ms) | ± | median | min | user (ms) | system (ms) |")
print("|---|---:|---:|---:|---:|---:|---:|")
for name, x in r.items():
    print("| %s | %.1f | %.1f | %.1f | %.1f | %.1f | %.1f |" % (name, 1000 * x["mean"], 1000 * (x["stddev"] or 0),
          1000 * x["median"], 1000 * x["min"], 1000 * x["user"], 1000 * x["system"]))
print()
print("| rebuild vs keep | added (mean) | median | min | CPU | user | target | |")
print("|---|---:|---:|---:|---:|---:|---:|---|")
for case in ("centre", "trim", "corpus-exif"):
    d, k = r[case + "-default"], r[case + "-keep"]
    added = d["mean"] / k["mean"] - 1
    cpu = (d["user"] + d["system"]) / (k["user"] + k["system"]) - 1
    target = "≤ 10 %" if case == "centre" else ""
    verdict = ("met" if added <= 0.10 else "missed") if case == "centre" else ""
    print("| %s | %+.1f %% | %+.1f %% | %+.1f %% | %+.1f %% | %+.1f %% | %s | %s |" % (
        case, 100 * added, 100 * (d["median"] / k["median"] - 1), 100 * (d["min"] / k["min"] - 1),
        100 * cpu, 100 * (d["user"] / k["user"] - 1), target, verdict))
try:
    with open(folder + "/instructions.txt") as f:
        counts = {l.split(" instructions:")[0]: int(l.split(":")[1].replace(",", "")) for l in f}
    print()
    for case in ("centre", "corpus-exif"):
        print("instructions (callgrind), %s: default %d, keep %d, added %+.1f %%" % (
            case, counts[case + "-default"], counts[case + "-keep"],
            100 * (counts[case + "-default"] / counts[case + "-keep"] - 1)))
except (OSError, KeyError, ValueError):
    pass
EOF
