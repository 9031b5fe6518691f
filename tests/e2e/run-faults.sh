#!/bin/sh
# Faults korvane and Pictorix must survive, each played end to end in a real X
# server of its own (Xvfb, no window manager) and judged from outside: by
# screenshots, the files left behind, exit codes and window titles. The
# instrument is the simulator replaying frames of noise, which any torn or
# shifted picture would give away: every picture shown or saved must equal a
# whole frame that was sent. File > Exit is timed in every state the reader
# thread can be waiting in; the times are printed, and only a clear hang fails.
# Usage: run-faults.sh BIN_DIR   (korvane, Pictorix, zls740-sim, header2.bin, e2e-fault-check)
set -u
BIN=$(cd "${1:?usage: run-faults.sh BIN_DIR}" && pwd)
. "$(dirname "$0")/e2e-lib.sh"
require Xvfb xdotool xwd xwininfo flock mount umount dd od cmp
# Room for the image tools of the Save/Print run side by side.
start_display 1920x1080x24
BEGAN=$(date +%s)
# Whatever the programs keep for the user stays in the scratch folder.
export HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p "$HOME" && mkdir -m 0700 "$XDG_RUNTIME_DIR"

MOUNTS=""
unmount_all() {
    for pid in $PIDS; do kill "$pid" 2>/dev/null; done
    for pid in $PIDS; do wait "$pid" 2>/dev/null; done
    for m in $MOUNTS; do umount -l "$m" 2>/dev/null; done
    MOUNTS=""
}
trap 'unmount_all; cleanup' EXIT
# tmpfs DIR OPTIONS: a small file system of our own on DIR; fails where
# mounting is not allowed (the caller then skips its case).
tmpfs() {
    mkdir -p "$1"
    mount -t tmpfs -o "$2" korvane-e2e "$1" 2>/dev/null || return 1
    MOUNTS="$1 $MOUNTS"
}
unmount() { umount "$1" || fail "cannot unmount $1"; }
# fill DIR: writes until the file system of DIR is full.
fill() { dd if=/dev/zero of="$1/filler" bs=4k 2>/dev/null; sync; }

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
EXITS=""

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

# --- korvane's folder, its instruments, the program -------------------------

# folder NAME: D becomes a working folder for korvane with the header
# template and a stand-in image tool that keeps a copy of every snapshot it
# is started on.
folder() {
    D="$WORK/$1"
    mkdir -p "$D"
    cp "$BIN/header2.bin" "$D/"
    cat >"$D/Pictorix" <<'TOOL'
#!/bin/sh
# Stands in for the image tool: keeps the snapshot it was started on.
cp Temp.bmp "$(mktemp -p . tool.XXXXXX)"
TOOL
    chmod +x "$D/Pictorix"
}
tools_started() { find "$D" -maxdepth 1 -name 'tool.*' | wc -l; }
more_tools() { [ "$(tools_started)" -gt "$1" ]; }
newest_tool_copy() { ls -t "$D"/tool.* | head -n 1; }

# sim NAME DIR COM [OPTION...]: an instrument linked as DIR/COMn; its report
# is WORK/NAME.report, its last whole frame WORK/NAME.last. Sets SIM.
sim() {
    name=$1 dir=$2 com=$3
    shift 3
    "$BIN/zls740-sim" --dir "$dir" --com "$com" --report "$WORK/$name.report" --last-frame "$WORK/$name.last" \
        "$@" >"$WORK/$name.log" 2>&1 &
    SIM=$!
    PIDS="$PIDS $SIM"
    until_ok 10 test -e "$dir/COM$com" || fail "instrument $name made no COM$com"
}
requests() { report_value "$WORK/$1.report" requests; }
frames_sent() { report_value "$WORK/$1.report" frames; }
# above WHAT NAME N: requests or frames_sent of instrument NAME exceed N.
above() { [ "$($1 "$2")" -gt "$3" ]; }

