#!/bin/sh
# Waits until the machine is quiet: at least IDLE_PERCENT (default 95) of all
# cores idle over a SAMPLE-second window (default 0.5). Gives up after
# MAX_WAIT seconds (default 600) and then appends a line to LOG (if set), so
# a run that had to start on a busy machine is on record.
# Other people's builds on a shared 2-core machine would otherwise land in
# the middle of a timing run.
set -eu
IDLE_PERCENT=${IDLE_PERCENT:-95}
SAMPLE=${SAMPLE:-0.5}
MAX_WAIT=${MAX_WAIT:-600}
LOG=${LOG:-}

# Prints "busy total" jiffies since boot, summed over all cores.
counters() {
  awk '/^cpu / {total = 0; for (i = 2; i <= NF; i++) total += $i; print total - $5 - $6, total}' /proc/stat
}

start=$(date +%s)
while :; do
  set -- $(counters)
  busy0=$1 total0=$2
  sleep "$SAMPLE"
  set -- $(counters)
  busy=$(($1 - busy0))
  total=$(($2 - total0))
  if [ "$total" -gt 0 ] && [ $((100 * (total - busy))) -ge $((IDLE_PERCENT * total)) ]; then
    exit 0
  fi
  if [ $(($(date +%s) - start)) -ge "$MAX_WAIT" ]; then
    [ -z "$LOG" ] || echo "$(date -u '+%H:%M:%S') still busy after ${MAX_WAIT}s ($((100 * busy / total))% of all cores); run started anyway" >>"$LOG"
    exit 0
  fi
  sleep 1
done
