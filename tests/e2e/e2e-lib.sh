# Shared by the end-to-end cases: a scratch folder, an X server of their own,
# waiting for a condition, korvane's File menu, Pictorix's controls, and
# clean-up of every process they started.
# Source it with CASE set and BIN (the build's program folder) set, or
# given as $1; it sets WORK, and start_display sets DISPLAY. Processes named
# in PIDS are ended when the case exits, on every path.
set -u
BIN=${BIN:-$(cd "${1:?usage: $0 BIN_DIR}" && pwd)}
WORK=$(mktemp -d /tmp/korvane-e2e.XXXXXX)
PIDS=""
START=$(date +%s%N)

cleanup() {
    rc=$?
    for pid in $PIDS; do kill "$pid" 2>/dev/null; done
    for pid in $PIDS; do wait "$pid" 2>/dev/null; done
    if [ -n "${KEEP_E2E:-}" ]; then echo "kept $WORK"; else rm -rf "$WORK"; fi
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# own COMMAND...: runs COMMAND (by exec) so that it gets SIGTERM when the
# case's shell ends in any way, also killed outright (as ctest does on a
# time-out), where no clean-up of the shell's own can run.
own() { exec setpriv --pdeathsig TERM "$@"; }

# Logs shown with a failure: every *.log in WORK.
fail() {
    echo "FAIL: $CASE: $*"
    for log in "$WORK"/*.log; do
        [ -s "$log" ] && sed "s|^|$(basename "$log" .log): |" "$log" | tail -n 40
    done
    exit 1
}
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
pass() { echo "PASS: $CASE in $(( ($(date +%s%N) - START) / 1000000 )) ms"; }

# until_ok SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds or
# the time is up (and it has been tried at least three times: one try may
# itself take seconds on a loaded machine).
until_ok() {
    until_deadline=$(( $(now_ms) + $1 * 1000 )); shift
    until_tries=0
    until "$@" >/dev/null 2>&1; do
        until_tries=$((until_tries + 1))
        [ "$until_tries" -ge 3 ] && [ "$(now_ms)" -ge "$until_deadline" ] && return 1
        sleep 0.05
    done
}

# require TOOL...: skips the case (exit 77) when a tool is missing.
require() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing"; exit 77; }
    done
}
# gone PID: the process has ended (or is a zombie waiting for us).
gone() {
    ! kill -0 "$1" 2>/dev/null || [ "$(sed -n 's/^State:\t\(.\).*/\1/p' "/proc/$1/status" 2>/dev/null)" = Z ]
}

# start_display: a display of our own. The server picks a free number itself
# and takes it with its lock file, so runs side by side never end up on one
# display. -noreset: by default the server starts itself afresh whenever its
# last client leaves, and a client that connects during that moment is
# turned away; with each xdotool call a client of its own, a program starting
# right after one ended failed that way about once in thirty starts.
start_display() {
    require Xvfb xdotool xdpyinfo xwininfo setpriv
    (own Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset) 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
    PIDS="$PIDS $!"
    until_ok 20 test -s "$WORK/display" || fail "Xvfb did not come up"
    export DISPLAY=":$(cat "$WORK/display")"
    until_ok 20 xdpyinfo || fail "Xvfb does not answer on $DISPLAY"
}

# --- korvane -------------------------------------------------------------------
# start_korvane DIR: korvane started in DIR. Sets WIN (its main window),
# KV_PID and MENU (the height of the menu bar above the 320x240 live view).
WIN=""
KV_PID=""
MENU=""
find_main() { WIN=$(xdotool search --onlyvisible --name '^Korvane$' 2>/dev/null | head -n 1); [ -n "$WIN" ]; }
window_size() { xwininfo -id "$WIN" | sed -n "s/^ *$1: *//p"; }
width_is() { [ "$(window_size Width)" -eq "$1" ]; }
start_korvane() {
    (cd "$1" && own "$BIN/korvane") >"$WORK/korvane.log" 2>&1 &
    KV_PID=$!
    PIDS="$KV_PID $PIDS"
    until_ok 30 find_main || fail "no korvane window"
    until_ok 10 width_is 320 || fail "korvane's window is $(window_size Width) wide, not 320"
    MENU=$(( $(window_size Height) - 240 ))
    [ "$MENU" -gt 0 ] || fail "no menu bar above a 320x240 live view"
}
# Visible windows of korvane: the main window, and an open menu or box.
visible() { xdotool search --all --onlyvisible --pid "$KV_PID" 2>/dev/null | sort; }

# The File menu by the keyboard: Alt+F opens it on its first item; the items
# are Connect, Pause, Color and Save/Print (the separators are passed over),
# and Exit by its access key.
# Connect must not be under way (its item is disabled then and the menu would
# open on Pause), so the cases choose the next item only once Connect's
# outcome shows.
CONNECT="Return" PAUSE="Down Return" COLOR="Down Down Return" SAVE_PRINT="Down Down Down Return" EXIT="x"
POPUP=""
new_popup() { POPUP=$(visible | grep -vxF "$1" | head -n 1); [ -n "$POPUP" ]; }
popup_closed() { ! visible | grep -qx "$POPUP"; }
# file_menu: the File menu opened, and on screen. A window that comes up
# meanwhile may take the focus between the focusing and the key; the key
# then went to that window, and is sent again to korvane.
focus_on_main() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$WIN" ]; }
file_menu() {
    shown=$(visible)
    tries=0
    while :; do
        xdotool windowfocus --sync "$WIN"
        xdotool key alt+f
        # Waits as long as the key may still reach the menu.
        t0=$(now_ms)
        while focus_on_main || [ $(( $(now_ms) - t0 )) -lt 2000 ]; do
            new_popup "$shown" && return 0
            [ $(( $(now_ms) - t0 )) -gt 20000 ] && fail "the File menu did not open"
            sleep 0.05
        done
        tries=$((tries + 1))
        [ "$tries" -lt 5 ] || fail "the File menu did not open: the focus kept going elsewhere"
    done
}
# choose KEYS...: the File menu, then KEYS; returns once the menu is closed.
choose() {
    file_menu
    xdotool key "$@"
    until_ok 10 popup_closed || fail "the File menu did not close after $*"
}

# --- Pictorix ------------------------------------------------------------------
# press WINDOW CONTROL: a click in the middle of a control of a Pictorix form
# (Print, Save, Close, or a format), where the form itself lays it out.
press() {
    if [ ! -s "$WORK/form-layout.txt" ]; then
        "$BIN/e2e-form-layout" >"$WORK/form-layout.txt" 2>"$WORK/form-layout.err" ||
            fail "cannot lay out Pictorix's form: $(cat "$WORK/form-layout.err")"
    fi
    at=$(awk -v name="$2" '$1 == name { print $2, $3 }' "$WORK/form-layout.txt")
    [ -n "$at" ] || fail "Pictorix's form has no control $2"
    # shellcheck disable=SC2086 # "X Y"
    xdotool mousemove --window "$1" $at click 1
}
