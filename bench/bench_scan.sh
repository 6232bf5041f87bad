#!/usr/bin/env bash
# Wall time of `velmora-cli scan --json` against `du -sb` on the same generated location,
# hot cache, median of several runs, and their ratio.
#
#   bench/bench_scan.sh [RUNS]
#
# Environment: BUILD_DIR (default: build), BENCH_DIR (where the location is generated,
# default: /tmp/velmora-bench-300k), ENTRIES (default 300000), THREADS (default 1).
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${1:-7}
BUILD_DIR=${BUILD_DIR:-build}
BENCH_DIR=${BENCH_DIR:-/tmp/velmora-bench-300k}
ENTRIES=${ENTRIES:-300000}
THREADS=${THREADS:-1}
BIN="$BUILD_DIR/bin"

for program in velmora-cli velmora-samples; do
  if [ ! -x "$BIN/$program" ]; then
    echo "bench_scan: $BIN/$program is missing; build first (scripts/build.sh)" >&2
    exit 1
  fi
done

# The location is made once per size and seed and reused afterwards.
STAMP="$BENCH_DIR.stamp"
WANT="entries=$ENTRIES seed=300 libraries=6"
if [ ! -d "$BENCH_DIR" ] || [ "$(cat "$STAMP" 2>/dev/null)" != "$WANT" ]; then
  rm -rf "$BENCH_DIR" "$STAMP"
  "$BIN/velmora-samples" --seed 300 --entries "$ENTRIES" --libraries 6 "$BENCH_DIR"
  echo "$WANT" > "$STAMP"
fi

# Runs a command RUNS times (after one warm-up run) and prints the median wall time in ms.
median_ms() {
  "$@" > /dev/null
  local times=()
  for _ in $(seq "$RUNS"); do
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END {
    if (NR % 2) m = a[(NR + 1) / 2]; else m = (a[NR / 2] + a[NR / 2 + 1]) / 2;
    printf "%.1f\n", m / 1000 }'
}

entries=$(find "$BENCH_DIR" -mindepth 1 | wc -l)
scan_ms=$(median_ms "$BIN/velmora-cli" scan --json --threads "$THREADS" "$BENCH_DIR")
du_ms=$(median_ms du -sb "$BENCH_DIR")
echo "location:          $BENCH_DIR ($entries entries)"
echo "velmora-cli scan:  $scan_ms ms (median of $RUNS, threads $THREADS)"
echo "du -sb:            $du_ms ms (median of $RUNS)"
awk -v s="$scan_ms" -v d="$du_ms" 'BEGIN { printf "ratio scan / du:   %.2f\n", s / d }'
