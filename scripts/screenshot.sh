#!/usr/bin/env bash
# Shows the window on a generated demo location under a virtual X server, waits until its
# libraries are listed, and saves a PNG of the window.
#
#   scripts/screenshot.sh [BUILD_DIR [OUTPUT_PNG]]
#
# Defaults: build/ and docs/screenshot.png (the picture in the README). The programs must be
# built already (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build}
output=${2:-docs/screenshot.png}
app="$build_dir/bin/velmora"
samples="$build_dir/bin/velmora-samples"
for program in "$app" "$samples"; do
  if [ ! -x "$program" ]; then
    echo "screenshot: $program is missing; build first (scripts/build.sh)" >&2
    exit 1
  fi
done
if ! command -v xvfb-run >/dev/null; then
  echo "screenshot: xvfb-run is missing; run scripts/setup.sh" >&2
  exit 1
fi

# The same demo every time: a fixed seed, made afresh when the generator or its options change.
demo="$build_dir/demo-location"
demo_options=(--seed 7 --libraries 6 --entries 6000 --large)
stamp="$build_dir/demo-location.options"
wanted="$(printf '%s ' "${demo_options[@]}") $(stat -c %Y "$samples")"
if [ ! -d "$demo" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$wanted" ]; then
  rm -rf "$demo" "$stamp"
  echo "Generating the demo location in $demo"
  "$samples" "${demo_options[@]}" "$demo" >/dev/null
  echo "$wanted" >"$stamp"
fi

mkdir -p "$(dirname "$output")"
rm -f "$output"
# The software renderer needs no GPU or GL on the virtual display.
export QT_QUICK_BACKEND=software
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR" 2>/dev/null || true
xvfb-run -a -s "-screen 0 1280x800x24" \
  "$app" --screenshot-when-loaded "$output" "$(realpath "$demo")" 2> >(grep -v '^QStandardPaths' >&2)
if [ ! -s "$output" ]; then
  echo "screenshot: no picture was saved" >&2
  exit 1
fi
echo "Screenshot of the window: $output"
