# Shared by the fault cases: each plays one fault end to end in a real X
# server of its own (Xvfb, no window manager) and judges it from outside: by
# screenshots, the files left behind, exit codes and window titles. The
# instrument is the simulator replaying frames of noise, which any torn or
# shifted picture would give away: every picture shown or saved must equal a
# whole frame that was sent. File > Exit is timed in every state the reader
# thread can be waiting in; the time is printed, and only a clear hang fails.
# Source it from a case with the build's program folder as $1 (korvane,
# Pictorix, zls740-sim, header2.bin, e2e-fault-check, e2e-form-layout) and
# CASE set; start_display is left to the case (its screen size is the case's).
set -u
BIN=$(cd "${1:?usage: $0 BIN_DIR}" && pwd)
. "$(dirname "$0")/../e2e-lib.sh"
require Xvfb xdotool xwd xwininfo xdpyinfo dd od cmp
# Whatever the programs keep for the user stays in the scratch folder.
export HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p "$HOME" && mkdir -m 0700 "$XDG_RUNTIME_DIR"

# tmpfs DIR OPTIONS: a small file system of our own on DIR, unmounted when
# the case ends; skips the case where mounting is not allowed.
MOUNTS=""
unmount_all() {
    for m in $MOUNTS; do umount -l "$m" 2>/dev/null; done
    MOUNTS=""
}
at_exit unmount_all
tmpfs() {
    mkdir -p "$1"
    mount -t tmpfs -o "$2" korvane-e2e "$1" 2>/dev/null || { echo "SKIP: cannot mount a tmpfs here"; exit 77; }
    MOUNTS="$1 $MOUNTS"
}
unmount() { umount "$1" || fail "cannot unmount $1"; MOUNTS=$(echo "$MOUNTS" | tr ' ' '\n' | grep -vxF "$1" | tr '\n' ' '); }
# fill DIR: writes until the file system of DIR is full.
fill() { dd if=/dev/zero of="$1/filler" bs=4k 2>/dev/null; sync; }

CHECK="$BIN/e2e-fault-check"
FRAMES_A="$WORK/frames-a.bin"
FRAMES_B="$WORK/frames-b.bin"
{ "$CHECK" frames "$FRAMES_A" 4 1 && "$CHECK" frames "$FRAMES_B" 4 2; } || fail "cannot write the replayed frames"
# frame FILE N: frame N of a replay file, in a file of its own.
frame() {
    out="$WORK/$(basename "$1" .bin)-$2.bin"
    dd if="$1" of="$out" bs=40960 skip="$2" count=1 2>/dev/null
    echo "$out"
}

# folder NAME: D becomes a working folder for korvane with the header
# template and a stand-in image tool that keeps a copy of every snapshot it
# is started on.
D=""
folder() {
    D="$WORK/$1"
    mkdir -p "$D"
    cp "$BIN/header2.bin" "$D/"
    cat >"$D/Pictorix" <<'TOOL'
#!/bin/sh
# Stands in for the image tool: keeps the snapshot it was started on. The
# copy appears under its name only once whole (a rename), as the case
# checks it as soon as it sees the name.
part=$(mktemp -p . part.XXXXXX)
cp Temp.bmp "$part"
mv "$part" "./tool.${part#./part.}"
TOOL
    chmod +x "$D/Pictorix"
}
tools_started() { find "$D" -maxdepth 1 -name 'tool.*' | wc -l; }
more_tools() { [ "$(tools_started)" -gt "$1" ]; }
newest_tool_copy() { ls -t "$D"/tool.* | head -n 1; }

# sim NAME DIR COM [OPTION...]: an instrument linked as DIR/COMn; its report
# is WORK/NAME.report, its last whole frame WORK/NAME.last. Sets SIM.
# With SIM_REALTIME set, the instrument keeps its timing on a loaded machine:
# it runs with real-time priority where that is allowed.
SIM=""
sim() {
    name=$1 dir=$2 com=$3
    shift 3
    priority=""
    if [ -n "${SIM_REALTIME:-}" ]; then
        if chrt -f 10 true 2>/dev/null; then priority="chrt -f 10"; else echo "  (no real-time priority here: the timing may slip under load)"; fi
    fi
    # shellcheck disable=SC2086 # "chrt -f 10" or nothing
    (own $priority "$BIN/zls740-sim" --dir "$dir" --com "$com" --report "$WORK/$name.report" --last-frame "$WORK/$name.last" \
        "$@") >"$WORK/$name.log" 2>&1 &
    SIM=$!
    PIDS="$PIDS $SIM"
    until_ok 10 test -e "$dir/COM$com" || fail "instrument $name made no COM$com"
}
requests() { report_value "$WORK/$1.report" requests; }
frames_sent() { report_value "$WORK/$1.report" frames; }
# above WHAT NAME N: requests or frames_sent of instrument NAME exceed N.
above() { [ "$($1 "$2")" -gt "$3" ]; }

# viewer [PROGRAM]: korvane (or PROGRAM) started in D.
viewer() { start_korvane "$D" "${1:-$BIN/korvane}"; }

# view_shows FRAMES: the live view shows one of FRAMES, whole (its number
# in WORK/match.txt). view_blank: it shows none of them.
view_shows() { xwd -silent -id "$WIN" | "$CHECK" match - 0 "$MENU" "$1" >"$WORK/match.txt" 2>&1; }
view_blank() {
    xwd -silent -id "$WIN" | "$CHECK" match - 0 "$MENU" "$1" >/dev/null 2>&1
    [ $? -eq 1 ]
}
shown_frame() { sed -n 's/^frame //p' "$WORK/match.txt"; }
# shows_only FRAMES N: once a picture is up, N screenshots in a row, each
# one whole frame of FRAMES; the frames seen are added to SEEN.
SEEN=""
shows_only() {
    until_ok 10 view_shows "$1" || fail "the view shows no whole frame sent"
    i=0
    while [ "$i" -lt "$2" ]; do
        view_shows "$1" || fail "the view shows a picture that is no whole frame sent: $(cat "$WORK/match.txt")"
        SEEN="$SEEN $(shown_frame)"
        i=$((i + 1))
        sleep 0.1 # spreads the screenshots over the screens streaming in
    done
}
# save_print FRAMES: Save/Print starts the tool on a snapshot of one of FRAMES.
save_print() {
    before=$(tools_started)
    choose $SAVE_PRINT
    until_ok 20 more_tools "$before" || fail "Save/Print did not start the image tool"
    "$CHECK" snapshot "$(newest_tool_copy)" "$1" >"$WORK/match.txt" 2>&1 \
        || fail "the snapshot is not a whole frame sent: $(cat "$WORK/match.txt")"
}
log_is() { [ "$(od -An -tx1 "$D/log.txt" | tr -s ' \n' '  ' | sed 's/^ *//; s/ *$//')" = "$1" ]; }

# quit [STATE]: File > Exit, code 0; with STATE, the time from the key to
# the process gone is printed. Only a clear hang fails: the machine is shared.
quit() {
    file_menu
    xdotool key --delay 0 $EXIT
    t0=$(now_ms)
    while ! gone "$KV"; do
        [ $(( $(now_ms) - t0 )) -gt 10000 ] && fail "korvane still runs 10 s after File > Exit"
        sleep 0.01
    done
    t=$(( $(now_ms) - t0 ))
    wait "$KV"
    rc=$?
    [ "$rc" -eq 0 ] || fail "exit code $rc after File > Exit"
    [ $# -eq 0 ] || echo "  File > Exit while $1: gone after $t ms"
}

pass() { echo "PASS: $CASE"; }