# start_korvane [PROGRAM]: korvane started in D; sets KV (the process), WIN (its
# main window) and MENU (the height of the menu bar above the live view).
start_korvane() {
    (cd "$D" && exec "${1:-$BIN/korvane}") >"$WORK/korvane-$(basename "$D").log" 2>&1 &
    KV=$!
    PIDS="$KV $PIDS"
    until_ok 20 find_main || fail "no korvane window"
    until_ok 10 width_is_320 || fail "korvane's window is not 320 wide"
    MENU=$(( $(xwininfo -id "$WIN" | sed -n 's/^ *Height: *//p') - 240 ))
}
width_is_320() { [ "$(xwininfo -id "$WIN" | sed -n 's/^ *Width: *//p')" -eq 320 ]; }
titled() { xdotool search --all --onlyvisible --pid "$KV" --name "^$1\$" 2>/dev/null | wc -l; }
titled_is() { [ "$(titled "$1")" -eq "$2" ]; }


# answer TITLE: OK on korvane's box of that title.
answer() {
    box=$(xdotool search --all --onlyvisible --pid "$KV" --name "^$1\$" | grep -vx "$WIN" | head -n 1)
    [ -n "$box" ] || fail "$CASE: no box \"$1\" to answer"
    xdotool windowfocus --sync "$box"
    xdotool key Return
    until_ok 10 box_gone "$box" || fail "$CASE: the box \"$1\" did not close"
}
box_gone() { ! visible | grep -qx "$1"; }

# view_shows FRAMES: the live view shows one of FRAMES, whole (its number
# in WORK/match.log). view_blank: it shows none of them.
view_shows() { xwd -silent -id "$WIN" | "$CHECK" match - 0 "$MENU" "$1" >"$WORK/match.log" 2>&1; }
view_blank() {
    xwd -silent -id "$WIN" | "$CHECK" match - 0 "$MENU" "$1" >/dev/null 2>&1
    [ $? -eq 1 ]
}
shown_frame() { sed -n 's/^frame //p' "$WORK/match.log"; }
# shows_only FRAMES N: once a picture is up, N screenshots in a row, each
# one whole frame of FRAMES.
shows_only() {
    until_ok 10 view_shows "$1" || fail "$CASE: the view shows no whole frame sent"
    i=0
    while [ "$i" -lt "$2" ]; do
        view_shows "$1" || fail "$CASE: the view shows a picture that is no whole frame sent"
        SEEN="$SEEN $(shown_frame)"
        i=$((i + 1))
        sleep 0.1
    done
}
# save_print FRAMES: Save/Print starts the tool on a snapshot of one of FRAMES.
save_print() {
    before=$(tools_started)
    choose $SAVE_PRINT
    until_ok 20 more_tools "$before" || fail "$CASE: Save/Print did not start the image tool"
    "$CHECK" snapshot "$(newest_tool_copy)" "$1" >"$WORK/match.log" 2>&1 \
        || fail "$CASE: the snapshot is not a whole frame sent"
}
log_is() { [ "$(od -An -tx1 "$D/log.txt" | tr -s ' \n' '  ' | sed 's/^ *//; s/ *$//')" = "$1" ]; }

