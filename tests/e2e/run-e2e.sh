#!/bin/sh
# A person's whole session with korvane and Pictorix, played in a real X
# server of its own (Xvfb, no window manager) with the keyboard and the mouse,
# every result checked from outside the programs: files, screenshots, exit
# codes.
#   korvane, started in a scratch folder with the simulator linked as COM5:
#   File > Connect, the simulator's screen shown upright at 320x240 and
#   stretched; About by Alt+? and Alt+/ and no other key; File > Color off and
#   the next screens in the monochrome palette; File > Pause and the picture
#   and the requests stand still; File > Save/Print and Temp.bmp holds the last
#   frame as the engine must write it.
#   Pictorix, the real one, copied into the scratch folder: it shows the
#   snapshot; Save with the preselected jpg; png chosen and Save under the
#   proposed name into the Img folder beside it; Print on a PDF queue of the
#   print server (one landscape page); Close.
#   File > Exit; korvane and Pictorix both end with code 0.
# Usage: run-e2e.sh BIN_DIR   (korvane, Pictorix, zls740-sim, header2.bin,
#                              e2e-screen-check, e2e-expected-snapshot, e2e-reaper)
# With KORVANE_DOCS_DIR set, the pictures of the two windows are also saved
# there as korvane.png and pictorix.png.
set -u
BIN=$(cd "${1:?usage: run-e2e.sh BIN_DIR}" && pwd)
. "$(dirname "$0")/e2e-lib.sh"
require Xvfb xdotool xwd xwininfo /usr/bin/convert /usr/bin/identify pdfinfo pdftoppm lpstat lpadmin /usr/sbin/cupsd
[ -e /usr/lib/cups/backend/cups-pdf ] || { echo "SKIP: the PDF printer is not installed"; exit 77; }
DOCS=${KORVANE_DOCS_DIR:-}
[ -z "$DOCS" ] || DOCS=$(mkdir -p "$DOCS" && cd "$DOCS" && pwd)
START=$(date +%s%N)
ms_since() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }

# The print server, coming up while the rest starts: the one running, or one
# of this script's own. A PDF queue of ours is the default printer until the
# script ends; the previous default comes back then.
QUEUE=KorvaneE2ePdf
PREVIOUS_DEFAULT=""
QUEUE_ADDED=""
# The PDF printer writes into the PDF folder in the printing user's home.
PDF_DIR=$(getent passwd "$(id -un)" | cut -d: -f6)/PDF
scheduler_running() { lpstat -r 2>/dev/null | grep -q "scheduler is running"; }
if ! scheduler_running; then
    /usr/sbin/cupsd -f >"$WORK/cupsd.log" 2>&1 &
    PIDS="$PIDS $!"
fi
restore_printer() {
    if [ -n "$QUEUE_ADDED" ]; then
        [ -n "$PREVIOUS_DEFAULT" ] && lpadmin -d "$PREVIOUS_DEFAULT"
        lpadmin -x "$QUEUE"
    fi
    [ -n "${PDF_WRITTEN:-}" ] && rm -f "$PDF_WRITTEN"
}
trap 'restore_printer; cleanup' EXIT

start_display

# The scratch folder: the header template, the real image tool, the
# instrument on COM5 paced at 10 screens a second.
cp "$BIN/header2.bin" "$BIN/Pictorix" "$WORK/"
"$BIN/zls740-sim" --dir "$WORK" --com 5 --rate 409600 --last-frame "$WORK/last.bin" \
    --report "$WORK/report.txt" >"$WORK/sim.log" 2>&1 &
PIDS="$PIDS $!"
until_ok 10 test -e "$WORK/COM5" || fail "the simulator made no COM5"
report() { report_value "$WORK/report.txt" "$1"; }
above() { [ "$(report "$1")" -gt "$2" ]; }

