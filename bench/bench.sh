#!/usr/bin/env bash
# Every benchmark of the scan and the cleaning, printed from one run:
#   - `velmora-cli scan --json` against `du -sb`, `gdu`, `ncdu` and the literal three-walk
#     scan, hot cache (a warm-up, then the median of several runs) and cold cache (page,
#     dentry and inode caches dropped before each run, where the system allows it), on
#     generated locations of 300k and 1M entries;
#   - the scan's wall time by thread count, hot and cold;
#   - peak memory (max RSS) of the scan on 1M entries;
#   - system calls per entry (strace -c -f);
#   - the whole-location cleaning against `rm -rf` of the same folders (bench_clean.sh);
#   - with SHARE_BENCH=1 (root, a few minutes more): the same on a slow share (bench_share.sh).
#
#   bench/bench.sh
#
# Environment (all optional):
#   BUILD_DIR    build directory with bin/velmora-cli, velmora-samples, velmora-reference-scan
#                (default: build; the three targets are built when missing)
#   BENCH_ROOT   where the locations are generated once and kept (default: /tmp/velmora-bench)
#   SIZES        entry counts of the locations (default: "300000 1000000")
#   RUNS         hot runs per measurement (default: 5); COLD_RUNS cold runs (default: 3;
#                COLD_RUNS_LARGE for locations above 300k entries, default: 1)
#   THREADS      thread counts of the sweep (default: "1 2 4 8 16")
#   CLEAN_ENTRIES, CLEAN_RUNS  size and runs of the cleaning benchmark (default: 100000, 3;
#                CLEAN_ENTRIES=0 leaves the cleaning out)
set -euo pipefail
cd "$(dirname "$0")/.."
REPO=$(pwd)
BUILD_DIR=${BUILD_DIR:-build}
BENCH_ROOT=${BENCH_ROOT:-/tmp/velmora-bench}
SIZES=${SIZES:-"300000 1000000"}
RUNS=${RUNS:-5}
COLD_RUNS=${COLD_RUNS:-3}
COLD_RUNS_LARGE=${COLD_RUNS_LARGE:-1}
THREADS=${THREADS:-"1 2 4 8 16"}
CLEAN_ENTRIES=${CLEAN_ENTRIES:-100000}
CLEAN_RUNS=${CLEAN_RUNS:-3}
BIN="$REPO/$BUILD_DIR/bin"
[ "${BUILD_DIR#/}" != "$BUILD_DIR" ] && BIN="$BUILD_DIR/bin"
CLI="$BIN/velmora-cli"
REF="$BIN/velmora-reference-scan"
SAMPLES="$BIN/velmora-samples"
BENCH_START=$(date +%s)

# --- tools only the benchmark needs --------------------------------------------------------
bench_tools=()
for pair in gdu:gdu ncdu:ncdu strace:strace /usr/bin/time:time; do
  command -v "${pair%%:*}" >/dev/null 2>&1 || bench_tools+=("${pair#*:}")
