# Sourced by the other scripts: paths, and starting and stopping Xvfb and the private wineserver.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
BIN="$BUILD_DIR/bin"
export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEDEBUG=-all
# Wine names host files in the locale's character set: UTF-8 lets any folder name through.
export LANG=C.UTF-8
unset LC_ALL
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

if command -v wine64 >/dev/null 2>&1; then WINE=$(command -v wine64); else WINE=/usr/lib/wine/wine64; fi
if command -v wineserver >/dev/null 2>&1; then WINESERVER=$(command -v wineserver); else WINESERVER=/usr/lib/wine/wineserver; fi

build() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$BUILD_DIR" --parallel "$(nproc)" "$@"
}

XVFB_PID=""
WINESERVER_PID=""

# Starts a virtual display on a free number and a warm wineserver for our own prefix. Wine's
# background services are started here, with all output away, so that no test's output pipe is
# held open by them.
start_session() {
    local fifo display
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    XVFB_PID=$!
    read -r display <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$display"
    # COM calls to a local server hung for minutes and then failed in the wineserver session that
    # made the prefix: a new prefix is made in a session of its own, which ends before ours starts.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        "$WINE" wineboot -i >/dev/null 2>&1 </dev/null || true
        timeout 60 "$WINESERVER" -w >/dev/null 2>&1 || true
    fi
    # Root passes every permission, so a folder's rights would refuse nothing, where Windows
    # honours a folder's ACL even for an administrator's ordinary programs: the server, which
    # opens every file for Wine, runs without the two capabilities that bypass permissions.
    local capsh drop=cap_dac_override,cap_dac_read_search
    capsh=$(command -v capsh || echo /sbin/capsh)
    if [ "$(id -u)" -eq 0 ] && "$capsh" --drop=$drop -- -c true >/dev/null 2>&1; then
        "$capsh" --drop=$drop -- -c "exec '$WINESERVER' -f -p" >/dev/null 2>&1 &
    else
        "$WINESERVER" -f -p >/dev/null 2>&1 &
    fi
    WINESERVER_PID=$!
    "$WINE" wineboot -i >/dev/null 2>&1 </dev/null || true
    # No window manager runs on the virtual display: unmanaged windows spare the ~2 s that Wine
    # otherwise waits for one at every window and message box.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null || true
    # COM's service, started now rather than on demand by the first activation of a local server.
    "$WINE" net start rpcss >/dev/null 2>&1 </dev/null || true
    trap stop_session EXIT
}

# Ends only what start_session started, by process id.
stop_session() {
    if [ -n "$WINESERVER_PID" ]; then
        # Wine's own services (explorer, services, winedevice...) outlive a server that is
        # merely killed: -k ends every process of this prefix, then the server.
        "$WINESERVER" -k >/dev/null 2>&1 || true
        kill "$WINESERVER_PID" 2>/dev/null || true
        wait "$WINESERVER_PID" 2>/dev/null || true
        WINESERVER_PID=""
    fi
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}

# Runs a Windows program of the build under Wine.
wine_run() { "$WINE" "$@"; }