# korvane under the reaper, which also adopts the Pictorix that korvane
# detaches and notes every exit code in reaped.txt.
(cd "$WORK" && exec "$BIN/e2e-reaper" "$WORK/reaped.txt" "$BIN/korvane") >"$WORK/korvane.log" 2>&1 &
REAPER_PID=$!
PIDS="$REAPER_PID $PIDS"
WIN=""
find_window() { WIN=$(xdotool search --name '^Korvane$' 2>/dev/null | head -n 1); [ -n "$WIN" ]; }
until_ok 20 find_window || fail "no korvane window"
KV_PID=$(xdotool getwindowpid "$WIN")
[ "$(readlink "/proc/$KV_PID/exe")" = "$BIN/korvane" ] || fail "the window is not korvane's"
focus() { xdotool windowfocus --sync "$WIN"; }
focus
# Visible windows of korvane: the main window, plus an open menu or box.
windows() { xdotool search --onlyvisible --pid "$KV_PID" 2>/dev/null | wc -l; }
menu_open() { [ "$(windows)" -ge 2 ]; }
# file_menu KEY...: opens File by its access key and picks an item with KEYs.
file_menu() {
    focus
    xdotool key alt+f
    until_ok 10 menu_open || fail "File menu did not open"
    xdotool key "$@"
}
window_width() { xwininfo -id "$WIN" | sed -n 's/^ *Width: *//p'; }
window_height() { xwininfo -id "$WIN" | sed -n 's/^ *Height: *//p'; }
width_is() { [ "$(window_width)" -eq "$1" ]; }
until_ok 10 width_is 320 || fail "window width $(window_width), not 320"
MENU=$(( $(window_height) - 240 ))
[ "$MENU" -gt 0 ] || fail "no menu bar above a 320x240 client area"

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
resize() {
    xdotool windowsize "$WIN" "$1" $((MENU + $2))
    until_ok 20 width_is "$1" || fail "window did not resize to $1x$2"
}

# File > Connect: screens come, through the pseudo-terminal, and the window
# shows each one upright, at its first size and stretched each way on its
# own scale.
file_menu Return
until_ok 20 above frames 2 || fail "no screens after File > Connect"
ls -l "/proc/$KV_PID/fd" | grep -q pts || fail "korvane holds no pseudo-terminal while connected"
until_ok 30 shows colour || { cat "$WORK/check.txt"; fail "the window does not show the frames sent, upright"; }
echo "connected; shown at 320x240: $(tail -n 1 "$WORK/check.txt")"
resize 500 410
until_ok 30 shows colour || { cat "$WORK/check.txt"; fail "the stretched picture is wrong"; }
echo "shown at 500x410: $(tail -n 1 "$WORK/check.txt")"
if [ -n "$DOCS" ]; then
    resize 640 480
    until_ok 30 shows colour || fail "the picture at 640x480 is wrong"
    /usr/bin/convert "xwd:$WORK/shot.xwd" -strip "png:$DOCS/korvane.png" || fail "cannot write $DOCS/korvane.png"
    echo "saved $DOCS/korvane.png"
fi

# About with Alt and "?" (Alt+Shift+/ on a US layout), then with Alt and "/";
# no other key opens it.
ABOUT=""
find_about() { ABOUT=$(xdotool search --all --onlyvisible --pid "$KV_PID" --name '^About$' 2>/dev/null | head -n 1); [ -n "$ABOUT" ]; }
about_gone() { ! find_about; }
for keys in alt+shift+slash alt+slash; do
    focus
    xdotool key "$keys"
    until_ok 10 find_about || fail "$keys did not open About"
    xdotool windowfocus --sync "$ABOUT"
    xdotool key Escape
    until_ok 10 about_gone || fail "About did not close with Esc"
done
focus
xdotool key alt+a ctrl+slash slash
sleep 0.5
find_about && fail "another key opened About"
echo "About opened with Alt+? and Alt+/ only"

# File > Color off: the next screens come in the monochrome palette.
file_menu Down Down Return
until_ok 30 shows mono || { cat "$WORK/check.txt"; fail "no monochrome screens after File > Color"; }
echo "monochrome after File > Color: $(tail -n 1 "$WORK/check.txt")"

