#!/usr/bin/env bash
# Builds everything, runs every test under Wine on a virtual display, then checks that the
# release is reproducible (tests/reproducible.sh). Extra arguments go to ctest (for instance
# -R Collect). Fails when ctest or the check fails; the last lines are CTest's summary.
set -euo pipefail
source "$(dirname "$0")/env.sh"
"$ROOT/scripts/install-deps.sh"
build
start_session
cd "$BUILD_DIR"
status=0
ctest --output-on-failure --parallel 2 --timeout 600 "$@" 2>&1 | tee "$BUILD_DIR/ctest.log" || status=$?
stop_session

echo "Reproducibility check: tests/reproducible.sh"
BUILD_DIR="$BUILD_DIR" "$ROOT/tests/reproducible.sh" || { echo "Reproducibility check FAILED"; status=1; }
# CI reads CTest's closing summary from the last lines.
echo
grep -E '^[0-9]+% tests passed|^Total Test time' "$BUILD_DIR/ctest.log" || true
exit $status
