#!/bin/sh
# How fast korvane's File menu opens while the unpaced simulator sends
# screens as fast as the link takes them, in a client area of WxH. Run by hand:
#   sh viewer/window/bench/menu-latency.sh build/bin [W H]
# Prints the time from the Alt+F key press to the menu on screen for ten tries
# (an upper bound: it includes starting xdotool to look).
set -u
BIN=$(cd "${1:?usage: menu-latency.sh BIN_DIR [W H]}" && pwd)
W=${2:-640}
H=${3:-480}
WORK=$(mktemp -d /tmp/korvane-menu.XXXXXX)
PIDS=""
cleanup() {
    for pid in $PIDS; do kill "$pid" 2>/dev/null; done
    for pid in $PIDS; do wait "$pid" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
die() { echo "$*" >&2; exit 1; }
wait_for() {  # wait_for SECONDS COMMAND...
    limit=$(( $1 * 20 )); shift
    i=0
    while ! "$@" >/dev/null 2>&1; do
        i=$((i + 1)); [ "$i" -ge "$limit" ] && return 1; sleep 0.05
    done
}

n=$(( 90 + $$ % 300 ))
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$(( 90 + (n - 89) % 300 )); done
export DISPLAY=":$n"
Xvfb "$DISPLAY" -screen 0 3900x2300x24 -nolisten tcp >/dev/null 2>&1 &
PIDS="$!"
wait_for 20 xdpyinfo || die "no X server"

cp "$BIN/header2.bin" "$WORK/"
"$BIN/zls740-sim" --dir "$WORK" --com 5 --report "$WORK/report.txt" >/dev/null 2>&1 &
PIDS="$PIDS $!"
wait_for 10 test -e "$WORK/COM5" || die "no simulator"
(cd "$WORK" && exec "$BIN/korvane") >/dev/null 2>&1 &
KV=$!
PIDS="$KV $PIDS"
find_window() { WIN=$(xdotool search --all --pid "$KV" --name '^Korvane$' | head -n 1); [ -n "$WIN" ]; }
wait_for 20 find_window || die "no window"
height=$(xwininfo -id "$WIN" | sed -n 's/^ *Height: *//p')
xdotool windowsize "$WIN" "$W" $((height - 240 + H))
menu_open() { [ "$(xdotool search --onlyvisible --pid "$KV" | wc -l)" -ge 2 ]; }
tries() {  # tries LABEL
    for try in 1 2 3 4 5 6 7 8; do
        xdotool windowfocus --sync "$WIN"
        t0=$(date +%s%N)
        xdotool key alt+f
        wait_for 5 menu_open || die "menu did not open"
        t1=$(date +%s%N)
        printf ' %d' $(( (t1 - t0) / 1000000 ))
        xdotool key Escape Escape
        sleep 0.2
    done
    echo " ms: $1"
}
tries "not connected (what looking costs)"
xdotool windowfocus --sync "$WIN"
xdotool key alt+f; sleep 0.3; xdotool key Return   # Connect
frames() { sed -n 's/^frames //p' "$WORK/report.txt" 2>/dev/null; }
some_frames() { [ "$(frames)" -gt 10 ]; }
wait_for 20 some_frames || die "no screens"
f0=$(frames); s0=$(date +%s.%N); sleep 2; f1=$(frames); s1=$(date +%s.%N)
awk -v f="$((f1 - f0))" -v a="$s0" -v b="$s1" -v w="$W" -v h="$H" \
    'BEGIN { printf "%dx%d, %.0f screens/s arriving\n", w, h, f / (b - a) }'

tries "while the screens arrive"
