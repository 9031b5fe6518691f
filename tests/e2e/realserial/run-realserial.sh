#!/bin/sh
# Korvane - real serial drivers: the host's side of the run.
#
# Usage: run-realserial.sh BIN_DIR RUN_DIR
# Boots Debian's own kernel in QEMU (TCG) with a small busybox initramfs; the
# guest sees the host's file system read-only over 9p and runs korvane-grab
# and the engine from BIN_DIR through three real drivers: ftdi_sio (QEMU's
# USB-serial bridge on xHCI, its far end a zls740-sim here), cdc_acm (a
# configfs ACM gadget on dummy_hcd inside the guest, its gadget end served by
# zls740-sim --serve-device there) and 8250 (QEMU's 16550, its far end a
# zls740-sim here). The guest only acts and records (guest-checks.sh); this
# script unplugs and replugs the USB-serial bridge, judges every result and
# prints the figures. The kernel package is fetched with apt-get download into
# RUN_DIR/kernel once and kept there. Exit code 0: every check passed; 77:
# QEMU cannot run here at all; anything else: a check failed.
set -u
bin=$(cd "$1" && pwd) || exit 1
mkdir -p "$2"
base=$(cd "$2" && pwd)
src=$(cd "$(dirname "$0")" && pwd)
work=$base/run
cache=$base/kernel
# Seconds the guest may take from QEMU's start to its last check.
guest_limit=240
# Limits a check fails on: far above the figures measured, so that only a
# real fault (a hang-up ignored, a close waiting on flow control) crosses
# them on a loaded machine. The targets are printed beside the figures.
unplug_limit_ms=3000
replug_limit_ms=5000
close_limit_ms=1000
# QEMU's pseudo-terminal far end is looked for again once a second after its
# instrument closed it.
reconnect_ms=1500
frames=5

