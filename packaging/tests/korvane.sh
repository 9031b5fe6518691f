#!/bin/sh
# The installed programs run by an ordinary user from their launchers:
# korvane-grab takes one screen as the viewer's snapshot would be;
# korvane-serve serves it over loopback; korvane, started in a folder of the
# user's, connects to the simulator, and File > Save/Print starts the
# installed Pictorix there. Every library the running korvane and Pictorix
# have loaded comes with the package's dependencies.
# Usage: korvane.sh BUILD_DIR BIN_DIR STATE_DIR [CPACK]
CASE="package korvane"
. "$(dirname "$0")/package-lib.sh"
needs_package
user_folders
start_display
instrument

as_user grab "$RUN" korvane-grab -o grab.bmp
wait "$LAST" || fail "korvane-grab ended with code $?"
[ "$(wc -c <"$RUN/grab.bmp")" -eq 38518 ] || fail "korvane-grab wrote no 38518-byte bitmap"

as_user serve "$RUN" korvane-serve --listen 127.0.0.1:0
SERVE=$LAST
until_ok 20 grep -q '^instrument found' "$WORK/serve.log" || fail "korvane-serve found no instrument"
URL=$(sed -n 's/.*open \(http:[^ ]*\) in a browser/\1/p' "$WORK/serve.log")
until_ok 20 curl -sf -o "$RUN/served.bmp" "${URL}screen.bmp" || fail "korvane-serve served no screen at $URL"
[ "$(wc -c <"$RUN/served.bmp")" -eq 38518 ] || fail "korvane-serve's screen.bmp is not the 38518-byte snapshot"
kill "$SERVE"
wait "$SERVE" || fail "korvane-serve ended with code $? on SIGTERM"
echo "korvane-grab and korvane-serve from their launchers: a screen taken and served"

as_user korvane "$RUN" korvane
installed_korvane "$LAST" "$RUN"
until_ok 10 test -e "$RUN/log.txt" || fail "korvane made no log.txt in its folder"
# Counted from the screens korvane-serve has had already.
frames() { sed -n 's/^frames //p' "$WORK/sim/report.txt"; }
frames_above() { [ "$(frames)" -gt "$1" ] 2>/dev/null; }
sent=$(frames)
choose $CONNECT
until_ok 20 frames_above $((${sent:-0} + 3)) || fail "no screens after File > Connect"
choose $SAVE_PRINT
find_pictorix() { PX_WIN=$(xdotool search --all --onlyvisible --name '^ZLS 740$' 2>/dev/null | head -n 1); [ -n "$PX_WIN" ]; }
until_ok 30 find_pictorix || fail "Save/Print did not bring up Pictorix"
PX=$(xdotool getwindowpid "$PX_WIN")
runs_as "$PX" Pictorix "$RUN"
[ "$(wc -c <"$RUN/Temp.bmp")" -eq 38518 ] || fail "Temp.bmp is not the 38518-byte snapshot"
libraries_come_with_package "$KV_PID" korvane
libraries_come_with_package "$PX" "Pictorix started by korvane"
# That Pictorix is not a child of this case: it ends on its own.
close_pictorix "$PX" "$PX_WIN"
exit_korvane
echo "PASS: $CASE"
