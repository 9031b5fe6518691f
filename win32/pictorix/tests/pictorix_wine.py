#!/usr/bin/env python3
"""Pictorix.exe under wine, driven as a person would, and read back apart
from our own code (ImageMagick).

pictorix_wine.py --wine-env ENV --xvfb DIR --program EXE --probe EXE
                 --bitmaps DIR --scratch DIR CASE [FORMAT]

CASE: save FORMAT (Save through the dialog by keyboard, the format chosen
among the options), hostile-snapshot, clipboard, print. The cases with a window run in the X
server of the fixture xvfb (DIR/display); print starts the print server
unless one runs and makes a PDF queue the default, undoing both at the end.
"""
import argparse
import os
import pwd
import re
import shutil
import subprocess
import sys
import time

DEADLINE = 60  # seconds; generous for a loaded machine
KEYS_SEEN = 10  # seconds for a window to show the effect of keys
ONCE = 30  # the same for keys whose effect must not happen twice
# Down presses from jpg, the option chosen at start, to each format: the
# arrows follow the options' tab indexes (jpg, png, tif, pcx, bmp).
DOWNS = {"jpg": 0, "png": 1, "tif": 2, "pcx": 3, "bmp": 4}
MAGICK_NAMES = {"bmp": "BMP3", "pcx": "PCX", "tif": "TIFF", "png": "PNG", "jpg": "JPEG"}


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def wait_for(condition, what, deadline=DEADLINE):
    end = time.monotonic() + deadline
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.2)
    if what:
        fail("no " + what + " within %d s" % deadline)
    return None


def pixels(path):
    run = subprocess.run(["/usr/bin/convert", path, "-depth", "8", "rgb:-"], capture_output=True)
    return run.stdout if run.returncode == 0 else None


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine(args, *command):
    return ["sh", os.path.join(os.path.dirname(__file__), "../../../cmake/wine-run.sh"), args.wine_env, *command]


class PdfQueue:
    """A cups-pdf queue as the default printer; its PDFs go to the user's ~/PDF."""

    NAME = "PictorixWindowsPdf"

    def __init__(self):
        self.server = None
        if not self.running():
            self.server = subprocess.Popen(["/usr/sbin/cupsd", "-f"], stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)
            wait_for(self.running, "print server")
        default = subprocess.run(["lpstat", "-d"], capture_output=True, text=True).stdout
        self.previous = default.split(": ", 1)[1].strip() if default.startswith("system default destination: ") \
            else None
        subprocess.run(["lpadmin", "-p", self.NAME, "-E", "-v", "cups-pdf:/", "-m",
                        "lsb/usr/cups-pdf/CUPS-PDF_opt.ppd"], check=True, stderr=subprocess.DEVNULL)
        subprocess.run(["lpadmin", "-d", self.NAME], check=True)
        self.folder = os.path.join(pwd.getpwuid(os.getuid()).pw_dir, "PDF")
        self.before = set(os.listdir(self.folder)) if os.path.isdir(self.folder) else set()

    @staticmethod
    def running():
        return "is running" in subprocess.run(["lpstat", "-r"], capture_output=True, text=True).stdout

    def sent(self):
        """A job reached the queue (done or not)."""
        return bool(subprocess.run(["lpstat", "-W", "all", "-o", self.NAME], capture_output=True,
                                   text=True).stdout.strip())

    def printed(self):
        """The new PDF, once the queue has finished it."""
        def done():
            jobs = subprocess.run(["lpstat", "-o", self.NAME], capture_output=True, text=True).stdout.strip()
            new = set(os.listdir(self.folder)) - self.before if os.path.isdir(self.folder) else set()
            return not jobs and new and os.path.join(self.folder, new.pop())
        return wait_for(done, "printed PDF")

    def close(self):
        if self.previous:
            subprocess.run(["lpadmin", "-d", self.previous])
        subprocess.run(["lpadmin", "-x", self.NAME])
        if self.server:
            self.server.terminate()
            self.server.wait()


def check_page(pdf, scratch):
    """One landscape page, the picture from 10 % of its width and 7 % of its
    height, 80 % of the width wide and 77 % of the height high."""
    info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True).stdout
    if not re.search(r"Pages:\s+1\n", info):
        fail("not one page: " + info)
    page = os.path.join(scratch, "page")
    subprocess.run(["pdftoppm", "-r", "50", "-singlefile", "-png", pdf, page], check=True)
    sizes = subprocess.run(["/usr/bin/identify", "-format", "%w %h ", page + ".png"], capture_output=True, text=True)
    ink = subprocess.run(["/usr/bin/convert", page + ".png", "-trim", "-format", "%w %h %X %Y", "info:"],
                         capture_output=True, text=True)
    width, height, ink_width, ink_height, left, top = (float(v) for v in (sizes.stdout + ink.stdout).split())
    found = (left / width, top / height, ink_width / width, ink_height / height)
    if width < height or any(abs(a - b) > 0.02 for a, b in zip(found, (0.1, 0.07, 0.8, 0.77))):
        fail("picture at %.3f %.3f, %.3f x %.3f of a %dx%d page" % (found + (width, height)))


def check_image(path, form, snapshot):
    """The file is of `form`, 320x240, and (lossless forms) the snapshot's pixels."""
    info = subprocess.run(["/usr/bin/identify", "-format", "%m %wx%h", path], capture_output=True, text=True)
    if info.stdout != MAGICK_NAMES[form] + " 320x240":
        fail("%s reads as %r, not a 320x240 %s" % (path, info.stdout + info.stderr, form))
    if form != "jpg" and pixels(path) != pixels(snapshot):
        fail(path + " does not hold the snapshot's pixels")


