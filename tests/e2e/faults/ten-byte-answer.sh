#!/bin/sh
# A device on COM9 that answers the probe with only 10 bytes is passed over
# after that one request, and COM5's screens are shown; File > Exit at full
# speed.
# Usage: ten-byte-answer.sh BIN_DIR
CASE="ten-byte answer"
. "$(dirname "$0")/fault-lib.sh"
start_display

folder ten-bytes
sim com9short "$D" 9 --answer-bytes 10
sim com5 "$D" 5 --replay "$FRAMES_A"
viewer
choose $CONNECT
until_ok 20 view_shows "$FRAMES_A" || fail "COM5 is not shown"
[ "$(requests com9short)" = 1 ] || fail "COM9 (10 bytes) got $(requests com9short) requests, not the probe's one"
echo "  COM9 answers 10 bytes: passed over after one probe, COM5 shown"
quit "streaming at full speed"
pass
