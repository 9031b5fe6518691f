#!/bin/sh
# Every second answer cut to 30000 bytes, where a frame published anyway
# would show half of the one before: every screenshot and the snapshot are
# each one whole frame sent.
# Usage: short-answers.sh BIN_DIR
CASE="short answers"
. "$(dirname "$0")/fault-lib.sh"
start_display

folder short
sim short "$D" 5 --replay "$FRAMES_A" --answer-bytes 30000 --fault-every 2
viewer
choose $CONNECT
until_ok 20 above frames_sent short 8 || fail "no answers"
shows_only "$FRAMES_A" 8
save_print "$FRAMES_A"
echo "  every second answer only 30000 bytes: frames shown$SEEN, snapshot whole"
quit "every second answer is short"
pass
