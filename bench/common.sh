# Shared by thumbnails.sh, recompress.sh, batch.sh and exif-thumbnail.sh; the
# including script sets NAME (its result folder under bench/out/) and then
# sources this file with ". bench/common.sh" after "set -eu".
#
# What it gives:
#   - PRIORITY=1 (root only): the script starts again in a session of its own
#     whose scheduling group gets nice -20, as in lossless.sh. On a machine
#     that other people's builds keep busy, plain nice does not help: the
#     kernel shares the cores between sessions first.
#   - need CMD PKG: installs the Debian package PKG when CMD is missing.
#   - the release build (build-release, benchmark harnesses on) brought up to
#     date unless BUILD=0, and the corpus built when missing.
#   - OUT (emptied), LOG (busy.log), machine.txt with versions and load.
#   - wait_idle [SECONDS]: bench/wait-idle.sh with MAX_WAIT.
#   - peak_kb CMD...: maximum resident set size of one run (/usr/bin/time -v),
#     in kB; median_kb CMD...: the median of MEM_RUNS runs.
#
# Environment, as for lossless.sh:
#   PELMORA_CROP   default build-release/cli/pelmora-crop
#   THUMB_BENCH    default build-release/bench/pelmora-thumbnail-bench
#   RUNS           hyperfine runs per command (default 10)
#   MEM_RUNS       /usr/bin/time runs per memory figure, median kept (default 5)
#   START_WAIT     seconds to wait for a quiet machine at the start (default
#                  1800, 0 with PRIORITY=1)
#   MAX_WAIT       seconds to wait for one before each timed run (default 10,
#                  0 with PRIORITY=1)
#   PRIORITY       1: a session of its own at scheduling-group nice -20
#   OUT_DIR        results (default bench/out/$NAME; emptied first)

if [ "${PRIORITY:-0}" = 1 ] && [ -z "${PELMORA_BENCH_SESSION:-}" ]; then
  [ "$(id -u)" -eq 0 ] || { echo "$NAME: PRIORITY=1 needs root" >&2; exit 2; }
  export PELMORA_BENCH_SESSION=1
  exec setsid -w sh "$0" "$@"
fi
if [ -n "${PELMORA_BENCH_SESSION:-}" ]; then
  echo -20 >/proc/self/autogroup
  START_WAIT=${START_WAIT:-0}
  MAX_WAIT=${MAX_WAIT:-0}
fi

BENCH_DIR=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$BENCH_DIR/.." && pwd)
CORPUS_DIR=${CORPUS_DIR:-$BENCH_DIR/corpus}
OUT=${OUT_DIR:-$BENCH_DIR/out/$NAME}
RUNS=${RUNS:-10}
MEM_RUNS=${MEM_RUNS:-5}
PELMORA_CROP=${PELMORA_CROP:-$ROOT/build-release/cli/pelmora-crop}
THUMB_BENCH=${THUMB_BENCH:-$ROOT/build-release/bench/pelmora-thumbnail-bench}
START_WAIT=${START_WAIT:-1800}
export MAX_WAIT="${MAX_WAIT:-10}"

SUDO=
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
need() {
  if ! command -v "$1" >/dev/null 2>&1; then
    echo "$NAME: installing $2 for $1" >&2
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$2" >/dev/null
  fi
}
need hyperfine hyperfine
need python3 python3
[ -x /usr/bin/time ] || need /usr/bin/time time

if [ "${BUILD:-1}" = 1 ]; then
  cmake -S "$ROOT" -B "$ROOT/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DPELMORA_BUILD_TESTS=OFF -DPELMORA_BUILD_BENCH=ON >/dev/null
  if ! build_log=$(cmake --build "$ROOT/build-release" 2>&1); then
    echo "$build_log" >&2
    echo "$NAME: the release build failed" >&2
    exit 1
  fi
fi
[ -s "$CORPUS_DIR/MANIFEST.txt" ] || CORPUS_DIR=$CORPUS_DIR sh "$BENCH_DIR/make-corpus.sh"

rm -rf "$OUT"
mkdir -p "$OUT"
export LOG="$OUT/busy.log"
: >"$LOG"
COUNT=$(wc -l <"$CORPUS_DIR/MANIFEST.txt")
TOTAL_MB=$(awk '{s += $7} END {printf "%.1f", s / 1e6}' "$CORPUS_DIR/MANIFEST.txt")
TOTAL_MP=$(awk '{s += $1 * $2} END {printf "%.0f", s / 1e6}' "$CORPUS_DIR/MANIFEST.txt")
# shellcheck disable=SC2034 # used by the including script
WAIT_IDLE="sh '$BENCH_DIR/wait-idle.sh'"

# Versions, the tree, and the machine's state, for the record.
machine_info() {
  echo "date:      $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "cpu:       $(nproc) x $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
  echo "kernel:    $(uname -r)"
  echo "hyperfine: $(hyperfine --version)"
  echo "pelmora:   $("$PELMORA_CROP" --version), build-release of $(git -C "$ROOT" rev-parse --short HEAD)"
  changed=$(git -C "$ROOT" status --short -- . ':!bench' ':!docs' | wc -l)
  [ "$changed" -eq 0 ] || echo "           plus uncommitted changes to $changed files (git status at that time)"
  echo "corpus:    $COUNT photos, $TOTAL_MB MB, $TOTAL_MP megapixels"
  echo "load:      $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) at the start"
  echo "priority:  $([ -n "${PELMORA_BENCH_SESSION:-}" ] && echo "own session, $(cat /proc/self/autogroup)" || echo "as started")"
}

wait_idle() {
  MAX_WAIT=${1:-$MAX_WAIT} sh "$BENCH_DIR/wait-idle.sh"
}

# A run that fails prints "failed" instead, unless ALLOW_FAIL=1.
peak_kb() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -v allow="${ALLOW_FAIL:-0}" '
    /Maximum resident set size \(kbytes\):/ {kb = $NF}
    /Exit status:/ {status = $NF}
    END {print (status == 0 || allow == 1) ? kb : "failed"}'
}

# MEM_OUT, when set, is emptied before every run.
median_kb() {
  i=0
  while [ "$i" -lt "$MEM_RUNS" ]; do
    if [ -n "${MEM_OUT:-}" ]; then rm -rf "$MEM_OUT" && mkdir -p "$MEM_OUT"; fi
    peak_kb "$@"
    i=$((i + 1))
  done | sort -n | sed -n "$(((MEM_RUNS + 1) / 2))p"
}

busy_warning() {
  if [ -s "$LOG" ]; then
    echo "WARNING: some timed runs started on a busy machine:" >&2
    cat "$LOG" >&2
  fi
}
