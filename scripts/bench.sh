#!/usr/bin/env bash
# Benchmark: FolderRename.exe against the floor program (bench/Floor.cpp) on trees of 11,110
# folders (10 per folder, 4 levels) and 111,110 folders (5 levels). Prints the medians of three
# runs, the ratio tool / floor, the time per folder and both peak working sets.
# Extra arguments go to bench_run.exe before the programs (for instance --runs 5).
set -euo pipefail
source "$(dirname "$0")/env.sh"
"$ROOT/scripts/install-deps.sh"
build
start_session

TREES="$BUILD_DIR/bench-trees"

# Ten folders per folder, `levels` deep; the host makes them in seconds where Wine would not.
make_tree() {
    local root=$1 levels=$2 below="" i
    rm -rf "$root"
    mkdir -p "$root"
    for ((i = 1; i < levels; i++)); do below+="/d{0..9}"; done
    for i in {0..9}; do
        eval "mkdir -p \"$root/d$i\"$below"
    done
}

windows_path() { echo "Z:${1//\//\\}"; }

echo "Building the trees under $TREES"
make_tree "$TREES/t11110" 4
make_tree "$TREES/t111110" 5
for tree in "$TREES"/t*; do
    echo "  $(basename "$tree"): $(find "$tree" -mindepth 1 -type d | wc -l) folders"
done

"$WINE" "$BIN/bench_run.exe" "$@" "$(windows_path "$BIN/FolderRename.exe")" \
    "$(windows_path "$BIN/Floor.exe")" \
    "$(windows_path "$TREES/t11110")" "$(windows_path "$TREES/t111110")"

echo "Removing the trees"
rm -rf "$TREES"