# quit [STATE]: File > Exit, code 0; with STATE, the time from the key to
# the process gone is printed and kept for the summary. Only a clear hang
# fails: the machine is shared.
quit() {
    file_menu
    xdotool key --delay 0 x
    t0=$(now_ms)
    while ! gone "$KV"; do
        [ $(( $(now_ms) - t0 )) -gt 5000 ] && fail "$CASE: korvane still runs 5 s after File > Exit"
        sleep 0.01
    done
    t=$(( $(now_ms) - t0 ))
    wait "$KV"
    rc=$?
    [ "$rc" -eq 0 ] || fail "$CASE: exit code $rc after File > Exit"
    if [ $# -gt 0 ]; then
        echo "  File > Exit while $1: gone after $t ms"
        EXITS="$EXITS  $t ms  $1
"
    fi
}

# === the instrument vanishes mid-stream, comes back, and vanishes again =====
CASE="instrument vanishes"
echo "$CASE"
folder vanish
sim inst "$D" 5 --replay "$FRAMES_A" --close-after 40 --reopen-after 1500
INST=$SIM
start_korvane
choose $CONNECT
until_ok 20 titled_is "DSO Connection Error" 1 || fail "$CASE: no \"DSO Connection Error\""
# A second box would show up meanwhile.
sleep 1
titled_is "DSO Connection Error" 1 || fail "$CASE: $(titled "DSO Connection Error") boxes for one lost link"
view_shows "$WORK/inst.last" || fail "$CASE: the last picture is not kept while the box is open"
save_print "$WORK/inst.last"
cp "$(newest_tool_copy)" "$WORK/good.bmp"
echo "  one box, the last picture kept on screen, Save/Print wrote it"
answer "DSO Connection Error"
until_ok 10 view_blank "$FRAMES_A" || fail "$CASE: the picture stays after the box was closed"
# Back on a new pseudo-terminal under the same name; a decoy on COM9 would
# win any new probe.
until_ok 20 grep -q '^link up' "$WORK/inst.report" || fail "$CASE: the instrument did not come back"
sim decoy "$D" 9 --replay "$FRAMES_B"
sent=$(frames_sent inst)
choose $CONNECT
until_ok 20 above frames_sent inst "$sent" \
    || fail "$CASE: Connect did not resume on COM5 ($(requests decoy) requests on the decoy COM9)"
until_ok 10 view_shows "$FRAMES_A" || fail "$CASE: no picture from COM5 after Connect"
[ "$(requests decoy)" = 0 ] || fail "$CASE: Connect probed again ($(requests decoy) requests on COM9)"
log_is "43 43" || fail "$CASE: log.txt holds $(od -An -tx1 "$D/log.txt")"
echo "  Connect resumed on COM5 without a probe: no request on the decoy COM9, log.txt 43 43"
# Gone for good this time (the simulator ends); Exit while the box waits.
kill "$INST"
until_ok 20 titled_is "DSO Connection Error" 1 || fail "$CASE: no \"DSO Connection Error\" the second time"
sleep 1
titled_is "DSO Connection Error" 1 || fail "$CASE: $(titled "DSO Connection Error") boxes for the second lost link"
quit "\"DSO Connection Error\" waits for OK"

# === two instruments; a device that answers the probe with 10 bytes ========
CASE="two instruments"
echo "$CASE"
folder two
sim com9 "$D" 9 --replay "$FRAMES_B"
sim com5 "$D" 5 --replay "$FRAMES_A"
start_korvane
choose $CONNECT
until_ok 20 view_shows "$FRAMES_B" || fail "$CASE: COM9 is not shown"
[ "$(requests com5)" = 0 ] || fail "$CASE: COM5 was asked too"
echo "  COM9 and COM5 answer: COM9 is shown, COM5 never asked"
choose $PAUSE
quit "paused"

folder ten-bytes
sim com9short "$D" 9 --answer-bytes 10
sim com5b "$D" 5 --replay "$FRAMES_A"
start_korvane
choose $CONNECT
until_ok 20 view_shows "$FRAMES_A" || fail "$CASE: COM5 is not shown"
[ "$(requests com9short)" = 1 ] || fail "$CASE: COM9 (10 bytes) got $(requests com9short) requests, not the probe's one"
echo "  COM9 answers 10 bytes: passed over after one probe, COM5 shown"
quit "streaming at full speed"

# === a port held by another program ========================================
CASE="port held"
echo "$CASE"
folder held
sim held "$D" 5 --replay "$FRAMES_A"
# The holder keeps the locked descriptor itself, so ending it lets go.
(exec 9<"$D/COM5" && flock -x 9 && exec sleep 600) &
HOLDER=$!
PIDS="$PIDS $HOLDER"
held() { ! flock -xn "$D/COM5" true; }
until_ok 10 held || fail "$CASE: the holder did not take the port"
start_korvane
choose $CONNECT
until_ok 20 titled_is "DSO Connection Error" 1 || fail "$CASE: Connect on a held port shows no \"DSO Connection Error\""
answer "DSO Connection Error"
log_is "43 00 00" || fail "$CASE: log.txt holds $(od -An -tx1 "$D/log.txt")"
[ "$(requests held)" = 0 ] || fail "$CASE: the held port was written to"
kill "$HOLDER"
wait "$HOLDER" 2>/dev/null
choose $CONNECT
until_ok 20 view_shows "$FRAMES_A" || fail "$CASE: Connect fails after the port was let go"
log_is "43 00 00 43" || fail "$CASE: log.txt holds $(od -An -tx1 "$D/log.txt")"
echo "  held: \"DSO Connection Error\", nothing sent; let go: Connect works (log.txt 43 00 00 43)"
quit

# === answers that are short, overlong, slow, cut off or never come =========
CASE="short answers"
echo "$CASE"
folder short
# Cut off where a frame published anyway would show half of the one before.
sim short "$D" 5 --replay "$FRAMES_A" --answer-bytes 30000 --fault-every 2
start_korvane
choose $CONNECT
until_ok 20 above frames_sent short 8 || fail "$CASE: no answers"
SEEN=""
shows_only "$FRAMES_A" 8
save_print "$FRAMES_A"
echo "  every second answer only 30000 bytes: frames shown$SEEN, snapshot whole"
quit "every second answer is short"

CASE="trailing bytes"
echo "$CASE"
folder trailing
# The three bytes come 20 ms after the frame: after the viewer has taken
# it, yet inside the 50 ms that still belong to the answer.
sim trailing "$D" 5 --replay "$FRAMES_A" --answer-bytes 40963 --fault-every 3 --trailing-after 20
start_korvane
choose $CONNECT
until_ok 20 above frames_sent trailing 8 || fail "$CASE: no answers"
SEEN=""
shows_only "$FRAMES_A" 8
save_print "$FRAMES_A"
echo "  every third answer with 3 bytes more, 20 ms late: frames shown$SEEN, snapshot whole"
quit "answers come with trailing bytes"

CASE="slow answer"
echo "$CASE"
folder slow
# Two answers at full speed, the third at 2000 bytes a second (20 s).
sim slow "$D" 5 --replay "$FRAMES_A" --rate 2000 --fault-every 3
start_korvane
choose $CONNECT
until_ok 20 above requests slow 2 || fail "$CASE: the third request did not come"
FRAME_1=$(frame "$FRAMES_A" 1)
SEEN=""
shows_only "$FRAME_1" 8
save_print "$FRAME_1"
[ "$(frames_sent slow)" = 2 ] || fail "$CASE: the slow answer ended before Exit"
echo "  while the third answer trickles in, the second frame stays shown and saved"
quit "an answer trickles in at 2000 bytes/s"

CASE="answer stops half way"
echo "$CASE"
folder stall
sim stall "$D" 5 --replay "$FRAMES_A" --stall-after $((40960 * 3 + 20480))
start_korvane
choose $CONNECT
# The half answer is dropped, and the next request waits for ever.
until_ok 20 above requests stall 4 || fail "$CASE: no request after the half answer"
FRAME_2=$(frame "$FRAMES_A" 2)
SEEN=""
shows_only "$FRAME_2" 8
save_print "$FRAME_2"
echo "  three frames, then half of one: the third frame stays shown and saved"
quit "the answer stopped half way and the next never comes"

CASE="silent instrument"
echo "$CASE"
folder silent
# Not found by the probe, but COM2 is the last port tried, which Connect opens.
sim silent "$D" 2 --silent
start_korvane
choose $CONNECT
until_ok 20 above requests silent 1 || fail "$CASE: the link did not start"
choose $SAVE_PRINT
sleep 1
[ ! -e "$D/Temp.bmp" ] && [ "$(tools_started)" = 0 ] || fail "$CASE: Save/Print wrote or started something without a screen"
echo "  nothing shown, Save/Print writes nothing and starts nothing"
quit "a silent instrument is waited for"

# === the header template missing, short or garbage ==========================
CASE="header template"
echo "$CASE"
# korvane copied to where no header2.bin lies beside it, and to where a good one does.
mkdir -p "$WORK/bare" "$WORK/beside"
cp "$BIN/korvane" "$WORK/bare/"
cp "$BIN/korvane" "$BIN/header2.bin" "$WORK/beside/"
for kind in missing short garbage offset; do
    folder "header-$kind"
    program="$WORK/bare/korvane"
    case $kind in
    missing) rm "$D/header2.bin" ;;
    short) head -c 60 "$BIN/header2.bin" >"$D/header2.tmp" && mv "$D/header2.tmp" "$D/header2.bin" ;;
    garbage)
        head -c 118 /dev/urandom >"$D/header2.bin"
        program="$WORK/beside/korvane" ;;
    offset)
        # A sound header whose pixels would lie 64 KiB further on.
        { head -c 10 "$BIN/header2.bin"; printf '\166\000\001\000'; tail -c +15 "$BIN/header2.bin"; } >"$D/header2.tmp"
        mv "$D/header2.tmp" "$D/header2.bin" ;;
    esac
    sim "header-$kind" "$D" 5 --replay "$FRAMES_A"
    start_korvane "$program"
    choose $CONNECT
    until_ok 20 view_shows "$FRAMES_A" || fail "$CASE $kind: the picture is wrong"
    save_print "$FRAMES_A"
    echo "  header2.bin $kind: the picture and the snapshot are right"
    quit
    kill "$SIM" && wait "$SIM"
