#!/bin/sh
# header2.bin in korvane's folder missing, 60 bytes, random, or a sound
# header whose pixels would lie 64 KiB further on: the picture and the
# snapshot are still right, by the header beside the program (where one
# lies there) or the built-in one.
# Usage: header-template.sh BIN_DIR missing|short|garbage|offset
KIND=${2:-}
CASE="header template $KIND"
. "$(dirname "$0")/fault-lib.sh"

folder "header-$KIND"
# korvane copied to where no header2.bin lies beside it, and to where a good one does.
mkdir -p "$WORK/bare" "$WORK/beside"
cp "$BIN/korvane" "$WORK/bare/"
cp "$BIN/korvane" "$BIN/header2.bin" "$WORK/beside/"
program="$WORK/bare/korvane"
case $KIND in
missing) rm "$D/header2.bin" ;;
short) head -c 60 "$BIN/header2.bin" >"$D/header2.tmp" && mv "$D/header2.tmp" "$D/header2.bin" ;;
garbage)
    head -c 118 /dev/urandom >"$D/header2.bin"
    program="$WORK/beside/korvane" ;;
offset)
    { head -c 10 "$BIN/header2.bin"; printf '\166\000\001\000'; tail -c +15 "$BIN/header2.bin"; } >"$D/header2.tmp"
    mv "$D/header2.tmp" "$D/header2.bin" ;;
*) echo "usage: header-template.sh BIN_DIR missing|short|garbage|offset"; exit 2 ;;
esac
start_display
sim "header-$KIND" "$D" 5 --replay "$FRAMES_A"
viewer "$program"
choose $CONNECT
until_ok 20 view_shows "$FRAMES_A" || fail "the picture is wrong"
save_print "$FRAMES_A"
echo "  header2.bin $KIND: the picture and the snapshot are right"
quit
pass