# File > Pause: once the answer under way is in, no request is sent and the
# picture stays that of the frame sent last.
file_menu Down Return
still() { a=$(report requests); sleep 0.3; [ "$a" = "$(report requests)" ]; }
until_ok 20 still || fail "requests still come while paused"
until_ok 10 shows mono || { cat "$WORK/check.txt"; fail "the paused picture is not the last frame sent"; }
cp "$WORK/shot.xwd" "$WORK/paused.xwd"
held=$(report requests)
sleep 1 # the span over which nothing may change
xwd -id "$WIN" >"$WORK/shot.xwd" || fail "no picture of the window"
cmp -s "$WORK/shot.xwd" "$WORK/paused.xwd" || fail "the picture changed while paused"
[ "$(report requests)" = "$held" ] || fail "requests came while paused"
echo "paused: the picture and $held requests stand still"

# File > Save/Print: Temp.bmp is what the engine makes of the last frame in
# the palette it was decoded with, and the Pictorix beside it starts in the
# scratch folder and shows it.
"$BIN/e2e-expected-snapshot" "$WORK/last.bin" "$WORK/header2.bin" mono "$WORK/expected.bmp" ||
    fail "no expected snapshot"
focus
xdotool key alt+f
until_ok 10 menu_open || fail "File menu did not open"
xdotool key Down Down Down
t0=$(date +%s%N)
xdotool key Return
PWIN=""
find_pictorix() { PWIN=$(xdotool search --onlyvisible --name '^ZLS 740$' 2>/dev/null | head -n 1); [ -n "$PWIN" ]; }
until_ok 20 find_pictorix || fail "Save/Print did not bring up Pictorix"
START_MS=$(ms_since "$t0")
PIX_PID=$(xdotool getwindowpid "$PWIN")
[ "$(readlink "/proc/$PIX_PID/exe")" = "$WORK/Pictorix" ] || fail "the Pictorix run is not the one beside Temp.bmp"
[ "$(readlink "/proc/$PIX_PID/cwd")" = "$WORK" ] || fail "Pictorix runs in $(readlink "/proc/$PIX_PID/cwd")"
[ "$(stat -c %s "$WORK/Temp.bmp")" -eq 38518 ] || fail "Temp.bmp is not 38518 bytes"
cmp "$WORK/Temp.bmp" "$WORK/expected.bmp" || fail "Temp.bmp is not the last frame as the engine writes it"
"$BIN/e2e-screen-check" "$WORK/Temp.bmp" "$WORK/last.bin" 0 mono >"$WORK/check.txt" 2>&1 ||
    { cat "$WORK/check.txt"; fail "Temp.bmp is not the instrument's screen turned upright"; }
echo "Save/Print: Temp.bmp as expected; Pictorix shown ${START_MS} ms after the key"

# pixels FILE OUT: the picture's pixels as plain RGB bytes.
pixels() { /usr/bin/convert "$1" -depth 8 "rgb:$2"; }
pixels "$WORK/Temp.bmp" "$WORK/snapshot.rgb" || fail "ImageMagick cannot read Temp.bmp"
# The picture sits at the top left of the image area, 8 pixels in.
pictorix_shows() {
    xwd -id "$PWIN" >"$WORK/pictorix.xwd" &&
        /usr/bin/convert "xwd:$WORK/pictorix.xwd" -crop 320x240+8+8 +repage -depth 8 "rgb:$WORK/shown.rgb" &&
        cmp -s "$WORK/shown.rgb" "$WORK/snapshot.rgb"
}
until_ok 20 pictorix_shows || fail "Pictorix does not show the snapshot"
if [ -n "$DOCS" ]; then
    /usr/bin/convert "xwd:$WORK/pictorix.xwd" -strip "png:$DOCS/pictorix.png" || fail "cannot write $DOCS/pictorix.png"
    echo "saved $DOCS/pictorix.png"
fi

