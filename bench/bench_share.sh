#!/usr/bin/env bash
# The scan and the cleaning on a slow share, against du, gdu, ncdu and rm -rf, in one run.
# The share is bench/latency-fs: a FUSE mirror of a generated location that answers every
# request after LATENCY_MS, serving many requests at once, with READDIRPLUS and attribute
# caching as the Linux NFS client has them. Prints:
#   - wall time of `velmora-cli scan --json` (default threads, and 8 threads, the old
#     default, run in turn) against `du -sb`, `gdu`, `ncdu`, median of RUNS after a warm-up,
#     with the ratios and the share's requests per entry, at LATENCY_MS and at zero latency;
#   - the scan's time by thread count;
#   - `velmora-cli clean --dry-run` against the scan (run in turn), and a real
#     `velmora-cli clean` against `rm -rf` of the same folders, each on a fresh copy, median
#     of CLEAN_RUNS;
#   - how often the scan's progress line moves (longest pause between two new counts).
#
#   bench/bench_share.sh          (as root: it mounts; installs gdu, ncdu, fuse3, libfuse3-dev
#                                  when missing, and builds what it runs)
#
# Environment (all optional): BUILD_DIR (build), WORK (/tmp/velmora-share-bench: the location
# is generated there once and kept), ENTRIES (20000), LATENCY_MS (1), RUNS (5), CLEAN_RUNS (3),
# THREADS ("1 8 16 32 64 128").
set -euo pipefail
cd "$(dirname "$0")/.."
REPO=$(pwd)
BUILD_DIR=${BUILD_DIR:-build}
case $BUILD_DIR in /*) ;; *) BUILD_DIR=$REPO/$BUILD_DIR ;; esac
WORK=${WORK:-/tmp/velmora-share-bench}
ENTRIES=${ENTRIES:-20000}
LATENCY_MS=${LATENCY_MS:-1}
RUNS=${RUNS:-5}
CLEAN_RUNS=${CLEAN_RUNS:-3}
THREADS=${THREADS:-"1 8 16 32 64 128"}
BIN=$BUILD_DIR/bin
CLI=$BIN/velmora-cli
SHARE="$REPO/bench/share.sh"
export BUILD_DIR
START=$(date +%s)

[ "$(id -u)" -eq 0 ] || { echo "bench_share.sh: mounting the share needs root" >&2; exit 2; }

# --- tools only this benchmark needs ---------------------------------------------------------
missing=()
command -v gdu >/dev/null || missing+=(gdu)
command -v ncdu >/dev/null || missing+=(ncdu)
command -v fusermount3 >/dev/null || missing+=(fuse3)
pkg-config --exists fuse3 2>/dev/null || missing+=(libfuse3-dev)
command -v python3 >/dev/null || missing+=(python3)
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing for the benchmark: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1 ||
    { apt-get update -qq >/dev/null && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; }
fi
have() { command -v "$1" >/dev/null 2>&1; }

# --- programs: configured again when libfuse3 arrived after the first configure -------------
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ] || ! grep -q '^FUSE3_FOUND:INTERNAL=1' "$BUILD_DIR/CMakeCache.txt"; then
  cmake -S "$REPO" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD_DIR" --target velmora-cli velmora-samples latency-fs >/dev/null

# --- the location, generated once --------------------------------------------------------------
SRC=$WORK/location
MNT=$WORK/mnt
mkdir -p "$WORK" "$MNT"
want="entries=$ENTRIES seed=15 libraries=4"
if [ ! -d "$SRC" ] || [ "$(head -1 "$SRC.stamp" 2>/dev/null)" != "$want" ]; then
  echo "generating $SRC ($ENTRIES entries, once) ..."
  rm -rf "$SRC" "$SRC.stamp"
  "$BIN/velmora-samples" --seed 15 --entries "$ENTRIES" --libraries 4 "$SRC" >/dev/null
  { echo "$want"; find "$SRC" -mindepth 1 | wc -l; } >"$SRC.stamp"
fi
entries=$(sed -n 2p "$SRC.stamp")

# Whatever happens, nothing stays mounted.
unmount_quietly() { mountpoint -q "$MNT" && "$SHARE" unmount "$MNT" >/dev/null 2>&1 || true; }
trap unmount_quietly EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
unmount_quietly

echo "== machine"
echo "cores (nproc):   $(nproc)"
echo "CPU:             $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "kernel:          $(uname -r)"
echo "location:        $entries entries, $(find "$SRC" -mindepth 1 -type d | wc -l) directories, on $(df -T "$SRC" | awk 'NR == 2 { print $2 }')"
echo "share:           latency-fs, $LATENCY_MS ms per request, any number of requests waiting at once, READDIRPLUS, 10 s attribute cache"
echo "tools:           $(du --version | head -1); gdu $(gdu --version 2>/dev/null | awk '/Version/ { print $2 }'); $(ncdu -v 2>/dev/null)"
echo "load at start:   $(cut -d' ' -f1-3 /proc/loadavg)"

# --- helpers -----------------------------------------------------------------------------------
. bench/timing.sh # the working folder is the repository here
total_requests() { sed -n 's/.*total=\([0-9]*\).*/\1/p'; }