done

# === a full disk under Temp.bmp =============================================
CASE="full disk under Temp.bmp"
echo "$CASE"
if tmpfs "$WORK/full" size=512k; then
    folder full
    sim full "$D" 5 --replay "$FRAMES_A" --rate 400000
    start_korvane
    choose $CONNECT
    until_ok 20 view_shows "$FRAMES_A" || fail "$CASE: no picture"
    save_print "$FRAMES_A"
    cp "$D/Temp.bmp" "$WORK/full-before.bmp"
    started=$(tools_started)
    fill "$D"
    choose $SAVE_PRINT
    until_ok 20 titled_is Korvane 2 || fail "$CASE: no message when Temp.bmp cannot be written"
    answer Korvane
    cmp -s "$D/Temp.bmp" "$WORK/full-before.bmp" || fail "$CASE: the good Temp.bmp was spoilt"
    [ -z "$(find "$D" -name 'Temp.bmp?*')" ] || fail "$CASE: a half-written file is left: $(ls "$D")"
    [ "$(tools_started)" = "$started" ] || fail "$CASE: the image tool was started on the old picture"
    sent=$(frames_sent full)
    until_ok 20 above frames_sent full "$sent" || fail "$CASE: the screens stopped"
    rm "$D/filler"
    save_print "$FRAMES_A"
    echo "  a message, the old Temp.bmp intact, no tool started; room again: Save/Print works"
    quit
    kill "$SIM" && wait "$SIM"
    unmount "$WORK/full"
