#!/bin/sh
# korvane's processor use while it shows the paced simulator (about 25
# screens a second) in a 640x480 client area, and while paused. Run by hand:
#   sh qt/korvane/bench/cpu-usage.sh build/bin [SECONDS]
# Starts its own Xvfb; prints the share of one core over SECONDS (default 10).
. "$(dirname "$0")/korvane-session.sh"
BIN=$(cd "${1:?usage: cpu-usage.sh BIN_DIR [SECONDS]}" && pwd)
SECS=${2:-10}
# 1024000 bytes/s: 25 screens of 40960 bytes a second; RATE=0 unpaced.
start_session "$BIN" 1024x768x24 "${RATE:-1024000}"
height=$(xwininfo -id "$WIN" | sed -n 's/^ *Height: *//p')
xdotool windowsize "$WIN" 640 $((height - 240 + 480))
menu() { xdotool windowfocus --sync "$WIN"; xdotool key alt+f; sleep 0.3; xdotool key "$@"; }
menu Return   # Connect
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
