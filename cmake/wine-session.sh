#!/bin/bash
# One Wine session per test run: a virtual X display, one Wine prefix and one persistent
# wineserver, shared by every Windows test of a build directory.
#
#   wine-session.sh STATE_DIR start          bring the session up (idempotent)
#   wine-session.sh STATE_DIR stop           end it
#   wine-session.sh STATE_DIR run PROG ARGS  run a Windows program in it; its exit status
#                                            is this script's
#   wine-session.sh STATE_DIR env            print the variables a caller needs
#   wine-session.sh STATE_DIR dpi N          draw at N dots per inch from now on (96 is
#                                            100 %, 144 is 150 %)
#   wine-session.sh STATE_DIR run-at-dpi N PROG ARGS
#                                            run a program at N dots per inch, then go
#                                            back to 96
#
# With SFX_WINE_DISPLAY set (say to $DISPLAY), start uses that X display instead of
# starting a virtual one.
set -eu

mkdir -p "$1"
state=$(cd "$1" && pwd)
action=$2
shift 2

export WINEPREFIX="$state/prefix"
# SFX_WINEARCH=win32 makes the prefix a 32-bit Windows, where 64-bit programs cannot run.
if [ -n "${SFX_WINEARCH:-}" ]; then
    export WINEARCH="$SFX_WINEARCH"
fi
export WINEDEBUG=-all
# A crash must end the program with a status, not wait in a debugger dialog.
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree,mshtml="

display_of() { cat "$state/display" 2>/dev/null || true; }

stop() {
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k >/dev/null 2>&1 || true
    fi
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" >/dev/null 2>&1 || true
        rm -f "$state/xvfb.pid" "$state/display"
    fi
}

start_xvfb() {
    local n pid
    # Sessions of several build directories may start at once: take the first display
    # whose server really comes up.
    for n in $(seq 90 189); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        # Every stream goes elsewhere: a child that keeps the caller's pipe open would
        # make the caller (ctest) wait for it forever.
        setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        pid=$!
        for _ in $(seq 100); do
            [ -e "/tmp/.X11-unix/X$n" ] || ! kill -0 "$pid" 2>/dev/null && break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null && [ "$(cat "/tmp/.X$n-lock" 2>/dev/null | tr -d ' ')" = "$pid" ]; then
            break
        fi
        kill "$pid" 2>/dev/null || true
    done
    echo "$pid" >"$state/xvfb.pid"
    echo ":$n" >"$state/display"
}

start() {
    stop
    mkdir -p "$WINEPREFIX"
    if [ -n "${SFX_WINE_DISPLAY:-}" ]; then
        echo "$SFX_WINE_DISPLAY" >"$state/display"
    else
        start_xvfb
    fi
    export DISPLAY="$(display_of)"
    wineserver -p </dev/null >/dev/null 2>&1
    # The first program starts Wine's background services, which keep its streams open.
    wineboot -i </dev/null >/dev/null 2>&1
    # Debian's Wine does not find its own fonts (MS Sans Serif, Tahoma, ...) and draws
    # every dialog in DejaVu Sans, whose wider letters no longer fit the templates' text
    # boxes. From the prefix's font folder Wine takes them, as Windows has them.
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    # Let Wine draw window captions itself, so screenshots show them.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    # No theme: as on Windows, programs without a manifest asking for the version 6
    # common controls get the classic ones, with a segmented progress bar.
    wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' /v ThemeActive /d 0 /f \
        </dev/null >/dev/null 2>&1
    quiet_first_program
}

# The first program of a server starts Wine's background services, which keep its
# streams open: let one with no streams start them.
quiet_first_program() {
    wine cmd /c exit </dev/null >/dev/null 2>&1
}

# Wine reads the display's resolution when its server starts.
set_dpi() {
    export DISPLAY="$(display_of)"
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f </dev/null >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    wineserver -p </dev/null >/dev/null 2>&1
    quiet_first_program
}

case "$action" in
start) start ;;
stop) stop ;;
run)
    export DISPLAY="$(display_of)"
    exec wine "$@"
    ;;
dpi) set_dpi "$1" ;;
run-at-dpi)
    set_dpi "$1"
    shift
    status=0
    wine "$@" || status=$?
    set_dpi 96
    exit $status
    ;;
env)
    echo "export WINEPREFIX='$WINEPREFIX' WINEDEBUG=-all WINEDLLOVERRIDES='$WINEDLLOVERRIDES' DISPLAY='$(display_of)'"
    ;;
*)
    echo "usage: $0 STATE_DIR start|stop|run|env|dpi|run-at-dpi" >&2
    exit 2
    ;;
esac
