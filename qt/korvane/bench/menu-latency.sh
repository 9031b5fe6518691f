#!/bin/sh
# How fast korvane's File menu opens while the unpaced simulator sends
# screens as fast as the link takes them, in a client area of WxH. Run by hand:
#   sh qt/korvane/bench/menu-latency.sh build/bin [W H]
# Prints the time from the Alt+F key press to the menu on screen for ten tries
# (an upper bound: it includes starting xdotool to look).
. "$(dirname "$0")/korvane-session.sh"
BIN=$(cd "${1:?usage: menu-latency.sh BIN_DIR [W H]}" && pwd)
W=${2:-640}
H=${3:-480}
start_session "$BIN" 3900x2300x24 0
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
some_frames() { [ "$(frames)" -gt 10 ]; }
wait_for 20 some_frames || die "no screens"
f0=$(frames); s0=$(date +%s.%N); sleep 2; f1=$(frames); s1=$(date +%s.%N)
awk -v f="$((f1 - f0))" -v a="$s0" -v b="$s1" -v w="$W" -v h="$H" \
    'BEGIN { printf "%dx%d, %.0f screens/s arriving\n", w, h, f / (b - a) }'

tries "while the screens arrive"
