#!/bin/sh
# Lossless crop: pelmora-crop against jpegtran on the corpus of make-corpus.sh.
#
# Every photo is cut to its centre rectangle (half the width and height),
# given per photo as WxH+X+Y, which is what 25%,25%,75%,75% resolves to in
# pelmora-crop (bench/jpeg-header.py --centre computes it from the header).
# In one hyperfine run, side by side:
#   jpegtran         shell loop, one jpegtran -copy all -crop per photo
#   pelmora-each-j1  shell loop, one pelmora-crop -j 1 per photo
#   pelmora-all      one pelmora-crop over all photos, default jobs
#   pelmora-all-j1   one pelmora-crop over all photos, -j 1
# then the start cost of each program, the two per-photo loops again in
# alternating rounds, and peak memory (/usr/bin/time -v) on the largest photo. Before timing, the outputs of the three ways are
# compared: the same image data as jpegtran's (pelmora-crop may rewrite Exif
# and XMP), and the very same files from the pixel and percent rectangles.
#
# The machine may be shared with other people's builds. Before every timed
# run bench/wait-idle.sh waits (untimed, MAX_WAIT seconds at most) for the
# other work to pause, after a first wait of START_WAIT seconds at most; runs
# that had to start on a busy machine are listed in busy.log. Where the other
# work never pauses, PRIORITY=1 (root only) runs the whole benchmark in a
# session of its own whose scheduling group gets nice -20 (plain nice does
# not help: the kernel shares the cores between sessions first). CPU time
# (user + system) is reported beside wall time as the figure that sharing
# disturbs least.
#
# Environment:
#   PELMORA_CROP  default build-release/cli/pelmora-crop, brought up to date
#                 with cmake first unless BUILD=0
#   PELMORA_BUILT_FROM  what another PELMORA_CROP was built from, for the record
#   RUNS          hyperfine runs per command (default 10)
#   ROUNDS        interleaved rounds of the two per-photo loops (default 10)
#   MEM_RUNS      /usr/bin/time runs per memory figure, median kept (default 5)
#   START_WAIT    seconds to wait for a quiet machine at the start (default
#                 1800, 0 with PRIORITY=1)
#   MAX_WAIT      seconds to wait for one before each timed run (default 10,
#                 0 with PRIORITY=1)
#   PRIORITY      1: a session of its own at scheduling-group nice -20
#   OUT_DIR       results (default bench/out/lossless; emptied first)
set -eu

NAME=lossless
# shellcheck source=bench/common.sh
. "$(dirname "$0")/common.sh"
need jpegtran libjpeg-turbo-progs
RECTS=$OUT/rects.txt
python3 "$BENCH_DIR/jpeg-header.py" --centre "$CORPUS_DIR"/*.jpg >"$RECTS"
COUNT=$(wc -l <"$RECTS")
TOTAL_MB=$(awk '{s += $7} END {printf "%.1f", s / 1e6}' "$CORPUS_DIR/MANIFEST.txt")
PERCENT=25%,25%,75%,75%

{
  echo "date:      $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "cpu:       $(nproc) x $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
  echo "kernel:    $(uname -r)"
  echo "jpegtran:  $(jpegtran -version 2>&1 | head -n 1)"
  echo "hyperfine: $(hyperfine --version)"
  if [ "$PELMORA_CROP" = "$ROOT/build-release/cli/pelmora-crop" ]; then
    echo "pelmora:   $("$PELMORA_CROP" --version), build-release of $(git -C "$ROOT" rev-parse --short HEAD)"
    changed=$(git -C "$ROOT" status --short -- . ':!bench' ':!docs' | wc -l)
    [ "$changed" -eq 0 ] || echo "           plus uncommitted changes to $changed files (git status at that time)"
  else
    echo "pelmora:   $("$PELMORA_CROP" --version), $PELMORA_CROP (${PELMORA_BUILT_FROM:-source not recorded})"
  fi
  echo "corpus:    $COUNT photos, $TOTAL_MB MB"
  echo "priority:  $([ -n "${PELMORA_BENCH_SESSION:-}" ] && echo "own session, $(cat /proc/self/autogroup)" || echo "as started")"
} | tee "$OUT/machine.txt"

# --- the three ways must write the same image -------------------------------
# pelmora-crop rewrites Exif/XMP sizes and rebuilds an embedded thumbnail, so
# a file with such metadata differs from jpegtran's in its APPn segments only;
# tables, frame and scans must be equal.
for way in jpegtran each all; do mkdir -p "$OUT/check-$way"; done
sh "$BENCH_DIR/crop-loop.sh" jpegtran "$RECTS" "$OUT/check-jpegtran"
sh "$BENCH_DIR/crop-loop.sh" pelmora "$RECTS" "$OUT/check-each" "$PELMORA_CROP"
"$PELMORA_CROP" --quiet -o "$OUT/check-all" -r "$PERCENT" "$CORPUS_DIR"/*.jpg >/dev/null
identical=0
same_image=0
different=0
for file in "$OUT"/check-jpegtran/*.jpg; do
  name=${file##*/}
  for way in each all; do
    if [ ! -f "$OUT/check-$way/$name" ]; then
      verdict=missing
    else
      verdict=$(python3 "$BENCH_DIR/jpeg-header.py" --compare "$file" "$OUT/check-$way/$name")
    fi
    case $verdict in
      identical) identical=$((identical + 1)) ;;
      same-image) same_image=$((same_image + 1)) ;;
      *) different=$((different + 1)); echo "lossless: $name: pelmora ($way) $verdict from jpegtran" >&2 ;;
    esac
  done
