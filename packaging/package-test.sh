#!/bin/sh
# The Debian package on this machine, end to end: built with cpack from the
# build tree, installed with apt-get, its files checked, then used by an
# ordinary user (nobody) on a display of its own: korvane started from its
# launcher in a folder of the user's, connected to the simulator, Save/Print
# handing the snapshot to the installed Pictorix; Pictorix started from its
# launcher and a tif saved; both started from their desktop entries. Every
# library the running programs have loaded must come with the package's
# dependencies. Then the package is purged, and nothing of it may be left.
# The machine is left as it was found, also when a check fails; where a
# korvane package (or a file of it) is already there, nothing is done.
# Usage: package-test.sh BUILD_DIR BIN_DIR [CPACK]
#   (BIN_DIR: the simulator zls740-sim and header2.bin of the build)
set -u
BUILD=$(cd "${1:?usage: package-test.sh BUILD_DIR BIN_DIR [CPACK]}" && pwd)
BIN=$(cd "${2:?usage: package-test.sh BUILD_DIR BIN_DIR [CPACK]}" && pwd)
CPACK=${3:-cpack}
if [ "$(id -u)" -ne 0 ]; then echo "SKIP: installing a package needs root"; exit 77; fi
. "$(dirname "$0")/../tests/e2e/e2e-lib.sh"
require apt-get apt-cache dpkg dpkg-deb dpkg-query "$CPACK" desktop-file-validate groff gzip \
    Xvfb xdotool xdpyinfo xprop /usr/bin/identify setpriv flock

PROGRAMS=/usr/lib/korvane
USER_NAME=nobody
USER_GROUP=$(id -gn "$USER_NAME")
PURGE=""
finish() {
    rc=$?
    cleanup
    if [ -n "$PURGE" ]; then
        apt-get remove --purge -y -o DPkg::Lock::Timeout=300 korvane >/dev/null 2>&1 \
            || echo "could not remove the korvane package: apt-get remove --purge korvane"
    fi
    exit "$rc"
}
trap finish EXIT

# One run at a time on this machine (two build trees may run this test).
lock=/run/lock
[ -d "$lock" ] || lock=/tmp
exec 9>"$lock/korvane-package-test.lock"
flock -w 600 9 || { echo "SKIP: another package test holds the machine"; exit 77; }
status=$(dpkg-query -W -f='${db:Status-Status}' korvane 2>/dev/null)
case "$status" in
    "" | not-installed) ;;
    *) echo "SKIP: a korvane package is already on this machine ($status)"; exit 77 ;;
esac

# The package, from the programs of this build tree.
"$CPACK" -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/pkg" >"$WORK/cpack.log" 2>&1 || fail "cpack failed"
set -- "$WORK"/pkg/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "cpack made no single .deb: $*"
DEB=$1
field() { dpkg-deb -f "$DEB" "$1"; }
[ "$(field Package)" = korvane ] || fail "package name $(field Package)"
for name in Version Architecture Maintainer Section Priority Description Depends; do
    [ -n "$(field "$name")" ] || fail "the package declares no $name"
done
echo "built $(basename "$DEB"): Depends: $(field Depends)"

# Its paths; a file of it already on the machine belongs to someone else.
dpkg-deb -c "$DEB" | awk '{ print $6 }' | sed 's|^\./|/|; s|/$||' | grep -v '^$' >"$WORK/contents"
: >"$WORK/new-paths"
while read -r path; do
    if [ -d "$path" ] && [ ! -L "$path" ]; then continue; fi
    if [ -e "$path" ] || [ -L "$path" ]; then echo "SKIP: $path is already on this machine"; exit 77; fi
    echo "$path" >>"$WORK/new-paths"
done <"$WORK/contents"
while read -r path; do
    [ -d "$path" ] || echo "$path" >>"$WORK/new-paths"
done <"$WORK/contents"
sort -u -o "$WORK/new-paths" "$WORK/new-paths"

PURGE=1
apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=300 "$DEB" >"$WORK/apt.log" 2>&1 \
    || fail "apt-get install of the package failed"
[ "$(dpkg-query -W -f='${db:Status-Status}' korvane)" = installed ] || fail "korvane is not installed after apt-get"
echo "installed"

# --- Files -------------------------------------------------------------------
for program in korvane Pictorix; do
    [ -x "$PROGRAMS/$program" ] || fail "$PROGRAMS/$program is missing"
