#!/bin/sh
# A long run of korvane in a real X server of its own: screens stream from the
# simulator while commands are chosen at random (Connect, Pause, Color,
# Save/Print with a stand-in image tool or with the real one closed again,
# About opened and closed, the window resized, the instrument gone and back).
# korvane's resident memory and open descriptors are sampled all along; the
# run fails when they grow: descriptors not back where they were after the
# warm-up, or the memory of the last third of the run clearly above that of
# the first. Prints the screens per second held.
# Usage: soak.sh DURATION_SECONDS [BIN_DIR]   (BIN_DIR: build/bin of this tree)
# SOAK_RATE: the instrument's bytes per second (default 1000000, a real
# instrument's link; 0 for as fast as the link goes).
set -u
DURATION=${1:?usage: soak.sh DURATION_SECONDS [BIN_DIR]}
BIN=$(cd "${2:-$(dirname "$0")/../../build/bin}" && pwd)
RATE=${SOAK_RATE:-1000000}
. "$(dirname "$0")/e2e-lib.sh"
require Xvfb xdotool xwininfo
start_display
export HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p "$HOME" && mkdir -m 0700 "$XDG_RUNTIME_DIR"

# korvane's folder. Its image tool is the real Pictorix when the file
# "real" is there, else a stand-in that only counts its starts.
D="$WORK/soak"
mkdir -p "$D"
cp "$BIN/header2.bin" "$D/"
cat >"$D/Pictorix" <<TOOL
#!/bin/sh
if [ -e real ]; then exec "$BIN/Pictorix"; fi
echo started >>stand-in-starts
TOOL
chmod +x "$D/Pictorix"

SIM=""
# Screens sent by the simulators that have ended (each counts from 0).
EARLIER_FRAMES=0
start_sim() {
    (own "$BIN/zls740-sim" --dir "$D" --com 5 --rate "$RATE" --report "$WORK/sim.report") >>"$WORK/sim.log" 2>&1 &
    SIM=$!
    PIDS="$PIDS $SIM"
    until_ok 10 test -e "$D/COM5" || fail "the simulator made no COM5"
}
frames() { report_value "$WORK/sim.report" frames; }
all_frames() { echo $((EARLIER_FRAMES + $(frames))); }
frames_above() { [ "$(frames)" -gt "$1" ]; }
start_sim

start_korvane "$D" "$BIN/korvane"
window_titled() { xdotool search --all --onlyvisible --pid "$KV" --name "^$1\$" 2>/dev/null | head -n 1; }
has() { [ -n "$(window_titled "$1")" ]; }
lacks() { ! has "$1"; }
random() { echo $(( $(od -An -N2 -tu2 /dev/urandom) % $1 )); }

# --- the commands ------------------------------------------------------------
# Time without screens on purpose: paused, or the instrument away.
IDLE_MS=0
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
pause_a_while() {
    choose $PAUSE
    t=$(now_ms)
    sleep "0.$(random 10)"
    choose $PAUSE
    IDLE_MS=$(( IDLE_MS + $(now_ms) - t ))
}
starts() { [ -e "$D/stand-in-starts" ] && wc -l <"$D/stand-in-starts" || echo 0; }
starts_above() { [ "$(starts)" -gt "$1" ]; }
save_print_stand_in() {
    n=$(starts)
    choose $SAVE_PRINT
    until_ok 20 starts_above "$n" || fail "Save/Print did not start the image tool"
}
forms() { xdotool search --all --onlyvisible --name '^ZLS 740$' 2>/dev/null | head -n 1; }
has_form() { [ -n "$(forms)" ]; }
no_form() { ! has_form; }
save_print_real() {
    touch "$D/real"
    choose $SAVE_PRINT
    until_ok 30 has_form || fail "Save/Print did not start Pictorix"
    rm "$D/real"
    form=$(forms)
    pid=$(xdotool getwindowpid "$form")
    PIDS="$PIDS $pid"
    press "$form" Close
    until_ok 20 no_form || fail "Pictorix did not close"
}
about() {
    xdotool windowfocus --sync "$WIN"
    xdotool key alt+slash
    until_ok 10 has About || fail "About did not open"
    xdotool windowfocus --sync "$(window_titled About)"
    xdotool key Escape
    until_ok 10 lacks About || fail "About did not close"
}
resize() {
    xdotool windowsize "$WIN" $((200 + $(random 700))) $((150 + $(random 550)))
}
connect_again() { choose $CONNECT; }
# The instrument goes away (its simulator ends) and comes back; OK on the
# box, then Connect.
instrument_away() {
    t=$(now_ms)
    kill "$SIM"
    wait "$SIM" 2>/dev/null
    EARLIER_FRAMES=$(all_frames)
    until_ok 20 has "DSO Connection Error" || fail "no \"DSO Connection Error\" after the instrument went away"
    xdotool windowfocus --sync "$(window_titled "DSO Connection Error")"
    xdotool key Return
    until_ok 10 lacks "DSO Connection Error" || fail "\"DSO Connection Error\" did not close"
    start_sim
    n=$(frames)
    choose $CONNECT
    until_ok 20 frames_above "$n" || fail "no screens after Connect"
    IDLE_MS=$(( IDLE_MS + $(now_ms) - t ))
}

