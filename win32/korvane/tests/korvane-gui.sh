#!/bin/sh
# korvane.exe under wine, one case of a person's session, in the X server of
# the fixture "xvfb", with the simulator on a COM port of the wine prefix:
#   screen          Connect shows the instrument's screen stretched to the
#                   client area, then at 320x240 pixel for pixel, in colour
#                   and after Color in monochrome
#   pause           Pause stops the requests; a second Pause brings them back
#   lost-link       the instrument vanishes: "DSO Connection Error", owned by
#                   no window, and the last picture stays until it is closed
#   exit-searching  Exit while Connect searches silent ports ends the program
#                   with 0 at once, without probing the ports left
#   save-print      Save/Print writes Temp.bmp as the Linux build writes the
#                   same frame and starts the Pictorix.exe beside it
# Usage: korvane-gui.sh CASE KORVANE_EXE HOST_BIN WINE_ENV XVFB_DIR STAND_IN
# HOST_BIN: this machine's zls740-sim, e2e-screen-check and korvane-grab;
# STAND_IN: a Pictorix.exe that notes where it ran. With KORVANE_DOCS_DIR
# set, the screen case saves the window's picture there.
CASE="korvane.exe $1"
WHAT=$1 KORVANE_EXE=$2 BIN=$3 WINE_ENV=$4 XVFB=$5 STAND_IN=$6
. "$(dirname "$0")/../../../tests/e2e/e2e-lib.sh"
require xwd xprop /usr/bin/convert
[ -s "$XVFB/display" ] || fail "no X server of the fixture xvfb in $XVFB"
export DISPLAY=":$(cat "$XVFB/display")"
. "$WINE_ENV"
# The COM ports made here go with the case, whatever way it ends.
PORTS=""
trap 'rc=$?; for p in $PORTS; do rm -f "$WINEPREFIX/dosdevices/$p"; done; (exit $rc); cleanup' EXIT
# port N TARGET: COMN of the prefix leads to TARGET.
port() { ln -sfn "$2" "$WINEPREFIX/dosdevices/com$1" && PORTS="$PORTS com$1"; }
# instrument [zls740-sim option...]: the simulator on COM5.
instrument() {
    (own "$BIN/zls740-sim" --dir "$WORK" --com 5 --last-frame "$WORK/last.bin" --report "$WORK/report.txt" "$@") \
        >"$WORK/sim.log" 2>&1 &
    PIDS="$PIDS $!"
    until_ok 10 test -e "$WORK/COM5" || fail "the simulator made no COM5"
    port 5 "$WORK/COM5"
}
# One drawn frame, sent again and again: any screenshot is of that frame.
one_frame() {
    "$BIN/zls740-sim" --write-frame "$WORK/frame3.bin" --index 3 || fail "no frame drawn"
    instrument --replay "$WORK/frame3.bin" --rate 409600 "$@"
}

KV_CLASS='^korvane\.exe$'
# titled TITLE: the first window of korvane.exe on screen with that title.
titled() {
    for w in $(xdotool search --onlyvisible --class "$KV_CLASS" 2>/dev/null); do
        [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$1" ] && echo "$w" && return 0
    done
    return 1
}
find_main() { WIN=$(titled Korvane); }
# korvane.exe runs in WORK: its files (Temp.bmp, log.txt) go there.
start_korvane() {
    (cd "$WORK" && own "$KORVANE_WINE" "$KORVANE_EXE") >"$WORK/korvane.log" 2>&1 &
    KV_PID=$!
    PIDS="$KV_PID $PIDS"
    until_ok 60 find_main || fail "no korvane.exe window"
}
# Connect, then the frame sent on the screen: MENU (the menu bar's rows) found.
connect_and_show() {
    choose $CONNECT
    until_ok 30 above frames 1 || fail "no screens after File > Connect"
    MENU=auto
    until_ok 30 shows "$1" || fail "the window does not show the frames sent, upright, stretched to its client area"
    MENU=$(sed -n 's/.* below row \([0-9]*\):.*/\1/p' "$WORK/check.log")
}

case "$WHAT" in
screen)
    one_frame
    start_korvane
    connect_and_show colour
    # The client area the screen's own size: each screen pixel in one place.
    xdotool windowsize "$WIN" 320 $((MENU + 240))
    until_ok 20 test "$(window_size Width)x$(window_size Height)" = "320x$((MENU + 240))" ||
        fail "the window was not made 320x$((MENU + 240))"
    until_ok 30 shows colour || fail "the 320x240 view is not the screen pixel for pixel"
    [ -z "${KORVANE_DOCS_DIR:-}" ] || /usr/bin/convert "xwd:$WORK/shot.xwd" -strip "png:$KORVANE_DOCS_DIR/korvane-windows.png" ||
        fail "cannot write korvane-windows.png"
    choose $COLOR
    until_ok 30 shows mono || fail "no monochrome screens after File > Color"
    ;;
