#!/bin/sh
# korvane and Pictorix started from their desktop entries by an ordinary
# user, from elsewhere (the desktop's folder is not the user's): their
# windows carry the class the entries name, and both run in the user's own
# korvane folder, made on first start; Pictorix saves a 320x240 tif there
# with nothing but the libraries the package's dependencies bring.
# Usage: desktop-entries.sh BUILD_DIR BIN_DIR STATE_DIR [CPACK]
CASE="package desktop entries"
. "$(dirname "$0")/package-lib.sh"
require xprop /usr/bin/identify
needs_package
user_folders
start_display

# desktop_exec ENTRY: the entry's Exec line run as the user, in /, split as
# the desktop would (words, with quotes); its window (WIN) carries the class
# the entry names, by which docks and task bars match them.
desktop_exec() {
    file=$APPLICATIONS/$1.desktop log=$1-menu title=$2
    eval "set -- $(sed -n 's/^Exec=//p' "$file")"
    as_user "$log" / "$@"
    until_ok 30 window "$LAST" "$title" || fail "no window $title from $file"
    class=$(xprop -id "$WIN" WM_CLASS | sed -n 's/.*", "\(.*\)"$/\1/p')
    [ "$class" = "$(sed -n 's/^StartupWMClass=//p' "$file")" ] || fail "the window's class '$class' is not the one $file names"
}
DATA=$USER_HOME/.local/share/korvane
desktop_exec korvane '^Korvane$'
installed_korvane "$LAST" "$DATA"
until_ok 10 test -e "$DATA/log.txt" || fail "korvane from the desktop entry made no log.txt in $DATA"
exit_korvane
# A snapshot for Pictorix, as korvane-grab takes it of the instrument's screen.
instrument
"$BIN/korvane-grab" --port "$RUN/COM5" -o "$DATA/Temp.bmp" >"$WORK/grab.log" 2>&1 || fail "no snapshot"
chown "$USER_NAME:$USER_GROUP" "$DATA/Temp.bmp"
desktop_exec pictorix '^ZLS 740$'
PX=$LAST PX_WIN=$WIN
runs_as "$PX" Pictorix "$DATA"
# Saving a tif needs Qt's image format plugin: it must come with the package.
press "$PX_WIN" tif
press "$PX_WIN" Save
until_ok 20 window "$PX" '^Save As$' || fail "Save did not open the save dialog"
xdotool windowfocus --sync "$WIN"
xdotool key ctrl+a
xdotool type --delay 5 "$DATA/saved"
xdotool key Return
# While the file name's completion list (an override-redirect pop-up) is
# open, Return only closes it; it may come late (the folder is read in the
# background), so Return is pressed again after each one seen.
popup() {
    for w in $(xdotool search --all --onlyvisible --pid "$PX" 2>/dev/null); do
        xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' && return 0
    done
    return 1
}
saved() {
    if xwininfo -id "$WIN" 2>/dev/null | grep -q IsViewable && popup; then
        xdotool key Return
        sleep 0.2
    fi
    [ "$(/usr/bin/identify -format '%m %wx%h' "$DATA/saved" 2>/dev/null)" = "TIFF 320x240" ]
}
until_ok 30 saved || fail "the saved file is $(/usr/bin/identify -format '%m %wx%h' "$DATA/saved" 2>&1), not a 320x240 tif"
libraries_come_with_package "$PX" "Pictorix saving a tif"
close_pictorix "$PX" "$PX_WIN"
echo "PASS: $CASE"
