#!/bin/sh
# The disk under Temp.bmp full (a 512 KiB tmpfs): Save/Print shows a message,
# the good Temp.bmp stays as it was, no half-written file is left, the image
# tool is not started on the old picture, screens keep coming; with room
# again Save/Print works.
# Usage: full-disk.sh BIN_DIR
CASE="full disk under Temp.bmp"
. "$(dirname "$0")/fault-lib.sh"
require mount umount

tmpfs "$WORK/full" size=512k
start_display
folder full
# Paced answers: an instrument held up for more than 50 ms in the middle of
# one on a loaded machine would end it for korvane there (the link's rule).
SIM_REALTIME=1
sim full "$D" 5 --replay "$FRAMES_A" --rate 400000
viewer
choose $CONNECT
until_ok 20 view_shows "$FRAMES_A" || fail "no picture"
save_print "$FRAMES_A"
cp "$D/Temp.bmp" "$WORK/full-before.bmp"
started=$(tools_started)
fill "$D"
choose $SAVE_PRINT
until_ok 20 titled_is Korvane 2 || fail "no message when Temp.bmp cannot be written"
answer Korvane
cmp -s "$D/Temp.bmp" "$WORK/full-before.bmp" || fail "the good Temp.bmp was spoilt"
[ -z "$(find "$D" -name 'Temp.bmp?*')" ] || fail "a half-written file is left: $(ls "$D")"
[ "$(tools_started)" = "$started" ] || fail "the image tool was started on the old picture"
sent=$(frames_sent full)
until_ok 20 above frames_sent full "$sent" || fail "the screens stopped"
rm "$D/filler"
save_print "$FRAMES_A"
echo "  a message, the old Temp.bmp intact, no tool started; room again: Save/Print works"
quit
pass
