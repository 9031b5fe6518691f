#!/bin/sh
# File > Exit while screens stream ends korvane with code 0, and no request
# comes after it.
# Usage: exit.sh BIN_DIR
CASE="exit"
. "$(dirname "$0")/session-lib.sh"
start_display

connected
choose $EXIT
until_ok 20 gone "$KV" || fail "korvane still runs after File > Exit"
wait "$KV"
[ "$(exit_code "$KV_PID")" = 0 ] || fail "korvane ended with code '$(exit_code "$KV_PID")'"
ended=$(report requests)
sleep 0.3 # the span in which a request sent late would arrive
[ "$(report requests)" = "$ended" ] || fail "requests still come after Exit"
echo "File > Exit: korvane ended with code 0"
pass
