#!/bin/sh
# The real Pictorix saving into its Img folder (beside the program) when that
# folder is missing (Save makes it), read-only (a read-only tmpfs: a
# message, nothing written), or full (a 64 KiB tmpfs, an older file of the
# chosen name replaced: a message, the older file byte for byte as it was,
# nothing left behind). The form keeps working, and Close ends it with 0.
# Usage: pictorix-saving.sh BIN_DIR missing|read-only|full
KIND=${2:-}
CASE="Pictorix saving, Img $KIND"
. "$(dirname "$0")/fault-lib.sh"

TOOL="$WORK/tool"
RUN="$WORK/px-run"
mkdir -p "$TOOL" "$RUN"
cp "$BIN/Pictorix" "$TOOL/"
"$BIN/e2e-expected-snapshot" "$(frame "$FRAMES_A" 0)" "$BIN/header2.bin" colour "$RUN/Temp.bmp" ||
    fail "no snapshot for Pictorix"
case $KIND in
missing) ;;
read-only)
    require mount umount
    tmpfs "$TOOL/Img" size=64k,mode=0755
    mount -o remount,ro "$TOOL/Img" || fail "cannot make Img read-only" ;;
full)
    require mount umount
    tmpfs "$TOOL/Img" size=64k
    head -c 20000 /dev/urandom >"$TOOL/Img/keep.jpg"
    cp "$TOOL/Img/keep.jpg" "$WORK/keep.jpg"
    fill "$TOOL/Img" ;;
*) echo "usage: pictorix-saving.sh BIN_DIR missing|read-only|full"; exit 2 ;;
esac
start_display

PX=""
px_titled() { pictorix_windows "$PX" "$1"; }
px_has() { [ -n "$(px_titled "$1")" ]; }
px_lacks() { ! px_has "$1"; }
# save_as OUTCOME FILE [replace]: Pictorix in RUN, Save, FILE typed (and the
# question whether to replace it answered Yes); OUTCOME "error": an error
# box, answered; "saved": the dialog closes and no box comes. Then the form
# must still be there, and Close end it with code 0.
save_as() {
    (cd "$RUN" && own "$TOOL/Pictorix") >"$WORK/pictorix.log" 2>&1 &
    PX=$!
    PIDS="$PIDS $PX"
    until_ok 30 px_has "ZLS 740" || fail "Pictorix did not open"
    FORM=$(px_titled "ZLS 740")
    press "$FORM" Save
    until_ok 20 px_has "Save As" || fail "Save opened no dialog"
    DIALOG=$(px_titled "Save As")
    save_dialog_enter "$PX" "$DIALOG" "$2"
    if [ $# -gt 2 ]; then
        question=""
        find_question() { question=$(px_titled "Save As" | grep -vxF "$DIALOG" | head -n 1); [ -n "$question" ]; }
        until_ok 20 find_question || fail "no question whether to replace $2"
        xdotool windowfocus --sync "$question"
        xdotool key y
    fi
    if [ "$1" = error ]; then
        err=""
        error_box() { err=$(px_titled ZLS740 | head -n 1); [ -n "$err" ] && px_lacks "Save As"; }
        until_ok 20 error_box || fail "no message after the failed save"
        xdotool windowfocus --sync "$err"
        xdotool key Return
        until_ok 10 px_lacks ZLS740 || fail "the message did not close"
    else
        until_ok 20 px_lacks "Save As" || fail "the dialog stayed"
        sleep 0.5 # the span in which an error box would show up
        px_lacks ZLS740 || fail "a message came with a good save"
    fi
    px_has "ZLS 740" || fail "the form is gone after saving"
    press "$FORM" Close
    until_ok 10 gone "$PX" || fail "Close did not end Pictorix"
    wait "$PX"
    rc=$?
    [ "$rc" = 0 ] || fail "exit code $rc after Close"
}

case $KIND in
missing)
    save_as saved "$TOOL/Img/shot.jpg"
    until_ok 10 test -s "$TOOL/Img/shot.jpg" || fail "nothing saved where Img was missing"
    [ "$(/usr/bin/identify -format '%m %wx%h' "$TOOL/Img/shot.jpg" 2>/dev/null)" = "JPEG 320x240" ] \
        || fail "Img/shot.jpg is not a 320x240 JPEG"
    echo "  Img missing: made by Save, the picture saved in it" ;;
read-only)
    save_as error "$TOOL/Img/shot.jpg"
    [ -z "$(ls -A "$TOOL/Img")" ] || fail "something was written to a read-only Img: $(ls "$TOOL/Img")"
    echo "  Img read-only: a message, nothing written, the form goes on" ;;
full)
    save_as error "$TOOL/Img/keep.jpg" replace
    cmp -s "$TOOL/Img/keep.jpg" "$WORK/keep.jpg" || fail "the older file was spoilt by a failed save"
    [ "$(ls -A "$TOOL/Img" | tr '\n' ' ')" = "filler keep.jpg " ] || fail "left behind in Img: $(ls -A "$TOOL/Img")"
    echo "  Img full: a message, the older file intact, nothing left behind" ;;
esac
pass
