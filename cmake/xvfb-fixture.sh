#!/bin/sh
# xvfb-fixture.sh start|stop DIR: one X server for the Windows programs'
# window tests, shared by all of them; DIR/display holds its display number
# (":N" is what DISPLAY takes), DIR/pid its process.
#
# start: the server is detached from the test with nothing of ours attached
# (ctest would wait for a process holding the test's output), on a display
# number it takes itself. -noreset: else it starts afresh whenever its last
# client leaves, turning away one that connects meanwhile.
# stop: ends it.
set -eu
dir=$2
stop() {
    [ -s "$dir/pid" ] || return 0
    pid=$(cat "$dir/pid")
    kill "$pid" 2>/dev/null || true
    tries=0
    while kill -0 "$pid" 2>/dev/null && [ "$tries" -lt 200 ]; do
        sleep 0.05
        tries=$((tries + 1))
    done
    rm -f "$dir/pid" "$dir/display"
}
case "$1" in
start)
    # A server left from a run that was cut short.
    stop
    mkdir -p "$dir"
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
        3>"$dir/display" </dev/null >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/pid"
    tries=0
    until [ -s "$dir/display" ] && DISPLAY=":$(cat "$dir/display")" xdpyinfo >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ "$tries" -lt 600 ] || { echo "Xvfb did not come up"; cat "$dir/xvfb.log"; exit 1; }
        sleep 0.05
    done
    ;;
stop) stop ;;
*)
    echo "usage: xvfb-fixture.sh start|stop DIR" >&2
    exit 2
    ;;
esac
