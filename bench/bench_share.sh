#!/usr/bin/env bash
# The scan and the cleaning on a slow share, against du, gdu and rm -rf, in one run.
# The share is bench/latency-fs: a FUSE mirror of a generated location that answers every
# request a fixed latency after its work, serving many requests at once, with READDIRPLUS
# and attribute caching as the Linux NFS client has them. Two layers of it are measured: a
# light one, and a heavy one that also spends HEAVY_US of processor time on every request,
# as a real network file system's client does. Prints, for each layer:
#   - at 0, 1 and 5 ms per request: `velmora-cli scan --json` with its default threads and
#     with each fixed thread count of THREADS, run in turn on one mount (median of RUNS after
#     a warm-up), so the best fixed point and the default are measured under the same
#     conditions; `du -sb` and `gdu` (median of PEER_RUNS); each time also as a multiple of
#     the scan's floor, the fastest of our scans at zero latency;
#   - at CLEAN_LATENCY_MS: `velmora-cli clean --dry-run` against the scan (run in turn), and
#     a real `velmora-cli clean` against `rm -rf` of the same folders, each on a fresh copy
#     (median of CLEAN_RUNS and RM_RUNS), with the clean's floor: the removals in the largest
#     matched folder, which the kernel makes one after the other, plus the depth of the tree,
#     each a round trip;
# then how often the scan's progress line moves, the targets, and what else ran on the
# machine: the load before and after, the processor time taken by anything but the benchmark
# (its commands and the share's server), and a warning when either makes the run unreliable;
# for the clean also how late, on average, the share's answers went out on the busy machine.
#
#   bench/bench_share.sh          (as root: it mounts; installs gdu, fuse3, libfuse3-dev
#                                  when missing, and builds what it runs)
#
# Environment (all optional): BUILD_DIR (build), WORK (/tmp/velmora-share-bench: the location
# is generated there once and kept), ENTRIES (20000), LATENCIES ("0 1 5"), LAYERS ("light
# heavy"), HEAVY_US (25), THREADS ("8 16 32 64 128 256"), RUNS (9), PEER_RUNS (3),
# CLEAN_LATENCY_MS (1), CLEAN_RUNS (5), RM_RUNS (3), LOAD_WARN (0.5: the 1-minute load above
# which the start is too busy), OTHERS_WARN (0.05: the share of the machine's processor time
# others may take). On a virtual machine one run of a scan can take a fifth more or less than
# the next; the medians of 9 scans and 5 cleans move far less between runs of the script than
# those of 5 and 3 did.
set -euo pipefail
cd "$(dirname "$0")/.."
REPO=$(pwd)
BUILD_DIR=${BUILD_DIR:-build}
case $BUILD_DIR in /*) ;; *) BUILD_DIR=$REPO/$BUILD_DIR ;; esac
WORK=${WORK:-/tmp/velmora-share-bench}
ENTRIES=${ENTRIES:-20000}
LATENCIES=${LATENCIES:-"0 1 5"}
LAYERS=${LAYERS:-"light heavy"}
HEAVY_US=${HEAVY_US:-25}
THREADS=${THREADS:-"8 16 32 64 128 256"}
RUNS=${RUNS:-9}
PEER_RUNS=${PEER_RUNS:-3}
CLEAN_LATENCY_MS=${CLEAN_LATENCY_MS:-1}
CLEAN_RUNS=${CLEAN_RUNS:-5}
RM_RUNS=${RM_RUNS:-3}
LOAD_WARN=${LOAD_WARN:-0.5}
OTHERS_WARN=${OTHERS_WARN:-0.05}
BIN=$BUILD_DIR/bin
CLI=$BIN/velmora-cli
SHARE="$REPO/bench/share.sh"
export BUILD_DIR
START=$(date +%s)

[ "$(id -u)" -eq 0 ] || { echo "bench_share.sh: mounting the share needs root" >&2; exit 2; }

# --- tools only this benchmark needs ---------------------------------------------------------
missing=()
command -v gdu >/dev/null || missing+=(gdu)
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

. bench/timing.sh # the working folder is the repository here
. bench/machine_load.sh
machine_load_start "$WORK/share-stats.log"

echo "== machine"
echo "cores (nproc):   $(nproc)"
echo "CPU:             $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "kernel:          $(uname -r)"
echo "location:        $entries entries, $(find "$SRC" -mindepth 1 -type d | wc -l) directories, on $(df -T "$SRC" | awk 'NR == 2 { print $2 }')"
echo "share:           latency-fs, any number of requests waiting at once, READDIRPLUS, 10 s attribute cache;"
echo "                 light: nothing but the latency; heavy: also $HEAVY_US µs of processor time per request"
echo "tools:           $(du --version | head -1); gdu $(gdu --version 2>/dev/null | awk '/Version/ { print $2 }')"
echo "load at start:   $(cut -d' ' -f1-3 /proc/loadavg)"

# --- helpers -----------------------------------------------------------------------------------
total_requests() { sed -n 's/.*total=\([0-9]*\).*/\1/p'; }
# latency-fs options of a layer.
layer_options() { if [ "$1" = heavy ]; then echo "--work-us $HEAVY_US"; fi; }
LAYER=light
mount_share() { # SOURCE LATENCY
  # shellcheck disable=SC2046 # the layer's options are words
  "$SHARE" mount "$1" "$MNT" --latency-ms "$2" $(layer_options "$LAYER")
}
# Unmounts, keeps the server's counts for the processor-time account, and prints them.
unmount_share() { "$SHARE" unmount "$MNT" | tee -a "$WORK/share-stats.log"; }

