#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test through CTest.
# VELMORA_TEST_PACKAGE=1 also builds the Debian package, installs it, runs it and removes it
# again (scripts/check_package.sh; root, a few minutes).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh
(cd build && ctest --output-on-failure --timeout 900 -j2 "$@")
if [ -n "${VELMORA_TEST_PACKAGE:-}" ]; then
  scripts/check_package.sh
fi
