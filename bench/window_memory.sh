#!/usr/bin/env bash
# Resident memory of the window with 2,000 libraries: at load, after scrolling the whole list,
# and after five sorts; offscreen, then on a virtual X server with the accessibility bridge on
# (a screen reader's view of the window), when xvfb-run and dbus-run-session are there.
#
#   bench/window_memory.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
program="$build/bin/velmora-window-memory"
[ -x "$program" ] || { echo "window_memory: $program is missing; build first" >&2; exit 1; }
location="$build/bench-2000-libraries"
if [ ! -d "$location" ]; then
  "$build/bin/velmora-samples" --seed 3 --libraries 2000 --entries 60000 "$location" >/dev/null
fi
export QT_QUICK_BACKEND=software
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR" 2>/dev/null || true
echo "== offscreen"
QT_QPA_PLATFORM=offscreen "$program" "$location"
if command -v xvfb-run >/dev/null && command -v dbus-run-session >/dev/null; then
  echo "== X11 with accessibility on"
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- "$program" "$location" 2> >(grep -v dbus-daemon >&2)
fi