# Mounts SOURCE with LATENCY, runs a warm-up and RUNS timed runs of the command, unmounts.
# Sets MS (median) and REQ (requests per entry of one run).
MS=0
REQ=0
timed_on_share() {
  local source=$1 latency=$2 runs=$3
  shift 3
  "$SHARE" mount "$source" "$MNT" --latency-ms "$latency"
  "$@" >/dev/null 2>&1 || true
  MS=$(for _ in $(seq "$runs"); do run_ms "$@"; done | median)
  local total
  total=$("$SHARE" unmount "$MNT" | total_requests)
  REQ=$(awk -v t="$total" -v n="$entries" -v r="$((runs + 1))" 'BEGIN { printf "%.2f", t / r / n }')
}

# Runs two commands on one mount of the location in turn, a warm-up of each and then RUNS
# timed runs of each, so a machine that gets faster or slower during the benchmark favours
# neither: what they are compared for is their ratio. Sets MS_A and MS_B (medians) and REQ
# (requests per entry and run of both together).
#   timed_in_turn LATENCY RUNS COMMAND_A... -- COMMAND_B...
MS_A=0
MS_B=0
timed_in_turn() {
  local latency=$1 runs=$2 a=() b=() times_a="" times_b="" total
  shift 2
  while [ "$1" != -- ]; do a+=("$1"); shift; done
  shift
  b=("$@")
  "$SHARE" mount "$SRC" "$MNT" --latency-ms "$latency"
  "${a[@]}" >/dev/null 2>&1 || true
  "${b[@]}" >/dev/null 2>&1 || true
  for _ in $(seq "$runs"); do
    times_a+="$(run_ms "${a[@]}") "
    times_b+="$(run_ms "${b[@]}") "
  done
  total=$("$SHARE" unmount "$MNT" | total_requests)
  MS_A=$(printf '%s\n' $times_a | median)
  MS_B=$(printf '%s\n' $times_b | median)
  REQ=$(awk -v t="$total" -v n="$entries" -v r="$((2 * (runs + 1)))" 'BEGIN { printf "%.2f", t / r / n }')
}

# Requests per entry of one run of the command on a fresh mount.
requests_of_one_run() {
  "$SHARE" mount "$SRC" "$MNT" --latency-ms "$LATENCY_MS"
  "$@" >/dev/null 2>&1 || true
  "$SHARE" unmount "$MNT" | total_requests | awk -v n="$entries" '{ printf "%.2f", $1 / n }'
}

