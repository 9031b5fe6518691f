#!/usr/bin/python3
# Korvane - real serial drivers: the host's side of the run.
# SPDX-License-Identifier: MIT
"""Usage: run-realserial.py BIN_DIR RUN_DIR

Boots Debian's own kernel (fetched once into RUN_DIR/kernel) in QEMU with a busybox initramfs; the guest runs
guest-checks.sh on the host's files (9p) through three real drivers: ftdi_sio (QEMU's USB-serial bridge, its far
end a zls740-sim here), cdc_acm (a configfs ACM gadget on dummy_hcd in the guest) and 8250 (QEMU's 16550, its far
end a zls740-sim here). This side prepares the run, unplugs and plugs back the bridge when the guest asks, and
prints the guest's log. Exit code 0: every check passed; 77: QEMU cannot run here; anything else: a failure.
"""

import glob
import json
import lzma
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import time

GUEST_LIMIT_S = 240
FRAMES = 5
FRAME_BYTES = 40960
MODULES = "virtio_pci 9pnet_virtio 9p xhci_pci ftdi_sio cdc_acm configfs dummy_hcd libcomposite usb_f_acm".split()
BRIDGE = {"driver": "usb-serial", "id": "ftdi0", "bus": "xhci.0", "chardev": "ftdi", "always-plugged": True}
# After its far end closed, QEMU looks for a new one on the bridge's pseudo-terminal once a second; bytes the
# guest sends before that are lost.
RECONNECT_S = 1.5
SOURCE = os.path.dirname(os.path.abspath(__file__))
children = []


def die(text):
    print(f"realserial: {text}", file=sys.stderr)
    sys.exit(1)


def run(*args, cwd=None):
    done = subprocess.run(args, cwd=cwd, capture_output=True, text=True)
    if done.returncode != 0:
        die(f"{' '.join(args)} failed: {done.stderr.strip()[-300:]}")
    return done.stdout


def start(args, log):
    with open(log, "w") as out:
        children.append(subprocess.Popen(args, stdout=out, stderr=subprocess.STDOUT))
    return children[-1]


def stop(child):
    child.terminate()
    child.wait()


def wait_for(seconds, condition):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.02)
    return True


def kernel_version():
    listed = subprocess.run(["apt-cache", "depends", "linux-image-amd64"], capture_output=True, text=True).stdout
    found = re.search(r"Depends: linux-image-(\d\S*)", listed)
    return found.group(1) if found else None


def kernel(cache):
    """The folder of Debian's kernel in the cache, unpacked once: vmlinux and the modules the guest loads."""
    version = kernel_version()
    if not version:  # a fresh machine whose package lists were never fetched
        subprocess.run(["apt-get", "update", "-qq"], capture_output=True)
        version = kernel_version()
    if not version:
        kept = glob.glob(f"{cache}/*/vmlinux") or die("cannot find Debian's kernel package (apt-get update failed?)")
        return os.path.dirname(kept[0])
    folder, lib = f"{cache}/{version}", f"/lib/modules/{version}"
    if os.path.exists(f"{folder}/vmlinux"):
        return folder
    print(f"realserial: fetching linux-image-{version}", flush=True)
    shutil.rmtree(cache, ignore_errors=True)  # only the kernel in use is kept
    unpacked = f"{folder}/unpacked"
    os.makedirs(f"{folder}/modules{lib}")
    run("apt-get", "download", "-q", f"linux-image-{version}", cwd=folder)
    run("dpkg-deb", "-x", glob.glob(f"{folder}/*.deb")[0], unpacked)
    run("depmod", "-b", unpacked, version)
    for line in run("modprobe", "-d", unpacked, "-S", version, "--show-depends", "-a", *MODULES).splitlines():
        if line.startswith("insmod "):
            module = line.split()[1]
            os.makedirs(os.path.dirname(f"{folder}/modules{module[len(unpacked):]}"), exist_ok=True)
            shutil.copy(module, f"{folder}/modules{module[len(unpacked):]}")
    for index in glob.glob(f"{unpacked}{lib}/modules.builtin*") + [f"{unpacked}{lib}/modules.order"]:
        shutil.copy(index, f"{folder}/modules{lib}")
    # The xz stream inside vmlinuz, unpacked: the plain kernel boots about 5 s sooner.
    with open(glob.glob(f"{unpacked}/boot/vmlinuz-*")[0], "rb") as f:
        image = f.read()
    offset = image.find(b"\xfd7zXZ\0")
    vmlinux = lzma.LZMADecompressor().decompress(image[offset:]) if offset >= 0 else b""
    if not vmlinux.startswith(b"\x7fELF"):
        die("cannot unpack the kernel from vmlinuz")
    with open(f"{folder}/vmlinux.new", "wb") as f:
        f.write(vmlinux)
    os.rename(f"{folder}/vmlinux.new", f"{folder}/vmlinux")
    shutil.rmtree(unpacked)
    for deb in glob.glob(f"{folder}/*.deb"):
        os.remove(deb)
    return folder


