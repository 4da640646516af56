#!/usr/bin/env bash
# Renders the setup window on the virtual display at 100 % and at 200 % display scale and saves
# docs/setup-window.png and docs/setup-window-200.png; then the screen with the progress window in
# the middle of a run on a generated tree, docs/progress-window.png.
# Usage: scripts/screenshot.sh
set -euo pipefail
source "$(dirname "$0")/env.sh"
# A prefix of its own: the pictures show a first start, with none of the tool's keys, and the
# display scales set here never reach the tests' prefix.
export WINEPREFIX="$BUILD_DIR/shotprefix"

"$ROOT/scripts/install-deps.sh"
build --target FolderRename
start_session
# This Wine does not look in its own font folder, only in the prefix's; the caption's close box
# is a Marlett glyph.
cp -n /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true

TOOL_PID=""
stop_tool() {
    if [ -n "$TOOL_PID" ]; then
        kill "$TOOL_PID" 2>/dev/null || true
        wait "$TOOL_PID" 2>/dev/null || true
        TOOL_PID=""
    fi
}
trap 'stop_tool; stop_session' EXIT

# shoot TITLE OUTPUT DPI [ARGUMENT...]
# Starts the tool with the arguments at that DPI, waits for its window whose title begins with
# TITLE and, SETTLE seconds later (2 by default), saves the window, caption and frame included,
# as OUTPUT; then ends the tool. The virtual display knows a window by its title only, not by
# its Win32 class.
shoot() {
    local title=$1 output=$2 dpi=$3 window=""
    shift 3
    # Wine gives a process the DPI stored here when it starts (96 when there is none).
    "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
        >/dev/null 2>&1 </dev/null
    "$WINE" "$BIN/FolderRename.exe" "$@" >/dev/null 2>&1 </dev/null &
    TOOL_PID=$!
    for _ in $(seq 1 150); do
        window=$(xwininfo -root -tree 2>/dev/null |
            awk -v t="\"$title" 'index($0, t) {print $1; exit}')
        [ -n "$window" ] && break
        sleep 0.2
    done
    [ -n "$window" ] || { echo "No window \"$title\" appeared at $dpi DPI" >&2; exit 1; }
    # Wine paints the controls after the window is mapped, and may give it another X window
    # meanwhile: it is looked up again.
    sleep "${SETTLE:-2}"
    window=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$title" 'index($0, t) {print $1; exit}')
    mkdir -p "$(dirname "$output")"
    # A window that is gone by now would keep import waiting for ever. With SCREEN set, the whole
    # screen at half size, which shows where the window stands.
    if [ -n "${SCREEN:-}" ]; then
        timeout 30 import -window root -resize 50% "$output"
    else
        timeout 30 import -window "$window" "$output"
    fi
    stop_tool
    echo "Saved $output ($dpi DPI)"
}

# Started without arguments the tool shows its setup window and changes nothing until a button
# is pressed.
shoot "Morvandels Folder Rename" "$ROOT/docs/setup-window.png" 96
shoot "Morvandels Folder Rename" "$ROOT/docs/setup-window-200.png" 192

# A run on 40,420 folders: the search is over within a few seconds and the renaming goes on for
# longer, so that the picture shows the bar, the count and the time left.
TREE="$BUILD_DIR/shot-tree"
rm -rf "$TREE"
mkdir -p "$TREE"
(cd "$TREE" && mkdir -p d{0..19}/d{0..19}/d{0..99})
SETTLE=14 SCREEN=1 shoot "Morvandels Folder Renamer" "$ROOT/docs/progress-window.png" 96 "Z:${TREE//\//\\}"
rm -rf "$TREE"
