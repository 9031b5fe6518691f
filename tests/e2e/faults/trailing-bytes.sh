#!/bin/sh
# Every third answer with 3 bytes more, 20 ms after the frame: after the
# viewer has taken it, yet inside the 50 ms that still belong to the answer.
# Every screenshot and the snapshot are each one whole frame sent.
# Usage: trailing-bytes.sh BIN_DIR
CASE="trailing bytes"
. "$(dirname "$0")/fault-lib.sh"
start_display

folder trailing
# The 20 ms are the heart of the case: an instrument held up for 50 ms more on
# a loaded machine would send the bytes after korvane has rightly taken the
# line for quiet, and they would lead the next answer instead, which the
# link cannot tell from trailing bytes (a shifted screen is then what any
# viewer shows).
SIM_REALTIME=1
sim trailing "$D" 5 --replay "$FRAMES_A" --answer-bytes 40963 --fault-every 3 --trailing-after 20
viewer
choose $CONNECT
until_ok 20 above frames_sent trailing 8 || fail "no answers"
shows_only "$FRAMES_A" 8
save_print "$FRAMES_A"
echo "  every third answer with 3 bytes more, 20 ms late: frames shown$SEEN, snapshot whole"
quit "answers come with trailing bytes"
pass
