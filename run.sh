#!/usr/bin/env bash
# Sets up what is missing, builds, and starts Velmora.
#   With a display: runs the window (any arguments go to it, e.g. a location to search).
#   Without one: shows the window on a generated demo location under a virtual X server,
#   saves build/screenshot.png once its libraries are listed, and exits.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/velmora "$@"
fi
echo "No display found: showing the window on a demo location under Xvfb."
scripts/screenshot.sh build build/screenshot.png