else
    echo "  SKIP: cannot mount a tmpfs here"
fi

# === Pictorix on a snapshot that is missing, truncated or hostile ===========
CASE="Pictorix start-up"
echo "$CASE"
for kind in missing truncated hostile; do
    P="$WORK/px-$kind"
    mkdir -p "$P"
    case $kind in
    truncated) head -c 20000 "$WORK/good.bmp" >"$P/Temp.bmp" ;;
    hostile)
        # Sound to the header, but 40000 x 40000 pixels.
        { head -c 18 "$WORK/good.bmp"; printf '\100\234\000\000\100\234\000\000'; tail -c +27 "$WORK/good.bmp"; } >"$P/Temp.bmp" ;;
    esac
    (cd "$P" && exec "$BIN/Pictorix") >"$WORK/pictorix-$kind.log" 2>&1 &
    eval "PX_$kind=$!"
    PIDS="$PIDS $!"
done
px_box() { PX_BOX=$(xdotool search --all --onlyvisible --pid "$1" --name '^ZLS740$' 2>/dev/null | head -n 1); [ -n "$PX_BOX" ]; }
for kind in missing truncated hostile; do
    eval "pid=\$PX_$kind"
    until_ok 30 px_box "$pid" || fail "$CASE $kind: no run-time error box"
    [ -z "$(xdotool search --all --pid "$pid" --name '^ZLS 740$' 2>/dev/null)" ] || fail "$CASE $kind: the window was shown"
    xdotool windowfocus --sync "$PX_BOX"
    xdotool key Return
    until_ok 10 gone "$pid" || fail "$CASE $kind: still running after the error box"
    wait "$pid"
    rc=$?
    [ "$rc" = 1 ] || fail "$CASE $kind: exit code $rc, not 1"
    number=$(sed -n "s/.*Run-time error '\([0-9]*\)'.*/\1/p" "$WORK/pictorix-$kind.log")
    [ -n "$number" ] || fail "$CASE $kind: no run-time error reported"
    echo "  Temp.bmp $kind: run-time error $number, exit code 1"
done

