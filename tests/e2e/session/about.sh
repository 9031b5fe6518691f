#!/bin/sh
# Help > About by its keys: Alt and "?" (Alt+Shift+/ on a US layout), and Alt
# and "/"; Esc closes it, and no other key opens it.
# Usage: about.sh BIN_DIR
CASE="about"
. "$(dirname "$0")/session-lib.sh"
start_display

viewer
ABOUT=""
find_about() { ABOUT=$(xdotool search --all --onlyvisible --pid "$KV_PID" --name '^About$' 2>/dev/null | head -n 1); [ -n "$ABOUT" ]; }
about_gone() { ! find_about; }
for keys in alt+shift+slash alt+slash; do
    xdotool windowfocus --sync "$WIN"
    xdotool key "$keys"
    until_ok 10 find_about || fail "$keys did not open About"
    xdotool windowfocus --sync "$ABOUT"
    xdotool key Escape
    until_ok 10 about_gone || fail "About did not close with Esc"
done
# The other keys, then Alt+F: the window takes its keys in order, so once
# the File menu (or About) is up, the keys before it have been handled.
shown=$(visible)
xdotool windowfocus --sync "$WIN"
xdotool key alt+a ctrl+slash slash alt+f
menu_or_about() { find_about || new_popup "$shown"; }
until_ok 20 menu_or_about || fail "neither the File menu nor About came up"
find_about && fail "another key opened About"
echo "About opened with Alt+? and Alt+/ only"
pass
