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
# The simulator may count the last requests sent before Exit a little later
# on a loaded machine; once it has caught up, the count must stand still.
until_ok 20 still || fail "requests still come after Exit"
echo "File > Exit: korvane ended with code 0"
pass
