# Shared by the end-to-end cases: a scratch folder, an X server of their
# own, waiting for a condition, korvane's File menu, Pictorix's controls, and
# clean-up of every process they started.
# Source it after setting BIN (the build's program folder); it sets WORK, and
# start_display sets DISPLAY. Processes named in PIDS are ended when the case
# exits, on every path; at_exit adds a clean-up step run before that.

WORK=$(mktemp -d /tmp/korvane-e2e.XXXXXX)
PIDS=""
XVFB_PID=""
EXIT_STEPS=""

# at_exit FUNCTION: run when the case ends, before the processes are ended
# (the last added first).
at_exit() { EXIT_STEPS="$1 $EXIT_STEPS"; }

cleanup() {
    rc=$?
    for step in $EXIT_STEPS; do
        "$step"
    done
    for pid in $PIDS $XVFB_PID; do
        kill "$pid" 2>/dev/null
    done
    for pid in $PIDS $XVFB_PID; do
        wait "$pid" 2>/dev/null
    done
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
    echo "FAIL: ${CASE:+$CASE: }$*"
    for log in "$WORK"/*.log; do
        [ -s "$log" ] && sed "s|^|$(basename "$log" .log): |" "$log" | tail -n 40
    done
    exit 1
}

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
    return 0
}

# require TOOL...: skips the case (exit 77) when a tool is missing.
require() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing"; exit 77; }
    done
}

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# start_display [SCREEN]: a display of our own. The server picks a free
# number itself and takes it with its lock file, so runs side by side never
# end up on one display (a number chosen here could be taken by another run
# before the server starts). -noreset: by default the server starts itself
# afresh whenever its last client leaves, and a client that connects during
# that moment is turned away ("unable to open display"); with each xdotool
# call a client of its own, a program starting right after one ended failed
# that way about once in thirty starts.
start_display() {
    (own Xvfb -displayfd 3 -screen 0 "${1:-1024x768x24}" -nolisten tcp -noreset) 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    until_ok 20 test -s "$WORK/display" || fail "Xvfb did not come up"
    export DISPLAY=":$(cat "$WORK/display")"
    until_ok 20 xdpyinfo || fail "Xvfb does not answer on $DISPLAY"
}

# gone PID: the process has ended (or is a zombie waiting for us).
gone() {
    ! kill -0 "$1" 2>/dev/null || [ "$(sed -n 's/^State:\t\(.\).*/\1/p' "/proc/$1/status" 2>/dev/null)" = Z ]
}

# report_value FILE KEY: a value from a simulator report ("frames 12").
report_value() { sed -n "s/^$2 //p" "$1" 2>/dev/null; }

# --- korvane -------------------------------------------------------------------
# start_korvane DIR PROGRAM [ARG...]: PROGRAM (korvane, or a tool that runs it)
# started in DIR, output in WORK/korvane-<DIR's name>.log. Sets KV (the
# process started), WIN (korvane's main window), KV_PID (korvane itself) and
# MENU (the height of the menu bar above the 320x240 live view).
KV=""
KV_PID=""
WIN=""
MENU=""
start_korvane() {
    dir=$1; shift
    (cd "$dir" && own "$@") >"$WORK/korvane-$(basename "$dir").log" 2>&1 &
    KV=$!
    PIDS="$KV $PIDS"
    until_ok 30 find_main || fail "no korvane window"
    KV_PID=$(xdotool getwindowpid "$WIN")
    until_ok 10 width_is 320 || fail "korvane's window is $(window_size Width) wide, not 320"
    MENU=$(( $(window_size Height) - 240 ))
    [ "$MENU" -gt 0 ] || fail "no menu bar above a 320x240 live view"
}
# The first window is the main window: boxes come only later.
find_main() { WIN=$(xdotool search --onlyvisible --name '^Korvane$' 2>/dev/null | head -n 1); [ -n "$WIN" ]; }
window_size() { xwininfo -id "$WIN" | sed -n "s/^ *$1: *//p"; }
width_is() { [ "$(window_size Width)" -eq "$1" ]; }
# Visible windows of korvane: the main window, and an open menu or box.
visible() { xdotool search --all --onlyvisible --pid "$KV_PID" 2>/dev/null | sort; }
# titled TITLE: how many visible windows of korvane have that title.
titled() { xdotool search --all --onlyvisible --pid "$KV_PID" --name "^$1\$" 2>/dev/null | wc -l; }
titled_is() { [ "$(titled "$1")" -eq "$2" ]; }

