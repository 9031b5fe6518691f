#!/bin/sh
# wine-fixture.sh start|stop ENV: the wineserver and services of the prefix
# ENV (the build's wine/env.sh) names, for the Windows tests.
#
# start: one persistent wineserver, then the prefix made or brought up to
# date with its services running. Each started with nothing of ours
# attached: a server or service that a test's program started would inherit
# that test's output and hold it open long after the test ends. Without a
# running server every program would also pay seconds for starting wine.
# stop: ends the server and every program of the prefix.
set -eu
. "$2"
mkdir -p "$HOME"
case "$1" in
start)
    # A server left from a run that was cut short would refuse a second one.
    "$KORVANE_WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    "$KORVANE_WINESERVER" -w </dev/null >/dev/null 2>&1 || true
    if [ ! -d "$WINEPREFIX" ]; then
        # Made by a server of its own, which ends a few seconds after.
        "$KORVANE_WINE" wineboot </dev/null >/dev/null 2>&1
        "$KORVANE_WINESERVER" -w </dev/null >/dev/null 2>&1
    fi
    "$KORVANE_WINESERVER" -p </dev/null >/dev/null 2>&1
    "$KORVANE_WINE" wineboot </dev/null >/dev/null 2>&1
    test -d "$WINEPREFIX/drive_c" || { echo "no wine prefix made in $WINEPREFIX"; exit 1; }
    ;;
stop)
    "$KORVANE_WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    "$KORVANE_WINESERVER" -w </dev/null >/dev/null 2>&1 || true
    ;;
*)
    echo "usage: wine-fixture.sh start|stop ENV" >&2
    exit 2
    ;;
esac
