#!/bin/sh
# File > Save/Print, monochrome and paused: Temp.bmp is what the engine makes
# of the last frame in the palette it was decoded with, and the real Pictorix
# beside it (copied into the scratch folder) starts there and shows it; its
# Close ends it with code 0 and leaves Temp.bmp as it was.
# Usage: save-print.sh BIN_DIR
CASE="save/print"
. "$(dirname "$0")/session-lib.sh"
start_display

connected
choose $COLOR
until_ok 30 shows mono || { cat "$WORK/check.txt"; fail "no monochrome screens after File > Color"; }
pause_on_last mono
"$BIN/e2e-expected-snapshot" "$WORK/last.bin" "$WORK/header2.bin" mono "$WORK/expected.bmp" ||
    fail "no expected snapshot"
file_menu
xdotool key Down Down Down
t0=$(now_ms)
xdotool key Return
until_ok 20 find_pictorix || fail "Save/Print did not bring up Pictorix"
START_MS=$(( $(now_ms) - t0 ))
PIX_PID=$(xdotool getwindowpid "$PWIN")
[ "$(readlink "/proc/$PIX_PID/exe")" = "$WORK/Pictorix" ] || fail "the Pictorix run is not the one beside Temp.bmp"
[ "$(readlink "/proc/$PIX_PID/cwd")" = "$WORK" ] || fail "Pictorix runs in $(readlink "/proc/$PIX_PID/cwd")"
[ "$(stat -c %s "$WORK/Temp.bmp")" -eq 38518 ] || fail "Temp.bmp is not 38518 bytes"
cmp "$WORK/Temp.bmp" "$WORK/expected.bmp" || fail "Temp.bmp is not the last frame as the engine writes it"
"$BIN/e2e-screen-check" "$WORK/Temp.bmp" "$WORK/last.bin" 0 mono >"$WORK/check.txt" 2>&1 ||
    { cat "$WORK/check.txt"; fail "Temp.bmp is not the instrument's screen turned upright"; }
echo "Save/Print: Temp.bmp as expected; Pictorix shown ${START_MS} ms after the key"
pixels "$WORK/Temp.bmp" "$WORK/snapshot.rgb" || fail "ImageMagick cannot read Temp.bmp"
until_ok 20 pictorix_shows "$WORK/snapshot.rgb" || fail "Pictorix does not show the snapshot"
if [ -n "$DOCS" ]; then
    /usr/bin/convert "xwd:$WORK/pictorix.xwd" -strip "png:$DOCS/pictorix.png" || fail "cannot write $DOCS/pictorix.png"
    echo "saved $DOCS/pictorix.png"
fi

# Close ends Pictorix with code 0.
press "$PWIN" Close
until_ok 20 ended "$PIX_PID" || fail "Pictorix still runs after Close"
[ "$(exit_code "$PIX_PID")" = 0 ] || fail "Pictorix ended with code $(exit_code "$PIX_PID")"
cmp -s "$WORK/Temp.bmp" "$WORK/expected.bmp" || fail "Pictorix changed Temp.bmp"
echo "Close: Pictorix ended with code 0, Temp.bmp left as it was"
pass