now_ms() { echo $(($(date +%s%N) / 1000000)); }
# A process that has not ended (an ended child not yet reaped is a zombie).
running() { [ -d "/proc/$1" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2> /dev/null; }
run_start=$(now_ms)
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
die() {
    echo "realserial: $*" >&2
    exit 1
}
# Milliseconds as seconds with two decimals.
secs() { printf '%d.%02d' $(($1 / 1000)) $(($1 % 1000 / 10)); }

# Processes this script started and has not reaped yet: ended on every way
# out. A reaped one is forgotten, since its number may soon be another's.
children=""
forget() { children=$(echo " $children " | sed "s/ $1 / /"); }
# end_child PID: ends it, reaps it and forgets it.
end_child() {
    kill "$1" 2> /dev/null
    wait "$1" 2> /dev/null
    forget "$1"
}
cleanup() {
    for pid in $children; do
        kill "$pid" 2> /dev/null
    done
    for pid in $children; do
        wait "$pid" 2> /dev/null
    done
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# QEMU that cannot start at all is the only reason to skip.
qemu=$(command -v qemu-system-x86_64) || {
    echo "SKIP: qemu-system-x86_64 is not installed"
    exit 77
}
if ! echo quit | timeout 30 "$qemu" -accel tcg -M none -nodefaults -display none -monitor stdio > /dev/null 2>&1; then
    echo "SKIP: qemu-system-x86_64 cannot run here"
    exit 77
fi
for tool in busybox depmod modprobe dpkg-deb xz apt-get; do
    command -v "$tool" > /dev/null || die "$tool is missing (scripts/packages-test.txt installs it)"
done
[ -x "$bin/korvane-grab" ] && [ -x "$bin/zls740-sim" ] && [ -x "$bin/realserial-qmp" ] \
    && [ -x "$bin/realserial-close" ] || die "the programs are not built in $bin"

rm -rf "$work"
mkdir -p "$work/host" "$work/ref" "$work/shots" "$cache"

# --- The kernel: Debian's package, unpacked once into the cache ---------------
kernel_package() {
    apt-cache depends linux-image-amd64 2> /dev/null | awk '/Depends: linux-image-[0-9]/ { print $2; exit }'
}
package=$(kernel_package)
if [ -z "$package" ]; then
    # A fresh machine whose package lists were never fetched.
    apt-get update -qq > /dev/null 2>&1
    package=$(kernel_package)
fi
if [ -z "$package" ]; then
    kept=$(ls -d "$cache"/*/vmlinux 2> /dev/null | head -n 1)
    [ -n "$kept" ] || die "cannot find Debian's kernel package (apt-get update failed?)"
    package=linux-image-$(basename "$(dirname "$kept")")
fi
version=${package#linux-image-}
kernel=$cache/$version
# Modules of the drivers under test and of the 9p share; their dependencies
# are added from the package's own index.
modules="virtio_pci 9pnet_virtio 9p xhci_pci ftdi_sio cdc_acm configfs dummy_hcd libcomposite usb_f_acm"
if [ ! -f "$kernel/vmlinux" ]; then
    echo "realserial: fetching $package"
    # Only the kernel in use is kept.
    rm -rf "$cache"/*
    mkdir -p "$kernel/unpacked"
    (cd "$kernel" && apt-get download -q "$package" > download.log 2>&1) \
        || die "apt-get download $package failed: $(tail -n 3 "$kernel/download.log")"
    dpkg-deb -x "$kernel"/*.deb "$kernel/unpacked" || die "cannot unpack $package"
    depmod -b "$kernel/unpacked" "$version" || die "depmod failed"
    for module in $(modprobe -d "$kernel/unpacked" -S "$version" --show-depends -a $modules | awk '{ print $2 }'); do
        relative=${module#"$kernel/unpacked/"}
        mkdir -p "$kernel/modules/$(dirname "$relative")"
        cp "$module" "$kernel/modules/$relative"
    done
    cp "$kernel/unpacked/lib/modules/$version"/modules.builtin* "$kernel/unpacked/lib/modules/$version/modules.order" \
        "$kernel/modules/lib/modules/$version/"
    # The uncompressed kernel boots about 5 s sooner than the package's
    # compressed image: the xz stream inside it, unpacked.
    image=$(ls "$kernel"/unpacked/boot/vmlinuz-*)
    offset=$(LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$image" | head -n 1 | cut -d: -f1)
    [ -n "$offset" ] || die "no xz stream in $image"
    tail -c +$((offset + 1)) "$image" | xz -dc --single-stream > "$kernel/vmlinux.new" 2> /dev/null
    [ "$(head -c 4 "$kernel/vmlinux.new" | od -An -c | tr -d ' ')" = '177ELF' ] || die "cannot unpack the kernel from $image"
    mv "$kernel/vmlinux.new" "$kernel/vmlinux"
    rm -rf "$kernel/unpacked" "$kernel"/*.deb
fi

# --- The initramfs: busybox, the modules, the first process -------------------
initrd=$work/initrd
mkdir -p "$initrd/bin" "$initrd/proc" "$initrd/sys" "$initrd/dev" "$initrd/lib"
cp "$(command -v busybox)" "$initrd/bin/busybox"
cp -r "$kernel/modules/lib/modules" "$initrd/lib/"
depmod -b "$initrd" "$version" || die "depmod of the initramfs failed"
cp "$src/guest-init.sh" "$initrd/init"
chmod 755 "$initrd/init"
(cd "$initrd" && find . | busybox cpio -o -H newc > "$work/initrd.cpio" 2> /dev/null) || die "cannot pack the initramfs"

# --- The screens: frames replayed in turn, and the host's own captures -------
for i in $(seq 0 $((frames - 1))); do
    "$bin/zls740-sim" --write-frame "$work/frame-$i.bin" --index "$((i * 37 + 3))" || die "cannot draw frame $i"
    cat "$work/frame-$i.bin" >> "$work/frames.bin"
done
# wait_for SECONDS COMMAND...: runs COMMAND every 20 ms until it succeeds.
wait_for() {
    limit=$(($(now_ms) + $1 * 1000))
    shift
    until "$@"; do
        [ "$(now_ms)" -lt "$limit" ] || return 1
        sleep 0.02
    done
}
"$bin/zls740-sim" --dir "$work/ref" --com 3 --replay "$work/frames.bin" > /dev/null &
reference_sim=$!
children="$children $reference_sim"
wait_for 10 test -L "$work/ref/COM3" || die "the reference simulator did not start"
for i in $(seq 0 $((frames - 1))); do
    (cd "$work/ref" && timeout 20 "$bin/korvane-grab" --port COM3 -o "screen-$i.bmp") \
        || die "the host's own capture $i failed"
done
end_child "$reference_sim"
[ "$(md5sum "$work"/ref/screen-*.bmp | cut -d' ' -f1 | sort -u | wc -l)" -eq "$frames" ] \
    || die "the reference screens are not all different"

# match FILE: the number of the reference screen FILE equals byte for byte,
# or nothing.
match() {
    for reference in "$work"/ref/screen-*.bmp; do
        if cmp -s "$1" "$reference"; then
            basename "$reference" .bmp | sed 's/screen-//'
            return 0
        fi
    done
    return 1
}

# --- The instrument's far ends on the host ------------------------------------
"$bin/zls740-sim" --dir "$work/host" --com 6 --replay "$work/frames.bin" --report "$work/host/uart.report" \
    > "$work/host/uart-sim.log" 2>&1 &
uart_sim=$!
children="$children $uart_sim"
wait_for 10 test -L "$work/host/COM6" || die "the UART's simulator did not start"

printf 'bin=%s\nframes=%s\n' "$bin" "$work/frames.bin" > "$work/guest.env"

# --- The guest ------------------------------------------------------------------
qmp=$work/qmp.sock
firmware=""
[ -f /usr/share/qemu/qboot.rom ] && firmware="-bios /usr/share/qemu/qboot.rom"
qemu_start=$(now_ms)
# shellcheck disable=SC2086
"$qemu" -accel tcg -M pc -smp 2 -m 512 -nodefaults -display none -vga none -no-reboot $firmware \
    -kernel "$kernel/vmlinux" -initrd "$work/initrd.cpio" \
    -append "console=ttyS0 quiet panic=-1 rs_work=$work rs_checks=$src/guest-checks.sh" \
    -serial "file:$work/console.log" \
    -chardev "serial,id=uart,path=$work/host/COM6" -serial chardev:uart \
    -device qemu-xhci,id=xhci \
    -chardev pty,id=ftdi -device usb-serial,id=ftdi0,bus=xhci.0,chardev=ftdi,always-plugged=on \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$work,mount_tag=work,security_model=none" \
    -qmp "unix:$qmp,server=on,wait=off" > "$work/qemu.log" 2>&1 &
qemu_pid=$!
children="$qemu_pid $children"

qmp_command() { "$bin/realserial-qmp" "$qmp" "$@"; }

# The USB-serial bridge's far end is a pseudo-terminal QEMU makes; the
# instrument behind it serves its slave, and can be swapped for another
# (always-plugged: the device stays while none is there).
ftdi_pty=""
find_ftdi_pty() {
    ftdi_pty=$(sed -n 's/.*redirected to \(\/dev\/pts\/[0-9]*\) (label ftdi).*/\1/p' "$work/qemu.log")
    [ -n "$ftdi_pty" ]
}
ftdi_sim=""
# start_ftdi_instrument LOG OPTION...
start_ftdi_instrument() {
    log=$1
    shift
    "$bin/zls740-sim" --serve-device "$ftdi_pty" --replay "$work/frames.bin" "$@" > "$work/host/$log" 2>&1 &
    ftdi_sim=$!
    children="$children $ftdi_sim"
}
stop_ftdi_instrument() { end_child "$ftdi_sim"; }
wait_for 20 find_ftdi_pty || die "QEMU did not say where the USB-serial bridge's far end is: $(cat "$work/qemu.log")"
start_ftdi_instrument ftdi-sim.log --report "$work/host/ftdi.report"

# Waits for the guest's steps, and unplugs and replugs the USB-serial bridge
# when the guest asks for it. Every wait here is bounded by guest_limit.
state=boot
ready_ms="" ftdi_unplug_ms="" ftdi_replug_ms=""
deadline=$((qemu_start + guest_limit * 1000))
while :; do
    [ -e "$work/guest-status" ] && break
    if ! running "$qemu_pid"; then
        wait "$qemu_pid"
        fail "QEMU ended (status $?) before the guest's checks did, at: $(cat "$work/step" 2> /dev/null) (see $work/qemu.log, $work/console.log)"
        forget "$qemu_pid"
        break
    fi
    if [ "$(now_ms)" -ge "$deadline" ]; then
        fail "the guest did not finish within $guest_limit s; it was at: $(cat "$work/step" 2> /dev/null)"
        break
    fi
    case $state in
    boot)
        if [ -e "$work/guest-ready" ]; then
            ready_ms=$(($(now_ms) - qemu_start))
            state=swap
        fi
        ;;
    swap)
        if [ -e "$work/ftdi-swap" ]; then
            # Two whole answers, then nothing ever again.
            stop_ftdi_instrument
            start_ftdi_instrument ftdi-stall-sim.log --stall-after $((2 * 40960)) \
                --report "$work/host/ftdi-stall.report"
            swapped_at=$(now_ms)
            state=settle
        fi
        ;;
    settle)
        # QEMU looks for a new far end on its pseudo-terminal once a second;
        # a request sent before it found one would be lost.
        if [ "$(now_ms)" -ge $((swapped_at + reconnect_ms)) ]; then
            touch "$work/ftdi-stall-ready"
            state=stalled
        fi
        ;;
    stalled)
        if [ "$(sed -n 's/^requests //p' "$work/host/ftdi-stall.report" 2> /dev/null)" = 3 ]; then
            unplugged_at=$(now_ms)
            qmp_command '{"execute":"device_del","arguments":{"id":"ftdi0"}}' DEVICE_DELETED 10000 \
                || fail "QEMU did not take the USB-serial bridge away"
            stop_ftdi_instrument
            start_ftdi_instrument ftdi-sim-2.log
            swapped_at=$(now_ms)
            state=unplugged
        fi
        ;;
    unplugged)
        if [ -s "$work/ftdi-series" ]; then
            ftdi_unplug_ms=$(($(now_ms) - unplugged_at))
            state=gone
        fi
        ;;
    gone)
        if [ -e "$work/ftdi-unplug-done" ] && [ "$(now_ms)" -ge $((swapped_at + reconnect_ms)) ]; then
            replugged_at=$(now_ms)
            qmp_command '{"execute":"device_add","arguments":{"driver":"usb-serial","id":"ftdi0","bus":"xhci.0","chardev":"ftdi","always-plugged":true}}' \
                || fail "QEMU did not plug the USB-serial bridge back"
            state=back
        fi
        ;;
    back)
        if [ -e "$work/ftdi-node-back" ]; then
            ftdi_replug_ms=$(($(now_ms) - replugged_at))
            state=rest
        fi
        ;;
    esac
    sleep 0.02
