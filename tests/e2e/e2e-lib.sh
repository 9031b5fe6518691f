# Shared by the end-to-end scripts: a scratch folder, an X server of their
# own, waiting for a condition, and clean-up of every process they started.
# Source it after setting BIN; it sets WORK and DISPLAY.
# Processes named in PIDS are ended (in reverse order) when the script exits.

WORK=$(mktemp -d /tmp/korvane-e2e.XXXXXX)
PIDS=""
XVFB_PID=""

cleanup() {
    for pid in $PIDS $XVFB_PID; do
        kill "$pid" 2>/dev/null
    done
    for pid in $PIDS $XVFB_PID; do
        wait "$pid" 2>/dev/null
    done
    if [ -n "${KEEP_E2E:-}" ]; then echo "kept $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Logs shown with a failure: every *.log in WORK.
fail() {
    echo "FAIL: $*"
    for log in "$WORK"/*.log; do
        [ -s "$log" ] && sed "s|^|$(basename "$log" .log): |" "$log" | tail -n 40
    done
    exit 1
}

# until_ok SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds or
# the time is up.
until_ok() {
    limit=$(( $1 * 20 )); shift
    i=0
    while ! "$@" >/dev/null 2>&1; do
        i=$((i + 1))
        [ "$i" -ge "$limit" ] && return 1
        sleep 0.05
    done
    return 0
}

# require TOOL...: skips the whole script (exit 77) when a tool is missing.
require() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing"; exit 77; }
    done
}

# A display of our own. The server picks a free number itself and takes it
# with its lock file, so runs side by side never end up on one display (a
# number chosen here could be taken by another run before the server starts,
# and that run's display would then vanish under this one).
start_display() {
    Xvfb -displayfd 3 -screen 0 "${1:-1024x768x24}" -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
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

# korvane driven through its File menu. KV is its process; find_main sets WIN
# to its main window. Failures name CASE when a script sets it.
KV=""
WIN=""
POPUP=""
CONNECT="Return" PAUSE="Down Return" COLOR="Down Down Return" SAVE_PRINT="Down Down Down Return"
find_main() { WIN=$(xdotool search --all --pid "$KV" --name '^Korvane$' 2>/dev/null | head -n 1); [ -n "$WIN" ]; }
visible() { xdotool search --all --onlyvisible --pid "$KV" 2>/dev/null | sort; }
new_popup() { POPUP=$(visible | grep -vxF "$1" | head -n 1); [ -n "$POPUP" ]; }
popup_closed() { ! visible | grep -qx "$POPUP"; }
file_menu() {
    shown=$(visible)
    xdotool windowfocus --sync "$WIN"
    xdotool key alt+f
    until_ok 10 new_popup "$shown" || fail "${CASE:+$CASE: }the File menu did not open"
}
# choose KEYS...: the File menu, then KEYS.
choose() {
    file_menu
    xdotool key "$@"
    until_ok 10 popup_closed || fail "${CASE:+$CASE: }the File menu did not close"
}