done
cmp -s "$PROGRAMS/header2.bin" "$BIN/header2.bin" || fail "$PROGRAMS/header2.bin is not the build's header2.bin"
launchers=$(grep '^/usr/bin/' "$WORK/contents")
for launcher in $launchers; do
    name=$(basename "$launcher")
    [ "$(readlink -f "$launcher")" = "$PROGRAMS/$name" ] || fail "$launcher leads to $(readlink -f "$launcher")"
    [ -x "$PROGRAMS/$name" ] || fail "$launcher leads to no program"
    # Every program on the PATH has its manual page.
    grep -qx "/usr/share/man/man1/$name.1.gz" "$WORK/contents" || fail "no manual page for $name"
done
for name in korvane Pictorix; do
    echo "$launchers" | grep -qx "/usr/bin/$name" || fail "no launcher /usr/bin/$name"
done
for page in $(grep '/usr/share/man/man1/.*\.1\.gz$' "$WORK/contents"); do
    gzip -t "$page" || fail "$page is not gzip"
    gzip -dc "$page" | groff -man -t -ww -z -Tutf8 >"$WORK/groff.log" 2>&1 || fail "groff failed on $page"
    [ -s "$WORK/groff.log" ] && { cat "$WORK/groff.log"; fail "groff warns about $page"; }
done
if command -v man >/dev/null 2>&1; then
    [ "$(man -w korvane 2>/dev/null)" = /usr/share/man/man1/korvane.1.gz ] || fail "man does not find korvane(1)"
    [ "$(man -w Pictorix 2>/dev/null)" = /usr/share/man/man1/Pictorix.1.gz ] || fail "man does not find Pictorix(1)"
fi

# Desktop entries: valid, their icons in every size folder of the theme, each
# image as big as its folder says, transparent around the drawing.
for entry in korvane pictorix; do
    file=/usr/share/applications/$entry.desktop
    [ -f "$file" ] || fail "$file is missing"
    desktop-file-validate "$file" >"$WORK/validate.log" 2>&1 || { cat "$WORK/validate.log"; fail "$file is not valid"; }
    [ -s "$WORK/validate.log" ] && { cat "$WORK/validate.log"; fail "desktop-file-validate has remarks on $file"; }
    icon=$(sed -n 's/^Icon=//p' "$file")
    found=0
    for dir in /usr/share/icons/hicolor/*x*/apps; do
        size=$(basename "$(dirname "$dir")")
        png=$dir/$icon.png
        grep -qx "$png" "$WORK/contents" || continue
        found=$((found + 1))
        [ "$(/usr/bin/identify -format '%m %wx%h %[opaque]' "$png" | tr A-Z a-z)" = "png $size false" ] \
            || fail "$png: $(/usr/bin/identify -format '%m %wx%h opaque %[opaque]' "$png"), not a $size PNG with transparency"
    done
    [ "$found" -ge 6 ] || fail "icon $icon in only $found sizes"
    grep -qx "/usr/share/icons/hicolor/48x48/apps/$icon.png" "$WORK/contents" || fail "icon $icon has no 48x48 image"
done
echo "files: programs, header2.bin, launchers, manual pages, desktop entries and icons"

# --- Running -----------------------------------------------------------------
# The user's folders: a home, the folder korvane is started in, the
# simulator's folder, and the run-time folder a login would have.
chmod 755 "$WORK"
USER_HOME=$WORK/home
RUN=$WORK/run
mkdir -p "$USER_HOME" "$RUN" "$WORK/sim" "$WORK/runtime"
chmod 700 "$WORK/runtime"
cp "$BIN/zls740-sim" "$WORK/sim/"
chown -R "$USER_NAME:$USER_GROUP" "$USER_HOME" "$RUN" "$WORK/sim" "$WORK/runtime"
start_display