# === Pictorix saving into an Img folder that is missing, read-only or full ===
CASE="Pictorix saving"
echo "$CASE"
TOOL="$WORK/tool"
mkdir -p "$TOOL" "$WORK/px-run"
cp "$BIN/Pictorix" "$TOOL/"
cp "$WORK/good.bmp" "$WORK/px-run/Temp.bmp"
px_titled() { xdotool search --all --onlyvisible --pid "$PX" --name "^$1\$" 2>/dev/null; }
px_has() { [ -n "$(px_titled "$1")" ]; }
px_lacks() { ! px_has "$1"; }
two_dialogs() { [ "$(px_titled "Save As" | wc -l)" -eq 2 ]; }
# px_save OUTCOME FILE [replace]: Pictorix in WORK/px-run, Save, FILE typed
# (and the question whether to replace it answered Yes); OUTCOME "error":
# an error box, answered; "saved": the dialog closes and no box comes. Then
# the form must still be there, and Close end it with code 0.
px_save() {
    (cd "$WORK/px-run" && exec "$TOOL/Pictorix") >"$WORK/pictorix-save.log" 2>&1 &
    PX=$!
    PIDS="$PIDS $PX"
    until_ok 30 px_has "ZLS 740" || fail "$CASE: Pictorix did not open"
    form=$(px_titled "ZLS 740")
    xdotool mousemove --window "$form" 304 284 click 1
    until_ok 20 px_has "Save As" || fail "$CASE: Save opened no dialog"
    xdotool windowfocus --sync "$(px_titled "Save As")"
    xdotool key ctrl+a
    xdotool type --delay 5 "$2"
    if [ $# -gt 2 ]; then done_when=two_dialogs; elif [ "$1" = error ]; then done_when="px_has ZLS740"; else done_when="px_lacks \"Save As\""; fi
    # Return again while a completion list takes the key.
    tries=0
    until eval "$done_when"; do
        [ "$tries" -ge 20 ] && fail "$CASE: the dialog did not take $2"
        [ $((tries % 5)) -eq 0 ] && xdotool key Return
        tries=$((tries + 1))
        sleep 0.2
    done
    [ $# -gt 2 ] && xdotool key y
    if [ "$1" = error ]; then
        until_ok 20 px_has ZLS740 || fail "$CASE: no message after the failed save"
        xdotool windowfocus --sync "$(px_titled ZLS740)"
        xdotool key Return
        until_ok 10 px_lacks ZLS740 || fail "$CASE: the message did not close"
    else
        until_ok 20 px_lacks "Save As" || fail "$CASE: the dialog stayed"
        sleep 0.5
        px_lacks ZLS740 || fail "$CASE: a message came with a good save"
    fi
    px_has "ZLS 740" || fail "$CASE: the form is gone after saving"
    xdotool mousemove --window "$form" 376 284 click 1
    until_ok 10 gone "$PX" || fail "$CASE: Close did not end Pictorix"
    wait "$PX"
    rc=$?
    [ "$rc" = 0 ] || fail "$CASE: exit code $rc after Close"
}

# A missing Img folder is made when Save needs it.
px_save saved "$TOOL/Img/shot.jpg"
until_ok 10 test -s "$TOOL/Img/shot.jpg" || fail "$CASE: nothing saved where Img was missing"
[ "$(/usr/bin/identify -format '%m %wx%h' "$TOOL/Img/shot.jpg" 2>/dev/null)" = "JPEG 320x240" ] \
    || fail "$CASE: Img/shot.jpg is not a 320x240 JPEG"
rm -r "$TOOL/Img"
echo "  Img missing: made by Save, the picture saved in it"

if tmpfs "$TOOL/Img" size=64k,mode=0755; then
    mount -o remount,ro "$TOOL/Img"
    px_save error "$TOOL/Img/shot.jpg"
    [ -z "$(ls -A "$TOOL/Img")" ] || fail "$CASE: something was written to a read-only Img: $(ls "$TOOL/Img")"
    echo "  Img read-only: a message, nothing written, the form goes on"
    unmount "$TOOL/Img"

    tmpfs "$TOOL/Img" size=64k || fail "$CASE: cannot mount again"
    head -c 20000 /dev/urandom >"$TOOL/Img/keep.jpg"
    cp "$TOOL/Img/keep.jpg" "$WORK/keep.jpg"
    fill "$TOOL/Img"
    px_save error "$TOOL/Img/keep.jpg" replace
    cmp -s "$TOOL/Img/keep.jpg" "$WORK/keep.jpg" || fail "$CASE: the older file was spoilt by a failed save"
    [ "$(ls -A "$TOOL/Img" | tr '\n' ' ')" = "filler keep.jpg " ] || fail "$CASE: left behind in Img: $(ls -A "$TOOL/Img")"
    echo "  Img full: a message, the older file intact, nothing left behind"
    unmount "$TOOL/Img"
else
    echo "  SKIP read-only and full Img: cannot mount a tmpfs here"
fi

# === many Save/Print in a row, each with the real Pictorix ==================
CASE="many Save/Print"
echo "$CASE"
folder many
# The real image tool, its exit code noted.
cat >"$D/Pictorix" <<TOOL
#!/bin/sh
"$BIN/Pictorix"
echo \$? >>pictorix-codes
TOOL
sim many "$D" 5 --replay "$FRAMES_A"
start_korvane
xdotool windowmove "$WIN" 1400 0
choose $CONNECT
until_ok 20 view_shows "$FRAMES_A" || fail "$CASE: no picture"
forms() { xdotool search --all --onlyvisible --name '^ZLS 740$' 2>/dev/null | sort; }
forms_are() { [ "$(forms | wc -l)" -eq "$1" ]; }
# form_shows WINDOW FRAMES: the image area of a Pictorix window shows one of FRAMES.
form_shows() { xwd -silent -id "$1" | "$CHECK" match - 8 8 "$2" >"$WORK/match.log" 2>&1; }
# Paused, the screen of the moment is known: each tool must show that one.
PAUSED_FORMS=""
settled() { a=$(frames_sent many); sleep 0.2; [ "$a" = "$(frames_sent many)" ]; }
for round in 1 2 3; do
    choose $PAUSE
    until_ok 10 settled || fail "$CASE: screens still come while paused"
    view_shows "$FRAMES_A" || fail "$CASE: no whole picture while paused"
    moment=$(frame "$FRAMES_A" "$(shown_frame)")
    before=$(forms)
    choose $SAVE_PRINT
    until_ok 30 forms_are "$round" || fail "$CASE: Save/Print $round started no Pictorix"
    new=$(forms | grep -vxF "$before" | head -n 1)
    PAUSED_FORMS="$PAUSED_FORMS $new"
    xdotool windowmove "$new" $(( (round - 1) * 430 )) 0
    until_ok 10 form_shows "$new" "$moment" || fail "$CASE: Pictorix $round does not show the screen of its moment"
    choose $PAUSE
    sent=$(frames_sent many)
    until_ok 10 above frames_sent many $((sent + 4)) || fail "$CASE: no screens after the pause"
done
# Then in a row while screens stream: each shows a whole frame.
for i in 1 2 3 4 5; do choose $SAVE_PRINT; done
until_ok 60 forms_are 8 || fail "$CASE: $(forms | wc -l) Pictorix windows, not 8"
slot=3
for w in $(forms | grep -vxF "$(echo $PAUSED_FORMS | tr ' ' '\n')"); do
    xdotool windowmove "$w" $(( (slot % 3) * 430 )) $(( (slot / 3) * 330 ))
    slot=$((slot + 1))
done
for w in $(forms); do
    until_ok 10 form_shows "$w" "$FRAMES_A" || fail "$CASE: a Pictorix window shows no whole frame"
done
for w in $(forms); do
    xdotool mousemove --window "$w" 376 284 click 1
done
until_ok 30 forms_are 0 || fail "$CASE: Close left $(forms | wc -l) Pictorix windows"
codes() { [ "$(wc -l <"$D/pictorix-codes")" -eq 8 ]; }
until_ok 20 codes || fail "$CASE: $(wc -l <"$D/pictorix-codes") Pictorix ended, not 8"
[ "$(sort -u "$D/pictorix-codes")" = 0 ] || fail "$CASE: Pictorix exit codes $(tr '\n' ' ' <"$D/pictorix-codes")"
echo "  8 Pictorix: 3 each with the screen of its paused moment, 5 in a row each with a whole frame; all ended with 0"
quit

echo
echo "File > Exit, from the key to the process gone (the requirement is within one second):"
printf '%s' "$EXITS"
echo "all cases in $(( $(date +%s) - BEGAN )) s"
echo "PASS"