def initramfs(work, folder):
    """Packs busybox, the kernel's modules and guest-init.sh as /init into work/initrd.cpio."""
    root = f"{work}/initrd"
    for name in ("bin", "proc", "sys", "dev"):
        os.makedirs(f"{root}/{name}")
    shutil.copy(shutil.which("busybox"), f"{root}/bin/busybox")
    shutil.copytree(f"{folder}/modules/lib", f"{root}/lib")
    run("depmod", "-b", root, os.path.basename(folder))
    shutil.copy(f"{SOURCE}/guest-init.sh", f"{root}/init")
    os.chmod(f"{root}/init", 0o755)
    run("sh", "-c", "find . | busybox cpio -o -H newc > ../initrd.cpio", cwd=root)


class Monitor:
    """QEMU's machine-readable monitor; events that come before an answer are kept until waited for."""

    def __init__(self, path):
        self.connection = socket.socket(socket.AF_UNIX)
        self.connection.settimeout(20)
        self.connection.connect(path)
        self.lines = self.connection.makefile("r")
        self.events = []
        self.lines.readline()  # the greeting
        self.execute("qmp_capabilities")

    def next(self):
        message = json.loads(self.lines.readline() or "{}")
        if "event" in message:
            self.events.append(message["event"])
        return message

    def execute(self, command, **arguments):
        self.connection.sendall(json.dumps({"execute": command, "arguments": arguments}).encode() + b"\n")
        while "return" not in (message := self.next()):
            if "error" in message or not message:
                raise RuntimeError(f"{command}: {message.get('error', 'no answer')}")

    def wait_event(self, name):
        while name not in self.events:
            if not self.next():
                raise RuntimeError(f"no {name}")
        self.events.remove(name)


