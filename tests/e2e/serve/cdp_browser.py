# Korvane - korvane-serve in a real browser.
# SPDX-License-Identifier: MIT
"""Headless Chromium driven over its remote debugging port: one page,
evaluated and photographed through the DevTools protocol's WebSocket."""

import base64
import ctypes
import itertools
import json
import os
import signal
import subprocess
import time
import urllib.request

import websocket  # Debian's python3-websocket


def become_subreaper():
    """Makes this process the parent of whatever the browser leaves orphaned,
    so that close() can wait for every one of its processes."""
    ctypes.CDLL(None, use_errno=True).prctl(36, 1)  # PR_SET_CHILD_SUBREAPER


class CdpBrowser:
    """Starts `chromium` with a profile of its own under `folder` and a window
    of `width` x `height` device pixels (one CSS pixel each)."""

    def __init__(self, program, folder, width, height, log, preexec=None):
        become_subreaper()
        self._profile = os.path.join(folder, "chromium-profile")
        os.makedirs(self._profile, exist_ok=True)
        arguments = [
            program, "--headless=new", "--no-sandbox", "--disable-gpu",
            "--force-color-profile=srgb", "--force-device-scale-factor=1",
            "--hide-scrollbars", "--window-size=%d,%d" % (width, height),
            "--user-data-dir=" + self._profile,
            # Port 0: the browser takes a free one and writes it to
            # DevToolsActivePort in the profile, so runs side by side never clash.
            "--remote-debugging-port=0", "--remote-debugging-address=127.0.0.1",
            "--no-first-run", "--no-default-browser-check", "--disable-extensions",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--disable-dev-shm-usage", "--mute-audio",
            "about:blank",
        ]
        environment = dict(os.environ, HOME=folder)
        # A session of its own: the browser's helper processes are ended with
        # it as one group, and nothing else is.
        self._process = subprocess.Popen(arguments, stdout=log, stderr=log, stdin=subprocess.DEVNULL,
                                         env=environment, start_new_session=True,
                                         preexec_fn=preexec)
        self._socket = None
        self._ids = itertools.count(1)

    def connect(self, deadline):
        """Waits for the debugging port, then attaches to the browser's page."""
        active = os.path.join(self._profile, "DevToolsActivePort")
        port = None
        while port is None:
            self._check_alive()
            try:
                with open(active) as f:
                    first = f.readline().strip()
                if first.isdigit():
                    port = int(first)
            except OSError:
                pass
            if port is None:
                _pause_or_fail(deadline, "the browser's debugging port did not appear")
        page = None
        while page is None:
            self._check_alive()
            try:
                with urllib.request.urlopen("http://127.0.0.1:%d/json/list" % port, timeout=10) as answer:
                    targets = json.load(answer)
                page = next((t for t in targets if t.get("type") == "page"), None)
            except OSError:
                pass
            if page is None:
                _pause_or_fail(deadline, "the browser showed no page to attach to")
        # The browser turns away debugging clients that name an origin.
        self._socket = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=30,
                                                   suppress_origin=True)

    def call(self, method, **params):
        """One protocol command; its result, events before it being dropped."""
        ident = next(self._ids)
        self._socket.send(json.dumps({"id": ident, "method": method, "params": params}))
        while True:
            message = json.loads(self._socket.recv())
            if message.get("id") != ident:
                continue
            if "error" in message:
                raise RuntimeError("%s failed: %s" % (method, message["error"]))
            return message.get("result", {})

    def evaluate(self, expression):
        """The value of a JavaScript expression in the page (promises awaited)."""
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            raise RuntimeError("page script failed: %s" % result["exceptionDetails"].get("text"))
        return result["result"].get("value")

    def open(self, url):
        self.call("Page.enable")
        self.call("Page.navigate", url=url)

    def screenshot(self):
        """The page as the browser draws it, as PNG bytes."""
        return base64.b64decode(self.call("Page.captureScreenshot", format="png")["data"])

    def close(self):
        if self._socket is not None:
            try:
                self._socket.close()
            except OSError:
                pass
        if self._process.poll() is None:
            os.killpg(self._process.pid, signal.SIGTERM)
            try:
                self._process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                os.killpg(self._process.pid, signal.SIGKILL)
                self._process.wait()
        # Helpers of the group that outlived the browser itself; they are
        # ours to reap (see become_subreaper), not left to the system's init.
        try:
            os.killpg(self._process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        try:
            while True:
                os.waitpid(-self._process.pid, 0)
        except ChildProcessError:
            pass

    def _check_alive(self):
        if self._process.poll() is not None:
            raise RuntimeError("the browser ended with code %d" % self._process.returncode)


def _pause_or_fail(deadline, what):
    if time.monotonic() > deadline:
        raise RuntimeError(what)
    time.sleep(0.05)
