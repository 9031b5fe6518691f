#!/bin/sh
# The Windows installer under wine: made by cpack, installed silently into
# Program Files\Korvane (the viewer and Pictorix side by side, as the
# viewer's Save/Print needs them) with its Start menu entries, its korvane-grab.exe
# run against the simulator (tests/wine/grab-exe.sh, on COM23), then
# uninstalled silently, leaving nothing behind.
# Usage: installer.sh WINE_ENV BUILD_DIR HOST_BIN CPACK
set -u
WINE_ENV=$(realpath "$1") BUILD=$(cd "$2" && pwd) HOST_BIN=$(cd "$3" && pwd) CPACK=$4
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
. "$WINE_ENV"
WORK=$(mktemp -d /tmp/korvane-installer.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
# until_gone SECONDS PATH: waits for PATH to be removed.
until_gone() {
    i=0
    while [ -e "$2" ]; do
        i=$((i + 1))
        [ "$i" -gt $(($1 * 10)) ] && return 1
        sleep 0.1
    done
}

"$CPACK" --config "$BUILD/CPackConfig.cmake" -B "$WORK" >"$WORK/cpack.log" 2>&1 \
    || { cat "$WORK/cpack.log"; fail "cpack failed"; }
INSTALLER=$(ls "$WORK"/korvane-*-win64.exe 2>/dev/null)
[ -f "$INSTALLER" ] || fail "no korvane-<version>-win64.exe made"

FOLDER="$WINEPREFIX/drive_c/Program Files/Korvane"
rm -rf "$FOLDER"
"$KORVANE_WINE" "$INSTALLER" /S </dev/null >"$WORK/install.log" 2>&1 || fail "the installer ended with code $?"
for file in korvane.exe Pictorix.exe korvane-grab.exe korvane-serve.exe header2.bin README.txt LICENSE.txt Uninstall.exe; do
    [ -f "$FOLDER/$file" ] || fail "no $file in Program Files\\Korvane"
done
cmp -s "$FOLDER/header2.bin" "$SOURCE/core/data/header2.bin" || fail "header2.bin is not the shipped one"
MENU=$(find "$WINEPREFIX/drive_c" -path "*/Start Menu/Programs/Korvane" -type d | head -n 1)
[ -n "$MENU" ] && [ -f "$MENU/Korvane.lnk" ] && [ -f "$MENU/Pictorix.lnk" ] \
    && [ -f "$MENU/Korvane command prompt.lnk" ] && [ -f "$MENU/Korvane README.lnk" ] \
    || fail "no Start menu entries"

GRAB_COM=23 sh "$SOURCE/tests/wine/grab-exe.sh" "$WINE_ENV" "$FOLDER" "$HOST_BIN" || fail "the installed korvane-grab.exe"

# The uninstaller runs on from a copy of itself after the first one ends.
"$KORVANE_WINE" "$FOLDER/Uninstall.exe" /S </dev/null >"$WORK/uninstall.log" 2>&1 || fail "the uninstaller ended with code $?"
until_gone 60 "$FOLDER" || { ls -la "$FOLDER"; fail "the uninstaller left files in Program Files\\Korvane"; }
until_gone 10 "$MENU" || { ls -la "$MENU"; fail "the uninstaller left the Start menu entries"; }
echo "installed, korvane-grab.exe ran, uninstalled without a trace"
