# shellcheck shell=bash
# What else the machine did during a benchmark (sourced, not run): the load before and after,
# and the processor time that went to anything but the benchmark, so a run made while
# another program was busy says so. The benchmark's own time is its commands' (everything
# this shell waited for) plus what its share servers report: they run detached, so they
# write theirs into their counts line as cpu_ms=N, kept in one log.

# machine_load_start SERVER_LOG: remembers the start; the log gathers the servers' lines.
machine_load_start() {
  LOAD_SERVER_LOG=$1
  : >"$LOAD_SERVER_LOG"
  LOAD_AT_START=$(cut -d' ' -f1 /proc/loadavg)
  LOAD_START_NS=$(date +%s%N)
  LOAD_START_BUSY_MS=$(machine_busy_ms)
  children_cpu_ms
  LOAD_START_OURS_MS=$CHILDREN_MS
}

# Processor time all processors have spent working since boot, in milliseconds (user, nice,
# system, interrupts and time the hypervisor took).
machine_busy_ms() {
  awk -v hz="$(getconf CLK_TCK)" '/^cpu / { print int(($2 + $3 + $4 + $7 + $8 + $9) * 1000 / hz); exit }' /proc/stat
}

# Sets CHILDREN_MS: the processor time of every command this shell has waited for, in
# milliseconds. `times` runs in this shell itself: in a subshell or a pipe it would tell the
# subshell's.
children_cpu_ms() {
  times >"$LOAD_SERVER_LOG.times"
  CHILDREN_MS=$(awk 'NR == 2 {
    total = 0
    for (i = 1; i <= 2; i++) { split($i, p, /[ms]/); total += p[1] * 60000 + p[2] * 1000 }
    print int(total) }' "$LOAD_SERVER_LOG.times")
}

# machine_load_report LOAD_LIMIT OTHERS_LIMIT: prints the load and the others' share of the
# processors, with a warning when the load at the start was above LOAD_LIMIT or the others
# took more than OTHERS_LIMIT of the processors' time.
machine_load_report() {
  local load_limit=$1 others_limit=$2 wall_ms busy_ms ours_ms servers_ms others share
  wall_ms=$((($(date +%s%N) - LOAD_START_NS) / 1000000))
  busy_ms=$(($(machine_busy_ms) - LOAD_START_BUSY_MS))
  servers_ms=$(sed -n 's/.*cpu_ms=\([0-9]*\).*/\1/p' "$LOAD_SERVER_LOG" | awk '{ s += $1 } END { print s + 0 }')
  children_cpu_ms
  ours_ms=$((CHILDREN_MS - LOAD_START_OURS_MS + servers_ms))
  others=$((busy_ms > ours_ms ? busy_ms - ours_ms : 0))
  share=$(awk -v o="$others" -v w="$wall_ms" -v n="$(nproc)" 'BEGIN { printf "%.3f", o / (w * n) }')
  echo "load (1, 5, 15 min): at start $LOAD_AT_START, at end $(cut -d' ' -f1-3 /proc/loadavg) (the end counts the benchmark's own runs)"
  awk -v b="$busy_ms" -v w="$wall_ms" -v o="$ours_ms" -v n="$(nproc)" -v s="$share" 'BEGIN {
    printf "processor time: %.1f s used on %d cores in %.1f s, %.1f s of it by the benchmark and its share servers; others took %s of the machine\n", b / 1000, n, w / 1000, o / 1000, s }'
  if awk -v l="$LOAD_AT_START" -v m="$load_limit" 'BEGIN { exit !(l > m) }'; then
    echo "WARNING: the load was $LOAD_AT_START at the start (above $load_limit): other work was running, the times are not reliable"
  fi
  if awk -v s="$share" -v m="$others_limit" 'BEGIN { exit !(s > m) }'; then
    echo "WARNING: other programs took $share of the processors during the run (above $others_limit): the times are not reliable"
  fi
}
