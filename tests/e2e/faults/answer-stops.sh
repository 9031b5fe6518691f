#!/bin/sh
# Three whole frames, then half of one and nothing after: the half answer
# is dropped, the third frame stays shown and saved, and the next request
# waits for ever; File > Exit meanwhile.
# Usage: answer-stops.sh BIN_DIR
CASE="answer stops half way"
. "$(dirname "$0")/fault-lib.sh"
start_display

folder stall
sim stall "$D" 5 --replay "$FRAMES_A" --stall-after $((40960 * 3 + 20480))
viewer
choose $CONNECT
until_ok 20 above requests stall 4 || fail "no request after the half answer"
FRAME_2=$(frame "$FRAMES_A" 2)
shows_only "$FRAME_2" 8
save_print "$FRAME_2"
echo "  three frames, then half of one: the third frame stays shown and saved"
quit "the answer stopped half way and the next never comes"
pass