# Mounts the location with LATENCY, runs a warm-up and RUNS timed runs of the command,
# unmounts. Sets MS (median) and REQ (requests per entry of one run).
MS=0
REQ=0
timed_on_share() {
  local latency=$1 runs=$2 total
  shift 2
  mount_share "$SRC" "$latency"
  "$@" >/dev/null 2>&1 || true
  MS=$(for _ in $(seq "$runs"); do run_ms "$@"; done | median)
  total=$(unmount_share | total_requests)
  REQ=$(awk -v t="$total" -v n="$entries" -v r="$((runs + 1))" 'BEGIN { printf "%.2f", t / r / n }')
}

# Runs commands on one mount of the location in turn: a warm-up of each, then RUNS rounds of
# one run of each, so a machine that gets faster or slower during the benchmark favours none
# of them. Sets TURN_MS[i] (median of command i) and REQ (requests per entry and run).
#   timed_in_turn LATENCY RUNS COMMAND_0... -- COMMAND_1... [-- ...]
declare -a TURN_MS
timed_in_turn() {
  local latency=$1 runs=$2 commands=() current="" i total
  shift 2
  # Each command is kept as one line of words separated by \x1f (paths may hold spaces).
  for word in "$@"; do
    if [ "$word" = -- ]; then commands+=("$current"); current=""; else current+="$word"$'\x1f'; fi
  done
  commands+=("$current")
  local n=${#commands[@]} times=()
  mount_share "$SRC" "$latency"
  for ((i = 0; i < n; i++)); do
    IFS=$'\x1f' read -r -a cmd <<<"${commands[i]}"
    "${cmd[@]}" >/dev/null 2>&1 || true
    times[i]=""
  done
  for _ in $(seq "$runs"); do
    for ((i = 0; i < n; i++)); do
      IFS=$'\x1f' read -r -a cmd <<<"${commands[i]}"
      times[i]+="$(run_ms "${cmd[@]}") "
    done
  done
  total=$(unmount_share | total_requests)
  TURN_MS=()
  for ((i = 0; i < n; i++)); do
    # shellcheck disable=SC2086 # the times are words
    TURN_MS[i]=$(printf '%s\n' ${times[i]} | median)
  done
  REQ=$(awk -v t="$total" -v n="$entries" -v r="$((n * (runs + 1)))" 'BEGIN { printf "%.2f", t / r / n }')
}

# Requests per entry of one run of the command on a fresh mount.
requests_of_one_run() {
  mount_share "$SRC" "$CLEAN_LATENCY_MS"
  "$@" >/dev/null 2>&1 || true
  unmount_share | total_requests | awk -v n="$entries" '{ printf "%.2f", $1 / n }'
}

declare -A T FLOOR
# Our scan (default and each fixed count, in turn), du and gdu at one latency on one layer.
scan_rows() {
  local latency=$1 args=() t best="" best_threads=""
  args=("$CLI" scan --json "$MNT")
  for t in $THREADS; do args+=(-- "$CLI" scan --json --threads "$t" "$MNT"); done
  timed_in_turn "$latency" "$RUNS" "${args[@]}"
  local req_ours=$REQ i=1
  T[$LAYER,$latency,default]=${TURN_MS[0]}
  for t in $THREADS; do
    T[$LAYER,$latency,$t]=${TURN_MS[i]}
    if [ -z "$best" ] || [ "${TURN_MS[i]}" -lt "$best" ]; then best=${TURN_MS[i]} best_threads=$t; fi
    i=$((i + 1))
  done
  T[$LAYER,$latency,best]=$best T[$LAYER,$latency,best_threads]=$best_threads
  if [ "$latency" = 0 ]; then
    local fastest=$best
    [ "${TURN_MS[0]}" -lt "$fastest" ] && fastest=${TURN_MS[0]}
    FLOOR[$LAYER]=$fastest
  fi
  timed_on_share "$latency" "$PEER_RUNS" du -sb "$MNT"
  T[$LAYER,$latency,du]=$MS
  local req_du=$REQ req_gdu=""
  if have gdu; then
    timed_on_share "$latency" "$PEER_RUNS" gdu -n -p -c -s -a "$MNT"
    T[$LAYER,$latency,gdu]=$MS req_gdu=$REQ
  fi
  local floor=${FLOOR[$LAYER]:-} ours=${T[$LAYER,$latency,default]}
  echo "-- $LAYER layer, $latency ms per request (scan floor: ${floor:-unknown} ms at 0 ms)"
  printf '%-38s %8s %9s %10s %11s %9s\n' command ms "× floor" "× best" "ours/tool" "req/entry"
  row() { # NAME MS REQ
    printf '%-38s %8s %9s %10s %11s %9s\n' "$1" "$2" "$([ -n "$floor" ] && ratio "$2" "$floor" || echo -)" \
      "$(ratio "$2" "$best")" "$(ratio "$ours" "$2")" "$3"
  }
  row "velmora-cli scan --json (default)" "$ours" "$req_ours"
  for t in $THREADS; do row "velmora-cli scan --json --threads $t" "${T[$LAYER,$latency,$t]}" ""; done
  row "du -sb" "${T[$LAYER,$latency,du]}" "$req_du"
  [ -n "$req_gdu" ] && row "gdu -n -p -c -s -a" "${T[$LAYER,$latency,gdu]}" "$req_gdu"
  echo "best fixed: $best_threads threads; default / best fixed = $(ratio "$ours" "$best")"
}

echo
echo "== same records through the share as from the location itself"
mount_share "$SRC" 1
strip() { grep -v '"id": *"' | sed "s|$1|LOC|"; }
a=$("$CLI" scan --json --threads 1 "$SRC" | strip "$SRC" | md5sum)
b=$("$CLI" scan --json "$MNT" | strip "$MNT" | md5sum)
libs=$("$CLI" scan --json "$MNT" | grep -c '"displayName"')
unmount_share >/dev/null
[ "$a" = "$b" ] && echo "identical ($libs libraries)" || echo "DIFFERENT"

# --- the clean's floor, from the tree ---------------------------------------------------------
# The folders a clean removes, from a dry run of the location itself, relative to it.
removed=$(clean_targets "$CLI" "$SRC" "$WORK/targets")
folders=$(wc -l <"$WORK/targets")
left_expected=$((entries + 1 - removed))
# Removals inside one folder wait for each other (the kernel holds the folder's lock for each
# one's round trip), and every level of the tree must be read before the level below it:
# the largest matched folder's entries, plus the depth of the deepest removed entry, in
# round trips.
largest_folder=0 deepest=0
while IFS= read -r path; do
  n=$(find "$SRC/$path" -type d -exec sh -c 'ls -A "$1" | wc -l' _ {} \; | sort -n | tail -1)
  d=$(($(find "$SRC/$path" -printf '%d\n' | sort -n | tail -1) + $(echo "$path" | tr -cd / | wc -c) + 1))
  [ "${n:-0}" -gt "$largest_folder" ] && largest_folder=$n
  [ "$d" -gt "$deepest" ] && deepest=$d
done <"$WORK/targets"
clean_floor_ms=$(((largest_folder + deepest) * CLEAN_LATENCY_MS))

# --- cleaning ---------------------------------------------------------------------------------
COPY=$WORK/copy
# One run on a fresh copy: copied beside the share, then mounted, timed, unmounted, checked.
# Leaves the share's requests in $WORK/requests, and in $WORK/cpu the processor time (ms) the
# command and the share's server spent.
clean_once() {
  rm -rf "$COPY"
  cp -a "$SRC" "$COPY"
  sync
  mount_share "$COPY" "$CLEAN_LATENCY_MS"
  local ms before stats
  children_cpu_ms
  before=$CHILDREN_MS
  ms=$(run_ms "$@")
  children_cpu_ms
  stats=$(unmount_share)
  echo "$stats" | total_requests >"$WORK/requests"
  echo "$stats" | sed -n 's/.*late_us=\([0-9]*\).*/\1/p' >"$WORK/late"
  echo "$((CHILDREN_MS - before)) $(echo "$stats" | sed -n 's/.*cpu_ms=\([0-9]*\).*/\1/p')" >"$WORK/cpu"
  local left
  left=$(find "$COPY" | wc -l)
  [ "$left" -eq "$left_expected" ] || { echo "$1 left $left entries, expected $left_expected" >&2; exit 1; }
  echo "$ms"
}
rm_targets() { (cd "$MNT" && tr '\n' '\0' <"$WORK/targets" | xargs -0 rm -rf --); }
per_entry() { awk -v t="$1" -v n="$entries" 'BEGIN { printf "%.2f", t / n }'; }
declare -A C
clean_rows() {
  timed_in_turn "$CLEAN_LATENCY_MS" $((2 * RUNS)) "$CLI" clean --dry-run "$MNT" -- "$CLI" scan --json "$MNT"
  C[$LAYER,dry]=${TURN_MS[0]} C[$LAYER,dry_scan]=${TURN_MS[1]}
  local dry_req clean_times=() rm_times=() clean_req=0 rm_req=0 clean_cpu=() clean_late=() i
  dry_req=$(requests_of_one_run "$CLI" clean --dry-run "$MNT")
  for ((i = 1; i <= CLEAN_RUNS; i++)); do
    clean_times+=("$(clean_once "$CLI" clean "$MNT")")
    clean_req=$(cat "$WORK/requests")
    read -r -a clean_cpu <"$WORK/cpu"
    clean_late+=("$(cat "$WORK/late")")
    ((i > RM_RUNS)) && continue
    rm_times+=("$(clean_once rm_targets)")
    rm_req=$(cat "$WORK/requests")
  done
  rm -rf "$COPY"
  C[$LAYER,clean]=$(printf '%s\n' "${clean_times[@]}" | median)
  C[$LAYER,rm]=$(printf '%s\n' "${rm_times[@]}" | median)
  echo "-- $LAYER layer, $CLEAN_LATENCY_MS ms per request"
  printf '%-36s %9s %16s %13s\n' command "ms" ratio "requests/entry"
  printf '%-36s %9s %16s %13s\n' "velmora-cli clean --dry-run" "${C[$LAYER,dry]}" \
    "$(ratio "${C[$LAYER,dry]}" "${C[$LAYER,dry_scan]}") × scan" "$dry_req"
  printf '%-36s %9s %16s %13s\n' "velmora-cli clean" "${C[$LAYER,clean]}" \
    "$(ratio "${C[$LAYER,clean]}" "$clean_floor_ms") × floor" "$(per_entry "$clean_req")"
  printf '%-36s %9s %16s %13s\n' "rm -rf of the same folders" "${C[$LAYER,rm]}" \
    "$(ratio "${C[$LAYER,rm]}" "$clean_floor_ms") × floor" "$(per_entry "$rm_req")"
  echo "clean / rm -rf = $(ratio "${C[$LAYER,clean]}" "${C[$LAYER,rm]}"); runs: clean ${clean_times[*]} ms; rm -rf ${rm_times[*]} ms"
  # The server runs on the same processors as the clean here, unlike a share's real server:
  # the work of both, spread over every core, is a second floor on this machine.
  local cpu_floor=$(((clean_cpu[0] + clean_cpu[1]) / $(nproc)))
  echo "processor time of one clean: velmora-cli ${clean_cpu[0]} ms, the share's server ${clean_cpu[1]} ms: on $(nproc) cores at least $cpu_floor ms; clean = $(ratio "${C[$LAYER,clean]}" "$cpu_floor") × that"
  # The floor counts each round trip at the latency asked for; a busy machine sends the
  # share's answers later than that.
  echo "the share's answers went out on average ${clean_late[*]} µs after they were due (each clean), on top of the $CLEAN_LATENCY_MS ms"
}

for LAYER in $LAYERS; do
  echo
  echo "== scan, $LAYER layer: median ms of $RUNS runs in turn after a warm-up (du and gdu: $PEER_RUNS runs)"
  for latency in $LATENCIES; do scan_rows "$latency"; done
  echo
  echo "== cleaning, $LAYER layer: dry run against the scan, real clean against rm -rf of the same folders"
  echo "$folders matched folders holding $removed entries; the largest folder holds $largest_folder entries and the deepest removed entry lies $deepest levels down: floor $clean_floor_ms ms"
  clean_rows
done

echo
echo "== progress line during a scan at $CLEAN_LATENCY_MS ms, light layer (longest pause between two new counts)"
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
LAYER=light
mount_share "$SRC" "$CLEAN_LATENCY_MS"
"$CLI" scan --json "$MNT" >/dev/null
echo "default threads: $(progress_gap "$CLI" scan --json "$MNT")"
echo "one thread:      $(progress_gap "$CLI" scan --json --threads 1 "$MNT")"
unmount_share >/dev/null

echo
echo "== targets (no --threads, no --jobs)"
target() { # TEXT VALUE LIMIT
  printf '%-52s = %5s (target <= %s)%s\n' "$1" "$2" "$3" \
    "$(awk -v v="$2" -v l="$3" 'BEGIN { if (v == "-" || v > l) print "  MISSED" }')"
}
for LAYER in $LAYERS; do
  for latency in $LATENCIES; do
    target "$LAYER, $latency ms: scan default / best fixed (${T[$LAYER,$latency,best_threads]})" \
      "$(ratio "${T[$LAYER,$latency,default]}" "${T[$LAYER,$latency,best]}")" 1.15
  done
  if [ "$LAYER" = light ] && [ -n "${T[light,1,du]:-}" ]; then
    target "light, 1 ms: scan / du -sb" "$(ratio "${T[light,1,default]}" "${T[light,1,du]}")" 0.07
    [ -n "${T[light,1,gdu]:-}" ] &&
      target "light, 1 ms: scan / gdu" "$(ratio "${T[light,1,default]}" "${T[light,1,gdu]}")" 0.3
  fi
  target "$LAYER, $CLEAN_LATENCY_MS ms: dry run / scan" "$(ratio "${C[$LAYER,dry]}" "${C[$LAYER,dry_scan]}")" 1.2
  target "$LAYER, $CLEAN_LATENCY_MS ms: clean / floor ($clean_floor_ms ms)" "$(ratio "${C[$LAYER,clean]}" "$clean_floor_ms")" 2
  target "$LAYER, $CLEAN_LATENCY_MS ms: clean / rm -rf" "$(ratio "${C[$LAYER,clean]}" "${C[$LAYER,rm]}")" 0.10
done

echo
machine_load_report "$LOAD_WARN" "$OTHERS_WARN"
echo "whole benchmark: $(($(date +%s) - START)) s"
