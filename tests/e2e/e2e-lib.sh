# Shared by the end-to-end cases: a scratch folder (WORK), an X server of
# their own, waiting for a condition, korvane's File menu, Pictorix's
# controls, and clean-up of every process named in PIDS, on every path.
# Source it with CASE set and BIN (the build's program folder) set, or
# given as $1.
set -u
BIN=${BIN:-$(cd "${1:?usage: $0 BIN_DIR}" && pwd)}
WORK=$(mktemp -d /tmp/korvane-e2e.XXXXXX)
PIDS=""

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
# case's shell ends in any way, also when killed outright (ctest's time-out).
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

# until_ok SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds or
# the time is up and it has been tried three times (one try may itself take
# seconds on a loaded machine).
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

# start_display: an X server of our own, on a free display number it takes
# itself. -noreset: else it starts afresh whenever its last client leaves,
# turning away a client that connects meanwhile (each xdotool call is one).
start_display() {
    require Xvfb xdotool xdpyinfo xwininfo setpriv
    (own Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset) 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
    PIDS="$PIDS $!"
    until_ok 20 test -s "$WORK/display" || fail "Xvfb did not come up"
    export DISPLAY=":$(cat "$WORK/display")"
    until_ok 20 xdpyinfo || fail "Xvfb does not answer on $DISPLAY"
}

# --- the simulator's report and korvane's live view -------------------------------
# The simulator runs with --report WORK/report.txt and --last-frame WORK/last.bin.
report() { sed -n "s/^$1 //p" "$WORK/report.txt" 2>/dev/null; }
above() { [ "$(report "$1")" -gt "$2" ]; }
# still: no request came in for 0.3 s.
still() { a=$(report requests); sleep 0.3; [ "$a" = "$(report requests)" ]; }
window_size() { xwininfo -id "$WIN" | sed -n "s/^ *$1: *//p"; }
# shows PALETTE: korvane's window WIN shows the frame last sent, upright, in
# PALETTE (colour or mono); that frame stayed the same while the window was
# taken. MENU: the rows above the live view, or auto to find them (then
# WORK/check.log tells).
shows() {
    cp "$WORK/last.bin" "$WORK/frame.bin" &&
        xwd -id "$WIN" >"$WORK/shot.xwd" &&
        cmp -s "$WORK/last.bin" "$WORK/frame.bin" &&
        /usr/bin/convert "xwd:$WORK/shot.xwd" "png:$WORK/shot.png" &&
        "$BIN/e2e-screen-check" "$WORK/shot.png" "$WORK/frame.bin" "$MENU" "$1" >"$WORK/check.log" 2>&1
}

# --- korvane's File menu (its main window WIN, its process KV_PID) ----------------
# By the keyboard: Alt+F opens it on its first item; the items are Connect,
# Pause, Color and Save/Print, and Exit by its access key. Connect must not
# be under way (its item is disabled then and the menu would open on Pause).
# With KV_CLASS set, korvane's windows are those of that window class, not
# of the process KV_PID.
CONNECT="Return" PAUSE="Down Return" COLOR="Down Down Return" SAVE_PRINT="Down Down Down Return" EXIT="x"
POPUP=""
visible() {
    if [ -n "${KV_CLASS:-}" ]; then
        xdotool search --all --onlyvisible --class "$KV_CLASS" 2>/dev/null | sort
    else
        xdotool search --all --onlyvisible --pid "$KV_PID" 2>/dev/null | sort
    fi
}
new_popup() { POPUP=$(visible | grep -vxF "$1" | head -n 1); [ -n "$POPUP" ]; }
popup_closed() { ! visible | grep -qx "$POPUP"; }
focus_on_main() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$WIN" ]; }
# file_menu: the File menu opened, and on screen. A window that comes up
# meanwhile may take the focus between the focusing and the key; the key is
# then sent again.
file_menu() {
    shown=$(visible)
    tries=0
    while [ "$tries" -lt 5 ]; do
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
    done
    fail "the File menu did not open: the focus kept going elsewhere"
}
# choose KEYS...: the File menu, then KEYS; returns once the menu is closed.
choose() {
    file_menu
    xdotool key "$@"
    until_ok 10 popup_closed || fail "the File menu did not close after $*"
}

# press WINDOW CONTROL: a click in the middle of a control of a Pictorix form
# (Print, Save, Close, or a format), where the form itself lays it out.
press() {
    [ -s "$WORK/form-layout.txt" ] || "$BIN/e2e-form-layout" >"$WORK/form-layout.txt" 2>"$WORK/form-layout.log" ||
        fail "cannot lay out Pictorix's form"
    at=$(awk -v name="$2" '$1 == name { print $2, $3 }' "$WORK/form-layout.txt")
    [ -n "$at" ] || fail "Pictorix's form has no control $2"
    # shellcheck disable=SC2086 # "X Y"
    xdotool mousemove --window "$1" $at click 1
}