# click X Y: a click in Pictorix's window, at a place in its own pixels.
click() { xdotool mousemove --window "$PWIN" "$1" "$2" click 1; }
# The buttons, 65x25 at y 272: Print at x 200, Save at 272, Close at 344;
# the png option at (352, 88) in the format frame.
SAVE="304 284"
PRINT="232 284"
CLOSE="376 284"
PNG="360 96"
message_box() { xdotool search --onlyvisible --name '^ZLS740$' >/dev/null 2>&1; }
# The file saved under the proposed name: ten digits, no extension. Pictorix
# writes a temporary file first, which must be gone once the name is there.
saved=""
saved_file() { saved=$(ls "$WORK/Img" 2>/dev/null | grep -Ex '[0-9]{10}' | head -n 1); [ -n "$saved" ]; }
DIALOG=""
find_dialog() { DIALOG=$(xdotool search --all --onlyvisible --pid "$PIX_PID" --name '^Save As$' 2>/dev/null | head -n 1); [ -n "$DIALOG" ]; }
dialog_gone() { ! find_dialog; }
# save_accepted: Save clicked, and the proposed name taken as it stands.
save_accepted() {
    click $SAVE
    until_ok 20 find_dialog || fail "Save opened no dialog"
    xdotool windowfocus --sync "$DIALOG"
    xdotool key Return
    until_ok 20 dialog_gone || fail "the save dialog did not close"
    until_ok 20 saved_file || fail "nothing saved under a ten-digit name in Img: $(ls "$WORK/Img" | tr '\n' ' ')"
    [ "$(ls -A "$WORK/Img" | wc -l)" -eq 1 ] || fail "more than the saved file in Img: $(ls -A "$WORK/Img" | tr '\n' ' ')"
    message_box && fail "Pictorix reported an error on Save"
}

# Save at once: jpg is preselected.
save_accepted
kind=$(/usr/bin/identify -format %m "$WORK/Img/$saved" 2>/dev/null)
[ "$kind" = JPEG ] || fail "the first save is '$kind', not JPEG"
mv "$WORK/Img/$saved" "$WORK/first-save"
echo "Save with the preselected format: JPEG"

# png chosen, Save under the proposed name: ten digits of the clock, no
# extension, PNG holding exactly the snapshot's pixels.
click $PNG
before=$(date +%m%d%H%M%S)
save_accepted
after=$(date +%m%d%H%M%S)
[ "$saved" -ge "$before" ] && [ "$saved" -le "$after" ] || fail "name $saved is not a time between $before and $after"
kind=$(/usr/bin/identify -format %m "$WORK/Img/$saved" 2>/dev/null)
[ "$kind" = PNG ] || fail "saved '$kind', not PNG"
pixels "$WORK/Img/$saved" "$WORK/saved.rgb" || fail "ImageMagick cannot read the saved file"
cmp -s "$WORK/saved.rgb" "$WORK/snapshot.rgb" || fail "the saved PNG does not hold the snapshot's pixels"
echo "png saved under the proposed name Img/$saved with the snapshot's pixels"

