#!/bin/sh
# A silent instrument on COM2: not found by the probe, but COM2 is the last
# port tried, which Connect opens. Nothing is shown, and Save/Print before
# the first screen writes nothing and starts nothing.
# Usage: silent-instrument.sh BIN_DIR
CASE="silent instrument"
. "$(dirname "$0")/fault-lib.sh"
start_display

folder silent
sim silent "$D" 2 --silent
viewer
choose $CONNECT
until_ok 20 above requests silent 1 || fail "the link did not start"
choose $SAVE_PRINT
sleep 1 # the span in which a snapshot or a started tool would show up
[ ! -e "$D/Temp.bmp" ] && [ "$(tools_started)" = 0 ] || fail "Save/Print wrote or started something without a screen"
echo "  nothing shown, Save/Print writes nothing and starts nothing"
quit "a silent instrument is waited for"
pass
