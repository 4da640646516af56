#!/usr/bin/env bash
# The main job, end to end: builds FolderRename.exe, makes a sample folder tree, shows it,
# runs a renaming run on it under Wine (every message box is printed and answered with OK, as a
# person would), and shows the tree again.
#
#   scripts/run-sample.sh [DIGITS]
#
# With DIGITS the run uses a copy of the program beside a FolderRename.ini that sets
# [Options] Digits=DIGITS; without it the program's default of 5 digits applies.
set -euo pipefail
source "$(dirname "$0")/env.sh"
"$ROOT/scripts/install-deps.sh"
build
start_session

SAMPLE="$BUILD_DIR/sample"
ROOT_FOLDER="$SAMPLE/My Folder"
rm -rf "$SAMPLE"
for folder in "Holiday Photos/2023/Summer" "Holiday Photos/2023/Winter" "Holiday Photos/2024" \
    "Documents/Letters/Old" "Documents/Taxes" "Music"; do
    mkdir -p "$ROOT_FOLDER/$folder"
done
echo "sea and sand" >"$ROOT_FOLDER/Holiday Photos/2023/Summer/beach.txt"
echo "snow" >"$ROOT_FOLDER/Holiday Photos/2023/Winter/hills.txt"
echo "Dear reader," >"$ROOT_FOLDER/Documents/Letters/Old/letter.txt"
echo "top level file" >"$ROOT_FOLDER/readme.txt"

PROGRAM="$BIN/FolderRename.exe"
if [ $# -ge 1 ]; then
    mkdir -p "$SAMPLE/program"
    cp "$BIN/FolderRename.exe" "$SAMPLE/program/"
    printf '[Options]\r\nDigits=%s\r\n' "$1" >"$SAMPLE/program/FolderRename.ini"
    PROGRAM="$SAMPLE/program/FolderRename.exe"
    echo "Settings file $SAMPLE/program/FolderRename.ini:"
    sed 's/^/    /' "$SAMPLE/program/FolderRename.ini"
    echo
fi

# The tree as an indented listing, folders with a slash, files with their size.
show_tree() {
    echo "$(basename "$1")/"
    (cd "$1" && find . -mindepth 1 | LC_ALL=C sort | while IFS= read -r path; do
        local depth name indent
        depth=$(tr -cd / <<<"$path" | wc -c)
        name=${path##*/}
        indent=$(printf '%*s' $((depth * 4)) '')
        if [ -d "$path" ]; then
            echo "$indent$name/"
        else
            echo "$indent$name ($(stat -c %s "$path") bytes)"
        fi
    done)
}

windows_path() { echo "Z:${1//\//\\}"; }

echo "Before:"
show_tree "$ROOT_FOLDER"
echo
echo "Running: FolderRename.exe \"$(windows_path "$ROOT_FOLDER")\""
echo "Message boxes:"
"$WINE" "$BIN/drive.exe" --exe "$(windows_path "$PROGRAM")" -- "$(windows_path "$ROOT_FOLDER")" |
    sed 's/^/    /'
echo
echo "After:"
show_tree "$ROOT_FOLDER"
