#!/bin/sh
# File > Color off: the next screens come in the monochrome palette.
# Usage: color.sh BIN_DIR
CASE="color"
. "$(dirname "$0")/session-lib.sh"
start_display

connected
until_ok 30 shows colour || { cat "$WORK/check.txt"; fail "no colour screens after File > Connect"; }
choose $COLOR
until_ok 30 shows mono || { cat "$WORK/check.txt"; fail "no monochrome screens after File > Color"; }
echo "monochrome after File > Color: $(tail -n 1 "$WORK/check.txt")"
pass
