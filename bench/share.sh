#!/usr/bin/env bash
# Mounts a directory as a slow share with bench/latency-fs, and takes it down again.
#
#   bench/share.sh mount SOURCE MOUNTPOINT [latency-fs options, e.g. --latency-ms 1]
#   bench/share.sh unmount MOUNTPOINT      prints the request counts of the mount's life
#   bench/share.sh run SOURCE MOUNTPOINT [latency-fs options] -- COMMAND [ARGS...]
#                  mounts, runs COMMAND, and unmounts whatever happens (exit, error,
#                  Ctrl-C), then prints the request counts; exits with COMMAND's status
#
# Runs as root (mounting needs it). BUILD_DIR (default: build) holds bin/latency-fs.
# The counts line reads "latency-fs requests: total=N lookup=N ... statfs=N cpu_ms=N late_us=N
# late_over_250us=N" (cpu_ms: the processor time the server used; late_us: how long after
# its due time an answer went out, on average, and how many went out over 250 µs late).
set -euo pipefail
REPO=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$REPO/build}
case $BUILD_DIR in /*) ;; *) BUILD_DIR=$REPO/$BUILD_DIR ;; esac
LATENCY_FS=$BUILD_DIR/bin/latency-fs

die() { echo "share.sh: $*" >&2; exit 2; }

# Where a mount keeps its process id and its counts, by mount point.
state_dir() {
  local mnt
  mnt=$(realpath -m "$1")
  echo "/tmp/velmora-share/$(echo -n "$mnt" | md5sum | cut -c1-16)"
}

share_mount() {
  [ $# -ge 2 ] || die "mount needs SOURCE and MOUNTPOINT"
  local src=$1 mnt=$2 state
  shift 2
  [ -x "$LATENCY_FS" ] || die "$LATENCY_FS is missing: build it (needs libfuse3-dev), e.g. cmake --build build --target latency-fs"
  [ -d "$src" ] || die "no such directory: $src"
  mkdir -p "$mnt"
  mountpoint -q "$mnt" && die "$mnt is already a mount point"
  state=$(state_dir "$mnt")
  rm -rf "$state"
  mkdir -p "$state"
  # Returns once the mount is in place; the server runs on in the background.
  "$LATENCY_FS" --stats "$state/stats" --pid-file "$state/pid" "$@" "$src" "$mnt"
}

share_unmount() {
  [ $# -eq 1 ] || die "unmount needs MOUNTPOINT"
  local mnt=$1 state pid
  state=$(state_dir "$mnt")
  if mountpoint -q "$mnt"; then
    # A process still inside the mount makes a plain unmount fail: detach it lazily then.
    umount "$mnt" 2>/dev/null || umount -l "$mnt"
  fi
  if [ -f "$state/pid" ]; then
    pid=$(cat "$state/pid")
    # The server writes its counts and exits once the kernel has let go of the mount.
    timeout 30 tail --pid="$pid" -f /dev/null || kill "$pid" 2>/dev/null || true
  fi
  [ -f "$state/stats" ] && cat "$state/stats"
  rm -rf "$state"
}

share_run() {
  local args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    args+=("$1")
    shift
  done
  [ $# -gt 1 ] || die "run needs SOURCE MOUNTPOINT [options] -- COMMAND"
  shift
  [ ${#args[@]} -ge 2 ] || die "run needs SOURCE and MOUNTPOINT"
  # Global: the exit trap runs after this function has returned.
  RUN_MOUNTPOINT=${args[1]}
  share_mount "${args[@]}"
  trap 'share_unmount "$RUN_MOUNTPOINT" >&2' EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  local status=0
  "$@" || status=$?
  return $status
}

[ "$(id -u)" -eq 0 ] || die "mounting needs root"
command=${1:-}
[ -n "$command" ] || die "usage: share.sh mount|unmount|run ..."
shift
case $command in
mount) share_mount "$@" ;;
unmount) share_unmount "$@" ;;
run) share_run "$@" ;;
*) die "unknown command: $command (mount, unmount or run)" ;;
esac