# The File menu by the keyboard: Alt+F opens it on its first item; the items
# are Connect, Pause, Color and Save/Print (the separators are passed over),
# and Exit by its access key. Connect must not be under way (its item is
# disabled then and the menu would open on Pause), so the cases choose the
# next item only once Connect's outcome shows.
CONNECT="Return" PAUSE="Down Return" COLOR="Down Down Return" SAVE_PRINT="Down Down Down Return" EXIT="x"
POPUP=""
new_popup() { POPUP=$(visible | grep -vxF "$1" | head -n 1); [ -n "$POPUP" ]; }
popup_closed() { ! visible | grep -qx "$POPUP"; }
# file_menu: the File menu opened, and on screen. A window that comes up
# meanwhile (an image tool started by Save/Print just before) may take the
# focus between the focusing and the key; the key then went to that window,
# and is sent again to korvane.
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
        [ "$tries" -lt 5 ] || fail "the File menu did not open: the focus kept going to $(xdotool getwindowfocus getwindowname 2>&1)"
    done
}
# choose KEYS...: the File menu, then KEYS; returns once the menu is closed.
choose() {
    file_menu
    xdotool key "$@"
    until_ok 10 popup_closed ||
        fail "the File menu did not close after $*; windows: $(window_list); focus on $(xdotool getwindowfocus 2>&1 | tail -n 1)"
}
# answer TITLE: OK on korvane's box of that title.
answer() {
    box=$(xdotool search --all --onlyvisible --pid "$KV_PID" --name "^$1\$" | grep -vx "$WIN" | head -n 1)
    [ -n "$box" ] || fail "no box \"$1\" to answer"
    xdotool windowfocus --sync "$box"
    xdotool key Return
    until_ok 10 window_gone "$box" || fail "the box \"$1\" did not close"
}
# Every visible window on the display: id, process and title.
window_list() {
    for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
        printf '%s/%s/%s ' "$w" "$(xdotool getwindowpid "$w" 2>/dev/null)" "$(xdotool getwindowname "$w" 2>/dev/null)"
    done
}
window_gone() { ! xdotool search --all --onlyvisible --pid "$KV_PID" 2>/dev/null | grep -qx "$1"; }

# --- Pictorix ------------------------------------------------------------------
# press WINDOW CONTROL: a click in the middle of a control of a Pictorix form
# (Print, Save, Close, or a format: bmp, pcx, tif, png, jpg), where the form
# itself lays it out (e2e-form-layout asks it, once per case).
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
# Pictorix's windows: its form "ZLS 740", its boxes "ZLS740" and its save
# dialog "Save As" (and the dialog's question whether to replace a file,
# titled alike). Its pop-ups, such as the completion list under the file
# name, are titled "ZLS740" as well; they are told apart by being
# override-redirect, which no box or dialog is.
# pictorix_windows PID TITLE: the visible windows of that process and title.
pictorix_windows() {
    for w in $(xdotool search --all --onlyvisible --pid "$1" --name "^$2\$" 2>/dev/null); do
        xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: no' && echo "$w"
    done
}
# pictorix_popup PID: a pop-up of that process is on screen.
pictorix_popup() {
    for w in $(xdotool search --all --onlyvisible --pid "$1" 2>/dev/null); do
        xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' && return 0
    done
    return 1
}
# mapped WINDOW: the window exists and is on screen.
mapped() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# save_dialog_enter PID DIALOG NAME: NAME typed into Pictorix's save dialog
# and Return pressed, until the dialog has gone its way: closed, or a box
# (the question whether to replace the file, an error) has come. While the
# completion list is open, Return only closes the list, and another Return
# is needed; the list may come late (the folder is read in the background),
# so Return is pressed again after each list seen, and only then.
save_dialog_enter() {
    xdotool windowfocus --sync "$2"
    xdotool key ctrl+a
    xdotool type --delay 5 "$3"
    xdotool key Return
    t0=$(now_ms)
    while mapped "$2" && [ -z "$(pictorix_windows "$1" ZLS740; pictorix_windows "$1" "Save As" | grep -vxF "$2")" ]; do
        if pictorix_popup "$1"; then
            xdotool key Return
            t0=$(now_ms)
        elif [ $(( $(now_ms) - t0 )) -gt 20000 ]; then
            fail "the save dialog did not take $3"
        fi
        sleep 0.1
    done
}
