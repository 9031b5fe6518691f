#!/bin/sh
# Korvane - real serial drivers: what runs inside the guest, in a chroot on
# the host's file system (so the host's shell, tools and the programs just
# built), with the run's folder WORK shared read-write.
#
# Usage: guest-checks.sh WORK
# It only acts and records: every outcome goes to WORK/results as one
# "key value..." line, the screens to WORK/shots; the host's driver script
# judges them. Each program runs under `timeout`, so a step that hangs is
# recorded (code 124) instead of stopping the run. The step in progress is in
# WORK/step. The USB-serial bridge is unplugged and plugged back by the host,
# in steps that files in WORK ask for (see "ftdi: unplug" below).
set -u
work=$1
. "$work/guest.env"
export PATH="$bin:/usr/sbin:/usr/bin:/sbin:/bin"
results=$work/results
# Scratch files live in the run's folder: the host's /tmp, where the tree
# under test may well be, stays visible as it is.
scratch=$work/tmp
mkdir -p "$scratch"
export TMPDIR="$scratch"
gadget=/sys/kernel/config/usb_gadget/zls740
ftdi=/dev/ttyUSB0
acm=/dev/ttyACM0
gadget_end=/dev/ttyGS0
uart=/dev/ttyS1

record() { echo "$*" >> "$results"; }
step() {
    echo "$1" > "$work/step"
    echo "== $1 ($(cut -d' ' -f1 /proc/uptime) s)"
}
# Milliseconds of the guest's clock.
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# wait_until SECONDS COMMAND...: runs COMMAND every 10 ms until it succeeds;
# false when SECONDS pass first.
wait_until() {
    limit=$(($(now_ms) + $1 * 1000))
    shift
    until "$@"; do
        [ "$(now_ms)" -lt "$limit" ] || return 1
        sleep 0.01
    done
}
# has_files DIR N: DIR holds N files or more.
has_files() { [ "$(find "$1" -type f | wc -l)" -ge "$2" ]; }

start_gadget_simulator() {
    zls740-sim --serve-device "$gadget_end" "$@" > "$work/gadget-sim.log" 2>&1 &
    gadget_sim=$!
}
stop_gadget_simulator() {
    kill "$gadget_sim" 2> /dev/null
    wait "$gadget_sim" 2> /dev/null
}

# Screens through one driver, compared by the host with its own captures;
# close() timed. (Exclusive use is a file lock, the same on every driver.)
driver_checks() {
    name=$1 port=$2
    shift 2
    step "$name: screens"
    mkdir -p "$work/shots/$name"
    (cd "$work/shots/$name" && timeout 60 korvane-grab --port "$port" "$@" --count 6 --interval 0 -o shot.bmp)
    record "$name.series.code $?"

    step "$name: close"
    record "$name.close $(timeout 20 realserial-close "$port" || echo failed $?)"
}

# A series that the link's loss must end with code 3: started in the
# background with screens every INTERVAL seconds into the folder SHOTS, it
# writes "CODE END_MS UPTIME" (the guest's clock, and the kernel's seconds
# since boot) to FILE when done. Returns once SHOTS holds SCREENS screens
# (default 2).
start_series() {
    port=$1 interval=$2 shots=$3 file=$4 screens=${5:-2}
    rm -rf "$shots"
    mkdir -p "$shots"
    (
        timeout 40 korvane-grab --port "$port" --count 100000 --interval "$interval" -o "$shots/s.bmp" \
            2> "$file.err"
        echo "$? $(now_ms) $(cut -d' ' -f1 /proc/uptime)" > "$file"
    ) &
    wait_until 30 has_files "$shots" "$screens"
}

step "ready: $(cut -d' ' -f1 /proc/uptime) s"
record "guest.ready $(cut -d' ' -f1 /proc/uptime)"

# The USB-serial bridge enumerates on its own once the drivers are loaded.
step "ftdi: node"
wait_until 30 test -c "$ftdi" || record "ftdi.node missing"

step "acm: gadget"
mkdir "$gadget" "$gadget/strings/0x409" "$gadget/configs/c.1" "$gadget/functions/acm.usb0"
echo 0x1d6b > "$gadget/idVendor"
echo 0x0104 > "$gadget/idProduct"
echo ZLS740 > "$gadget/strings/0x409/product"
ln -s "$gadget/functions/acm.usb0" "$gadget/configs/c.1/"
udc=$(ls /sys/class/udc | head -n 1)
echo "$udc" > "$gadget/UDC"
wait_until 10 test -c "$gadget_end" || record "acm.gadget-end missing"
start_gadget_simulator --replay "$frames" --report "$work/acm.report"
wait_until 30 test -c "$acm" || record "acm.node missing"

uart_baud="--baud 115200"
driver_checks ftdi "$ftdi"
driver_checks acm "$acm"
# shellcheck disable=SC2086
driver_checks uart "$uart" $uart_baud

