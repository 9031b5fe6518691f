#!/bin/sh
# File > Pause: once the answer under way is in, no request is sent and the
# picture stays that of the frame sent last.
# Usage: pause.sh BIN_DIR
CASE="pause"
. "$(dirname "$0")/session-lib.sh"
start_display

connected
until_ok 30 shows colour || { cat "$WORK/check.txt"; fail "no screens shown"; }
pause_on_last colour
cp "$WORK/shot.xwd" "$WORK/paused.xwd"
held=$(report requests)
sleep 1 # the span over which nothing may change
xwd -id "$WIN" >"$WORK/shot.xwd" || fail "no picture of the window"
cmp -s "$WORK/shot.xwd" "$WORK/paused.xwd" || fail "the picture changed while paused"
[ "$(report requests)" = "$held" ] || fail "requests came while paused"
echo "paused: the picture and $held requests stand still"
pass
