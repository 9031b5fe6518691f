# Korvane - korvane-serve in a real browser.
# SPDX-License-Identifier: MIT
"""korvane-serve's page in headless Chromium, on the simulated instrument.

Usage: serve_browser.py BIN_DIR CASE
  screen  the page shows the paused screen pixel for pixel, each screen pixel
          a whole k x k block of device pixels of exactly its colour
  pause   the page's Pause button stops the instrument's requests, and
          pressing it again starts them anew
  restart the page finds a restarted server by itself

Exit codes: 0 passed, 1 failed, 77 skipped (no chromium).
Every process the case starts is ended with it; its scratch folder is kept
and named when it fails (or always with KEEP_E2E set)."""

import ctypes
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

from cdp_browser import CdpBrowser
from png_image import PngImage

# 24 screens a second, the instrument's own pace over its 1 Mbit/s link.
SIMULATOR_RATE = 983040
# Device pixels of the browser's window: room for the screen three times over
# above the page's bar, whose long port name may take two lines.
WINDOW = (1000, 1000)
# Generous: a loaded 2-core machine may start a browser slowly.
DEADLINE_S = 40


class CaseFailed(Exception):
    pass


def deadline(seconds=DEADLINE_S):
    return time.monotonic() + seconds


def wait_for(what, condition, seconds=DEADLINE_S):
    """Tries `condition` every 50 ms until it returns something true; that value."""
    end = deadline(seconds)
    last_error = None
    while True:
        try:
            value = condition()
            if value:
                return value
        except (OSError, ValueError, RuntimeError) as e:
            last_error = e
        if time.monotonic() > end:
            raise CaseFailed("gave up waiting for %s%s" % (what, " (%s)" % last_error if last_error else ""))
        time.sleep(0.05)


def _end_with_parent():
    # The process gets SIGTERM should this script be killed outright (as
    # ctest does on a time-out), where no clean-up of ours can run.
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


class ServedInstrument:
    """zls740-sim on a pseudo-terminal in `work`, and korvane-serve on it."""

    def __init__(self, bin_dir, work):
        self.bin_dir = bin_dir
        self.work = work
        self.report = os.path.join(work, "report.txt")
        self.processes = []
        self.lines = []
        self._lines_lock = threading.Lock()
        self._simulator_log = open(os.path.join(work, "simulator.log"), "w")
        self.processes.append(subprocess.Popen(
            [os.path.join(bin_dir, "zls740-sim"), "--dir", work, "--com", "5",
             "--rate", str(SIMULATOR_RATE), "--report", self.report],
            stdout=self._simulator_log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
            preexec_fn=_end_with_parent))
        wait_for("the simulator's COM5", lambda: os.path.exists(os.path.join(work, "COM5")))
        self._serve_errors = open(os.path.join(work, "serve-errors.log"), "w")
        self.start_server("127.0.0.1:0")

    def start_server(self, listen):
        """korvane-serve on `listen`; waits until it has found the instrument."""
        with self._lines_lock:
            seen = len(self.lines)
        self.server = subprocess.Popen(
            [os.path.join(self.bin_dir, "korvane-serve"), "--listen", listen, "--port", "COM5"],
            cwd=self.work, stdout=subprocess.PIPE, stderr=self._serve_errors, stdin=subprocess.DEVNULL,
            text=True, preexec_fn=_end_with_parent)
        self.processes.append(self.server)
        threading.Thread(target=self._collect, args=(self.server.stdout,), daemon=True).start()
        first = wait_for("korvane-serve's address", lambda: self._line_with("in a browser", seen))
        self.url = first.split(" open ", 1)[1].split(" in a browser", 1)[0]
        if not self.url.startswith("http://127.0.0.1:"):
            raise CaseFailed("unexpected address line: " + first)
        wait_for("the instrument to be found", lambda: self._line_with("instrument found on", seen))

    def stop_server(self):
        self.server.terminate()
        if self.server.wait(timeout=20) != 0:
            raise CaseFailed("korvane-serve ended with code %d on SIGTERM" % self.server.returncode)

    def _collect(self, stream):
        for line in stream:
            with self._lines_lock:
                self.lines.append(line.rstrip("\n"))

    def _line_with(self, text, since=0):
        with self._lines_lock:
            return next((line for line in self.lines[since:] if text in line), None)

    def get(self, path):
        with urllib.request.urlopen(self.url + path, timeout=10) as answer:
            return answer.read()

    def status(self):
        return json.loads(self.get("status.json"))

    def post(self, path):
        request = urllib.request.Request(self.url + path, data=b"", method="POST")
        with urllib.request.urlopen(request, timeout=10) as answer:
            return json.loads(answer.read())

    def requests(self):
        """Requests the simulator has received ('requests N' of its report)."""
        with open(self.report) as f:
            for line in f:
                if line.startswith("requests "):
                    return int(line.split()[1])
        raise ValueError("no 'requests' line in the simulator's report")

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
        for process in self.processes:
            try:
                process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        self._simulator_log.close()
        self._serve_errors.close()
        with open(os.path.join(self.work, "serve.log"), "w") as f:
            f.write("\n".join(self.lines) + "\n")


