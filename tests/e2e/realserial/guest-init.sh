#!/bin/busybox sh
# Korvane - real serial drivers: the guest's first process (busybox, in the
# initramfs). Loads the drivers, mounts the host's files read-only and the
# run's folder rs_work read-write over 9p, and runs the checks rs_checks in a
# chroot there, so the guest uses the programs just built.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
fail() {
    echo "realserial-guest: $*" > /dev/console
    reboot -f
}
# The host's files have no modules for this kernel. dummy_hcd gives the
# gadget's controller and the bus its host side (cdc_acm) sees.
modprobe -a virtio_pci 9pnet_virtio 9p xhci_pci ftdi_sio cdc_acm configfs dummy_hcd libcomposite usb_f_acm \
    || fail "cannot load the drivers"
# msize: larger 9p messages read the programs over the share quicker.
share="-t 9p -o trans=virtio,version=9p2000.L,msize=512000"
mkdir -p /host
mount $share,ro hostroot /host || fail "cannot mount the host's files"
mount -t proc proc /host/proc
mount -t sysfs sys /host/sys
mount -t devtmpfs dev /host/dev
mkdir -p /host/dev/pts
mount -t devpts devpts /host/dev/pts
mount -t configfs configfs /host/sys/kernel/config
mkdir -p "/host$rs_work" 2> /dev/null
mount $share,rw work "/host$rs_work" || fail "cannot mount the run's folder"
touch "/host$rs_work/guest-ready"
chroot /host /bin/sh "$rs_checks" "$rs_work" > "/host$rs_work/guest.log" 2>&1
echo $? > "/host$rs_work/guest-status"
sync
reboot -f