# --- samples -----------------------------------------------------------------
SAMPLES="$WORK/samples.log"
: >"$SAMPLES"
rss() { sed -n 's/^VmRSS:[^0-9]*\([0-9]*\).*/\1/p' "/proc/$KV/status"; }
fds() { ls "/proc/$KV/fd" | wc -l; }
sample() { echo "$(now_ms) $(rss) $(fds) $(all_frames)" >>"$SAMPLES"; }
# Quiet: connected, nothing open but the main window.
quiet_fds() {
    until_ok 10 lacks About && until_ok 10 no_form && sleep 0.5
    fds
}

# Connect, then every command once, so that whatever korvane opens for good
# on first use is open before the baseline is taken.
choose $CONNECT
until_ok 20 frames_above 2 || fail "no screens after Connect"
for step in pause_a_while "choose $COLOR" "choose $COLOR" save_print_stand_in save_print_real about resize \
    connect_again instrument_away; do
    $step
done
xdotool windowsize "$WIN" 320 $((MENU + 240))
FDS_START=$(quiet_fds)
sample
START_MS=$(now_ms)
IDLE_MS=0
START_FRAMES=$(all_frames)
END_MS=$(( START_MS + DURATION * 1000 ))
echo "soak for $DURATION s at $RATE bytes/s; descriptors after the warm-up: $FDS_START, resident memory $(rss) kB"

COMMANDS=0
last_sample=0
while [ "$(now_ms)" -lt "$END_MS" ]; do
    case $(random 20) in
    0 | 1 | 2) pause_a_while ;;
    3 | 4 | 5) choose $COLOR ;;
    6 | 7 | 8) save_print_stand_in ;;
    9) save_print_real ;;
    10 | 11 | 12) about ;;
    13 | 14 | 15 | 16) resize ;;
    17 | 18) connect_again ;;
    19) instrument_away ;;
    esac
    COMMANDS=$((COMMANDS + 1))
    if [ $(( $(now_ms) - last_sample )) -ge 1000 ]; then
        sample
        last_sample=$(now_ms)
    fi
    sleep "0.$(random 5)"
done
STOP_MS=$(now_ms)
STOP_FRAMES=$(all_frames)
sample

FDS_END=$(quiet_fds)
# Screens per second over the time not paused and with the instrument there.
awk -v f="$((STOP_FRAMES - START_FRAMES))" -v ms="$((STOP_MS - START_MS - IDLE_MS))" -v rate="$RATE" 'BEGIN {
    printf "screens per second held: %.1f", f * 1000 / ms
    if (rate > 0) printf " (the link allows %.1f)", rate / (40960 + 4)
    printf "\n"
}'
echo "commands: $COMMANDS; Save/Print with the stand-in: $(starts)"
# The memory of the first and the last third of the samples.
awk -v fds_start="$FDS_START" -v fds_end="$FDS_END" '{ rss[NR] = $2 } END {
    third = int(NR / 3)
    if (third < 1) { print "too few samples"; exit 1 }
    for (i = 1; i <= third; i++) first += rss[i]
    for (i = NR - third + 1; i <= NR; i++) last += rss[i]
    first /= third; last /= third
    printf "resident memory: %d kB at the start, %d kB at the end; mean of the first third %d kB, of the last third %d kB (%d samples)\n", rss[1], rss[NR], first, last, NR
    printf "open descriptors: %d after the warm-up, %d at the end\n", fds_start, fds_end
    bad = 0
    # Growth well beyond what caches settling and noise explain.
    if (last > first * 1.05 + 2048) { print "FAIL: resident memory grows"; bad = 1 }
    if (fds_end > fds_start) { print "FAIL: descriptors are not back where they were"; bad = 1 }
    exit bad
}' "$SAMPLES" || fail "korvane leaks (samples: time in ms, resident kB, descriptors, screens)"

# File > Exit, code 0.
choose $EXIT
until_ok 20 gone "$KV" || fail "korvane still runs after File > Exit"
wait "$KV"
rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc after File > Exit"
echo "PASS"