done
# The pixel rectangle and the percent one must give the very same file.
apart=0
for file in "$OUT"/check-each/*.jpg; do
  if ! cmp -s "$file" "$OUT/check-all/${file##*/}"; then
    echo "lossless: ${file##*/}: the pixel and the percent rectangle give different files" >&2
    apart=$((apart + 1))
  fi
done
{
  echo "pelmora outputs vs jpegtran's: $identical identical, $same_image same image data with other metadata, $different different (of $((2 * COUNT)))"
  echo "per-photo pixel rectangle vs batch percent rectangle: $((COUNT - apart)) of $COUNT files equal"
} | tee "$OUT/check.txt"
rm -rf "$OUT"/check-*

# --- time ---------------------------------------------------------------------
CROP_OUT=$OUT/crops
WAIT_IDLE="sh '$BENCH_DIR/wait-idle.sh'"
export LOG="$OUT/busy.log"
: >"$LOG"
echo "lossless: waiting for a quiet machine (at most ${START_WAIT}s)" >&2
MAX_WAIT=$START_WAIT sh "$BENCH_DIR/wait-idle.sh"
hyperfine --warmup 1 --runs "$RUNS" \
  --prepare "$WAIT_IDLE && rm -rf '$CROP_OUT' && mkdir '$CROP_OUT'" \
  --export-json "$OUT/time.json" --export-markdown "$OUT/time.md" \
  -n jpegtran "sh '$BENCH_DIR/crop-loop.sh' jpegtran '$RECTS' '$CROP_OUT'" \
  -n pelmora-each-j1 "sh '$BENCH_DIR/crop-loop.sh' pelmora '$RECTS' '$CROP_OUT' '$PELMORA_CROP'" \
  -n pelmora-all "'$PELMORA_CROP' --quiet -o '$CROP_OUT' -r '$PERCENT' '$CORPUS_DIR'/*.jpg" \
  -n pelmora-all-j1 "'$PELMORA_CROP' -j 1 --quiet -o '$CROP_OUT' -r '$PERCENT' '$CORPUS_DIR'/*.jpg"

# Start cost alone: print the version and exit, no shell in between.
sh "$BENCH_DIR/wait-idle.sh"
hyperfine -N --warmup 20 --runs 200 \
  --export-json "$OUT/start.json" --export-markdown "$OUT/start.md" \
  -n jpegtran-version "jpegtran -version" \
  -n pelmora-version "$PELMORA_CROP --version"

