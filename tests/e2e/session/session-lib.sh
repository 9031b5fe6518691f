# Shared by the cases of a person's session with korvane and Pictorix, each
# played in a real X server of its own (Xvfb, no window manager) with the
# keyboard and the mouse, every result checked from outside the programs:
# files, screenshots, exit codes.
# Source it from a case with the build's program folder as $1 (korvane,
# Pictorix, zls740-sim, header2.bin, e2e-screen-check, e2e-expected-snapshot,
# e2e-reaper, e2e-form-layout) and CASE set.
# With KORVANE_DOCS_DIR set, the cases that show a window at its best save
# its picture there (korvane.png, pictorix.png).
set -u
BIN=$(cd "${1:?usage: $0 BIN_DIR}" && pwd)
. "$(dirname "$0")/../e2e-lib.sh"
require Xvfb xdotool xdpyinfo xwd xwininfo /usr/bin/convert /usr/bin/identify
DOCS=${KORVANE_DOCS_DIR:-}
[ -z "$DOCS" ] || DOCS=$(mkdir -p "$DOCS" && cd "$DOCS" && pwd)
START=$(now_ms)

# The scratch folder holds the header template and the real image tool.
cp "$BIN/header2.bin" "$BIN/Pictorix" "$WORK/"

# instrument: the simulator on COM5 in the scratch folder, paced at 10
# screens a second; its report in WORK/report.txt, its last whole frame in
# WORK/last.bin.
instrument() {
    (own "$BIN/zls740-sim" --dir "$WORK" --com 5 --rate 409600 --last-frame "$WORK/last.bin" \
        --report "$WORK/report.txt") >"$WORK/sim.log" 2>&1 &
    PIDS="$PIDS $!"
    until_ok 10 test -e "$WORK/COM5" || fail "the simulator made no COM5"
}
report() { report_value "$WORK/report.txt" "$1"; }
above() { [ "$(report "$1")" -gt "$2" ]; }

# viewer: korvane in the scratch folder under the reaper, which also adopts
# the Pictorix that korvane detaches and notes every exit code in
# WORK/reaped.txt.
viewer() {
    start_korvane "$WORK" "$BIN/e2e-reaper" "$WORK/reaped.txt" "$BIN/korvane"
    [ "$(readlink "/proc/$KV_PID/exe")" = "$BIN/korvane" ] || fail "the window is not korvane's"
}
# exit_code PID: the code the reaper noted for that process (empty while it runs).
exit_code() { sed -n "s/^$1 [^ ]* //p" "$WORK/reaped.txt" 2>/dev/null; }
ended() { [ -n "$(exit_code "$1")" ]; }

# connected: korvane started, File > Connect, screens coming through the
# pseudo-terminal (Connect finds the port in the background: the screens
# are waited for).
connected() {
    instrument
    viewer
    choose $CONNECT
    until_ok 20 above frames 2 || fail "no screens after File > Connect"
}

# shows PALETTE: the window shows the frame last sent, turned upright, in
# PALETTE (colour or mono). The frame must stay the same while the window is
# taken, so that a moving picture is compared with the frame it shows.
shows() {
    cp "$WORK/last.bin" "$WORK/frame.bin" &&
        xwd -id "$WIN" >"$WORK/shot.xwd" &&
        cmp -s "$WORK/last.bin" "$WORK/frame.bin" &&
        /usr/bin/convert "xwd:$WORK/shot.xwd" "png:$WORK/shot.png" &&
        "$BIN/e2e-screen-check" "$WORK/shot.png" "$WORK/frame.bin" "$MENU" \
            "$([ "$1" = mono ] && echo mono)" >"$WORK/check.txt" 2>&1
}
# pause_on_last PALETTE: File > Pause, the requests stopped, and the window
# showing the frame sent last in PALETTE.
# An answer in which the simulator stalls for more than 50 ms (a loaded
# machine) ends there for korvane, by the link's rule, and is dropped as
# short although the simulator counts it sent; paused right after such an
# answer, the picture is rightly the frame before. A pause that lost the
# answer under way would show that every time, so the pause is taken again
# (at most three times) until it holds the frame sent last.
still() { a=$(report requests); sleep 0.3; [ "$a" = "$(report requests)" ]; }
pause_on_last() {
    attempt=1
    while :; do
        choose $PAUSE
        until_ok 20 still || fail "requests still come while paused"
        until_ok 10 shows "$1" && return 0
        [ "$attempt" -lt 3 ] || { cat "$WORK/check.txt"; fail "paused three times, the picture was never the last frame sent"; }
        echo "paused on a frame before the last sent; again"
        attempt=$((attempt + 1))
        sent=$(report frames)
        choose $PAUSE
        until_ok 20 above frames $((sent + 2)) || fail "no screens after the pause was cleared"
    done
}
# resize WIDTH HEIGHT: the live view (below the menu bar) at that size.
resize() {
    xdotool windowsize "$WIN" "$1" $((MENU + $2))
    until_ok 20 width_is "$1" || fail "window did not resize to $1x$2"
}

# Pictorix's form and its boxes.
PWIN=""
PIX_PID=""
find_pictorix() { PWIN=$(xdotool search --onlyvisible --name '^ZLS 740$' 2>/dev/null | head -n 1); [ -n "$PWIN" ]; }
message_box() { [ -n "$(pictorix_windows "$PIX_PID" ZLS740)" ]; }
# pixels FILE OUT: the picture's pixels as plain RGB bytes.
pixels() { /usr/bin/convert "$1" -depth 8 "rgb:$2"; }
# pictorix_shows SNAPSHOT_RGB: the form shows the snapshot, at the top left
# of its image area, 8 pixels in.
pictorix_shows() {
    xwd -id "$PWIN" >"$WORK/pictorix.xwd" &&
        /usr/bin/convert "xwd:$WORK/pictorix.xwd" -crop 320x240+8+8 +repage -depth 8 "rgb:$WORK/shown.rgb" &&
        cmp -s "$WORK/shown.rgb" "$1"
}
# pictorix: the real Pictorix started on its own in the scratch folder on a
# snapshot of a frame, in the monochrome palette (as the session's
# Save/Print writes it); WORK/snapshot.rgb holds its pixels.
pictorix() {
    "$BIN/zls740-sim" --write-frame "$WORK/frame.bin" --index 3 >"$WORK/frame.log" 2>&1 ||
        fail "the simulator drew no frame"
    "$BIN/e2e-expected-snapshot" "$WORK/frame.bin" "$WORK/header2.bin" mono "$WORK/Temp.bmp" ||
        fail "no snapshot for Pictorix"
    pixels "$WORK/Temp.bmp" "$WORK/snapshot.rgb" || fail "ImageMagick cannot read Temp.bmp"
    (cd "$WORK" && own "$WORK/Pictorix") >"$WORK/pictorix.log" 2>&1 &
    PIX_PID=$!
    PIDS="$PIDS $PIX_PID"
    until_ok 30 find_pictorix || fail "Pictorix did not open"
    until_ok 20 pictorix_shows "$WORK/snapshot.rgb" || fail "Pictorix does not show the snapshot"
}

pass() { echo "PASS: $CASE in $(( $(now_ms) - START )) ms"; }
