#!/usr/bin/env bash
# Renders the setup window on the virtual display and saves it as docs/setup-window.png.
# Usage: scripts/screenshot.sh [output.png]
set -euo pipefail
source "$(dirname "$0")/env.sh"
OUTPUT="${1:-$ROOT/docs/setup-window.png}"
# A prefix of its own: without a window manager Wine must draw the title bar itself, a setting
# the test prefix should not get.
export WINEPREFIX="$BUILD_DIR/shotprefix"

"$ROOT/scripts/install-deps.sh"
build --target FolderRename
start_session
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
# This Wine does not look in its own font folder, only in the prefix's.
cp -n /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true

# Started without arguments the tool shows its setup window and changes nothing until a button
# is pressed; the fresh prefix holds none of its keys, so the picture shows a first start.
"$WINE" "$BIN/FolderRename.exe" >/dev/null 2>&1 &
TOOL_PID=$!
stop_all() {
    kill "$TOOL_PID" 2>/dev/null || true
    wait "$TOOL_PID" 2>/dev/null || true
    stop_session
}
trap stop_all EXIT

window=""
for _ in $(seq 1 150); do
    window=$(xwininfo -root -tree 2>/dev/null | awk '/"Morvandels Folder Rename"/ {print $1; exit}')
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "The setup window did not appear" >&2; exit 1; }
# Wine paints the controls after the window is mapped.
sleep 2

mkdir -p "$(dirname "$OUTPUT")"
import -window "$window" "$OUTPUT"
echo "Saved $OUTPUT"
