#!/bin/sh
# The real Pictorix on a Temp.bmp that is missing, truncated, or sound to the
# header but 40000 x 40000 pixels: its run-time error box, no window, and
# exit code 1 once the box is answered.
# Usage: pictorix-start-up.sh BIN_DIR missing|truncated|hostile
KIND=${2:-}
CASE="Pictorix start-up, Temp.bmp $KIND"
. "$(dirname "$0")/fault-lib.sh"

P="$WORK/px-$KIND"
mkdir -p "$P"
"$BIN/e2e-expected-snapshot" "$(frame "$FRAMES_A" 0)" "$BIN/header2.bin" colour "$WORK/good.bmp" ||
    fail "no snapshot to spoil"
case $KIND in
missing) ;;
truncated) head -c 20000 "$WORK/good.bmp" >"$P/Temp.bmp" ;;
hostile)
    { head -c 18 "$WORK/good.bmp"; printf '\100\234\000\000\100\234\000\000'; tail -c +27 "$WORK/good.bmp"; } >"$P/Temp.bmp" ;;
*) echo "usage: pictorix-start-up.sh BIN_DIR missing|truncated|hostile"; exit 2 ;;
esac
start_display
(cd "$P" && own "$BIN/Pictorix") >"$WORK/pictorix.log" 2>&1 &
PX=$!
PIDS="$PIDS $PX"
PX_BOX=""
px_box() { PX_BOX=$(xdotool search --all --onlyvisible --pid "$PX" --name '^ZLS740$' 2>/dev/null | head -n 1); [ -n "$PX_BOX" ]; }
until_ok 30 px_box || fail "no run-time error box"
[ -z "$(xdotool search --all --pid "$PX" --name '^ZLS 740$' 2>/dev/null)" ] || fail "the window was shown"
xdotool windowfocus --sync "$PX_BOX"
xdotool key Return
until_ok 10 gone "$PX" || fail "still running after the error box"
wait "$PX"
rc=$?
[ "$rc" = 1 ] || fail "exit code $rc, not 1"
number=$(sed -n "s/.*Run-time error '\([0-9]*\)'.*/\1/p" "$WORK/pictorix.log")
[ -n "$number" ] || fail "no run-time error reported"
echo "  Temp.bmp $KIND: run-time error $number, exit code 1"
pass
