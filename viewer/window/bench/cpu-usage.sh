#!/bin/sh
# korvane's processor use while it shows the paced simulator (about 25
# screens a second) in a 640x480 client area, and while paused. Run by hand:
#   sh viewer/window/bench/cpu-usage.sh build/bin [SECONDS]
# Starts its own Xvfb; prints the share of one core over SECONDS (default 10).
set -u
BIN=$(cd "${1:?usage: cpu-usage.sh BIN_DIR [SECONDS]}" && pwd)
SECS=${2:-10}
WORK=$(mktemp -d /tmp/korvane-cpu.XXXXXX)
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
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
PIDS="$!"
wait_for 20 xdpyinfo || die "no X server"

cp "$BIN/header2.bin" "$WORK/"
# 1024000 bytes/s: 25 screens of 40960 bytes a second; RATE=0 unpaced.
"$BIN/zls740-sim" --dir "$WORK" --com 5 --rate "${RATE:-1024000}" --report "$WORK/report.txt" >/dev/null 2>&1 &
PIDS="$PIDS $!"
wait_for 10 test -e "$WORK/COM5" || die "no simulator"
(cd "$WORK" && exec "$BIN/korvane") >/dev/null 2>&1 &
KV=$!
PIDS="$KV $PIDS"
find_window() { WIN=$(xdotool search --all --pid "$KV" --name '^Korvane$' | head -n 1); [ -n "$WIN" ]; }
wait_for 20 find_window || die "no window"
height=$(xwininfo -id "$WIN" | sed -n 's/^ *Height: *//p')
xdotool windowsize "$WIN" 640 $((height - 240 + 480))
menu() { xdotool windowfocus --sync "$WIN"; xdotool key alt+f; sleep 0.3; xdotool key "$@"; }
menu Return   # Connect
frames() { sed -n 's/^frames //p' "$WORK/report.txt" 2>/dev/null; }
some_frames() { [ "$(frames)" -gt 10 ]; }
wait_for 20 some_frames || die "no screens"

ticks() { awk '{ print $14 + $15 }' "$1"; }
measure() {
    t0=$(ticks "/proc/$KV/stat"); w0=$(ticks "/proc/$KV/task/$KV/stat"); f0=$(frames); s0=$(date +%s.%N)
    sleep "$SECS"
    t1=$(ticks "/proc/$KV/stat"); w1=$(ticks "/proc/$KV/task/$KV/stat"); f1=$(frames); s1=$(date +%s.%N)
    awk -v t="$((t1 - t0))" -v w="$((w1 - w0))" -v hz="$(getconf CLK_TCK)" -v a="$s0" -v b="$s1" \
        -v f="$((f1 - f0))" -v what="$1" 'BEGIN {
            s = b - a
            printf "%-22s %5.1f %% of one core (window thread %4.1f %%, other threads %4.1f %%), %4.1f screens/s\n",
                what, 100 * t / hz / s, 100 * w / hz / s, 100 * (t - w) / hz / s, f / s }'
}
measure "live, 640x480:"
menu Down Return   # Pause
sleep 1
measure "paused:"
