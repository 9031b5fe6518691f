#!/bin/sh
# Many Save/Print in a row, each starting the real Pictorix: three while
# paused, each Pictorix showing the screen of its own paused moment, then five
# in a row while screens stream, each showing a whole frame; all eight end
# with code 0 when closed.
# Usage: many-save-print.sh BIN_DIR
CASE="many Save/Print"
. "$(dirname "$0")/fault-lib.sh"
# Room for eight image tools side by side beside korvane.
start_display 1920x1080x24

folder many
# The real image tool, its exit code noted.
cat >"$D/Pictorix" <<TOOL
#!/bin/sh
"$BIN/Pictorix"
echo \$? >>pictorix-codes
TOOL
sim many "$D" 5 --replay "$FRAMES_A"
viewer
xdotool windowmove "$WIN" 1400 0
choose $CONNECT
until_ok 20 view_shows "$FRAMES_A" || fail "no picture"
forms() { xdotool search --all --onlyvisible --name '^ZLS 740$' 2>/dev/null | sort; }
forms_are() { [ "$(forms | wc -l)" -eq "$1" ]; }
# form_shows WINDOW FRAMES: the image area of a Pictorix window shows one of FRAMES.
form_shows() { xwd -silent -id "$1" | "$CHECK" match - 8 8 "$2" >"$WORK/match.txt" 2>&1; }
# place WINDOW SLOT: the windows in a grid of three columns, none over another.
place() { xdotool windowmove "$1" $(( ($2 % 3) * 430 )) $(( ($2 / 3) * 330 )); }
# Paused, the screen of the moment is known: each tool must show that one.
PAUSED_FORMS=""
settled() { a=$(frames_sent many); sleep 0.2; [ "$a" = "$(frames_sent many)" ]; }
for round in 1 2 3; do
    choose $PAUSE
    until_ok 10 settled || fail "screens still come while paused"
    view_shows "$FRAMES_A" || fail "no whole picture while paused"
    moment=$(frame "$FRAMES_A" "$(shown_frame)")
    before=$(forms)
    choose $SAVE_PRINT
    until_ok 30 forms_are "$round" || fail "Save/Print $round started no Pictorix"
    new=$(forms | grep -vxF "$before" | head -n 1)
    PAUSED_FORMS="$PAUSED_FORMS $new"
    place "$new" $((round - 1))
    until_ok 10 form_shows "$new" "$moment" || fail "Pictorix $round does not show the screen of its moment"
    choose $PAUSE
    sent=$(frames_sent many)
    until_ok 10 above frames_sent many $((sent + 4)) || fail "no screens after the pause"
done
# Then in a row while screens stream: each shows a whole frame.
for i in 1 2 3 4 5; do choose $SAVE_PRINT; done
until_ok 60 forms_are 8 || fail "$(forms | wc -l) Pictorix windows, not 8"
slot=3
for w in $(forms | grep -vxF "$(echo $PAUSED_FORMS | tr ' ' '\n')"); do
    place "$w" "$slot"
    slot=$((slot + 1))
done
for w in $(forms); do
    until_ok 10 form_shows "$w" "$FRAMES_A" || fail "a Pictorix window shows no whole frame"
done
for w in $(forms); do
    press "$w" Close
done
until_ok 30 forms_are 0 || fail "Close left $(forms | wc -l) Pictorix windows"
codes() { [ "$(wc -l <"$D/pictorix-codes")" -eq 8 ]; }
until_ok 20 codes || fail "$(wc -l <"$D/pictorix-codes") Pictorix ended, not 8"
[ "$(sort -u "$D/pictorix-codes")" = 0 ] || fail "Pictorix exit codes $(tr '\n' ' ' <"$D/pictorix-codes")"
echo "  8 Pictorix: 3 each with the screen of its paused moment, 5 in a row each with a whole frame; all ended with 0"
quit
pass
