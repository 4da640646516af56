#!/usr/bin/env bash
# Benchmark: FolderRename.exe against the floor (bench/Floor.cpp) and the lean floor (the same
# source without the existence check) on trees of 11,110 folders (10 per folder, 4 levels),
# 111,110 folders (5 levels) and one folder holding 10,000 folders. Prints the medians of five
# rounds, the ratios tool / floor and tool / lean floor, the time per folder and the peak
# working sets of the tool and the floor.
# Extra arguments go to bench_run.exe before the programs (for instance --runs 3).
set -euo pipefail

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

# Count folders side by side in one folder: under Wine every look-up of a missing name reads the
# whole folder, so a wide folder shows what each such look-up costs.
make_wide() {
    local root=$1 count=$2
    rm -rf "$root"
    mkdir -p "$root"
    (cd "$root" && seq -f 'd%.0f' 0 $((count - 1)) | xargs mkdir)
}

# A tree's name gives its shape.
make_named() {
    case "$(basename "$1")" in
    t11110) make_tree "$1" 4 ;;
    t111110) make_tree "$1" 5 ;;
    w10000) make_wide "$1" 10000 ;;
    *) echo "no such tree: $1" >&2; return 1 ;;
    esac
}

# bench_run.exe asks for every tree anew before every run, so that each run starts from the
# same folders.
if [ "${1:-}" = --make-tree ]; then
    make_named "$2"
    # Written out before the run, not during it.
    sync
    exit
fi

source "$(dirname "$0")/env.sh"
"$ROOT/scripts/install-deps.sh"
build
# Every process of the measurement shares one CPU. A program and the wineserver answer each other
# at every file call, and whether the system put them on one CPU or on two changed the time of
# the same run by up to 15 % from one run to the next; on one CPU the runs agree within 3 to 4 %.
taskset -p -c 0 $$ >/dev/null
start_session

TREES="$BUILD_DIR/bench-trees"

windows_path() { echo "Z:${1//\//\\}"; }

echo "Building the trees under $TREES"
for tree in t11110 t111110 w10000; do
    make_named "$TREES/$tree"
    echo "  $tree: $(find "$TREES/$tree" -mindepth 1 -type d | wc -l) folders"
done

"$WINE" "$BIN/bench_run.exe" --remake "'$ROOT/scripts/bench.sh' --make-tree" "$@" \
    "$(windows_path "$BIN/FolderRename.exe")" \
    "$(windows_path "$BIN/Floor.exe")" "$(windows_path "$BIN/LeanFloor.exe")" \
    "$(windows_path "$TREES/t11110")" "$(windows_path "$TREES/t111110")" \
    "$(windows_path "$TREES/w10000")"

echo "Removing the trees"
rm -rf "$TREES"
