#!/bin/sh
# Pictorix's Save: at once with the preselected jpg a JPEG; with png chosen, a
# PNG under the proposed name (ten digits of the clock, no extension) in the
# Img folder beside the program, holding exactly the snapshot's pixels.
# Pictorix writes a temporary file first, which must be gone once the name
# is there, and no error box comes.
# Usage: pictorix-save.sh BIN_DIR
CASE="Pictorix save"
. "$(dirname "$0")/session-lib.sh"
start_display

pictorix
saved=""
saved_file() { saved=$(ls "$WORK/Img" 2>/dev/null | grep -Ex '[0-9]{10}' | head -n 1); [ -n "$saved" ]; }
DIALOG=""
find_dialog() { DIALOG=$(pictorix_windows "$PIX_PID" "Save As" | head -n 1); [ -n "$DIALOG" ]; }
dialog_gone() { ! find_dialog; }
# save_accepted: Save clicked, and the proposed name taken as it stands.
save_accepted() {
    press "$PWIN" Save
    until_ok 20 find_dialog || fail "Save opened no dialog"
    xdotool windowfocus --sync "$DIALOG"
    xdotool key Return
    until_ok 20 dialog_gone || fail "the save dialog did not close"
    until_ok 20 saved_file || fail "nothing saved under a ten-digit name in Img: $(ls "$WORK/Img" | tr '\n' ' ')"
    [ "$(ls -A "$WORK/Img" | wc -l)" -eq 1 ] || fail "more than the saved file in Img: $(ls -A "$WORK/Img" | tr '\n' ' ')"
    message_box && fail "Pictorix reported an error on Save"
}

save_accepted
kind=$(/usr/bin/identify -format %m "$WORK/Img/$saved" 2>/dev/null)
[ "$kind" = JPEG ] || fail "the first save is '$kind', not JPEG"
mv "$WORK/Img/$saved" "$WORK/first-save"
echo "Save with the preselected format: JPEG"

press "$PWIN" png
before=$(date +%m%d%H%M%S)
save_accepted
after=$(date +%m%d%H%M%S)
[ "$saved" -ge "$before" ] && [ "$saved" -le "$after" ] || fail "name $saved is not a time between $before and $after"
kind=$(/usr/bin/identify -format %m "$WORK/Img/$saved" 2>/dev/null)
[ "$kind" = PNG ] || fail "saved '$kind', not PNG"
pixels "$WORK/Img/$saved" "$WORK/saved.rgb" || fail "ImageMagick cannot read the saved file"
cmp -s "$WORK/saved.rgb" "$WORK/snapshot.rgb" || fail "the saved PNG does not hold the snapshot's pixels"
echo "png saved under the proposed name Img/$saved with the snapshot's pixels"
pass
