#!/bin/sh
# The instrument vanishes mid-stream, comes back, and vanishes again: one
# "DSO Connection Error" each time, the last picture kept on screen and saved
# while the box is open; Connect after the box resumes on the same port
# without a probe (a decoy on COM9 that would win a probe is never asked);
# File > Exit while the box waits for OK.
# Usage: instrument-vanishes.sh BIN_DIR
CASE="instrument vanishes"
. "$(dirname "$0")/fault-lib.sh"
start_display

folder vanish
sim inst "$D" 5 --replay "$FRAMES_A" --close-after 40 --reopen-after 1500
INST=$SIM
viewer
choose $CONNECT
until_ok 20 titled_is "DSO Connection Error" 1 || fail "no \"DSO Connection Error\""
sleep 1 # the span in which a second box for the same loss would show up
titled_is "DSO Connection Error" 1 || fail "$(titled "DSO Connection Error") boxes for one lost link"
# The picture kept is the last frame korvane took whole: the last one sent,
# or, where the instrument went before korvane had read all of that answer
# (a loaded machine), the one before it.
n=$(frames_sent inst)
cat "$(frame "$FRAMES_A" $(( (n - 2) % 4 )))" "$WORK/inst.last" >"$WORK/last-two.bin"
view_shows "$WORK/last-two.bin" || fail "the last picture is not kept while the box is open"
kept=$(frame "$WORK/last-two.bin" "$(shown_frame)")
save_print "$kept"
echo "  one box, the last picture kept on screen, Save/Print wrote it"
answer "DSO Connection Error"
until_ok 10 view_blank "$FRAMES_A" || fail "the picture stays after the box was closed"
# Back on a new pseudo-terminal under the same name; a decoy on COM9 would
# win any new probe.
until_ok 20 grep -q '^link up' "$WORK/inst.report" || fail "the instrument did not come back"
sim decoy "$D" 9 --replay "$FRAMES_B"
sent=$(frames_sent inst)
choose $CONNECT
until_ok 20 above frames_sent inst "$sent" \
    || fail "Connect did not resume on COM5 ($(requests decoy) requests on the decoy COM9)"
until_ok 10 view_shows "$FRAMES_A" || fail "no picture from COM5 after Connect"
[ "$(requests decoy)" = 0 ] || fail "Connect probed again ($(requests decoy) requests on COM9)"
log_is "43 43" || fail "log.txt holds $(od -An -tx1 "$D/log.txt")"
echo "  Connect resumed on COM5 without a probe: no request on the decoy COM9, log.txt 43 43"
# Gone for good this time (the simulator ends); Exit while the box waits.
kill "$INST"
until_ok 20 titled_is "DSO Connection Error" 1 || fail "no \"DSO Connection Error\" the second time"
sleep 1 # as above
titled_is "DSO Connection Error" 1 || fail "$(titled "DSO Connection Error") boxes for the second lost link"
quit "\"DSO Connection Error\" waits for OK"
pass
