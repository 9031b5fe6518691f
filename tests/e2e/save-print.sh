#!/bin/sh
# A person's session with the real programs in Xvfb, typed and clicked with
# xdotool and judged from outside (screenshots, files, exit codes): File >
# Connect finds the simulator's pseudo-terminal and the window shows its
# screens upright; Color, then Pause: the window holds the last frame sent in
# monochrome; Save/Print writes it into Temp.bmp and starts the Pictorix
# beside it, which shows it, ends with 0 on Close and leaves Temp.bmp as it
# was. With KORVANE_DOCS_DIR set, the windows' pictures are saved there.
# Usage: save-print.sh BIN_DIR
CASE="save/print"
. "$(dirname "$0")/e2e-lib.sh"
DOCS=${KORVANE_DOCS_DIR:-}
[ -z "$DOCS" ] || DOCS=$(mkdir -p "$DOCS" && cd "$DOCS" && pwd)
require xwd /usr/bin/convert
start_display

# korvane's folder: the header template and the real image tool, behind a
# stand-in of its name that notes its exit code (korvane starts it detached).
cp "$BIN/header2.bin" "$WORK/"
cp "$BIN/Pictorix" "$WORK/Pictorix-real"
printf '#!/bin/sh\n./Pictorix-real\necho $? >pictorix-code\n' >"$WORK/Pictorix"
chmod +x "$WORK/Pictorix"

# The simulator on COM5, paced at 10 screens a second; its last whole frame in WORK/last.bin.
(own "$BIN/zls740-sim" --dir "$WORK" --com 5 --rate 409600 --last-frame "$WORK/last.bin" \
    --report "$WORK/report.txt") >"$WORK/sim.log" 2>&1 &
PIDS="$PIDS $!"
until_ok 10 test -e "$WORK/COM5" || fail "the simulator made no COM5"
find_main() {
    WIN=$(xdotool search --onlyvisible --name '^Korvane$' 2>/dev/null | head -n 1)
    [ -n "$WIN" ] && [ "$(window_size Width)" -eq 320 ]
}
(cd "$WORK" && own "$BIN/korvane") >"$WORK/korvane.log" 2>&1 &
KV_PID=$!
PIDS="$KV_PID $PIDS"
until_ok 30 find_main || fail "no korvane window 320 pixels wide"
MENU=$(( $(window_size Height) - 240 ))
[ "$MENU" -gt 0 ] || fail "no menu bar above a 320x240 live view"
choose $CONNECT
until_ok 20 above frames 2 || fail "no screens after File > Connect"
until_ok 30 shows colour || fail "the window does not show the frames sent, upright"
[ -z "$DOCS" ] || /usr/bin/convert "xwd:$WORK/shot.xwd" -strip "png:$DOCS/korvane.png" || fail "cannot write korvane.png"
choose $COLOR
until_ok 30 shows mono || fail "no monochrome screens after File > Color"

# An answer the simulator stalls in for over 50 ms (a loaded machine) is
# dropped by korvane as short, though counted sent; paused right after it,
# the picture is rightly the frame before. So the pause is taken again (at
# most three times) until it holds the frame sent last.
attempt=1
while :; do
    choose $PAUSE
    until_ok 20 still || fail "requests still come while paused"
    until_ok 10 shows mono && break
    [ "$attempt" -lt 3 ] || fail "paused three times, the picture was never the last frame sent"
    attempt=$((attempt + 1))
    sent=$(report frames)
    choose $PAUSE
    until_ok 20 above frames $((sent + 2)) || fail "no screens after the pause was cleared"
done

find_pictorix() { PWIN=$(xdotool search --onlyvisible --name '^ZLS 740$' 2>/dev/null | head -n 1); [ -n "$PWIN" ]; }
choose $SAVE_PRINT
until_ok 20 find_pictorix || fail "Save/Print did not bring up Pictorix"
PIX_PID=$(xdotool getwindowpid "$PWIN")
[ "$(readlink "/proc/$PIX_PID/exe")" = "$WORK/Pictorix-real" ] || fail "the Pictorix run is not the one beside Temp.bmp"
[ "$(readlink "/proc/$PIX_PID/cwd")" = "$WORK" ] || fail "Pictorix runs in $(readlink "/proc/$PIX_PID/cwd")"
[ "$(stat -c %s "$WORK/Temp.bmp")" -eq 38518 ] || fail "Temp.bmp is not 38518 bytes"
"$BIN/e2e-screen-check" "$WORK/Temp.bmp" "$WORK/last.bin" 0 mono >"$WORK/check.log" 2>&1 ||
    fail "Temp.bmp is not the instrument's screen turned upright"
cp "$WORK/Temp.bmp" "$WORK/written.bmp"
/usr/bin/convert "$WORK/Temp.bmp" -depth 8 "rgb:$WORK/snapshot.rgb" || fail "ImageMagick cannot read Temp.bmp"
# The form shows the snapshot at the top left of its image area, 8 pixels in.
pictorix_shows() {
    xwd -id "$PWIN" >"$WORK/pictorix.xwd" &&
        /usr/bin/convert "xwd:$WORK/pictorix.xwd" -crop 320x240+8+8 +repage -depth 8 "rgb:$WORK/shown.rgb" &&
        cmp -s "$WORK/shown.rgb" "$WORK/snapshot.rgb"
}
until_ok 20 pictorix_shows || fail "Pictorix does not show the snapshot"
[ -z "$DOCS" ] || /usr/bin/convert "xwd:$WORK/pictorix.xwd" -strip "png:$DOCS/pictorix.png" || fail "cannot write pictorix.png"

press "$PWIN" Close
until_ok 20 test -s "$WORK/pictorix-code" || fail "Pictorix still runs after Close"
[ "$(cat "$WORK/pictorix-code")" = 0 ] || fail "Pictorix ended with code $(cat "$WORK/pictorix-code")"
cmp -s "$WORK/Temp.bmp" "$WORK/written.bmp" || fail "Pictorix changed Temp.bmp"
echo "PASS: $CASE"
