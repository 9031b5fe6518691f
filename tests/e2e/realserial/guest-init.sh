#!/bin/busybox sh
# Korvane - real serial drivers: the guest's first process (busybox, in the
# initramfs). Loads the drivers, mounts the host's file system read-only
# over 9p and the run's folder read-write at the same path inside it, and runs
# the checks in a chroot there, so the guest uses the programs just built.
# The kernel passes rs_work (the run's folder) and rs_checks (the check
# script) in the environment.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev

say() { echo "realserial-guest: $*" > /dev/console; }
fail() {
    say "$*"
    reboot -f
}

modprobe -a virtio_pci 9pnet_virtio 9p || fail "cannot load the 9p drivers"
# The drivers under test, loaded here: the host's file system has no modules
# for this kernel. dummy_hcd gives the gadget's controller and the bus that
# the gadget's host side (cdc_acm) sees.
modprobe -a xhci_pci ftdi_sio cdc_acm configfs dummy_hcd libcomposite usb_f_acm \
    || fail "cannot load the serial drivers"
mkdir -p /host
# msize: larger 9p messages make reading the programs over the share quicker.
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,ro hostroot /host \
    || fail "cannot mount the host's file system"
mount -t proc proc /host/proc
mount -t sysfs sys /host/sys
mount -t devtmpfs dev /host/dev
mkdir -p /host/dev/pts
mount -t devpts devpts /host/dev/pts
mount -t configfs configfs /host/sys/kernel/config
mkdir -p "/host$rs_work" 2>/dev/null
# The host's /tmp and /run stay as they are (the tree under test may be
# there); the checks keep their scratch files in the run's folder.
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,rw work "/host$rs_work" \
    || fail "cannot mount the run's folder"
echo "ready $(cat /proc/uptime)" > "/host$rs_work/guest-ready"
say "ready after $(cut -d' ' -f1 /proc/uptime) s"
chroot /host /bin/sh "$rs_checks" "$rs_work" > "/host$rs_work/guest.log" 2>&1
echo $? > "/host$rs_work/guest-status"
sync
reboot -f
