#!/bin/sh
# COM9 and COM5 both answer: Connect takes COM9 (probed first) and never asks
# COM5; File > Exit while paused.
# Usage: two-instruments.sh BIN_DIR
CASE="two instruments"
. "$(dirname "$0")/fault-lib.sh"
start_display

folder two
sim com9 "$D" 9 --replay "$FRAMES_B"
sim com5 "$D" 5 --replay "$FRAMES_A"
viewer
choose $CONNECT
until_ok 20 view_shows "$FRAMES_B" || fail "COM9 is not shown"
[ "$(requests com5)" = 0 ] || fail "COM5 was asked too"
echo "  COM9 and COM5 answer: COM9 is shown, COM5 never asked"
choose $PAUSE
quit "paused"
pass
