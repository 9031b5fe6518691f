#!/bin/sh
# korvane end to end in a real X server of its own (Xvfb, no window manager):
# the simulator linked as COM5 in a scratch folder, korvane started there and
# driven with the keyboard, its window compared with the frame the simulator
# reports it sent, About by its two keys, Save/Print, and Exit.
# Usage: run-e2e.sh BIN_DIR   (korvane, zls740-sim, header2.bin, e2e-screen-check)
set -u
BIN=$(cd "${1:?usage: run-e2e.sh BIN_DIR}" && pwd)
. "$(dirname "$0")/e2e-lib.sh"
require Xvfb xdotool xwd xwininfo /usr/bin/convert
start_display

# The instrument, and korvane's working folder with its files.
cp "$BIN/header2.bin" "$WORK/"
cat >"$WORK/Pictorix" <<'TOOL'
#!/bin/sh
# Stands in for the image tool: notes where it was started and what it found.
{ pwd; wc -c < Temp.bmp; } > pictorix-started
TOOL
chmod +x "$WORK/Pictorix"
"$BIN/zls740-sim" --dir "$WORK" --com 5 --last-frame "$WORK/last.bin" --report "$WORK/report.txt" \
    >"$WORK/sim.log" 2>&1 &
PIDS="$PIDS $!"
until_ok 10 test -e "$WORK/COM5" || fail "the simulator made no COM5"

(cd "$WORK" && exec "$BIN/korvane") >"$WORK/korvane.log" 2>&1 &
KV_PID=$!
PIDS="$KV_PID $PIDS"
WIN=""
find_window() { WIN=$(xdotool search --all --pid "$KV_PID" --name '^Korvane$' 2>/dev/null | head -n 1); [ -n "$WIN" ]; }
until_ok 20 find_window || fail "no korvane window"
focus() { xdotool windowfocus --sync "$WIN"; }
focus
# Visible windows of korvane: the main window, plus an open menu or box.
windows() { xdotool search --onlyvisible --pid "$KV_PID" 2>/dev/null | wc -l; }
menu_open() { [ "$(windows)" -ge 2 ]; }
open_file_menu() {
    focus
    xdotool key alt+f
    until_ok 10 menu_open || fail "File menu did not open"
}
window_height() { xwininfo -id "$WIN" | sed -n 's/^ *Height: *//p'; }
window_width() { xwininfo -id "$WIN" | sed -n 's/^ *Width: *//p'; }
shot() { xwd -id "$WIN" | /usr/bin/convert xwd:- "png:$1"; }

width_is() { [ "$(window_width)" -eq "$1" ]; }
until_ok 10 width_is 320 || fail "window width $(window_width), not 320"
MENU=$(( $(window_height) - 240 ))
[ "$MENU" -gt 0 ] || fail "no menu bar above a 320x240 client area"

# File > Connect (the first item), typed.
open_file_menu
xdotool key Return
frames() { sed -n 's/^frames //p' "$WORK/report.txt" 2>/dev/null; }
frames_above() { [ "$(frames)" -gt "$1" ]; }
until_ok 20 frames_above 4 || fail "no screens requested after File > Connect"
ls -l "/proc/$KV_PID/fd" | grep -q pts || fail "korvane holds no pseudo-terminal while connected"

# File > Pause holds the picture still, so that it can be compared with the
# last frame sent.
open_file_menu
xdotool key Down Return
sent_settles() {
    a=$(frames); sleep 0.3; b=$(frames); [ "$a" = "$b" ]
}
until_ok 20 sent_settles || fail "screens still come while paused"
check() {
    shot "$WORK/shot.png" && "$BIN/e2e-screen-check" "$WORK/shot.png" "$WORK/last.bin" "$MENU" >"$WORK/check.log" 2>&1
}
until_ok 20 check || { cat "$WORK/check.log"; fail "the window does not show the last frame turned upright"; }
echo "shown at 320x240: $(tail -n 1 "$WORK/check.log")"

# Stretched to another size, each way on its own scale.
xdotool windowsize "$WIN" 500 $((MENU + 410))
until_ok 20 width_is 500 || fail "window did not resize"
until_ok 20 check || { cat "$WORK/check.log"; fail "the stretched picture is wrong"; }
echo "shown at 500x410: $(tail -n 1 "$WORK/check.log")"

# About with Alt and "?" (Alt+Shift+/ on a US layout), then with Alt and "/".
ABOUT=""
find_about() { ABOUT=$(xdotool search --all --onlyvisible --pid "$KV_PID" --name '^About$' 2>/dev/null | head -n 1); [ -n "$ABOUT" ]; }
about_gone() { ! find_about; }
for keys in alt+shift+slash alt+slash; do
    focus
    xdotool key "$keys"
    until_ok 10 find_about || fail "$keys did not open About"
    xdotool windowfocus --sync "$ABOUT"
    xdotool key Escape
    until_ok 10 about_gone || fail "About did not close with Esc"
    echo "About opened with $keys"
done
# No other key opens it.
focus
xdotool key alt+a ctrl+slash slash
sleep 0.5
find_about && fail "another key opened About"

# File > Save/Print: Connect, Pause, Color, Save/Print.
rm -f "$WORK/Temp.bmp"
open_file_menu
xdotool key Down Down Down Return
until_ok 20 test -s "$WORK/pictorix-started" || fail "Save/Print did not start Pictorix"
[ "$(sed -n 1p "$WORK/pictorix-started")" = "$WORK" ] || fail "Pictorix started in $(sed -n 1p "$WORK/pictorix-started")"
[ "$(sed -n 2p "$WORK/pictorix-started" | tr -d ' ')" = 38518 ] || fail "Temp.bmp is not 38518 bytes"
"$BIN/e2e-screen-check" "$WORK/Temp.bmp" "$WORK/last.bin" 0 || fail "Temp.bmp does not hold the picture shown"
echo "Save/Print wrote Temp.bmp and started Pictorix"

# File > Pause again: screens flow, and Exit comes while the reader thread runs.
open_file_menu
xdotool key Down Return
before=$(frames)
until_ok 20 frames_above "$before" || fail "no screens after the pause ended"

# File > Exit: code 0, the process gone with its reader thread and port.
open_file_menu
xdotool key x
until_ok 20 gone "$KV_PID" || fail "korvane still runs after File > Exit"
wait "$KV_PID"
rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc after File > Exit"
requests() { sed -n 's/^requests //p' "$WORK/report.txt"; }
r1=$(requests); sleep 0.3; r2=$(requests)
[ "$r1" = "$r2" ] || fail "requests still arrive after Exit"
echo "File > Exit: exit code 0"
echo "PASS"
