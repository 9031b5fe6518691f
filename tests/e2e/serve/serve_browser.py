# Korvane - korvane-serve in a real browser.
# SPDX-License-Identifier: MIT
"""korvane-serve's page in headless Chromium (driven by chromedriver), on the simulated instrument.

Usage: serve_browser.py BIN_DIR CASE, CASE one of:
  screen  the paused screen pixel for pixel, each a whole k x k block of device pixels
  pause   the page's button pauses the server and resumes it
  restart the page finds a restarted server by itself, and says when it is full
or serve_browser.py BIN_DIR windows WINE_ENV WINDOWS_BIN_DIR: korvane-serve.exe under wine (the prefix of
  WINE_ENV, the build's wine/env.sh) on an instrument replaying one screen on COM22 of the prefix: curl gets
  /screen.bmp as BIN_DIR's korvane-grab writes that screen and the page, the browser shows the screen as in
  case screen, and Ctrl+C (SIGINT) ends the server with code 0
What the server does on a pause is ServerTest's; here, what only the page does.
Exit codes: 0 passed, 1 failed, 77 skipped (no chromium, chromedriver or python3-selenium).
The scratch folder is kept when the case fails (or with KEEP_E2E set)."""

import collections
import ctypes
import glob
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.request

try:  # Debian's python3-selenium
    from selenium.common.exceptions import WebDriverException
    from selenium.webdriver import Chrome, ChromeOptions
    from selenium.webdriver.chrome.service import Service as ChromeService
    from selenium.webdriver.common.by import By
except ImportError:
    Chrome = None
    WebDriverException = RuntimeError

# 24 screens a second, the instrument's own pace over its 1 Mbit/s link.
SIMULATOR_RATE = 983040
# Generous: a loaded 2-core machine may start a browser slowly.
DEADLINE_S = 40
CHROMEDRIVER = "/usr/bin/chromedriver"

Image = collections.namedtuple("Image", "width height rows")


class CaseFailed(Exception):
    pass


def wait_for(what, condition):
    """Tries `condition` every 50 ms until it returns something true; that value."""
    end = time.monotonic() + DEADLINE_S
    last_error = None
    while True:
        try:
            value = condition()
            if value:
                return value
        except (OSError, ValueError, RuntimeError, WebDriverException) as e:
            last_error = e
        if time.monotonic() > end:
            raise CaseFailed("gave up waiting for %s%s" % (what, " (%s)" % last_error if last_error else ""))
        time.sleep(0.05)


def end_with_parent():
    # SIGTERM should this script be killed outright (ctest's time-out), where no clean-up of ours runs.
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def rgb_image(png):
    """A PNG as rows of R, G, B bytes, top row first, decoded by ImageMagick."""
    ppm = subprocess.run(["/usr/bin/convert", "png:-", "-depth", "8", "ppm:-"], input=png,
                         capture_output=True, check=True).stdout
    width, height = (int(n) for n in ppm.split(maxsplit=3)[1:3])
    data = ppm[len(ppm) - 3 * width * height:]
    return Image(width, height, [data[3 * width * y:3 * width * (y + 1)] for y in range(height)])


