# Shared by the window's benchmark scripts: a private X server, the simulator
# and korvane in a scratch working folder, all ended on exit.
#   . korvane-session.sh; start_session BIN_DIR SCREEN_SIZE RATE
# leaves DISPLAY, WORK, KV (korvane's pid) and WIN (its window) set.
set -u
PIDS=""
WORK=""
cleanup() {
    for pid in $PIDS; do kill "$pid" 2>/dev/null; done
    for pid in $PIDS; do wait "$pid" 2>/dev/null; done
    [ -n "$WORK" ] && rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
die() { echo "$*" >&2; exit 1; }
wait_for() {  # wait_for SECONDS COMMAND...
    limit=$(( $1 * 20 )); shift
    i=0
    while ! "$@" >/dev/null 2>&1; do
        i=$((i + 1)); [ "$i" -ge "$limit" ] && return 1; sleep 0.05
    done
}
frames() { sed -n 's/^frames //p' "$WORK/report.txt" 2>/dev/null; }

start_session() {  # start_session BIN_DIR SCREEN_SIZE RATE (0: unpaced)
    bin=$1
    WORK=$(mktemp -d /tmp/korvane-bench.XXXXXX)
    n=$(( 90 + $$ % 300 ))
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$(( 90 + (n - 89) % 300 )); done
    export DISPLAY=":$n"
    Xvfb "$DISPLAY" -screen 0 "$2" -nolisten tcp >/dev/null 2>&1 &
    PIDS="$!"
    wait_for 20 xdpyinfo || die "no X server"

    cp "$bin/header2.bin" "$WORK/"
    "$bin/zls740-sim" --dir "$WORK" --com 5 --rate "$3" --report "$WORK/report.txt" >/dev/null 2>&1 &
    PIDS="$PIDS $!"
    wait_for 10 test -e "$WORK/COM5" || die "no simulator"
    (cd "$WORK" && exec "$bin/korvane") >/dev/null 2>&1 &
    KV=$!
    PIDS="$KV $PIDS"
    find_window() { WIN=$(xdotool search --all --pid "$KV" --name '^Korvane$' | head -n 1); [ -n "$WIN" ]; }
    wait_for 20 find_window || die "no window"
}
