#!/bin/sh
# Korvane - real serial drivers: the checks inside the guest, in a chroot on
# the host's files (the programs just built), the run's folder WORK read-write.
# Usage: guest-checks.sh WORK; exit status: the number of failed checks. Every
# program runs under `timeout`, so a hang fails its check, not the run.
set -u
work=$1
. "$work/guest.env"
# Scratch files in WORK: the host's /tmp may hold the tree under test.
export PATH="$bin:/usr/sbin:/usr/bin:/sbin:/bin" TMPDIR="$work/tmp"
mkdir -p "$TMPDIR" "$work/shots"
gadget=/sys/kernel/config/usb_gadget/zls740
ftdi=/dev/ttyUSB0 acm=/dev/ttyACM0 uart=/dev/ttyS1
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
step() { echo "== $* ($(cut -d' ' -f1 /proc/uptime) s)"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# wait_until SECONDS COMMAND...: COMMAND every 10 ms until it succeeds; false
# once SECONDS have passed.
wait_until() {
    limit=$(($(now_ms) + $1 * 1000))
    shift
    until "$@"; do
        [ "$(now_ms)" -lt "$limit" ] || return 1
        sleep 0.01
    done
}
# within LIMIT VALUE WHAT: prints the figure; fails when VALUE is missing or
# above LIMIT. The limits are far above what a loaded machine takes and far
# below the 30 s of a real fault (a hang-up ignored, a close held by flow control).
within() {
    echo "figure: $3 ${2:-none}"
    awk -v limit="$1" -v value="${2:-x}" 'BEGIN { exit !(value ~ /^[0-9.]+$/ && value + 0 <= limit) }' \
        || fail "$3: ${2:-none}, limit $1"
}
# is VALUE EXPECTED WHAT
is() { [ "$1" = "$2" ] || fail "$3: $1, not $2"; }
files() { [ "$(find "$1" -type f | wc -l)" -ge "$2" ]; }
requests() { sed -n 's/^requests //p' "$work/host/$1.report" 2> /dev/null; }
# host_do unplug|plug: the host takes the USB-serial bridge away or adds it back.
host_do() {
    echo "$1" > "$work/ask.new" && mv "$work/ask.new" "$work/ask"
    wait_until 30 test -e "$work/done-$1" || fail "the host did not $1 the USB-serial bridge"
}
# screen FILE: FILE is byte for byte one of the screens the host's own
# korvane-grab took of the frames the instruments replay; prints its number.
screen() {
    for reference in "$work"/ref/*.bmp; do
        cmp -s "$1" "$reference" && basename "$reference" .bmp && return 0
    done
    return 1
}
start_gadget_instrument() {
    zls740-sim --serve-device /dev/ttyGS0 "$@" > "$work/gadget-sim.log" 2>&1 &
    gadget_sim=$!
}

# link_loss NAME PORT READY UNPLUG: a series streams on PORT; once READY holds,
# a second korvane-grab must find the port taken, and UNPLUG takes the link
# away: the series must end with code 3 (link lost).
link_loss() {
    step "$1: unplugged during a series"
    mkdir -p "$TMPDIR/$1"
    (
        timeout 90 korvane-grab --port "$2" --count 100000 --interval 0 --timeout 30 -o "$TMPDIR/$1/s.bmp"
        echo "$? $(now_ms)" > "$TMPDIR/$1.end"
    ) &
    wait_until 30 $3 || fail "$1: the series did not get going"
    # Root passes TIOCEXCL: only the lock keeps a second korvane-grab off.
    timeout 20 korvane-grab --port "$2" --timeout 2 -o "$TMPDIR/second.bmp" 2>&1 \
        | grep -q "another program holds it" || fail "$1: a second korvane-grab was not refused the port in use"
    start=$(now_ms)
    $4
    wait_until 90 test -s "$TMPDIR/$1.end"
    read -r code end < "$TMPDIR/$1.end" || code=none end=""
    is "$code" 3 "$1: korvane-grab's code when the link went"
    within 10000 "$((${end:-0} - start))" "$1 unplug-to-exit-ms"
}
# plug_back NAME NODE COMMAND...: once NODE has gone, COMMAND plugs it back; it
# must come back and give a right screen.
plug_back() {
    name=$1 node=$2
    shift 2
    wait_until 10 test ! -e "$node"
    step "$name: plugged back"
    start=$(now_ms)
    "$@"
    wait_until 30 test -c "$node"
    within 20000 "$(($(now_ms) - start))" "$name replug-to-node-ms"
    (cd "$work/shots" && timeout 30 korvane-grab --port "$node" -o "$name-replug.bmp")
    is "$?" 0 "$name: korvane-grab after plugging back"
    screen "$work/shots/$name-replug.bmp" > /dev/null || fail "$name: the screen after plugging back is wrong"
}
# screens_and_close NAME PORT OPTION...: a series of 6 screens, each one the
# instrument sent and none the one before it (a stale answer shows as a
# repeat); then the engine's close() after a whole screen.
screens_and_close() {
    name=$1 port=$2
    shift 2
    step "$name: screens"
    mkdir -p "$work/shots/$name"
    (cd "$work/shots/$name" && timeout 60 korvane-grab --port "$port" "$@" --count 6 --interval 0 -o shot.bmp)
    is "$?" 0 "$name: korvane-grab's series"
    # Names: shot-DATE-TIME.bmp, then shot-DATE-TIME-2.bmp... in the same second.
    taken=$(ls "$work/shots/$name" | sed 's/^shot-[0-9]*-[0-9]*\.bmp$/& 1/; s/^shot-[0-9]*-[0-9]*-\([0-9]*\)\.bmp$/& \1/' \
        | sort -k1.6,1.20 -k2,2n | cut -d' ' -f1)
    is "$(echo "$taken" | wc -w)" 6 "$name: screens written"
    previous=""
    for shot in $taken; do
        number=$(screen "$work/shots/$name/$shot") || fail "$name: $shot is no screen the instrument sent"
        [ "$number" != "$previous" ] || fail "$name: $shot repeats the screen before it"
        previous=$number
    done
    set -- $(timeout 20 realserial-close "$port")
    is "${1:-none}" 40960 "$name: bytes before close()"
    within 10000 "${2:-}" "$name close-ms"
}

echo "figure: guest-ready-s $(cut -d' ' -f1 /proc/uptime)"
wait_until 30 test -c "$ftdi" || fail "no $ftdi"
step "acm: gadget"
mkdir "$gadget" "$gadget/strings/0x409" "$gadget/configs/c.1" "$gadget/functions/acm.usb0"
echo 0x1d6b > "$gadget/idVendor"
echo 0x0104 > "$gadget/idProduct"
echo ZLS740 > "$gadget/strings/0x409/product"
ln -s "$gadget/functions/acm.usb0" "$gadget/configs/c.1/"
udc=$(ls /sys/class/udc | head -n 1)
echo "$udc" > "$gadget/UDC"
wait_until 10 test -c /dev/ttyGS0 || fail "no gadget end /dev/ttyGS0"
start_gadget_instrument --replay "$frames"
wait_until 30 test -c "$acm" || fail "no $acm"

# The bridge's instrument answers two requests, then nothing: QEMU 7.2 crashes
# when the device goes with bytes still coming in, so it goes while
# korvane-grab waits for the third answer.
ftdi_waits() { files "$TMPDIR/ftdi" 2 && [ "$(requests ftdi)" -ge 3 ] 2> /dev/null; }
link_loss ftdi "$ftdi" ftdi_waits "host_do unplug"
# Emptying the gadget's UDC unplugs the modem-class port.
acm_unplug() { echo > "$gadget/UDC"; }
acm_plug() { echo "$udc" > "$gadget/UDC"; }
link_loss acm "$acm" "files $TMPDIR/acm 2" acm_unplug
# The gadget's instrument opens the hung-up /dev/ttyGS0 again on its own.
plug_back acm "$acm" acm_plug
plug_back ftdi "$ftdi" host_do plug

screens_and_close ftdi "$ftdi"
screens_and_close acm "$acm"
screens_and_close uart "$uart" --baud 115200

# CTS low (the host's pseudo-terminal behind the UART has no modem lines):
# the request stays in the driver, and neither close() nor korvane-grab may
# wait for it to leave.
step "uart: CRTSCTS with CTS low"
stty -F "$uart" crtscts
before=$(requests uart)
set -- $(timeout 20 realserial-close "$uart")
within 10000 "${2:-}" "uart close-with-cts-low-ms"
start=$(now_ms)
timeout 20 korvane-grab --port "$uart" --baud 115200 --timeout 1 -o "$TMPDIR/cts.bmp"
is "$?" 1 "uart: korvane-grab --timeout 1 with CTS low"
within 10000 "$(($(now_ms) - start))" "uart grab-with-cts-low-ms"
is "$(requests uart)" "${before:-none}" "uart: requests through while CTS is low"
stty -F "$uart" -crtscts

# A device on COM9 (/dev/ttyACM0) talks unasked, the instrument is on COM5
# (/dev/ttyUSB0): the port search must pass over the talker. Last: the
# talker's lines still on their way would reach the next opener.
step "talker: passed over"
kill "$gadget_sim" && wait "$gadget_sim"
start_gadget_instrument --chatter 300 --silent
# Talking already when the search comes (a talker not started yet is quiet).
stty -F "$acm" raw -echo
timeout 20 head -c 1000 "$acm" > /dev/null || fail "talker: nothing heard within 20 s"
mkdir -p "$TMPDIR/talker"
(cd "$TMPDIR/talker" && timeout 60 korvane-grab -o "$work/shots/talker.bmp")
is "$?" 0 "talker: korvane-grab without --port"
screen "$work/shots/talker.bmp" > /dev/null || fail "talker: the screen taken is not the instrument's"
# Unplugged first: closing the gadget end otherwise waits up to 15 s for the
# talker's lines nobody reads.
echo > "$gadget/UDC"
kill "$gadget_sim" && wait "$gadget_sim"
step "done: $failures failed"
exit "$failures"
