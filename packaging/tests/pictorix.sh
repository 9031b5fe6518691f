#!/bin/sh
# The installed Pictorix run by an ordinary user from its launcher, on a
# snapshot in the user's folder: tif chosen, Save under a name of ours, a
# 320x240 tif written; every library it has loaded then comes with the
# package's dependencies.
# Usage: pictorix.sh BUILD_DIR BIN_DIR STATE_DIR [CPACK]
CASE="package Pictorix"
. "$(dirname "$0")/package-lib.sh"
require setpriv /usr/bin/identify
needs_package
user_folders
"$BIN/zls740-sim" --write-frame "$WORK/frame.bin" >"$WORK/frame.log" 2>&1 || fail "the simulator drew no frame"
"$BIN/e2e-expected-snapshot" "$WORK/frame.bin" "$BIN/header2.bin" colour "$RUN/Temp.bmp" || fail "no snapshot"
chown "$USER_NAME:$USER_GROUP" "$RUN/Temp.bmp"

as_user pictorix "$RUN" Pictorix
PX=$LAST
until_ok 30 window "$PX" '^ZLS 740$' || fail "no Pictorix window from the launcher"
PX_WIN=$WIN
runs_as "$PX" Pictorix "$RUN"
press "$PX_WIN" tif
press "$PX_WIN" Save
dialog() { WIN=$(pictorix_windows "$PX" "Save As" | head -n 1); [ -n "$WIN" ]; }
until_ok 20 dialog || fail "Save did not open the save dialog"
save_dialog_enter "$PX" "$WIN" "$RUN/saved"
until_ok 20 test -s "$RUN/saved" || fail "Pictorix saved nothing"
format() { [ "$(/usr/bin/identify -format '%m %wx%h' "$RUN/saved" 2>/dev/null)" = "TIFF 320x240" ]; }
until_ok 10 format || fail "the saved file is $(/usr/bin/identify -format '%m %wx%h' "$RUN/saved" 2>&1), not a 320x240 tif"
echo "Pictorix from the launcher: saved a 320x240 tif"
libraries_come_with_package "$PX" "Pictorix saving a tif"
close_pictorix "$PX" "$PX_WIN"
echo "PASS: $CASE"