def main():
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(130))
    bin_dir, base = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    work = f"{base}/run"
    qemu = shutil.which("qemu-system-x86_64")
    try:
        subprocess.run([qemu or "qemu-system-x86_64", "-accel", "tcg", "-M", "none", "-nodefaults", "-display", "none",
                        "-monitor", "stdio"], input="quit\n", capture_output=True, text=True, timeout=30, check=True)
    except (OSError, subprocess.SubprocessError):
        print("SKIP: qemu-system-x86_64 is missing or cannot run here")
        return 77
    for tool in ("busybox", "depmod", "modprobe", "dpkg-deb", "apt-get", "apt-cache"):
        shutil.which(tool) or die(f"{tool} is missing (scripts/packages-test.txt installs it)")
    sim = f"{bin_dir}/zls740-sim"
    for program in ("korvane-grab", "zls740-sim", "realserial-close"):
        os.access(f"{bin_dir}/{program}", os.X_OK) or die(f"{program} is not built in {bin_dir}")
    run_start = time.monotonic()
    shutil.rmtree(work, ignore_errors=True)
    for name in ("host", "ref"):
        os.makedirs(f"{work}/{name}")
    folder = kernel(f"{base}/kernel")
    initramfs(work, folder)

    # The frames the instruments replay in turn, and the screens the host's own korvane-grab takes of them.
    frames = f"{work}/frames.bin"
    with open(frames, "wb") as out:
        for i in range(FRAMES):
            run(sim, "--write-frame", f"{work}/frame.bin", "--index", str(i * 37 + 3))
            with open(f"{work}/frame.bin", "rb") as frame:
                out.write(frame.read())
    reference = start([sim, "--dir", f"{work}/ref", "--com", "3", "--replay", frames], f"{work}/ref-sim.log")
    wait_for(10, lambda: os.path.islink(f"{work}/ref/COM3")) or die("the reference simulator did not start")
    for i in range(FRAMES):
        run("timeout", "20", f"{bin_dir}/korvane-grab", "--port", "COM3", "-o", f"screen-{i}.bmp", cwd=f"{work}/ref")
    stop(reference)
    screens = set()
    for name in glob.glob(f"{work}/ref/*.bmp"):
        with open(name, "rb") as f:
            screens.add(f.read())
    len(screens) == FRAMES or die("the reference screens are not all different")

    uart = start([sim, "--dir", f"{work}/host", "--com", "6", "--replay", frames, "--report", f"{work}/host/uart.report"],
                 f"{work}/uart-sim.log")
    wait_for(10, lambda: os.path.islink(f"{work}/host/COM6")) or die("the UART's simulator did not start")
    with open(f"{work}/guest.env", "w") as env:
        env.write(f"bin={bin_dir}\nframes={frames}\n")
    bios = ["-bios", "/usr/share/qemu/qboot.rom"] if os.path.exists("/usr/share/qemu/qboot.rom") else []
    qemu_start = time.monotonic()
    machine = start([qemu, "-accel", "tcg", "-M", "pc", "-smp", "2", "-m", "512", "-nodefaults", "-display", "none",
                     "-vga", "none", "-no-reboot", *bios, "-kernel", f"{folder}/vmlinux", "-initrd", f"{work}/initrd.cpio",
                     "-append", f"console=ttyS0 quiet panic=-1 rs_work={work} rs_checks={SOURCE}/guest-checks.sh",
                     "-serial", f"file:{work}/console.log", "-chardev", f"serial,id=uart,path={work}/host/COM6",
                     "-serial", "chardev:uart", "-device", "qemu-xhci,id=xhci", "-chardev", "pty,id=ftdi",
                     "-device", ",".join(f"{k}={'on' if v is True else v}" for k, v in BRIDGE.items()),
                     "-virtfs", "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap",
                     "-virtfs", f"local,path={work},mount_tag=work,security_model=none",
                     "-qmp", f"unix:{work}/qmp.sock,server=on,wait=off"], f"{work}/qemu.log")

    # The bridge's far end is the slave of a pseudo-terminal QEMU makes; its first instrument answers two
    # requests and then nothing (see guest-checks.sh), its second is an ordinary one.
    def bridge_pty():
        with open(f"{work}/qemu.log") as log:
            found = re.search(r"redirected to (/dev/pts/\d+) \(label ftdi\)", log.read())
        return found.group(1) if found else None

    wait_for(20, bridge_pty) or die("QEMU did not say where the USB-serial bridge's far end is")
    bridge = start([sim, "--serve-device", bridge_pty(), "--replay", frames, "--stall-after", str(2 * FRAME_BYTES),
                    "--report", f"{work}/host/ftdi.report"], f"{work}/ftdi-sim.log")
    failures, monitor, swapped, ready = [], None, 0.0, None
    while not os.path.exists(f"{work}/guest-status"):
        if machine.poll() is not None:
            failures.append(f"QEMU ended (status {machine.returncode}) before the guest's checks did")
            break
        if time.monotonic() > qemu_start + GUEST_LIMIT_S:
            failures.append(f"the guest did not finish within {GUEST_LIMIT_S} s")
            break
        if ready is None and os.path.exists(f"{work}/guest-ready"):
            ready = time.monotonic() - qemu_start
        if os.path.exists(f"{work}/ask"):
            with open(f"{work}/ask") as f:
                what = f.read().strip()
            os.remove(f"{work}/ask")
            try:
                monitor = monitor or Monitor(f"{work}/qmp.sock")
                if what == "unplug":
                    monitor.execute("device_del", id="ftdi0")
                    monitor.wait_event("DEVICE_DELETED")
                    stop(bridge)
                    bridge = start([sim, "--serve-device", bridge_pty(), "--replay", frames], f"{work}/ftdi-sim-2.log")
                    swapped = time.monotonic()
                elif what == "plug":
                    time.sleep(max(0.0, swapped + RECONNECT_S - time.monotonic()))
                    monitor.execute("device_add", **BRIDGE)
                open(f"{work}/done-{what}", "w").close()
            except (OSError, ValueError, RuntimeError) as error:
                failures.append(f"cannot {what} the USB-serial bridge: {error}")
        time.sleep(0.02)
    # An instrument that went away on its own would fail its port's checks for a reason not the driver's.
    for name, child in (("the UART's", uart), ("the USB-serial bridge's", bridge)):
        if child.poll() is not None:
            failures.append(f"{name} simulator on the host ended during the run")
    try:
        machine.wait(timeout=20)  # the guest reboots when done, which ends QEMU (-no-reboot)
    except subprocess.TimeoutExpired:
        failures.append("QEMU did not end after the guest's checks")
    if os.path.exists(f"{work}/guest.log"):
        with open(f"{work}/guest.log") as log:
            print(log.read(), end="")
    status = open(f"{work}/guest-status").read().strip() if os.path.exists(f"{work}/guest-status") else "none"
    if status != "0":
        failures.append(f"the guest's checks ended with status {status} (see {work}/guest.log, console.log)")
    print(f"kernel {os.path.basename(folder)}; guest ready after {ready or 0:.2f} s; "
          f"whole run {time.monotonic() - run_start:.2f} s")
    for failure in failures:
        print(f"FAIL: {failure}")
    print("realserial: " + ("all checks passed" if not failures else f"{len(failures)} failure(s)"))
    return 1 if failures else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    finally:
        for child in children:
            if child.poll() is None:
                child.terminate()
                child.wait()