declare -A T R
scan_rows() {
  local latency=$1
  # In turn, and more often where a run is short: their ratio decides whether the default
  # costs anything on a share that answers at once. Both are the same walk.
  timed_in_turn "$latency" $((latency == 0 ? 5 * RUNS : 2 * RUNS)) \
    "$CLI" scan --json "$MNT" -- "$CLI" scan --json --threads 8 "$MNT"
  T[$latency,velmora]=$MS_A T[$latency,velmora8]=$MS_B
  R[$latency,velmora]=$REQ R[$latency,velmora8]=$REQ
  timed_on_share "$SRC" "$latency" "$RUNS" du -sb "$MNT"
  T[$latency,du]=$MS R[$latency,du]=$REQ
  if have gdu; then
    timed_on_share "$SRC" "$latency" "$RUNS" gdu -n -p -c -s -a "$MNT"
    T[$latency,gdu]=$MS R[$latency,gdu]=$REQ
  fi
  if have ncdu; then
    timed_on_share "$SRC" "$latency" "$RUNS" ncdu -0 -o /dev/null "$MNT"
    T[$latency,ncdu]=$MS R[$latency,ncdu]=$REQ
  fi
  local ours=${T[$latency,velmora]}
  printf '%-9s %-34s %9s %11s %11s %13s\n' latency command "ms" "ours/tool" "tool/ours" "requests/entry"
  for tool in velmora velmora8 du gdu ncdu; do
    [ -n "${T[$latency,$tool]:-}" ] || continue
    local name=$tool
    case $tool in
    velmora) name="velmora-cli scan --json" ;;
    velmora8) name="velmora-cli scan --json --threads 8" ;;
    du) name="du -sb" ;;
    gdu) name="gdu -n -p -c -s -a" ;;
    ncdu) name="ncdu -0 -o /dev/null" ;;
    esac
    printf '%-9s %-34s %9s %11s %11s %13s\n' "$latency ms" "$name" "${T[$latency,$tool]}" \
      "$(ratio "$ours" "${T[$latency,$tool]}")" "$(ratio "${T[$latency,$tool]}" "$ours")" "${R[$latency,$tool]}"
  done
}

echo
echo "== same records through the share as from the location itself"
"$SHARE" mount "$SRC" "$MNT" --latency-ms "$LATENCY_MS"
strip() { grep -v '"id": *"' | sed "s|$1|LOC|"; }
a=$("$CLI" scan --json --threads 1 "$SRC" | strip "$SRC" | md5sum)
b=$("$CLI" scan --json "$MNT" | strip "$MNT" | md5sum)
libs=$("$CLI" scan --json "$MNT" | grep -c '"displayName"')
"$SHARE" unmount "$MNT" >/dev/null
[ "$a" = "$b" ] && echo "identical ($libs libraries)" || echo "DIFFERENT"

echo
echo "== scan, median ms of $RUNS runs after a warm-up (our two in turn, $((2 * RUNS)) runs each, $((5 * RUNS)) at 0 ms); requests/entry: requests the share served per entry and run"
scan_rows "$LATENCY_MS"
scan_rows 0

echo
echo "== scan by thread count at $LATENCY_MS ms, median ms of $RUNS runs (velmora-cli scan --json --threads N)"
"$SHARE" mount "$SRC" "$MNT" --latency-ms "$LATENCY_MS"
"$CLI" scan --json "$MNT" >/dev/null
printf '%-8s %8s %12s\n' threads ms "vs du -sb"
for t in $THREADS; do
  ms=$(for _ in $(seq "$RUNS"); do run_ms "$CLI" scan --json --threads "$t" "$MNT"; done | median)
  printf '%-8s %8s %12s\n' "$t" "$ms" "$(ratio "$ms" "${T[$LATENCY_MS,du]}")"
done

echo
echo "== progress line during a scan at $LATENCY_MS ms (longest pause between two new counts)"
progress_gap() { # the CLI draws its progress line only on a terminal: give it one
  python3 - "$@" <<'PY'
import os, pty, re, sys, time
pid, fd = pty.fork()
if pid == 0:
    os.dup2(os.open(os.devnull, os.O_WRONLY), 1)
    os.execv(sys.argv[1], sys.argv[1:])
start = time.monotonic(); last_count = None; last_change = start; gap = 0.0; changes = 0; buf = b""
while True:
    try:
        data = os.read(fd, 4096)
    except OSError:
        break
    if not data:
        break
    buf += data
    # Each redraw: clear the line, then the text; its first number is the entries read.
    for m in re.finditer(rb"\x1b\[K[^0-9\r]*([0-9,]+)", buf):
        count = m.group(1)
        if count != last_count:
            t = time.monotonic()
            if last_count is not None:
                gap = max(gap, t - last_change)
                changes += 1
            last_count, last_change = count, t
    buf = buf[-64:]
os.waitpid(pid, 0)
total = time.monotonic() - start
print(f"{total * 1000:.0f} ms scan, {changes} new counts, longest pause {gap * 1000:.0f} ms")
PY
}
echo "default threads: $(progress_gap "$CLI" scan --json "$MNT")"
echo "one thread:      $(progress_gap "$CLI" scan --json --threads 1 "$MNT")"
"$SHARE" unmount "$MNT" >/dev/null