class ServedInstrument:
    """zls740-sim on a pseudo-terminal in `work`, and korvane-serve on it."""

    COM = 5
    STOP_SIGNAL = signal.SIGTERM

    def __init__(self, bin_dir, work, instrument_options=()):
        self.bin_dir, self.work = bin_dir, work
        self.start("zls740-sim", ["--dir", work, "--com", str(self.COM), "--rate", str(SIMULATOR_RATE)]
                   + list(instrument_options))
        wait_for("the simulator's COM%d" % self.COM, lambda: os.path.exists(os.path.join(work, "COM%d" % self.COM)))
        self.instrument_ready()
        self.start_server("127.0.0.1:0")

    def instrument_ready(self):
        pass

    def server_command(self, arguments):
        return [os.path.join(self.bin_dir, "korvane-serve"), "--port", "COM5"] + arguments

    def close(self):
        pass

    def start(self, program, arguments, command=None):
        """The program in `work`, its output in PROGRAM.log; ended by end_descendants."""
        with open(os.path.join(self.work, program + ".log"), "ab") as log:
            return subprocess.Popen(command or [os.path.join(self.bin_dir, program)] + arguments, cwd=self.work,
                                    stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                    preexec_fn=end_with_parent)

    def start_server(self, listen, options=()):
        """korvane-serve on `listen`; waits until it has found the instrument."""
        log = os.path.join(self.work, "korvane-serve.log")
        seen = os.path.getsize(log) if os.path.exists(log) else 0

        def line_with(text):
            with open(log, "rb") as f:
                f.seek(seen)
                return next((line for line in f.read().decode().splitlines() if text in line), None)
        self.server = self.start("korvane-serve", [], self.server_command(["--listen", listen] + list(options)))
        first = wait_for("korvane-serve's address", lambda: line_with("in a browser"))
        self.url = first.split(" open ", 1)[1].split(" in a browser", 1)[0]
        wait_for("the instrument to be found", lambda: line_with("instrument found on"))

    def stop_server(self):
        self.server.send_signal(self.STOP_SIGNAL)
        if self.server.wait(timeout=20) != 0:
            raise CaseFailed("korvane-serve ended with code %d on %s" % (self.server.returncode,
                                                                        self.STOP_SIGNAL.name))

    def get(self, path):
        with urllib.request.urlopen(self.url + path, timeout=10) as answer:
            return answer.read()

    def status(self):
        return json.loads(self.get("status.json"))

    def post(self, path):
        urllib.request.urlopen(urllib.request.Request(self.url + path, data=b"", method="POST"), timeout=10).close()


class WineServedInstrument(ServedInstrument):
    """The same with korvane-serve.exe under wine, the instrument replaying one screen on COM22 of the prefix,
    and Ctrl+C (SIGINT, which wine hands to the program's console handler) ending the server."""
    COM = 22
    STOP_SIGNAL = signal.SIGINT

    def __init__(self, bin_dir, work, wine_env, windows_bin):
        self.wine_env, self.windows_bin = wine_env, windows_bin
        prefix = subprocess.run(["sh", "-c", '. "$1"; printf %s "$WINEPREFIX"', "sh", wine_env], check=True,
                                capture_output=True, text=True).stdout
        self.port = os.path.join(prefix, "dosdevices", "com%d" % self.COM)
        shutil.copy(os.path.join(bin_dir, "header2.bin"), work)
        frame = os.path.join(work, "frame.bin")
        subprocess.run([os.path.join(bin_dir, "zls740-sim"), "--write-frame", frame, "--index", "3"], check=True)
        super().__init__(bin_dir, work, ["--replay", frame])

    def instrument_ready(self):
        line = os.path.join(self.work, "COM%d" % self.COM)
        # The screen as the Linux korvane-grab writes it, before the server holds the line.
        subprocess.run([os.path.join(self.bin_dir, "korvane-grab"), "--port", line, "-o", "reference.bmp"],
                       cwd=self.work, check=True, stdin=subprocess.DEVNULL, timeout=DEADLINE_S)
        self.close()
        os.symlink(line, self.port)

    def server_command(self, arguments):
        return ["sh", os.path.join(os.path.dirname(__file__), "..", "..", "..", "cmake", "wine-run.sh"),
                self.wine_env, os.path.join(self.windows_bin, "korvane-serve.exe"),
                "--port", "\\\\.\\COM%d" % self.COM] + arguments

    def close(self):
        # A port left pointing at a pseudo-terminal that the system hands out again would reach another line.
        if os.path.lexists(self.port):
            os.unlink(self.port)


def curl(url):
    """What curl got from `url`; empty when it got nothing."""
    got = subprocess.run(["curl", "-sSf", "--max-time", "10", url], capture_output=True)
    return got.stdout if got.returncode == 0 else b""