# --- interleaved per-photo rounds -------------------------------------------
# Other work that comes and goes shifts hyperfine's figures for whichever
# command runs at the time. Here the two per-photo loops alternate (AB, BA,
# ...) so that each round compares them under nearly the same load; the
# summary takes the median of the per-round ratios.
ROUNDS=${ROUNDS:-10}
timed_loop() {
  rm -rf "$CROP_OUT" && mkdir "$CROP_OUT"
  sh "$BENCH_DIR/wait-idle.sh"
  /usr/bin/time -f '%e %U %S' sh "$BENCH_DIR/crop-loop.sh" "$@" 2>&1 >/dev/null | tail -n 1 \
    | awk '{printf "%s %.2f", $1, $2 + $3}'
}
: >"$OUT/interleaved.txt"
round=1
while [ "$round" -le "$ROUNDS" ]; do
  if [ $((round % 2)) -eq 1 ]; then
    jt=$(timed_loop jpegtran "$RECTS" "$CROP_OUT")
    pm=$(timed_loop pelmora "$RECTS" "$CROP_OUT" "$PELMORA_CROP")
  else
    pm=$(timed_loop pelmora "$RECTS" "$CROP_OUT" "$PELMORA_CROP")
    jt=$(timed_loop jpegtran "$RECTS" "$CROP_OUT")
  fi
  echo "$round $jt $pm" >>"$OUT/interleaved.txt"
  round=$((round + 1))
done

# --- peak memory ----------------------------------------------------------------
# The largest photo by size; MEM_RUNS runs each, the median is kept.
LARGEST=$(sort -k7,7n "$CORPUS_DIR/MANIFEST.txt" | tail -n 1 | cut -d' ' -f8-)
LARGEST_RECT=$(grep -F "/$LARGEST" "$RECTS" | head -n 1 | awk '{print $1 "x" $2 "+" $3 "+" $4}')
MEM_OUT=$OUT/mem
peak_kb() {
  rm -rf "$MEM_OUT" && mkdir "$MEM_OUT"
  /usr/bin/time -v "$@" 2>&1 >/dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p'
}
median_kb() {
  i=0
  while [ "$i" -lt "$MEM_RUNS" ]; do peak_kb "$@"; i=$((i + 1)); done \
    | sort -n | sed -n "$(((MEM_RUNS + 1) / 2))p"
}
JT_KB=$(median_kb jpegtran -copy all -crop "$LARGEST_RECT" -outfile "$MEM_OUT/$LARGEST" "$CORPUS_DIR/$LARGEST")
PM_KB=$(median_kb "$PELMORA_CROP" -j 1 --quiet -o "$MEM_OUT" -r "$LARGEST_RECT" "$CORPUS_DIR/$LARGEST")
JT_IDLE_KB=$(median_kb jpegtran -version)
PM_IDLE_KB=$(median_kb "$PELMORA_CROP" --version)
ALL_J1_KB=$(median_kb "$PELMORA_CROP" -j 1 --quiet -o "$MEM_OUT" -r "$PERCENT" "$CORPUS_DIR"/*.jpg)
ALL_KB=$(median_kb "$PELMORA_CROP" --quiet -o "$MEM_OUT" -r "$PERCENT" "$CORPUS_DIR"/*.jpg)
rm -rf "$MEM_OUT" "$CROP_OUT"
{
  echo "largest photo: $LARGEST, rectangle $LARGEST_RECT"
  echo "jpegtran peak RSS kB: $JT_KB"
  echo "pelmora-crop -j 1 peak RSS kB: $PM_KB"
  echo "start only (-version / --version) peak RSS kB: jpegtran $JT_IDLE_KB, pelmora-crop $PM_IDLE_KB"
  echo "pelmora-crop -j 1, all photos, peak RSS kB: $ALL_J1_KB"
  echo "pelmora-crop default jobs, all photos, peak RSS kB: $ALL_KB"
} | tee "$OUT/memory.txt"
if [ -s "$LOG" ]; then
  echo "WARNING: some timed runs started on a busy machine:" >&2
  cat "$LOG" >&2
fi

# --- ratios ---------------------------------------------------------------------
python3 "$BENCH_DIR/lossless-summary.py" "$OUT" | tee "$OUT/summary.txt"