echo
echo "== cleaning at $LATENCY_MS ms: dry run against the scan, real clean against rm -rf of the same folders"
# The folders a clean removes, from a dry run of the location itself, relative to it.
removed=$(clean_targets "$CLI" "$SRC" "$WORK/targets")
folders=$(wc -l <"$WORK/targets")
left_expected=$((entries + 1 - removed))
echo "$folders matched folders holding $removed entries"

# The dry run in turn with the scan it is compared with.
timed_in_turn "$LATENCY_MS" $((2 * RUNS)) "$CLI" clean --dry-run "$MNT" -- "$CLI" scan --json "$MNT"
dry_ms=$MS_A dry_scan_ms=$MS_B
dry_req=$(requests_of_one_run "$CLI" clean --dry-run "$MNT")

COPY=$WORK/copy
# One run on a fresh copy: copied beside the share, then mounted, timed, unmounted, checked.
clean_once() {
  rm -rf "$COPY"
  cp -a "$SRC" "$COPY"
  sync
  "$SHARE" mount "$COPY" "$MNT" --latency-ms "$LATENCY_MS"
  local ms
  ms=$(run_ms "$@")
  "$SHARE" unmount "$MNT" | total_requests >"$WORK/requests"
  local left
  left=$(find "$COPY" | wc -l)
  [ "$left" -eq "$left_expected" ] || { echo "$1 left $left entries, expected $left_expected" >&2; exit 1; }
  echo "$ms"
}
rm_targets() { (cd "$MNT" && tr '\n' '\0' <"$WORK/targets" | xargs -0 rm -rf --); }
clean_times=() rm_times=() clean_req=0 rm_req=0
for ((i = 1; i <= CLEAN_RUNS; i++)); do
  clean_times+=("$(clean_once "$CLI" clean "$MNT")")
  clean_req=$(cat "$WORK/requests")
  rm_times+=("$(clean_once rm_targets)")
  rm_req=$(cat "$WORK/requests")
done
rm -rf "$COPY"
clean_ms=$(printf '%s\n' "${clean_times[@]}" | median)
rm_ms=$(printf '%s\n' "${rm_times[@]}" | median)
per_entry() { awk -v t="$1" -v n="$entries" 'BEGIN { printf "%.2f", t / n }'; }
printf '%-36s %9s %11s %13s\n' command "ms" ratio "requests/entry"
printf '%-36s %9s %11s %13s\n' "velmora-cli clean --dry-run" "$dry_ms" "$(ratio "$dry_ms" "$dry_scan_ms") × scan" "$dry_req"
printf '%-36s %9s %11s %13s\n' "velmora-cli clean" "$clean_ms" "$(ratio "$clean_ms" "$rm_ms") × rm" "$(per_entry "$clean_req")"
printf '%-36s %9s %11s %13s\n' "rm -rf of the same folders" "$rm_ms" "" "$(per_entry "$rm_req")"
echo "runs: clean ${clean_times[*]} ms; rm -rf ${rm_times[*]} ms"

echo
echo "== targets at $LATENCY_MS ms (no --threads, no --jobs)"
v=${T[$LATENCY_MS,velmora]}
printf 'scan / du -sb           = %s (target <= 0.07)\n' "$(ratio "$v" "${T[$LATENCY_MS,du]}")"
[ -n "${T[$LATENCY_MS,gdu]:-}" ] && printf 'scan / gdu               = %s (target <= 0.3)\n' "$(ratio "$v" "${T[$LATENCY_MS,gdu]}")"
printf 'dry run / scan          = %s (target <= 1.2)\n' "$(ratio "$dry_ms" "$dry_scan_ms")"
printf 'clean / rm -rf          = %s (target <= 0.10)\n' "$(ratio "$clean_ms" "$rm_ms")"
printf 'scan at 0 ms, default / 8 threads = %s (target <= 1, beyond noise)\n' "$(ratio "${T[0,velmora]}" "${T[0,velmora8]}")"
echo "load at end: $(cut -d' ' -f1-3 /proc/loadavg); whole benchmark: $(($(date +%s) - START)) s"