def case_windows(instrument, browser, work):
    with open(os.path.join(work, "reference.bmp"), "rb") as f:
        reference = f.read()
    if wait_for("/screen.bmp", lambda: curl(instrument.url + "screen.bmp")) != reference:
        raise CaseFailed("/screen.bmp is not the screen korvane-grab writes")
    if b'id="screen"' not in curl(instrument.url):
        raise CaseFailed("the page has no screen")
    case_screen(instrument, browser, work)
    instrument.stop_server()
    print("korvane-serve.exe served the screen and the page, and ended with code 0 on Ctrl+C")


def start_browser(work):
    """Chromium, its profile in `work`; 1000 x 1000 device pixels: room for the screen three times over."""
    options = ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--force-color-profile=srgb",
                     "--force-device-scale-factor=1", "--hide-scrollbars", "--window-size=1000,1000",
                     "--disable-dev-shm-usage", "--user-data-dir=" + os.path.join(work, "profile")):
        options.add_argument(argument)
    # Helpers the browser leaves behind (its crash handler leaves its session) come to this
    # process once their parent has gone, for end_descendants.
    ctypes.CDLL(None, use_errno=True).prctl(36, 1)  # PR_SET_CHILD_SUBREAPER
    return Chrome(options=options, service=ChromeService(
        CHROMEDRIVER, log_path=os.path.join(work, "chromedriver.log"), env=dict(os.environ, HOME=work, TMPDIR=work),
        popen_kw={"preexec_fn": end_with_parent}))


def end_descendants():
    """Kills and reaps every child of this one (the instrument's, what the browser left) until none is left."""
    while True:
        children = []
        for stat in glob.glob("/proc/[0-9]*/stat"):
            try:
                with open(stat) as f:
                    if f.read().rsplit(")", 1)[1].split()[1] == str(os.getpid()):
                        children.append(int(stat.split("/")[2]))
            except (OSError, IndexError):
                pass
        if not children:
            return
        for pid in children:
            try:
                os.kill(pid, signal.SIGKILL)
                os.waitpid(pid, 0)
            except (ProcessLookupError, ChildProcessError):
                pass


def wait_for_state(browser, prefix):
    wait_for("the page to say %r" % prefix, lambda: browser.find_element(By.ID, "state").text.startswith(prefix))


def compare_screen(shot, box, reference):
    """None when the screenshot holds the reference in `box` (the canvas as the page lays it out:
    left, top, width, height) at a whole scale of two or more; otherwise what is wrong."""
    left, top, width, height = (int(v) for v in box)
    scale = width // reference.width
    if scale < 2 or [left, top, width, height] != box or height != scale * reference.height \
            or width != scale * reference.width:
        return "the screen is drawn at %s: not %dx%d at a whole scale of 2 or more on whole pixels" % (
            box, reference.width, reference.height)
    for y, source in enumerate(reference.rows):
        # The screen row as it must appear: every pixel `scale` times.
        expected = b"".join(source[i:i + 3] * scale for i in range(0, len(source), 3))
        for dy in range(scale):
            row = shot.rows[top + scale * y + dy][3 * left:3 * (left + width)]
            if row != expected:
                return "scale %d at (%d, %d): screen row %d is not shown as sent" % (scale, left, top, y)
    return None


