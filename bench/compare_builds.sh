#!/usr/bin/env bash
# Two builds of velmora-cli timed in turn on the same locations, so that drift during the run
# favours neither: what a change to the core costs or saves. Prints, for a local location and
# (as root, with latency-fs built) a slow share of it, the median wall time of `scan --json`
# and `clean --dry-run` of each build and the ratio NEW / OLD.
#
#   bench/compare_builds.sh OLD_BUILD_DIR [NEW_BUILD_DIR]     (NEW defaults to build)
#
# Environment (all optional): WORK (/tmp/velmora-compare), ENTRIES (300000), SHARE_ENTRIES
# (20000), LATENCY_MS (1), RUNS (9).
set -euo pipefail
cd "$(dirname "$0")/.."
REPO=$(pwd)
[ $# -ge 1 ] || { sed -n '2,9p' "$0" >&2; exit 2; }
OLD=$(realpath "$1")
NEW=$(realpath "${2:-build}")
WORK=${WORK:-/tmp/velmora-compare}
ENTRIES=${ENTRIES:-300000}
SHARE_ENTRIES=${SHARE_ENTRIES:-20000}
LATENCY_MS=${LATENCY_MS:-1}
RUNS=${RUNS:-9}
source "$REPO/bench/timing.sh"
for build in "$OLD" "$NEW"; do
  [ -x "$build/bin/velmora-cli" ] || { echo "compare_builds.sh: no $build/bin/velmora-cli" >&2; exit 2; }
done

# generate DIR ENTRIES: a sample location, made once and kept for later runs.
generate() {
  [ -f "$1.done" ] && return
  rm -rf "$1"
  "$NEW/bin/velmora-samples" --seed 23 --entries "$2" --libraries 12 "$1" >/dev/null
  touch "$1.done"
}

# compare LABEL LOCATION: both builds' scan and dry run, in turn, after a warm-up of each.
compare() {
  local label=$1 location=$2 command old new i
  for command in "scan --json" "clean --dry-run"; do
    # shellcheck disable=SC2086
    { "$OLD/bin/velmora-cli" $command "$location"; "$NEW/bin/velmora-cli" $command "$location"; } >/dev/null 2>&1 || true
    old=() new=()
    for ((i = 0; i < RUNS; i++)); do
      # shellcheck disable=SC2086
      old+=("$(run_ms "$OLD/bin/velmora-cli" $command "$location")")
      # shellcheck disable=SC2086
      new+=("$(run_ms "$NEW/bin/velmora-cli" $command "$location")")
    done
    local om nm
    om=$(printf '%s\n' "${old[@]}" | median)
    nm=$(printf '%s\n' "${new[@]}" | median)
    printf '%-28s %-16s old %6s ms   new %6s ms   new/old %s\n' "$label" "$command" "$om" "$nm" "$(ratio "$nm" "$om")"
  done
}

mkdir -p "$WORK"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
generate "$WORK/local" "$ENTRIES"
compare "local, $ENTRIES entries" "$WORK/local"
if [ "$(id -u)" -eq 0 ] && [ -x "$NEW/bin/latency-fs" ]; then
  generate "$WORK/share-source" "$SHARE_ENTRIES"
  BUILD_DIR=$NEW bench/share.sh run "$WORK/share-source" "$WORK/share" --latency-ms "$LATENCY_MS" -- \
    bash -c "$(declare -f compare median ratio run_ms now_ns); OLD='$OLD' NEW='$NEW' RUNS=$RUNS; \
             compare 'share, ${LATENCY_MS} ms, $SHARE_ENTRIES entries' '$WORK/share'" |
    grep -v '^latency-fs requests'
else
  echo "share left out: needs root and $NEW/bin/latency-fs"
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