def stays_unchanged(what, read, seconds):
    """Waits until `read()` gives one value for `seconds` on end; that value.
    Fails if it never settles within the deadline."""
    end = deadline()
    value = read()
    since = time.monotonic()
    while time.monotonic() - since < seconds:
        if time.monotonic() > end:
            raise CaseFailed("%s kept changing (last %r)" % (what, value))
        time.sleep(0.05)
        now = read()
        if now != value:
            value, since = now, time.monotonic()
    return value


# The screen case ----------------------------------------------------------

def locate_screen(shot, background):
    """The rectangle of the first band of rows holding anything but the page's
    background: (left, top, width, height) in device pixels."""
    blank = background * shot.width
    top = next((y for y, row in enumerate(shot.rows) if row != blank), None)
    if top is None:
        raise CaseFailed("the screenshot shows nothing but the page's background")
    bottom = top
    while bottom < shot.height and shot.rows[bottom] != blank:
        bottom += 1
    left, right = shot.width, 0
    for row in shot.rows[top:bottom]:
        x = 0
        while x < left and row[3 * x:3 * x + 3] == background:
            x += 1
        left = min(left, x)
        x = shot.width
        while x > right and row[3 * x - 3:3 * x] == background:
            x -= 1
        right = max(right, x)
    return left, top, right - left, bottom - top


def compare_screen(shot, reference):
    """None when the screenshot holds the reference at a whole scale of two or
    more; otherwise what is wrong."""
    background = bytes(shot.pixel(0, 0))
    for y, row in enumerate(reference.rows):
        for x in (0, reference.width - 1):
            if row[3 * x:3 * x + 3] == background:
                raise CaseFailed("the screen's edge has the page's background colour: it cannot be located")
    for x in range(reference.width):
        for y in (0, reference.height - 1):
            if bytes(reference.pixel(x, y)) == background:
                raise CaseFailed("the screen's edge has the page's background colour: it cannot be located")
    left, top, width, height = locate_screen(shot, background)
    scale = height // reference.height
    if scale < 2 or width != scale * reference.width or height != scale * reference.height:
        return "the screen is drawn %dx%d at (%d, %d): not %dx%d at a whole scale of 2 or more" % (
            width, height, left, top, reference.width, reference.height)
    wrong = 0
    first = None
    for y in range(reference.height):
        source = reference.rows[y]
        # The screen row as it must appear: every pixel `scale` times.
        expected = b"".join(source[3 * x:3 * x + 3] * scale for x in range(reference.width))
        for dy in range(scale):
            row = shot.rows[top + scale * y + dy][3 * left:3 * (left + width)]
            if row == expected:
                continue
            for x in range(reference.width):
                block = row[3 * scale * x:3 * scale * (x + 1)]
                if block != expected[3 * scale * x:3 * scale * (x + 1)]:
                    wrong += 1
                    if first is None:
                        first = (x, y, tuple(source[3 * x:3 * x + 3]), tuple(block[:3 * scale]))
    if wrong:
        x, y, want, got = first
        return "%d blocks differ (scale %d at (%d, %d)); first: screen pixel (%d, %d) " \
               "is %s, the browser shows %s" % (wrong, scale, left, top, x, y, want, got)
    return None