def case_screen(instrument, browser, work):
    # Moving screens first, so the paused one is one the instrument sent.
    wait_for("screens to come", lambda: instrument.status()["screens"] >= 3)
    instrument.post("pause")
    wait_for("the pause to take", lambda: instrument.status()["paused"])

    def settled():  # a screen on its way when Pause came still lands: none for a second
        before = instrument.status()["screens"]
        time.sleep(1.0)
        return before if instrument.status()["screens"] == before else None
    screens = wait_for("the screen number to settle while paused", settled)
    reference = rgb_image(instrument.get("screen.png"))
    if len({row[i:i + 3] for row in reference.rows for i in range(0, len(row), 3)}) < 3:
        raise CaseFailed("the simulator's screen has under 3 colours: nothing to tell a wrong picture by")

    browser.get(instrument.url)
    wait_for_state(browser, "Paused:")
    # Photographed until it matches (the page may not have been presented yet) or the time is up.
    end = time.monotonic() + DEADLINE_S
    while True:
        box = browser.execute_script("const r = document.getElementById('screen').getBoundingClientRect();"
                                     "return [r.left, r.top, r.width, r.height];")
        png = browser.get_screenshot_as_png()
        problem = compare_screen(rgb_image(png), box, reference)
        if problem is None or time.monotonic() > end:
            break
        time.sleep(0.2)
    with open(os.path.join(work, "screenshot.png"), "wb") as f:
        f.write(png)
    if instrument.status()["screens"] != screens:
        raise CaseFailed("a screen came while paused: the comparison is void")
    if problem:
        raise CaseFailed(problem)
    print("the browser shows the paused screen pixel for pixel")


def case_pause(instrument, browser, _work):
    browser.get(instrument.url)
    wait_for_state(browser, "Live from")
    button = browser.find_element(By.ID, "pause")
    for paused, offer, state in ((True, "Resume", "Paused:"), (False, "Pause", "Live from")):
        button.click()
        wait_for("the button to offer " + offer, lambda: button.text == offer)
        wait_for("the server's pause to be %s" % paused, lambda: instrument.status()["paused"] == paused)
        wait_for_state(browser, state)
    print("the page's button paused the server and resumed it")


def case_restart(instrument, browser, _work):
    browser.get(instrument.url)
    wait_for_state(browser, "Live from")
    listen = instrument.url.split("//", 1)[1].rstrip("/")
    instrument.stop_server()
    wait_for_state(browser, "Server not reachable")
    # The same address again, as after a restart of the server's machine: found without a reload.
    instrument.start_server(listen, ["--max-viewers", "1"])
    wait_for_state(browser, "Live from")
    print("the page came back by itself after the restart")
    # A second page finds the one place taken, and says so instead of "not reachable".
    browser.switch_to.new_window("tab")
    browser.get(instrument.url)
    wait_for_state(browser, "Server full: 1 viewer watching")
    print("a page beyond the server's viewers is told the server is full")


CASES = {"screen": case_screen, "pause": case_pause, "restart": case_restart, "windows": case_windows}


def main():
    if len(sys.argv) != (5 if sys.argv[2:3] == ["windows"] else 3) or sys.argv[2] not in CASES:
        print(__doc__)
        return 2
    bin_dir, case = os.path.abspath(sys.argv[1]), sys.argv[2]
    if shutil.which("chromium") is None or not os.access(CHROMEDRIVER, os.X_OK) or Chrome is None:
        print("SKIP: chromium, chromedriver or python3-selenium is missing")
        return 77
    # Ended from outside (ctest's time-out): the clean-up below still runs.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    # Everything here is on loopback: no proxy of the environment in between.
    os.environ["no_proxy"] = os.environ["NO_PROXY"] = "127.0.0.1,localhost"
    work = tempfile.mkdtemp(prefix="korvane-serve-e2e.")
    browser = None
    instrument = None
    failed = True
    try:
        if case == "windows":
            instrument = WineServedInstrument(bin_dir, work, os.path.abspath(sys.argv[3]), os.path.abspath(sys.argv[4]))
        else:
            instrument = ServedInstrument(bin_dir, work)
        browser = start_browser(work)
        CASES[case](instrument, browser, work)
        failed = False
    except (CaseFailed, RuntimeError, OSError, ValueError, WebDriverException) as e:
        print("FAIL: %s: %s" % (case, e))
    finally:
        if browser is not None:
            browser.quit()
        end_descendants()
        if instrument is not None:
            instrument.close()
        for path in glob.glob(os.path.join(work, "*.log")) if failed else []:
            with open(path) as f:
                print("".join("%s: %s" % (os.path.basename(path), line) for line in f.readlines()[-20:]), end="")
        if failed or os.environ.get("KEEP_E2E"):
            print("kept " + work)
        else:
            shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