# Print on the default printer, our PDF queue: one landscape page.
until_ok 30 scheduler_running || fail "the print server did not come up"
current=$(lpstat -d 2>/dev/null)
case "$current" in "system default destination: "*) PREVIOUS_DEFAULT=${current#*: } ;; esac
lpadmin -p "$QUEUE" -E -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd 2>>"$WORK/lpadmin.log" ||
    fail "cannot add the PDF queue"
QUEUE_ADDED=1
lpadmin -d "$QUEUE" || fail "cannot make the PDF queue the default"
mkdir -p "$PDF_DIR"
ls "$PDF_DIR" >"$WORK/pdf-before.txt"
t0=$(date +%s%N)
click $PRINT
PDF_WRITTEN=""
new_pdf() {
    PDF_WRITTEN=$(ls "$PDF_DIR" | grep '\.pdf$' | grep -vxF -f "$WORK/pdf-before.txt" | head -n 1)
    [ -n "$PDF_WRITTEN" ] && PDF_WRITTEN=$PDF_DIR/$PDF_WRITTEN
}
printed_or_refused() { new_pdf || message_box; }
until_ok 60 printed_or_refused || fail "no PDF printed"
message_box && fail "Pictorix reported an error on Print"
queue_empty() { [ -z "$(lpstat -o "$QUEUE" 2>/dev/null)" ]; }
until_ok 60 queue_empty || fail "the print job did not finish"
PRINT_MS=$(ms_since "$t0")
pdfinfo "$PDF_WRITTEN" >"$WORK/pdfinfo.txt" 2>&1 || fail "pdfinfo cannot read $PDF_WRITTEN"
grep -Eq '^Pages: +1$' "$WORK/pdfinfo.txt" || fail "not one page: $(grep Pages "$WORK/pdfinfo.txt")"
size=$(sed -n 's/^Page size: *\([0-9.]*\) x \([0-9.]*\) pts.*/\1x\2/p' "$WORK/pdfinfo.txt")
# The sheet comes out upright with the landscape page turned on it, so
# landscape shows in the picture: it must read sideways on an upright sheet
# (upright on a wide one). The inked part of the page, turned each way and
# scaled to the inked part of the snapshot, is compared with it.
pdftoppm -r 50 -gray -singlefile "$PDF_WRITTEN" "$WORK/page" || fail "cannot rasterise the printed page"
ink() { /usr/bin/convert "$1" -fuzz 5% -format '%@' info:; }
snap_ink=$(ink "$WORK/Temp.bmp")
page_ink=$(ink "$WORK/page.pgm")
/usr/bin/convert "$WORK/Temp.bmp" -crop "$snap_ink" +repage -colorspace gray "$WORK/snap-ink.png"
# differs TURN: mean difference of the page's picture turned by TURN degrees.
differs() {
    /usr/bin/convert "$WORK/page.pgm" -crop "$page_ink" +repage -rotate "$1" -resize "${snap_ink%%+*}!" \
        "$WORK/snap-ink.png" -compose difference -composite -format '%[fx:mean]' info:
}
d0=$(differs 0)
d90=$(differs 90)
d270=$(differs 270)
echo "$size $d0 $d90 $d270" | awk '{
    split($1, side, "x"); sideways = ($3 < $4 ? $3 : $4)
    exit !(side[1] < side[2] ? sideways < 0.6 * $2 : $2 < 0.6 * sideways)
}' || fail "not a landscape print: $size pts, picture differences upright $d0, turned $d90 and $d270"
echo "Print: one landscape page in ${PRINT_MS} ms ($size pts; the picture differs by $d0 upright, $d90 and $d270 turned)"

# Close ends Pictorix with code 0.
click $CLOSE
pictorix_reaped() { grep -q "^$PIX_PID " "$WORK/reaped.txt"; }
until_ok 20 pictorix_reaped || fail "Pictorix still runs after Close"
code=$(sed -n "s/^$PIX_PID [^ ]* //p" "$WORK/reaped.txt")
[ "$code" = 0 ] || fail "Pictorix ended with code $code"
cmp -s "$WORK/Temp.bmp" "$WORK/expected.bmp" || fail "Pictorix changed Temp.bmp"
echo "Close: Pictorix ended with code 0, Temp.bmp left as it was"

# File > Exit ends korvane with code 0, and no request comes after it.
file_menu x
until_ok 20 gone "$REAPER_PID" || fail "korvane still runs after File > Exit"
wait "$REAPER_PID"
code=$(sed -n "s/^$KV_PID [^ ]* //p" "$WORK/reaped.txt")
[ "$code" = 0 ] || fail "korvane ended with code '$code'"
ended=$(report requests)
sleep 0.3
[ "$(report requests)" = "$ended" ] || fail "requests still come after Exit"
echo "File > Exit: korvane ended with code 0"
echo "PASS in $(ms_since "$START") ms"