# The request must stay in the driver while CTS is low (the host's
# pseudo-terminal behind the emulated UART has no modem lines); close() must
# not wait for it.
step "uart: close with CTS low"
stty -F "$uart" crtscts
record "uart.cts.requests-before $(sed -n 's/^requests //p' "$work/host/uart.report")"
record "uart.cts.close $(timeout 5 realserial-close "$uart" || echo failed $?)"
start=$(now_ms)
# shellcheck disable=SC2086
timeout 10 korvane-grab --port "$uart" $uart_baud --timeout 1 -o "$scratch"/cts.bmp 2> "$work/uart-cts.err"
record "uart.cts.grab $? $(($(now_ms) - start))"
record "uart.cts.requests-after $(sed -n 's/^requests //p' "$work/host/uart.report")"
stty -F "$uart" -crtscts

# plug_back NAME NODE COMMAND...: once NAME's node has gone with the unplug,
# COMMAND plugs it back; the node must come back and give a screen.
# WORK/NAME-node-back tells the host the node is there.
plug_back() {
    name=$1 node=$2
    shift 2
    wait_until 10 test ! -e "$node" || record "$name.node still-there"
    step "$name: plug back"
    trigger=$(now_ms)
    "$@"
    if wait_until 30 test -c "$node"; then
        record "$name.replug $(($(now_ms) - trigger))"
        touch "$work/$name-node-back"
        (cd "$work/shots" && timeout 30 korvane-grab --port "$node" -o "$name-replug.bmp")
        record "$name.replug.grab $?"
    else
        record "$name.replug node-missing"
    fi
}

# Emptying the gadget's UDC is the modem-class port's unplug.
step "acm: unplug"
if start_series "$acm" 0 "$scratch"/acm-shots "$scratch"/acm-series; then
    trigger=$(now_ms)
    echo "" > "$gadget/UDC"
    wait_until 60 test -s "$scratch"/acm-series
    read -r code end _ < "$scratch"/acm-series || { code=none end=$trigger; }
    record "acm.unplug $code $((end - trigger))"
    cat "$scratch"/acm-series.err
else
    record "acm.unplug no-series"
fi
# The simulator opens the gadget end again on its own after the hang-up.
plug_back acm "$acm" sh -c "echo $udc > $gadget/UDC"

# The USB-serial bridge, unplugged while korvane-grab waits for an answer.
# This QEMU crashes when the device goes while its far end's bytes are still
# coming in, so the host first puts an instrument behind it that answers two
# requests and then nothing ever again (WORK/ftdi-swap asks for it,
# WORK/ftdi-stall-ready says it is there); once the series' third request is
# there, the host takes the device away (QMP device_del). Once the node is
# gone (WORK/ftdi-unplug-done) it adds the device again.
step "ftdi: unplug"
touch "$work/ftdi-swap"
if wait_until 30 test -e "$work/ftdi-stall-ready" \
    && start_series "$ftdi" 0 "$work/ftdi-series-shots" "$work/ftdi-series" 2; then
    wait_until 60 test -s "$work/ftdi-series"
    read -r code end uptime < "$work/ftdi-series" || code=none
    record "ftdi.unplug.code $code"
    # The kernel's own time of the disconnect, against korvane-grab's end.
    disconnect=$(dmesg | sed -n 's/^\[ *\([0-9.]*\)\] usb [0-9.-]*: USB disconnect.*/\1/p' | tail -n 1)
    if [ -n "$disconnect" ] && [ -n "${uptime:-}" ]; then
        record "ftdi.unplug.kernel-ms $(awk "BEGIN { printf \"%d\", ($uptime - $disconnect) * 1000 }")"
    fi
    record "ftdi.unplug.screens-before $(find "$work/ftdi-series-shots" -type f | wc -l)"
    cat "$work/ftdi-series.err"
else
    record "ftdi.unplug no-series"
fi
# The host plugs it back (QMP device_add) once asked.
plug_back ftdi "$ftdi" touch "$work/ftdi-unplug-done"

# A device on COM9 (/dev/ttyACM0) that sends text nobody asked for; the
# instrument on COM5 (/dev/ttyUSB0). The port search must pass over the
# talker and take the instrument. Last, as the talker's lines still on their
# way through the gadget would reach whoever opens the port next.
step "talker: passed over"
stop_gadget_simulator
start_gadget_simulator --chatter 300 --silent
# Talking already when the search comes: a talker that has not started
# yet is a quiet port.
stty -F "$acm" raw -echo
timeout 20 head -c 1000 "$acm" > /dev/null || record "talker.silent yes"
mkdir -p "$scratch"/talker
start=$(now_ms)
(cd "$scratch"/talker && timeout 60 korvane-grab -o "$work/shots/talker.bmp" 2> "$work/talker.err")
record "talker.grab $? $(($(now_ms) - start))"
# Unplugged first: closing the gadget end waits up to 15 s for the
# talker's lines that nobody reads, unless the link is gone.
echo "" > "$gadget/UDC"

stop_gadget_simulator
step "done"
record "guest.done $(cut -d' ' -f1 /proc/uptime)"
