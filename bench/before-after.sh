#!/bin/sh
# Two builds side by side in one hyperfine run, for a change that must not
# make anything slower (a refactoring): the batch of batch.sh (every corpus
# photo x 3 rectangles, lossless and re-compressed, default jobs and -j 1)
# and the thumbnails of thumbnails.sh (one thread, and all cores through
# the collection), each command of BEFORE next to the same one of AFTER.
#
#   sh bench/before-after.sh BEFORE_BUILD AFTER_BUILD
#
# Both builds need the benchmark harnesses (-DPELMORA_BUILD_BENCH=ON); a
# release build is what users run. The outputs of the two are compared
# first: the same files, byte for byte. Environment: see bench/common.sh
# (BUILD=0 is implied: the builds are given); RUNS defaults to 5 here.
set -eu
NAME="before-after"
RUNS=${RUNS:-5}
BUILD=0
[ $# -eq 2 ] || { echo "usage: $0 BEFORE_BUILD AFTER_BUILD" >&2; exit 2; }
BEFORE=$(cd "$1" && pwd)
AFTER=$(cd "$2" && pwd)
# shellcheck source=bench/common.sh
. "$(dirname "$0")/common.sh"

RECT_ARGS="-r 0%,0%,50%,50% -r 25%,25%,75%,75% -r 50%,50%,100%,100%"
JOBS=$(nproc)
for side in before after; do
  case $side in before) build=$BEFORE ;; *) build=$AFTER ;; esac
  for mode in lossless recompress; do
    mkdir -p "$OUT/check-$side-$mode"
    "$build/cli/pelmora-crop" --quiet -m "$mode" -q 90 -o "$OUT/check-$side-$mode" \
      $RECT_ARGS "$CORPUS_DIR"/*.jpg >/dev/null
  done
done
for mode in lossless recompress; do
  if ! diff -r "$OUT/check-before-$mode" "$OUT/check-after-$mode" >/dev/null; then
    echo "$NAME: the two builds write different $mode crops" >&2
    exit 1
  fi
done
echo "$NAME: both builds write the same $(find "$OUT/check-after-lossless" -type f | wc -l) crops per mode"

CROP_OUT=$OUT/crops
all="'$CORPUS_DIR'/*.jpg"
set --
for side in before after; do
  case $side in before) build=$BEFORE ;; *) build=$AFTER ;; esac
  crop="'$build/cli/pelmora-crop' --quiet -o '$CROP_OUT' $RECT_ARGS"
  thumbs="'$build/bench/pelmora-thumbnail-bench'"
  set -- "$@" \
    -n "lossless-$side" "$crop $all" \
    -n "lossless-j1-$side" "$crop -j 1 $all" \
    -n "recompress-$side" "$crop -m recompress -q 90 $all" \
    -n "thumbnails-seq-$side" "$thumbs $all" \
    -n "thumbnails-jobs-$side" "$thumbs --jobs $JOBS '$CORPUS_DIR'"
done
wait_idle
hyperfine --warmup 1 --runs "$RUNS" --prepare "rm -rf '$CROP_OUT' && mkdir '$CROP_OUT'" \
  --export-json "$OUT/hyperfine.json" "$@" | tee "$OUT/hyperfine.txt"

python3 - "$OUT/hyperfine.json" <<'EOF'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
print("\n| command | before (s) | after (s) | after / before |")
print("|---|---:|---:|---:|")
for name in ("lossless", "lossless-j1", "recompress", "thumbnails-seq", "thumbnails-jobs"):
    before, after = results[name + "-before"]["mean"], results[name + "-after"]["mean"]
    print(f"| {name} | {before:.3f} | {after:.3f} | {after / before:.3f} |")
EOF
