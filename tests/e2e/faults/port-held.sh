#!/bin/sh
# The port held by another program: Connect shows "DSO Connection Error",
# log.txt 43 00 00, nothing is sent; once the other program lets go, Connect
# works.
# Usage: port-held.sh BIN_DIR
CASE="port held"
. "$(dirname "$0")/fault-lib.sh"
require flock
start_display

folder held
sim held "$D" 5 --replay "$FRAMES_A"
# The holder keeps the locked descriptor itself, so ending it lets go.
(exec 9<"$D/COM5" && flock -x 9 && own sleep 600) &
HOLDER=$!
PIDS="$PIDS $HOLDER"
held() { ! flock -xn "$D/COM5" true; }
until_ok 10 held || fail "the holder did not take the port"
viewer
choose $CONNECT
until_ok 20 titled_is "DSO Connection Error" 1 || fail "Connect on a held port shows no \"DSO Connection Error\""
answer "DSO Connection Error"
log_is "43 00 00" || fail "log.txt holds $(od -An -tx1 "$D/log.txt")"
[ "$(requests held)" = 0 ] || fail "the held port was written to"
kill "$HOLDER"
wait "$HOLDER" 2>/dev/null
choose $CONNECT
until_ok 20 view_shows "$FRAMES_A" || fail "Connect fails after the port was let go"
log_is "43 00 00 43" || fail "log.txt holds $(od -An -tx1 "$D/log.txt")"
echo "  held: \"DSO Connection Error\", nothing sent; let go: Connect works (log.txt 43 00 00 43)"
quit
pass