done
if [ ${#bench_tools[@]} -gt 0 ]; then
  echo "installing for the benchmark: ${bench_tools[*]}"
  SUDO=; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
    "${bench_tools[@]}" >/dev/null 2>&1; then
    $SUDO apt-get update -qq >/dev/null 2>&1 || true
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
      "${bench_tools[@]}" >/dev/null 2>&1 || echo "could not install ${bench_tools[*]}: those rows are skipped"
  fi
fi
have() { command -v "$1" >/dev/null 2>&1; }

# --- programs ------------------------------------------------------------------------------
if [ ! -x "$CLI" ] || [ ! -x "$REF" ] || [ ! -x "$SAMPLES" ]; then
  [ -f "$BUILD_DIR/CMakeCache.txt" ] ||
    cmake -S "$REPO" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$BUILD_DIR" --target velmora-cli velmora-samples velmora-reference-scan >/dev/null
fi

# --- the machine ---------------------------------------------------------------------------
mkdir -p "$BENCH_ROOT"
echo "== machine"
echo "cores (nproc):   $(nproc)"
echo "CPU:             $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "memory:          $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
echo "kernel:          $(uname -r)"
echo "file system:     $(df -T "$BENCH_ROOT" | awk 'NR == 2 { print $2 " on " $1 }')"
echo "load at start:   $(cut -d' ' -f1-3 /proc/loadavg)"
echo "tools:           $(du --version | head -1); gdu $(gdu --version 2>/dev/null | awk '/Version/ { print $2 }'); $(ncdu -v 2>/dev/null)"

COLD=yes
if ! (sync && echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null; then
  COLD=no
  echo "cold cache:      not permitted here (cannot write /proc/sys/vm/drop_caches); cold rows skipped"
fi

# --- timing helpers (milliseconds of wall time, stdout discarded) --------------------------
. bench/timing.sh # the working folder is the repository here
hot_ms() { # RUNS after one warm-up
  local n=$1; shift
  "$@" >/dev/null 2>&1 || true
  for _ in $(seq "$n"); do run_ms "$@"; done | median
}
cold_ms() {
  local n=$1; shift
  for _ in $(seq "$n"); do
    sync
    echo 3 >/proc/sys/vm/drop_caches
    run_ms "$@"
  done | median
}

# --- locations, generated once and reused --------------------------------------------------
location_for() { echo "$BENCH_ROOT/loc-$1"; }
for size in $SIZES; do
  loc=$(location_for "$size")
  want="entries=$size seed=$size libraries=$((size / 50000 + 4))"
  if [ ! -d "$loc" ] || [ "$(head -1 "$loc.stamp" 2>/dev/null)" != "$want" ]; then
    echo "generating $loc ($size entries, once) ..."
    rm -rf "$loc" "$loc.stamp"
    "$SAMPLES" --seed "$size" --entries "$size" --libraries $((size / 50000 + 4)) "$loc" >/dev/null
    { echo "$want"; find "$loc" -mindepth 1 | wc -l; } >"$loc.stamp"
  fi
done
entries_of() { sed -n 2p "$(location_for "$1").stamp"; }

declare -A RESULT
# Scans every tool on one location, hot or cold; fills RESULT[mode,size,tool].
scan_table() {
  local mode=$1 size=$2 loc
  loc=$(location_for "$size")
  local runs=$RUNS timer=hot_ms
  if [ "$mode" = cold ]; then
    runs=$COLD_RUNS
    timer=cold_ms
    # A cold 1M-entry run takes many seconds for every tool: one each keeps the whole
    # benchmark within its quarter hour.
    [ "$size" -gt 300000 ] && runs=$COLD_RUNS_LARGE
  fi
  RESULT[$mode,$size,velmora]=$($timer "$runs" "$CLI" scan --json "$loc")
  RESULT[$mode,$size,du]=$($timer "$runs" du -sb "$loc")
  have gdu && RESULT[$mode,$size,gdu]=$($timer "$runs" gdu -n -p -c -s -a "$loc")
  have ncdu && RESULT[$mode,$size,ncdu]=$($timer "$runs" ncdu -0 -o /dev/null "$loc")
  # The literal scan is slow: fewer runs of it.
  local refruns=$(((runs + 1) / 2))
  RESULT[$mode,$size,reference]=$($timer "$refruns" "$REF" "$loc")
  local ours=${RESULT[$mode,$size,velmora]}
  printf '%-6s %9s entries   %-24s %9s   %12s   %12s\n' "$mode" "$(entries_of "$size")" tool "ms" "ours/tool" "tool/ours"
  for tool in velmora du gdu ncdu reference; do
    local t=${RESULT[$mode,$size,$tool]:-}
    [ -n "$t" ] || continue
    local name=$tool
    case $tool in
    velmora) name="velmora-cli scan --json" ;;
    du) name="du -sb" ;;
    gdu) name="gdu -n -p -c -s -a" ;;
    ncdu) name="ncdu -0 -o /dev/null" ;;
    reference) name="literal three-walk scan" ;;
    esac
    printf '%-6s %9s           %-24s %9s   %12s   %12s\n' "" "" "$name" "$t" "$(ratio "$ours" "$t")" "$(ratio "$t" "$ours")"
  done
}

echo
echo "== same records with one worker and with the default workers on the benchmark locations"
for size in $SIZES; do
  loc=$(location_for "$size")
  strip_ids() { grep -v '"id": *"'; }
  a=$("$CLI" scan --json --threads 1 "$loc" | strip_ids | md5sum)
  b=$("$CLI" scan --json "$loc" | strip_ids | md5sum)
  libs=$("$CLI" scan --json "$loc" | grep -c '"displayName"')
  [ "$a" = "$b" ] && echo "$size: identical ($libs libraries)" || echo "$size: DIFFERENT"
