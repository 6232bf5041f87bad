#!/usr/bin/env bash
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh
