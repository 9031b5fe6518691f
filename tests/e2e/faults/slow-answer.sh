#!/bin/sh
# Two answers at full speed, the third at 2000 bytes a second (20 s): while
# it trickles in, the second frame stays shown and is what Save/Print
# writes; File > Exit in the middle of the answer.
# Usage: slow-answer.sh BIN_DIR
CASE="slow answer"
. "$(dirname "$0")/fault-lib.sh"
start_display

folder slow
sim slow "$D" 5 --replay "$FRAMES_A" --rate 2000 --fault-every 3
viewer
choose $CONNECT
until_ok 20 above requests slow 2 || fail "the third request did not come"
FRAME_1=$(frame "$FRAMES_A" 1)
shows_only "$FRAME_1" 8
save_print "$FRAME_1"
[ "$(frames_sent slow)" = 2 ] || fail "the slow answer ended before Exit"
echo "  while the third answer trickles in, the second frame stays shown and saved"
quit "an answer trickles in at 2000 bytes/s"
pass
