#!/bin/sh
# Installs what is missing, builds, and starts korvane on the built-in ZLS740
# simulator: choose File > Connect to see the simulated screen.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh scripts/packages-build.txt

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug
cmake --build build -j"$(nproc)"
bin=$(pwd)/build/bin

# A scratch working folder, as a user's would be: the simulator is linked
# there as COM5, and korvane writes log.txt and Temp.bmp there.
work=$(mktemp -d /tmp/korvane-demo.XXXXXX)
cp "$bin/header2.bin" "$work/"
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT INT TERM

"$bin/zls740-sim" --dir "$work" --com 5 &
pids="$pids $!"
for _ in $(seq 50); do
    [ -e "$work/COM5" ] && break
    sleep 0.1
done

if [ ! -x "$bin/korvane" ]; then
    echo "The simulator is listening on $work/COM5; the viewer is not built yet."
    wait
    exit 0
fi

if [ -z "${DISPLAY:-}" ]; then
    # No desktop: run on a virtual display and say how to look at it.
    DISPLAY=:77
    export DISPLAY
    Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp &
    pids="$pids $!"
    sleep 1
    echo "No X display was set: korvane runs on the virtual display $DISPLAY."
    # File opens with Connect chosen: Return connects (Down, Return would be Pause).
    echo "Connect with: DISPLAY=$DISPLAY xdotool search --onlyvisible --name '^Korvane\$' windowfocus --sync key --delay 300 alt+f Return"
    echo "Look at it with: xwd -root -display $DISPLAY | /usr/bin/convert xwd:- korvane.png"
fi
echo "Working folder: $work"
cd "$work"
"$bin/korvane"
