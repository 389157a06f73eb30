#!/bin/bash
# The main job: builds the installer (i686 product and x86_64) and a demo installer,
# then runs the i686 demo under Wine as a user would: looks at it, opens About, clicks
# Install and watches the demo setup program run. Where 32-bit programs cannot run, it
# runs the x86_64 demo and says why. Screenshots go to demo-out/. Without an X display,
# Wine draws on a virtual one (Xvfb).
#
#   scripts/demo.sh [--dpi N]    at N dots per inch (96, the default, is 100 %; 144 is 150 %)
set -euo pipefail
cd "$(dirname "$0")/.."
dpi=96
if [ "${1:-}" = --dpi ] && [ -n "${2:-}" ]; then
    dpi=$2
elif [ $# -gt 0 ]; then
    echo "usage: $0 [--dpi N]" >&2
    exit 2
fi
scripts/setup.sh

for preset in win64 win32; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

out=$PWD/demo-out
rm -rf "$out"
mkdir -p "$out/sync"
state=$PWD/build/demo-wine
if [ -n "${DISPLAY:-}" ]; then
    export SFX_WINE_DISPLAY=$DISPLAY
fi
cmake/wine-session.sh "$state" start
trap 'cmake/wine-session.sh "$state" stop' EXIT
cmake/wine-session.sh "$state" dpi "$dpi"
eval "$(cmake/wine-session.sh "$state" env)"

build=build/win32
if ! why=$(cmake/runs-32bit.sh --wine); then
    echo "== the x86_64 demo instead of the i686 product: $why"
    build=build/win64
fi
installer=$build/tools/demo/demo_installer.exe
echo "== running $installer under Wine on display $DISPLAY at $dpi dots per inch"
wine $build/tools/demo/demo_driver.exe "$(winepath -w "$installer")" "$(winepath -w "$out/sync")" \
    </dev/null >"$out/driver.log" 2>&1 &
driver=$!

# At each stop the driver names the window's place; take its picture and let it go on.
for stop in ready about installing setup; do
    for _ in $(seq 600); do
        [ -e "$out/sync/$stop" ] || ! kill -0 "$driver" 2>/dev/null && break
        sleep 0.1
    done
    [ -e "$out/sync/$stop" ] || break
    read -r x y width height < <(tr -d "\r" <"$out/sync/$stop")
    if [ "$stop" = setup ]; then
        # The setup program's window with the installer's below it: from the corner.
        width=$((x + width)) height=$((y + height)) x=0 y=0
    fi
    import -window root -crop "${width}x${height}+${x}+${y}" +repage "$out/$stop.png"
    echo "   screenshot: $out/$stop.png"
    touch "$out/sync/$stop.done"
done

status=0
wait "$driver" || status=$?
cat "$out/driver.log"
rm -rf "$out/sync"
if [ $status -ne 0 ]; then
    echo "The demo run failed (status $status)."
    exit 1
fi
echo "Done. Screenshots of the demo installer are in $out"
