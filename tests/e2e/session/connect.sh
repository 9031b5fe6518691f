#!/bin/sh
# File > Connect: screens come through the pseudo-terminal, and the window
# shows each one upright, at its first size (320x240 below the menu bar) and
# stretched each way on its own scale.
# Usage: connect.sh BIN_DIR
CASE="connect"
. "$(dirname "$0")/session-lib.sh"
start_display

connected
ls -l "/proc/$KV_PID/fd" | grep -q pts || fail "korvane holds no pseudo-terminal while connected"
until_ok 30 shows colour || { cat "$WORK/check.txt"; fail "the window does not show the frames sent, upright"; }
echo "connected; shown at 320x240: $(tail -n 1 "$WORK/check.txt")"
resize 500 410
until_ok 30 shows colour || { cat "$WORK/check.txt"; fail "the stretched picture is wrong"; }
echo "shown at 500x410: $(tail -n 1 "$WORK/check.txt")"
if [ -n "$DOCS" ]; then
    resize 640 480
    until_ok 30 shows colour || fail "the picture at 640x480 is wrong"
    /usr/bin/convert "xwd:$WORK/shot.xwd" -strip "png:$DOCS/korvane.png" || fail "cannot write $DOCS/korvane.png"
    echo "saved $DOCS/korvane.png"
fi
pass