done
guest_ms=$(($(now_ms) - qemu_start))
# An instrument that went away on its own would make every later check of
# its port fail for a reason that is not the driver's.
running "$uart_sim" || fail "the UART's simulator on the host ended during the run (stopped from outside?)"
running "$ftdi_sim" || fail "the USB-serial bridge's simulator on the host ended during the run (stopped from outside?)"
# The guest reboots when done, which ends QEMU (-no-reboot).
if wait_for 20 eval '! running "$qemu_pid"'; then
    wait "$qemu_pid" 2> /dev/null
    forget "$qemu_pid"
else
    fail "QEMU did not end after the guest's checks"
fi

echo "--- guest's log"
cat "$work/guest.log" 2> /dev/null
echo "--- results"
cat "$work/results" 2> /dev/null
echo "---"

# --- Judging ---------------------------------------------------------------------
status=$(cat "$work/guest-status" 2> /dev/null || echo none)
[ "$status" = 0 ] || fail "the guest's checks ended with status $status"
# value KEY [FIELD]: a field (default: the first) of the result KEY.
value() {
    awk -v key="$1" -v field="${2:-1}" '$1 == key { v = $(field + 1) } END { print v }' "$work/results" 2> /dev/null
}
for key in ftdi.node acm.gadget-end acm.node; do
    [ -z "$(value "$key")" ] || fail "device node $key: $(value "$key")"
