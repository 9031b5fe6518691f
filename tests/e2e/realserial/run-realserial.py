#!/usr/bin/python3
# Korvane - real serial drivers: the host's side of the run.
# SPDX-License-Identifier: MIT
"""Usage: run-realserial.py BIN_DIR RUN_DIR

Boots Debian's own kernel (fetched once into RUN_DIR/kernel) in QEMU with a busybox initramfs, the instruments
behind the USB-serial bridge and the UART here; the guest runs guest-checks.sh on the host's files (9p). This side
unplugs and plugs back the bridge when the guest asks. Exit code 0: all passed; 77: QEMU cannot run here.
"""

import glob
import json
import lzma
import os
import pathlib
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


def text(path):
    return pathlib.Path(path).read_text() if os.path.exists(path) else "none\n"


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
            target = f"{folder}/modules{module[len(unpacked):]}"
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy(module, target)
    for index in glob.glob(f"{unpacked}{lib}/modules.builtin*") + [f"{unpacked}{lib}/modules.order"]:
        shutil.copy(index, f"{folder}/modules{lib}")
    # The xz stream inside vmlinuz, unpacked: the plain kernel boots about 5 s sooner.
    image = pathlib.Path(glob.glob(f"{unpacked}/boot/vmlinuz-*")[0]).read_bytes()
    offset = image.find(b"\xfd7zXZ\0")
    vmlinux = lzma.LZMADecompressor().decompress(image[offset:]) if offset >= 0 else b""
    if not vmlinux.startswith(b"\x7fELF"):
        die("cannot unpack the kernel from vmlinuz")
    pathlib.Path(f"{folder}/vmlinux.new").write_bytes(vmlinux)
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


def monitor(path, command, event=None, **arguments):
    """Runs COMMAND on QEMU's machine-readable monitor; returns once it is answered and EVENT, if named, came."""
    with socket.socket(socket.AF_UNIX) as connection:
        connection.settimeout(20)
        connection.connect(path)
        for name, given in (("qmp_capabilities", {}), (command, arguments)):
            connection.sendall(json.dumps({"execute": name, "arguments": given}).encode() + b"\n")
        lines, answers = connection.makefile("r"), 0
        while answers < 2 or event:
            message = json.loads(lines.readline() or '{"error": "the monitor closed"}')
            if "error" in message:
                raise RuntimeError(f"{command}: {message['error']}")
            answers += "return" in message
            event = None if message.get("event") == event else event


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
            out.write(pathlib.Path(f"{work}/frame.bin").read_bytes())
    reference = start([sim, "--dir", f"{work}/ref", "--com", "3", "--replay", frames], f"{work}/ref-sim.log")
    wait_for(10, lambda: os.path.islink(f"{work}/ref/COM3")) or die("the reference simulator did not start")
    for i in range(FRAMES):
        run("timeout", "20", f"{bin_dir}/korvane-grab", "--port", "COM3", "-o", f"screen-{i}.bmp", cwd=f"{work}/ref")
    stop(reference)
    screens = {pathlib.Path(name).read_bytes() for name in glob.glob(f"{work}/ref/*.bmp")}
    len(screens) == FRAMES or die("the reference screens are not all different")

    uart = start([sim, "--dir", f"{work}/host", "--com", "6", "--replay", frames, "--report", f"{work}/host/uart.report"],
                 f"{work}/uart-sim.log")
    wait_for(10, lambda: os.path.islink(f"{work}/host/COM6")) or die("the UART's simulator did not start")
    pathlib.Path(f"{work}/guest.env").write_text(f"bin={bin_dir}\nframes={frames}\n")
    bios = ["-bios", "/usr/share/qemu/qboot.rom"] if os.path.exists("/usr/share/qemu/qboot.rom") else []
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
        found = re.search(r"redirected to (/dev/pts/\d+) \(label ftdi\)", text(f"{work}/qemu.log"))
        return found.group(1) if found else None

    wait_for(20, bridge_pty) or die("QEMU did not say where the USB-serial bridge's far end is")
    bridge = start([sim, "--serve-device", bridge_pty(), "--replay", frames, "--stall-after", str(2 * FRAME_BYTES),
                    "--report", f"{work}/host/ftdi.report"], f"{work}/ftdi-sim.log")
    failures = []

    def serve_guest():
        """Does what the guest asks of the bridge; true once the guest's checks or QEMU have ended."""
        nonlocal bridge
        if os.path.exists(f"{work}/ask"):
            what = text(f"{work}/ask").strip()
            os.remove(f"{work}/ask")
            try:
                if what == "unplug":
                    monitor(f"{work}/qmp.sock", "device_del", "DEVICE_DELETED", id="ftdi0")
                    stop(bridge)
                    bridge = start([sim, "--serve-device", bridge_pty(), "--replay", frames], f"{work}/ftdi-sim-2.log")
                elif what == "plug":
                    monitor(f"{work}/qmp.sock", "device_add", **BRIDGE)
                pathlib.Path(f"{work}/done-{what}").touch()
            except (OSError, ValueError, RuntimeError) as error:
                failures.append(f"cannot {what} the USB-serial bridge: {error}")
        return os.path.exists(f"{work}/guest-status") or machine.poll() is not None

    wait_for(GUEST_LIMIT_S, serve_guest) or failures.append(f"the guest did not finish within {GUEST_LIMIT_S} s")
    # An instrument that went away on its own would fail its port's checks for a reason not the driver's.
    for name, child in (("the UART's", uart), ("the USB-serial bridge's", bridge)):
        if child.poll() is not None:
            failures.append(f"{name} simulator on the host ended during the run")
    try:
        machine.wait(timeout=20)  # the guest reboots when done, which ends QEMU (-no-reboot)
    except subprocess.TimeoutExpired:
        failures.append("QEMU did not end after the guest's checks")
    print(text(f"{work}/guest.log"), end="")
    if (status := text(f"{work}/guest-status").strip()) != "0":
        failures.append(f"the guest's checks ended with status {status}, QEMU with {machine.returncode} "
                        f"(see {work}/guest.log, console.log)")
    print(f"kernel {os.path.basename(folder)}, whole run {time.monotonic() - run_start:.1f} s")
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
