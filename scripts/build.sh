#!/usr/bin/env bash
# Configures (once) and builds everything into build/; the programs land in build/bin/.
# Uses ccache when it is installed, so rebuilds in several checkouts share their objects.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/build.ninja ]; then
  launcher=()
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
fi
cmake --build build -j"$(nproc)"
