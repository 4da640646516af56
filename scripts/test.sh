#!/usr/bin/env bash
# Builds everything and runs every test under Wine on a virtual display.
# Extra arguments go to ctest (for instance -R Collect).
set -euo pipefail
source "$(dirname "$0")/env.sh"
"$ROOT/scripts/install-deps.sh"
build
start_session
cd "$BUILD_DIR"
ctest --output-on-failure --timeout 600 "$@"
