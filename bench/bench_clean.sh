#!/usr/bin/env bash
# Wall time of removing the four kinds of regenerable data from a generated location with
# `velmora-cli clean`, against `rm -rf` of exactly the same folders. Every run works on a
# fresh copy of one generated location, so both sides remove the same entries from the same
# tree with a warm cache.
#
# Usage: bench/bench_clean.sh [BUILD_DIR] [ENTRIES] [RUNS]
#   BUILD_DIR  build directory holding bin/velmora-cli and bin/velmora-samples (default: build)
#   ENTRIES    entries in the generated location (default: 300000)
#   RUNS       runs per side; the fastest and the median are reported (default: 3)
# WORK_DIR (environment) chooses where the trees go (default: a new folder under /tmp).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
entries=${2:-300000}
runs=${3:-3}
cli=$build/bin/velmora-cli
samples=$build/bin/velmora-samples
for program in "$cli" "$samples"; do
  [ -x "$program" ] || { echo "missing $program: build first" >&2; exit 2; }
done

work=${WORK_DIR:-$(mktemp -d /tmp/velmora-bench-clean.XXXXXX)}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
. "$repo/bench/timing.sh"
# Fractional seconds here, so this one replaces the shared whole-millisecond median.
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "generating $entries entries (seed 42) ..."
"$samples" --seed 42 --entries "$entries" "$work/master" >/dev/null
total=$(find "$work/master" | wc -l)

# The folders a clean removes, from a dry run of the master copy, relative to it.
removed=$(clean_targets "$cli" "$work/master" "$work/targets")
folders=$(wc -l <"$work/targets")
echo "location: $total entries; $folders matched folders holding $removed entries"

fresh_copy() {
  rm -rf "$work/run"
  cp -a "$work/master" "$work/run"
  sync
}

run_velmora() {
  fresh_copy
  local start end left
  start=$(now)
  "$cli" clean "$work/run" >/dev/null 2>"$work/summary"
  end=$(now)
  velmora_times+=("$(echo "$end - $start" | bc -l)")
  left=$(find "$work/run" | wc -l)
  [ "$left" -eq $((total - removed)) ] || { echo "velmora-cli left $left entries, expected $((total - removed))" >&2; exit 1; }
}

run_rm() {
  fresh_copy
  local start end left
  start=$(now)
  (cd "$work/run" && tr '\n' '\0' <"$work/targets" | xargs -0 rm -rf --)
  end=$(now)
  rm_times+=("$(echo "$end - $start" | bc -l)")
  left=$(find "$work/run" | wc -l)
  [ "$left" -eq $((total - removed)) ] || { echo "rm -rf left $left entries, expected $((total - removed))" >&2; exit 1; }
}

velmora_times=()
rm_times=()
for ((i = 1; i <= runs; i++)); do
  # Alternate which side goes first, so drift in the machine's load hits both alike.
  if ((i % 2)); then run_velmora; run_rm; else run_rm; run_velmora; fi
  printf 'run %d: velmora-cli clean %.3f s, rm -rf %.3f s\n' "$i" "${velmora_times[-1]}" "${rm_times[-1]}"
done

# Noise on a shared machine only ever adds time: the minimum is the steadiest figure.
v_min=$(printf '%s\n' "${velmora_times[@]}" | sort -g | head -1)
r_min=$(printf '%s\n' "${rm_times[@]}" | sort -g | head -1)
v_med=$(printf '%s\n' "${velmora_times[@]}" | median)
r_med=$(printf '%s\n' "${rm_times[@]}" | median)
printf 'fastest run: velmora-cli clean %.3f s, rm -rf %.3f s, ratio %.2f (target <= 1.00)\n' \
  "$v_min" "$r_min" "$(echo "$v_min / $r_min" | bc -l)"
printf 'median:      velmora-cli clean %.3f s, rm -rf %.3f s, ratio %.2f\n' \
  "$v_med" "$r_med" "$(echo "$v_med / $r_med" | bc -l)"
echo "velmora-cli summary of the last run:"
sed 's/^/  /' "$work/summary"