# as_user NAME DIR COMMAND...: COMMAND as the ordinary user in DIR, with the
# plain environment of a login, in the background; output in NAME.log, its
# pid in LAST.
as_user() {
    name=$1 dir=$2; shift 2
    (cd "$dir" && exec setpriv --reuid="$USER_NAME" --regid="$USER_GROUP" --clear-groups \
        env -i HOME="$USER_HOME" PATH=/usr/local/bin:/usr/bin:/bin DISPLAY="$DISPLAY" \
        XDG_RUNTIME_DIR="$WORK/runtime" LANG=C.UTF-8 "$@") >"$WORK/$name.log" 2>&1 &
    LAST=$!
    PIDS="$LAST $PIDS"
}
# window PID TITLE: sets WIN to the visible window of that process and title.
WIN=""
window() {
    WIN=$(xdotool search --all --onlyvisible --pid "$1" --name "$2" 2>/dev/null | head -n 1)
    [ -n "$WIN" ]
}
# belongs_to ENTRY: the window WIN is the desktop entry's (docks and task
# bars match them by the class of the window).
belongs_to() {
    class=$(xprop -id "$WIN" WM_CLASS | sed -n 's/.*", "\(.*\)"$/\1/p')
    [ "$class" = "$(sed -n 's/^StartupWMClass=//p' "/usr/share/applications/$1.desktop")" ] \
        || fail "the window's class '$class' is not the one $1.desktop names"
}
# runs_as PID PROGRAM FOLDER: the process is that installed program, in that folder.
runs_as() {
    [ "$(readlink "/proc/$1/exe")" = "$PROGRAMS/$2" ] || fail "$2 runs as $(readlink "/proc/$1/exe")"
    [ "$(readlink "/proc/$1/cwd")" = "$3" ] || fail "$2 runs in $(readlink "/proc/$1/cwd"), not $3"
}
# The files of the packages korvane brings with it: every library a running
# program has loaded must be one of them. (Paths without /usr in front, as
# Debian lists some of them under the old /lib.)
apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances korvane | grep -v '^ ' | sed 's/:.*//' | sort -u >"$WORK/closure"
grep -qx libqt6widgets6 "$WORK/closure" || fail "the package does not bring Qt's widgets"
# shellcheck disable=SC2046
dpkg-query -L $(cat "$WORK/closure") 2>/dev/null | sed 's|^/usr/|/|' | sort -u >"$WORK/closure-files"
# Qt's X11 plugin opens libXcursor (with libXrender) for themed cursors when
# it is there and does without it otherwise: no dependency of the package.
OPTIONAL='/lib/[^/]*/libXcursor\.so|/lib/[^/]*/libXrender\.so'
libraries_come_with_package() {
    awk '$6 ~ /\.so(\.|$)/ { print $6 }' "/proc/$1/maps" | sed 's|^/usr/|/|' | sort -u >"$WORK/maps"
    [ -s "$WORK/maps" ] || fail "no libraries seen in $2"
    grep -Fxvf "$WORK/closure-files" "$WORK/maps" | grep -Ev "^($OPTIONAL)" >"$WORK/foreign"
    if [ -s "$WORK/foreign" ]; then
        while read -r lib; do
            echo "$2 loaded $lib ($({ dpkg -S "$lib" || dpkg -S "/usr$lib"; } 2>/dev/null | sed 's/:.*//'))"
        done <"$WORK/foreign"
        fail "$2 loaded libraries that the package's dependencies do not bring"
    fi
    echo "$2: $(wc -l <"$WORK/maps") libraries, each from the package's dependencies"
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
# Pictorix's form has a fixed size; the middles of its controls, in pixels
# (twips / 15): Close at 344,272 65x25, Save at 272,272 65x25, the tif
# option at 352,64 53x17.
press_close() { click "$1" 376 284; }
press_save() { click "$1" 304 284; }
choose_tif() { click "$1" 378 72; }
close_pictorix() {
    press_close "$2"
    until_ok 20 gone "$1" || fail "Pictorix did not close"
    wait "$1"
}
open_file_menu() {
    xdotool windowfocus --sync "$1"
    xdotool key alt+f
    until_ok 10 menu_open "$2" || fail "korvane's File menu did not open"
}
menu_open() { [ "$(xdotool search --onlyvisible --pid "$1" 2>/dev/null | wc -l)" -ge 2 ]; }
exit_korvane() {
    open_file_menu "$2" "$1"
    xdotool key x
    until_ok 20 gone "$1" || fail "korvane still runs after File > Exit"
    wait "$1" || fail "korvane ended with code $?"
}

# The instrument, linked as COM5 in korvane's folder.
as_user sim "$WORK/sim" "$WORK/sim/zls740-sim" --dir "$RUN" --com 5 --report "$WORK/sim/report.txt"
until_ok 10 test -e "$RUN/COM5" || fail "the simulator made no COM5"

# korvane-grab, where the package has it, from its launcher in that folder:
# one screen as the viewer's snapshot would be.
if grep -qx /usr/bin/korvane-grab "$WORK/contents"; then
    as_user grab "$RUN" korvane-grab -o grab.bmp
    wait "$LAST" || fail "korvane-grab ended with code $?"
    [ "$(wc -c <"$RUN/grab.bmp")" -eq 38518 ] || fail "korvane-grab wrote no 38518-byte bitmap"
    echo "korvane-grab from the launcher: one screen taken"
fi

# korvane from its launcher, in the user's folder.
as_user korvane "$RUN" korvane
KV=$LAST
until_ok 30 window "$KV" '^Korvane$' || fail "no korvane window"
KV_WIN=$WIN
runs_as "$KV" korvane "$RUN"
until_ok 10 test -e "$RUN/log.txt" || fail "korvane made no log.txt in its folder"
# File > Connect.
open_file_menu "$KV_WIN" "$KV"
xdotool key Return
frames_above() { [ "$(report_value "$WORK/sim/report.txt" frames)" -gt "$1" ] 2>/dev/null; }
until_ok 20 frames_above 3 || fail "no screens after File > Connect"
# File > Save/Print (Connect, Pause, Color, Save/Print): the snapshot, and
# the Pictorix beside the installed korvane.
open_file_menu "$KV_WIN" "$KV"
xdotool key Down Down Down Return
pictorix_window() { WIN=$(xdotool search --all --onlyvisible --name '^ZLS 740$' 2>/dev/null | head -n 1); [ -n "$WIN" ]; }
until_ok 30 pictorix_window || fail "Save/Print did not bring up Pictorix"
PX_WIN=$WIN
PX=$(xdotool getwindowpid "$PX_WIN")
runs_as "$PX" Pictorix "$RUN"
[ "$(wc -c <"$RUN/Temp.bmp")" -eq 38518 ] || fail "Temp.bmp is not the 38518-byte snapshot"
echo "korvane from the launcher: connected, Save/Print started $PROGRAMS/Pictorix"
libraries_come_with_package "$KV" korvane
libraries_come_with_package "$PX" "Pictorix started by korvane"
# That Pictorix is not a child of this script: it ends on its own.
press_close "$PX_WIN"
until_ok 20 gone "$PX" || fail "Pictorix did not close"

# Pictorix from its launcher, on that snapshot: tif, Save, a name of ours.
as_user pictorix "$RUN" Pictorix
PX=$LAST
until_ok 30 window "$PX" '^ZLS 740$' || fail "no Pictorix window from the launcher"
PX_WIN=$WIN
runs_as "$PX" Pictorix "$RUN"
choose_tif "$PX_WIN"
press_save "$PX_WIN"
until_ok 20 window "$PX" '^Save As$' || fail "Save did not open the save dialog"
xdotool windowfocus --sync "$WIN"
xdotool key ctrl+a
xdotool type --delay 5 "$RUN/saved"
xdotool key Return
until_ok 20 test -s "$RUN/saved" || fail "Pictorix saved nothing"
format() { [ "$(/usr/bin/identify -format '%m %wx%h' "$RUN/saved" 2>/dev/null)" = "TIFF 320x240" ]; }
until_ok 10 format || fail "the saved file is $(/usr/bin/identify -format '%m %wx%h' "$RUN/saved" 2>&1), not a 320x240 tif"
echo "Pictorix from the launcher: saved a 320x240 tif"
libraries_come_with_package "$PX" "Pictorix saving a tif"
close_pictorix "$PX" "$PX_WIN"
exit_korvane "$KV" "$KV_WIN"

# The desktop entries, started from elsewhere (the desktop's folder is not
# the user's), run in the user's own korvane folder, made on first start.
desktop_exec() {
    entry=$1
    eval "set -- $(sed -n 's/^Exec=//p' "/usr/share/applications/$entry.desktop")"
    as_user "$entry-menu" / "$@"
}
DATA=$USER_HOME/.local/share/korvane
desktop_exec korvane
KV=$LAST
until_ok 30 window "$KV" '^Korvane$' || fail "no korvane window from the desktop entry"
KV_WIN=$WIN
belongs_to korvane
runs_as "$KV" korvane "$DATA"
until_ok 10 test -e "$DATA/log.txt" || fail "korvane from the desktop entry made no log.txt in $DATA"
exit_korvane "$KV" "$KV_WIN"
cp "$RUN/Temp.bmp" "$DATA/Temp.bmp" && chown "$USER_NAME:$USER_GROUP" "$DATA/Temp.bmp"
desktop_exec pictorix
PX=$LAST
until_ok 30 window "$PX" '^ZLS 740$' || fail "no Pictorix window from the desktop entry"
belongs_to pictorix
runs_as "$PX" Pictorix "$DATA"
close_pictorix "$PX" "$WIN"
echo "desktop entries: korvane and Pictorix in $DATA"

# --- Removal -----------------------------------------------------------------
apt-get remove --purge -y -o DPkg::Lock::Timeout=300 korvane >"$WORK/purge.log" 2>&1 || fail "apt-get remove --purge failed"
PURGE=""
status=$(dpkg-query -W -f='${db:Status-Status}' korvane 2>/dev/null)
case "$status" in
    "" | not-installed) ;;
    *) fail "korvane is still known to dpkg as $status after purging" ;;
esac
while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then fail "$path is left after purging"; fi
done <"$WORK/new-paths"
[ ! -e "$PROGRAMS" ] || fail "$PROGRAMS is left after purging"
echo "purged: nothing of the package is left"
echo "PASS"