done

echo
echo "== scan wall time, median ms (hot: $RUNS runs after a warm-up; cold: caches dropped before each run, $COLD_RUNS runs up to 300k entries, $COLD_RUNS_LARGE above; the literal scan gets half the runs)"
for size in $SIZES; do
  scan_table hot "$size"
  [ "$COLD" = yes ] && scan_table cold "$size"
done

echo
first=${SIZES%% *}
echo "== thread count, $(entries_of "$first") entries, median ms (velmora-cli scan --json --threads N)"
printf '%-8s %8s %8s\n' threads hot cold
for t in $THREADS; do
  h=$(hot_ms 3 "$CLI" scan --json --threads "$t" "$(location_for "$first")")
  c=-
  [ "$COLD" = yes ] && c=$(cold_ms 2 "$CLI" scan --json --threads "$t" "$(location_for "$first")")
  printf '%-8s %8s %8s\n' "$t" "$h" "$c"
done

echo
echo "== memory and system calls"
for size in $SIZES; do
  loc=$(location_for "$size")
  rss=$(/usr/bin/time -v "$CLI" scan --json "$loc" 2>&1 >/dev/null | awk -F: '/Maximum resident/ { gsub(/ /, "", $2); print $2 }')
  printf 'peak RSS of velmora-cli scan, %s entries: %.1f MiB\n' "$(entries_of "$size")" "$(echo "$rss / 1024" | bc -l)"
done
loc=$(location_for "$first")
for cmd in velmora du; do
  trace=$(mktemp)
  if [ $cmd = velmora ]; then
    strace -c -f -o "$trace" "$CLI" scan --json "$loc" >/dev/null 2>&1
  else
    strace -c -f -o "$trace" du -sb "$loc" >/dev/null 2>&1
  fi
  calls=$(awk '$NF == "total" { print $4 }' "$trace")
  detail=$(awk '$1 ~ /^[0-9.]+$/ && $NF != "total" && ($4 + 0) > 1000 { printf "%s %s, ", $NF, $4 }' "$trace")
  printf 'system calls per entry, %s: %s (%s calls: %s)\n' "$cmd" \
    "$(ratio "$calls" "$(entries_of "$first")")" "$calls" "${detail%, }"
  rm -f "$trace"
done

if [ "$CLEAN_ENTRIES" -gt 0 ]; then
  echo
  echo "== whole-location cleaning against rm -rf of the same folders ($CLEAN_ENTRIES entries)"
  WORK_DIR="$BENCH_ROOT/clean-work" "$REPO/bench/bench_clean.sh" "$BUILD_DIR" "$CLEAN_ENTRIES" "$CLEAN_RUNS"
fi

if [ "${SHARE_BENCH:-0}" = 1 ]; then
  echo
  echo "== on a share at 0, 1 and 5 ms per request, light and heavy (bench_share.sh)"
  BUILD_DIR="$BUILD_DIR" "$REPO/bench/bench_share.sh"
fi

echo
echo "== targets"
last=${SIZES##* }
h_ours=${RESULT[hot,$first,velmora]}
printf 'hot %s: ours / du -sb = %s (target <= 0.35); reference / ours = %s (target >= 4)\n' "$first" \
  "$(ratio "$h_ours" "${RESULT[hot,$first,du]}")" "$(ratio "${RESULT[hot,$first,reference]}" "$h_ours")"
[ "$COLD" = yes ] && printf 'cold %s: ours / du -sb = %s (target <= 0.5)\n' "$first" \
  "$(ratio "${RESULT[cold,$first,velmora]}" "${RESULT[cold,$first,du]}")"
if [ "$last" != "$first" ]; then
  printf 'hot %s / hot %s = %s for %s times the entries (target <= 3.6)\n' "$last" "$first" \
    "$(ratio "${RESULT[hot,$last,velmora]}" "$h_ours")" "$(ratio "$(entries_of "$last")" "$(entries_of "$first")")"
fi
echo "load at end: $(cut -d' ' -f1-3 /proc/loadavg); whole benchmark: $(($(date +%s) - BENCH_START)) s"