def case_screen(instrument, browser, work):
    # Moving screens first, so the paused one is one the instrument sent.
    wait_for("screens to come", lambda: instrument.status()["screens"] >= 3)
    instrument.post("pause")
    wait_for("the pause to take", lambda: instrument.status()["paused"])
    # A screen on its way when Pause came still lands: wait until none does.
    screens = stays_unchanged("the screen number while paused", lambda: instrument.status()["screens"], 1.0)
    reference = PngImage(instrument.get("screen.png"))
    if (reference.width, reference.height) != (320, 240):
        raise CaseFailed("/screen.png is %dx%d" % (reference.width, reference.height))
    colours = {bytes(row[i:i + 3]) for row in reference.rows for i in range(0, len(row), 3)}
    if len(colours) < 3:
        raise CaseFailed("the simulator's screen has %d colours: nothing to tell a wrong picture by" % len(colours))

    browser.connect(deadline())
    browser.open(instrument.url)
    wait_for("the page to show the paused state",
             lambda: browser.evaluate("document.getElementById('state').textContent").startswith("Paused:"))
    # Drawn: the canvas starts transparent, a screen makes it opaque.
    wait_for("the page to draw a screen", lambda: browser.evaluate(
        "document.getElementById('screen').getContext('2d').getImageData(0, 0, 1, 1).data[3] === 255"))

    problem = None
    end = deadline()
    while True:
        png = browser.screenshot()
        with open(os.path.join(work, "screenshot.png"), "wb") as f:
            f.write(png)
        problem = compare_screen(PngImage(png), reference)
        # The page may not have been presented yet: photographed again until
        # it matches or the time is up.
        if problem is None or time.monotonic() > end:
            break
        time.sleep(0.2)
    if instrument.status()["screens"] != screens:
        raise CaseFailed("a screen came while paused: the comparison is void")
    if problem:
        raise CaseFailed(problem)
    shot = PngImage(png)
    left, top, width, _ = locate_screen(shot, bytes(shot.pixel(0, 0)))
    print("the browser shows the paused screen at scale %d, at (%d, %d), pixel for pixel"
          % (width // 320, left, top))


# The pause case -----------------------------------------------------------

def button_text(browser):
    return browser.evaluate("document.getElementById('pause').textContent")


def case_pause(instrument, browser, _work):
    browser.connect(deadline())
    browser.open(instrument.url)
    wait_for("the page to show the live screen",
             lambda: browser.evaluate("document.getElementById('state').textContent").startswith("Live from"))
    if button_text(browser) != "Pause":
        raise CaseFailed("the button reads %r while live" % button_text(browser))
    before = instrument.requests()
    wait_for("requests to flow", lambda: instrument.requests() >= before + 5)

    browser.evaluate("document.getElementById('pause').click()")
    wait_for("the button to offer Resume", lambda: button_text(browser) == "Resume")
    if not instrument.status()["paused"]:
        raise CaseFailed("the page says Resume but the server is not paused")
    # The request answered when Pause came may still be in flight; after it, none.
    held = stays_unchanged("the simulator's request count while paused", instrument.requests, 1.5)
    wait_for("the page to show the paused state",
             lambda: browser.evaluate("document.getElementById('state').textContent").startswith("Paused:"))
    if instrument.requests() != held:
        raise CaseFailed("requests went on while paused: %d, then %d" % (held, instrument.requests()))

    browser.evaluate("document.getElementById('pause').click()")
    wait_for("the button to offer Pause again", lambda: button_text(browser) == "Pause")
    if instrument.status()["paused"]:
        raise CaseFailed("the page says Pause but the server is still paused")
    wait_for("requests to flow again", lambda: instrument.requests() >= held + 5)
    print("paused at %d requests, %d after resuming" % (held, instrument.requests()))


def page_state(browser):
    return browser.evaluate("document.getElementById('state').textContent")


def case_restart(instrument, browser, _work):
    browser.connect(deadline())
    browser.open(instrument.url)
    wait_for("the page to show the live screen", lambda: page_state(browser).startswith("Live from"))
    listen = instrument.url.split("//", 1)[1].rstrip("/")
    instrument.stop_server()
    wait_for("the page to tell the server is gone", lambda: page_state(browser).startswith("Server not reachable"))
    # The same address again, as after a restart of the server's machine:
    # the page finds it by itself, without a reload.
    instrument.start_server(listen)
    wait_for("the page to show the live screen again", lambda: page_state(browser).startswith("Live from"))
    drawn = browser.evaluate("document.getElementById('screen').toDataURL().length")
    print("the page came back by itself after the restart (canvas %d bytes as a data URL)" % drawn)


CASES = {"screen": case_screen, "pause": case_pause, "restart": case_restart}


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in CASES:
        print(__doc__)
        return 2
    bin_dir, case = os.path.abspath(sys.argv[1]), sys.argv[2]
    chromium = shutil.which("chromium")
    if chromium is None:
        print("SKIP: chromium is missing")
        return 77
    # Ended from outside (ctest's time-out): the clean-up below still runs.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    work = tempfile.mkdtemp(prefix="korvane-serve-e2e.")
    instrument = None
    browser = None
    failed = True
    try:
        instrument = ServedInstrument(bin_dir, work)
        browser = CdpBrowser(chromium, work, WINDOW[0], WINDOW[1], open(os.path.join(work, "chromium.log"), "w"),
                             _end_with_parent)
        CASES[case](instrument, browser, work)
        failed = False
    except (CaseFailed, RuntimeError, OSError, ValueError) as e:
        print("FAIL: %s: %s" % (case, e))
    finally:
        if browser is not None:
            browser.close()
        if instrument is not None:
            instrument.close()
        if failed:
            for name in ("serve.log", "serve-errors.log", "simulator.log"):
                path = os.path.join(work, name)
                if os.path.exists(path):
                    with open(path) as f:
                        for line in f.readlines()[-20:]:
                            print("%s: %s" % (name, line.rstrip()))
        if failed or os.environ.get("KEEP_E2E"):
            print("kept " + work)
        else:
            shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