done

# Screens through each driver: each one byte for byte a screen the host took
# of the same frame, and no two in a row the same (the instruments replay
# their frames in turn, so a stale screen shows as a repeat).
# in_order DIR: the series' files in the order taken (shot-TIME.bmp,
# shot-TIME-2.bmp, ...).
in_order() {
    for shot in "$1"/*.bmp; do
        [ -e "$shot" ] || continue
        name=$(basename "$shot" .bmp)
        case $name in
        shot-*-*-*) echo "${name%-*} ${name##*-} $shot" ;;
        *) echo "$name 1 $shot" ;;
        esac
    done | sort -k1,1 -k2,2n | cut -d' ' -f3-
}
for driver in ftdi acm uart; do
    code=$(value "$driver.series.code")
    [ "$code" = 0 ] || fail "$driver: korvane-grab's series ended with $code"
    shots=0 right=0 previous=""
    for shot in $(in_order "$work/shots/$driver"); do
        shots=$((shots + 1))
        if number=$(match "$shot"); then
            right=$((right + 1))
            [ "$number" != "$previous" ] || fail "$driver: $(basename "$shot") repeats the screen before it"
            previous=$number
        else
            fail "$driver: $(basename "$shot") is no screen the instrument sent"
            previous=""
        fi
    done
    [ "$shots" -eq 6 ] || fail "$driver: $shots screens written instead of 6"
    eval "${driver}_screens=\"$right/$shots\""
    got=$(value "$driver.close" 2)
    close_ms=$(value "$driver.close" 4)
    if [ "$got" != 40960 ] || [ -z "$close_ms" ]; then
        fail "$driver: the close check got $(value "$driver.close") ($(grep "^$driver.close" "$work/results"))"
    elif [ "$(awk "BEGIN { print ($close_ms > $close_limit_ms) }")" = 1 ]; then
        fail "$driver: close() took $close_ms ms"
    fi
    eval "${driver}_close=\"$close_ms\""
done

# Close with CRTSCTS set and CTS low: the request stays in the driver, and
# neither the engine's close() nor korvane-grab waits for it to leave.
before=$(value uart.cts.requests-before)
after=$(value uart.cts.requests-after)
[ -n "$before" ] && [ "$before" = "$after" ] \
    || fail "uart: CTS was not low: the instrument got requests $before -> $after"
cts_close_ms=$(value uart.cts.close 4)
if [ -z "$cts_close_ms" ]; then
    fail "uart: close() with CTS low did not return ($(grep '^uart.cts.close' "$work/results"))"
elif [ "$(awk "BEGIN { print ($cts_close_ms > $close_limit_ms) }")" = 1 ]; then
    fail "uart: close() with CTS low took $cts_close_ms ms"
fi
cts_grab_code=$(value uart.cts.grab)
cts_grab_ms=$(value uart.cts.grab 2)
[ "$cts_grab_code" = 1 ] || fail "uart: korvane-grab with CTS low ended with $cts_grab_code, not 1 (no screen)"
[ -n "$cts_grab_ms" ] && [ "$cts_grab_ms" -le $((1000 + close_limit_ms + 2000)) ] \
    || fail "uart: korvane-grab --timeout 1 with CTS low took ${cts_grab_ms:-?} ms"

# A talker on COM9 passed over, the instrument on COM5 taken.
[ -z "$(value talker.silent)" ] || fail "talker: the talking device sent nothing within 20 s"
talker_code=$(value talker.grab)
talker_ms=$(value talker.grab 2)
if [ -n "$talker_code" ]; then
    [ "$talker_code" = 0 ] || fail "talker: korvane-grab without --port ended with $talker_code"
    match "$work/shots/talker.bmp" > /dev/null || fail "talker: the screen taken is not the instrument's"
fi

# Unplugged mid-series: exit code 3 at once; plugged back: the next screen right.
acm_unplug_code=$(value acm.unplug)
acm_unplug_ms=$(value acm.unplug 2)
[ "$acm_unplug_code" = 3 ] || fail "acm: the series ended with ${acm_unplug_code:-nothing}, not 3, when the UDC was emptied"
[ -n "$acm_unplug_ms" ] && [ "$acm_unplug_ms" -le "$unplug_limit_ms" ] \
    || fail "acm: link loss took ${acm_unplug_ms:-?} ms to end korvane-grab"
[ "$(value ftdi.unplug.screens-before)" = 2 ] \
    || fail "ftdi: the series took $(value ftdi.unplug.screens-before) screens before the instrument stopped answering, not 2"
ftdi_unplug_code=$(value ftdi.unplug.code)
[ "$ftdi_unplug_code" = 3 ] || fail "ftdi: the series ended with ${ftdi_unplug_code:-nothing}, not 3, on device_del"
[ -n "$ftdi_unplug_ms" ] && [ "$ftdi_unplug_ms" -le "$unplug_limit_ms" ] \
    || fail "ftdi: link loss took ${ftdi_unplug_ms:-?} ms to end korvane-grab"
acm_replug_ms=$(value acm.replug)
case $acm_replug_ms in
'' | *[!0-9]*) fail "acm: the node did not come back ($acm_replug_ms)" ;;
*) [ "$acm_replug_ms" -le "$replug_limit_ms" ] || fail "acm: the node came back after $acm_replug_ms ms" ;;
esac
[ -n "$ftdi_replug_ms" ] && [ "$ftdi_replug_ms" -le "$replug_limit_ms" ] \
    || fail "ftdi: the node came back after ${ftdi_replug_ms:-never} ms"
for driver in acm ftdi; do
    [ "$(value "$driver.replug.grab")" = 0 ] || fail "$driver: the capture after plugging back ended with $(value "$driver.replug.grab")"
    match "$work/shots/$driver-replug.bmp" > /dev/null || fail "$driver: the screen after plugging back is wrong"
done

# --- Figures -------------------------------------------------------------------
run_ms=$(($(now_ms) - run_start))
ms_or_dash() { [ -n "$1" ] && echo "$(secs "$1") s" || echo -; }
echo
echo "Real serial drivers (QEMU TCG guest, kernel $version)"
echo "guest ready (QEMU start to checks running): $(ms_or_dash "$ready_ms"), guest uptime then $(value guest.ready) s"
echo "guest run $(secs "$guest_ms") s, whole run $(secs "$run_ms") s"
row='%-9s %-8s %-14s %-14s %s\n'
printf "$row" driver screens unplug-to-exit replug-to-node "close()"
printf "$row" ftdi_sio "$ftdi_screens" "$(ms_or_dash "$ftdi_unplug_ms")*" "$(ms_or_dash "$ftdi_replug_ms")" "$ftdi_close ms"
printf "$row" cdc_acm "$acm_screens" "$(ms_or_dash "$acm_unplug_ms")" "$(ms_or_dash "$acm_replug_ms")" "$acm_close ms"
printf "$row" 8250 "$uart_screens" - - "$uart_close ms"
echo "* from the QMP command, on the host; from the guest kernel's disconnect: $(ms_or_dash "$(value ftdi.unplug.kernel-ms)")"
echo "targets: unplug-to-exit 0.50 s, replug-to-node 1.00 s (failing at: unplug $(secs $unplug_limit_ms) s, replug $(secs $replug_limit_ms) s, close $close_limit_ms ms)"
echo "8250 with CRTSCTS and CTS low: close() ${cts_close_ms:-?} ms (target 200 ms); korvane-grab --timeout 1 ended with ${cts_grab_code:-?} after ${cts_grab_ms:-?} ms"
echo "talker on COM9 (cdc_acm): korvane-grab without --port ended with ${talker_code:-not run} after ${talker_ms:--} ms"
if [ "$failures" -gt 0 ]; then
    echo "realserial: $failures check(s) failed; the guest's console is in $work/console.log"
    exit 1
fi
echo "realserial: all checks passed"