pause)
    instrument
    start_korvane
    choose $CONNECT
    until_ok 30 above frames 2 || fail "no screens after File > Connect"
    choose $PAUSE
    until_ok 20 still || fail "requests still come while paused"
    sent=$(report requests)
    sleep 1
    [ "$(report requests)" = "$sent" ] || fail "requests came again while paused"
    choose $PAUSE
    until_ok 20 above requests "$sent" || fail "no requests after Pause was chosen again"
    ;;
lost-link)
    one_frame --close-after 5
    start_korvane
    connect_and_show colour
    find_box() { BOX=$(titled "DSO Connection Error"); }
    until_ok 60 find_box || fail "no \"DSO Connection Error\" box after the instrument vanished"
    xprop -id "$BOX" WM_TRANSIENT_FOR | grep -q 'not found' || fail "the box belongs to a window"
    shows colour || fail "the last picture did not stay while the box is open"
    xdotool windowfocus --sync "$BOX"
    xdotool key Return
    until_ok 20 eval '! titled "DSO Connection Error"' ||
        fail "the box did not close with Enter"
    until_ok 20 eval '! shows colour' || fail "the picture of the lost link stays after the box was closed"
    ;;
exit-searching)
    # Every port of the search leads to an instrument that never answers:
    # each probe waits its whole time.
    instrument --silent
    for n in 2 3 4 6 7 8 9; do port "$n" "$WORK/COM5"; done
    start_korvane
    choose $CONNECT
    until_ok 30 above requests 0 || fail "no search after File > Connect"
    choose $EXIT
    until_ok 60 gone "$KV_PID" || fail "korvane.exe still runs after Exit"
    wait "$KV_PID"
    code=$?
    [ "$code" = 0 ] || fail "korvane.exe ended with code $code"
    [ "$(report requests)" -lt 8 ] || fail "the search probed every port before korvane.exe ended"
    ;;
save-print)
    one_frame
    cp "$STAND_IN" "$WORK/Pictorix.exe"
    # The Linux build's snapshot of the frame, by the writer of its viewer.
    (cd "$WORK" && "$BIN/korvane-grab" --port "$WORK/COM5" -o "$WORK/linux.bmp") >"$WORK/grab.log" 2>&1 ||
        fail "korvane-grab took no screen"
    start_korvane
    connect_and_show colour
    choose $SAVE_PRINT
    until_ok 30 test -s "$WORK/pictorix-ran" || fail "Save/Print did not start Pictorix.exe"
    cmp "$WORK/Temp.bmp" "$WORK/linux.bmp" >"$WORK/cmp.log" 2>&1 ||
        fail "Temp.bmp is not the snapshot the Linux build writes of the same frame"
    [ "$(tr -d '\r\n' <"$WORK/pictorix-ran")" = "Z:$(echo "$WORK" | tr / '\\')" ] ||
        fail "Pictorix.exe ran in $(cat "$WORK/pictorix-ran"), not in korvane.exe's folder"
    ;;
*) fail "no case $WHAT" ;;
esac
echo "PASS: $CASE"
