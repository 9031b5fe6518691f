# Shared by the cases of the Debian package run, which use the programs as
# an ordinary user (nobody). The machine is left as it was found: where a
# korvane package (or a file of it) is already there, nothing is done.
# Sourced with BUILD_DIR BIN_DIR STATE_DIR [CPACK] as arguments (STATE_DIR:
# what the install case leaves for the others).
set -u
usage="usage: $0 BUILD_DIR BIN_DIR STATE_DIR [CPACK]"
BUILD=$(cd "${1:?$usage}" && pwd)
BIN=$(cd "${2:?$usage}" && pwd)
STATE=${3:?$usage}
CPACK=${4:-cpack}
if [ "$(id -u)" -ne 0 ]; then echo "SKIP: installing a package needs root"; exit 77; fi
. "$(dirname "$0")/../../tests/e2e/e2e-lib.sh"
require apt-get apt-cache dpkg dpkg-deb dpkg-query flock setpriv

PROGRAMS=/usr/lib/korvane
APPLICATIONS=/usr/share/applications
USER_NAME=nobody
USER_GROUP=$(id -gn "$USER_NAME")
package_status() { dpkg-query -W -f='${db:Status-Status}' korvane 2>/dev/null; }
not_installed() { case "$(package_status)" in "" | not-installed) return 0 ;; esac; return 1; }
# The package is there, installed by this build tree's install case.
ours() { [ -e "$STATE/installed" ] && [ "$(package_status)" = installed ]; }
needs_package() { ours || { echo "SKIP: no korvane package installed by korvane_package_install"; exit 77; }; }

# One run at a time on this machine (two build trees may run these cases).
machine_lock() {
    lock=/run/lock
    [ -d "$lock" ] || lock=/tmp
    exec 9>"$lock/korvane-package-test.lock"
    flock -w 600 9 || { echo "SKIP: another package test holds the machine"; exit 77; }
}

# user_folders: a home, the folder korvane is started in (RUN), the
# simulator's folder and the run-time folder a login would have.
user_folders() {
    chmod 755 "$WORK"
    USER_HOME=$WORK/home RUN=$WORK/run
    mkdir -p "$USER_HOME" "$RUN" "$WORK/sim" "$WORK/runtime"
    chmod 700 "$WORK/runtime"
    cp "$BIN/zls740-sim" "$WORK/sim/"
    chown -R "$USER_NAME:$USER_GROUP" "$USER_HOME" "$RUN" "$WORK/sim" "$WORK/runtime"
}
# as_user NAME DIR COMMAND...: COMMAND as the ordinary user in DIR, with the
# plain environment of a login, in the background; output in NAME.log, its
# pid in LAST (the program itself: setpriv and env replace themselves).
as_user() {
    name=$1 dir=$2; shift 2
    (cd "$dir" && exec setpriv --reuid="$USER_NAME" --regid="$USER_GROUP" --clear-groups \
        env -i HOME="$USER_HOME" PATH=/usr/local/bin:/usr/bin:/bin DISPLAY="${DISPLAY:-}" \
        XDG_RUNTIME_DIR="$WORK/runtime" LANG=C.UTF-8 "$@") >"$WORK/$name.log" 2>&1 &
    LAST=$!
    PIDS="$LAST $PIDS"
}
# window PID TITLE: sets WIN to the visible window of that process and title.
window() {
    WIN=$(xdotool search --all --onlyvisible --pid "$1" --name "$2" 2>/dev/null | head -n 1)
    [ -n "$WIN" ]
}
# runs_as PID PROGRAM FOLDER: the process is that installed program, in that folder.
runs_as() {
    [ "$(readlink "/proc/$1/exe")" = "$PROGRAMS/$2" ] || fail "$2 runs as $(readlink "/proc/$1/exe")"
    [ "$(readlink "/proc/$1/cwd")" = "$3" ] || fail "$2 runs in $(readlink "/proc/$1/cwd"), not $3"
}
# The instrument, linked as COM5 in korvane's folder.
instrument() {
    as_user sim "$WORK/sim" "$WORK/sim/zls740-sim" --dir "$RUN" --com 5 --report "$WORK/sim/report.txt"
    until_ok 10 test -e "$RUN/COM5" || fail "the simulator made no COM5"
}
# installed_korvane PID DIR: korvane's window found (WIN, KV_PID), running in DIR.
installed_korvane() {
    KV_PID=$1
    until_ok 30 window "$KV_PID" '^Korvane$' || fail "no korvane window"
    runs_as "$KV_PID" korvane "$2"
}
exit_korvane() {
    file_menu
    xdotool key $EXIT
    until_ok 20 gone "$KV_PID" || fail "korvane still runs after File > Exit"
    wait "$KV_PID" || fail "korvane ended with code $?"
}
close_pictorix() {
    press "$2" Close
    until_ok 20 gone "$1" || fail "Pictorix did not close"
}

# libraries_come_with_package PID WHAT: every library the running program
# has loaded is a file of the packages korvane brings with it (listed by the
# install case; paths without /usr in front, as Debian lists some under the
# old /lib). Qt's X11 plugin opens libXcursor (with libXrender) for themed
# cursors when it is there and does without: no dependency of the package.
OPTIONAL='/lib/[^/]*/libXcursor\.so|/lib/[^/]*/libXrender\.so'
libraries_come_with_package() {
    awk '$6 ~ /\.so(\.|$)/ { print $6 }' "/proc/$1/maps" | sed 's|^/usr/|/|' | sort -u >"$WORK/maps"
    [ -s "$WORK/maps" ] || fail "no libraries seen in $2"
    foreign=$(grep -Fxvf "$STATE/closure-files" "$WORK/maps" | grep -Ev "^($OPTIONAL)")
    [ -z "$foreign" ] || fail "$2 loaded libraries that the package's dependencies do not bring:" $foreign
    echo "$2: $(wc -l <"$WORK/maps") libraries, each from the package's dependencies"
}
