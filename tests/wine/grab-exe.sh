#!/bin/sh
# korvane-grab.exe under wine: the screen it writes from zls740-sim on COM21
# (COM$GRAB_COM if set) of the prefix is byte for byte the one the Linux
# korvane-grab writes from the same frame; its help speaks of COM ports; its
# words reach a pipe as UTF-8.
# Usage: grab-exe.sh WINE_ENV WINDOWS_BIN HOST_BIN (the build's wine/env.sh,
# the Windows programs' folder, the Linux programs' folder).
CASE=windows-grab
WINE_ENV=$(realpath "$1") WINDOWS_BIN=$(cd "$2" && pwd) BIN=$(cd "$3" && pwd)
. "$(dirname "$0")/../e2e/e2e-lib.sh"
. "$WINE_ENV"
COM=${GRAB_COM:-21}
PORT="$WINEPREFIX/dosdevices/com$COM"
# A port left pointing at a pseudo-terminal that the system hands out again
# would reach someone else's line.
trap 'rc=$?; rm -f "$PORT"; (exit $rc); cleanup' EXIT
cd "$WORK" || exit 1
cp "$BIN/header2.bin" . || fail "no header2.bin in $BIN"
grab_exe() { "$KORVANE_WINE" "$WINDOWS_BIN/korvane-grab.exe" "$@" </dev/null; }

"$BIN/zls740-sim" --write-frame frame.bin --index 3 || fail "no frame from zls740-sim"
(own "$BIN/zls740-sim" --dir "$WORK" --com "$COM" --replay frame.bin) >sim.log 2>&1 &
PIDS="$PIDS $!"
until_ok 20 test -e "COM$COM" || fail "the simulator did not come up"
ln -sfn "$WORK/COM$COM" "$PORT" || fail "cannot map COM$COM"

"$BIN/korvane-grab" --port "$WORK/COM$COM" -o linux.bmp >linux.log 2>&1 || fail "the Linux korvane-grab failed"
grab_exe --port "\\\\.\\COM$COM" -o windows.bmp >windows.log 2>&1 || fail "korvane-grab.exe ended with code $?"
cmp linux.bmp windows.bmp >cmp.log 2>&1 || fail "korvane-grab.exe wrote other bytes than korvane-grab"

grab_exe --help >help.log 2>&1 || fail "--help ended with code $?"
grep -qF '\\.\COM12' help.log && grep -qF 'Device Manager' help.log || fail "the help does not speak of COM ports"
! grep -q '/dev/' help.log || fail "the help speaks of Linux devices"

# Through wine's command line and back to a pipe as the same UTF-8 bytes.
grab_exe --Ωμέγα >unknown.log 2>&1
[ $? -eq 2 ] || fail "an unknown option did not end with code 2"
grep -qF -- '--Ωμέγα (see' unknown.log || fail "the option's name did not come back as UTF-8"
echo "korvane-grab.exe wrote the screen korvane-grab writes; its help and words are Windows' and UTF-8"