class Desktop:
    """Pictorix.exe in the X server of the fixture xvfb, ended on every path."""

    def __init__(self, args, folder):
        self.args = args
        with open(os.path.join(args.xvfb, "display")) as display:
            self.env = dict(os.environ, DISPLAY=":" + display.read().strip())
        self.program = subprocess.Popen(self.wine(args.program), cwd=folder, env=self.env,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def wine(self, *command):
        return wine(self.args, *command)

    def xdotool(self, *arguments):
        run = subprocess.run(["xdotool", *arguments], env=self.env, capture_output=True, text=True)
        return run.stdout.split() if run.returncode == 0 else []

    def window(self, title):
        """Waits for the window named `title` and gives it the keyboard."""
        window = wait_for(lambda: self.xdotool("search", "--name", "^%s$" % title), "window " + title)[0]
        self.xdotool("windowfocus", "--sync", window)
        return window

    def press(self, title, keys, effect, what, patience=KEYS_SEEN):
        """Keys to the window named `title` until they have `effect`: keys
        that reach a window before wine has made it the active one are lost.
        Keys that must not be pressed twice wait longer (`patience`)."""
        for _ in range(max(2, DEADLINE // patience)):
            self.window(title)
            self.xdotool("key", "--delay", "100", *keys)
            seen = wait_for(effect, None, patience)
            if seen:
                return seen
        fail("no " + what + " after the keys " + " ".join(keys))

    def ended(self):
        return self.program.poll() is not None

    def exit_code(self):
        try:
            self.program.wait(DEADLINE)
        except subprocess.TimeoutExpired:
            fail("Pictorix.exe did not end")
        return self.program.returncode

    def close(self):
        if self.program.poll() is None:
            self.program.kill()
            self.program.wait()


def run_case(args, case, desktop):
    snapshot = os.path.join(args.bitmaps, "snapshot.bmp")
    if case == "save":
        # Tab from Print (tab index 0) to Close, Save, the options (jpg
        # selected); Down to the format; back to Save and press it.
        keys = ["Tab", "Tab", "Tab"] + ["Down"] * DOWNS[args.format] + ["shift+Tab", "space"]
        desktop.press("ZLS 740", keys, lambda: desktop.xdotool("search", "--name", "^Save As$"), "save dialog", ONCE)
        target = os.path.join(args.scratch, "chosen")
        desktop.window("Save As")
        desktop.xdotool("type", "--delay", "5", windows_path(target))
        desktop.press("Save As", ["Return"], lambda: os.path.exists(target), "file saved without an added extension")
        check_image(target, args.format, snapshot)
    elif case == "clipboard":
        copy = os.path.join(args.scratch, "clipboard.bmp")
        desktop.press("ZLS 740", ["ctrl+c"], lambda: subprocess.run(desktop.wine(
            args.probe, "clipboard", windows_path(copy)), env=desktop.env).returncode == 0, "picture on the clipboard")
        with open(copy, "rb") as copied, open(snapshot, "rb") as original:
            if copied.read() != original.read():
                fail("the clipboard's bitmap is not the snapshot")
    elif case == "print":
        # Print has the focus at start: Space presses it.
        desktop.press("ZLS 740", ["space"], desktop.queue.sent, "print job", ONCE)
        pdf = desktop.queue.printed()
        try:
            check_page(pdf, args.scratch)
        finally:
            os.remove(pdf)
    # Close (tab index 1) from wherever the focus was left.
    desktop.press("ZLS 740", ["shift+Tab" if case == "save" else "Tab", "space"], desktop.ended, "end")
    if desktop.exit_code() != 0:
        fail("Close ended with exit code %d" % desktop.program.returncode)


def hostile_snapshot(args, desktop):
    desktop.window("ZLS740")
    if desktop.xdotool("search", "--name", "^ZLS 740$"):
        fail("the form was shown")
    desktop.press("ZLS740", ["Return"], desktop.ended, "end")
    if desktop.exit_code() != 1:
        fail("exit code %d, not 1" % desktop.program.returncode)
    folder = windows_path(args.scratch)
    expected = "ZLS740: Run-time error '481': Invalid picture: %s\\Temp.bmp (" % folder
    if not desktop.program.stderr.read().startswith(expected):
        fail("no report of run-time error 481 for Temp.bmp")


def main():
    parser = argparse.ArgumentParser()
    for option in ("--wine-env", "--xvfb", "--program", "--probe", "--bitmaps", "--scratch"):
        parser.add_argument(option, required=True)
    parser.add_argument("case")
    parser.add_argument("format", nargs="?")
    args = parser.parse_args()
    shutil.rmtree(args.scratch, ignore_errors=True)
    os.makedirs(args.scratch)
    snapshot = "truncated-snapshot.bmp" if args.case == "hostile-snapshot" else "snapshot.bmp"
    shutil.copy(os.path.join(args.bitmaps, snapshot), os.path.join(args.scratch, "Temp.bmp"))
    queue = PdfQueue() if args.case == "print" else None
    desktop = Desktop(args, args.scratch)
    desktop.queue = queue
    try:
        if args.case == "hostile-snapshot":
            hostile_snapshot(args, desktop)
        else:
            run_case(args, args.case, desktop)
    finally:
        desktop.close()
        if queue:
            queue.close()


if __name__ == "__main__":
    main()
