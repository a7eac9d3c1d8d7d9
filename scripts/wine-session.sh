# Sourced by the test and demo commands: starts an Xvfb display and the
# build's own Wine prefix, and stops both again. Nothing it starts writes to
# the caller's output, so that whoever reads it sees it close.

: "${BUILD_DIR:=$(pwd)/build}"
export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG="${WINEDEBUG:--all}"
session_log="$BUILD_DIR/wine-session.log"
xvfb_pid=

setting() {
    wine reg add "$1" /v "$2" /t "$3" /d "$4" /f >>"$session_log" 2>&1 </dev/null
}

start_session() {
    mkdir -p "$BUILD_DIR"
    : > "$session_log"
    if [ -z "${DISPLAY:-}" ] || [ "${KORVELLO_OWN_DISPLAY:-1}" = 1 ]; then
        local n=91
        while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >>"$session_log" 2>&1 </dev/null &
        xvfb_pid=$!
        export DISPLAY=":$n"
        for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
        [ -e "/tmp/.X11-unix/X$n" ] || { echo "Xvfb did not start; see $session_log" >&2; return 1; }
    fi
    # One server for the whole run, kept until stop_session.
    mkdir -p "$WINEPREFIX"
    wineserver -p >>"$session_log" 2>&1 </dev/null || true   # already running: reuse it
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "making the Wine prefix in $WINEPREFIX"
        wine wineboot --init >>"$session_log" 2>&1 </dev/null
    else
        wine wineboot >>"$session_log" 2>&1 </dev/null
    fi
    # A crash fails a test at once instead of waiting on Wine's dialog.
    setting 'HKCU\Software\Wine\WineDbg' ShowCrashDialog REG_DWORD 0
    # Every program runs in one Wine desktop window, as on Windows: title bars
    # are drawn, and destroying a window does not wait two seconds for a
    # window manager that bare Xvfb does not have.
    setting 'HKCU\Software\Wine\Explorer' Desktop REG_SZ Default
    setting 'HKCU\Software\Wine\Explorer\Desktops' Default REG_SZ 1024x768
    # Wine's desktop process starts with the first window; start it here, with
    # its output going to the log rather than to a test's pipe.
    wine "$BUILD_DIR/bin/standin_v1.exe" >>"$session_log" 2>&1 </dev/null &
    local warm=$!
    sleep 2
    kill "$warm" 2>/dev/null || true
    wine taskkill /f /im standin_v1.exe >>"$session_log" 2>&1 </dev/null || true
}

stop_session() {
    wineserver -k >/dev/null 2>&1 || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
    return 0
}
