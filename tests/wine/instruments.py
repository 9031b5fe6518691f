#!/usr/bin/env python3
"""Simulated instruments for Windows programs under wine.

instruments.py --simulator SIM --wine-env ENV --scratch DIR -- COMMAND...

Runs COMMAND (a Windows program under wine, the prefix named by ENV, the
build's wine/env.sh) and serves what it asks for on its standard output, one
line each, answered on its standard input:

  @instruments start N [OPTION...]   zls740-sim (SIM, built for this machine)
                                     with OPTIONs on a pseudo-terminal that the
                                     prefix sees as COMN
                                     -> "ok FOLDER": the Windows path of the
                                     instrument's folder, holding "report"
                                     (--report) and "last-frame" (--last-frame)
  @instruments stop N                the instrument ends (SIGTERM), COMN goes
  @instruments vanish N              the instrument is gone at once (SIGKILL),
                                     COMN goes
  any failure                        -> "error REASON"

Every other line is passed on. The program learns that it runs here from
KORVANE_INSTRUMENTS=1 in its environment. When it ends, every instrument it
left running is stopped and its COM port removed; the exit code is the
program's.
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys

COMMAND_PREFIX = b"@instruments "


class Instruments:
    def __init__(self, simulator, dosdevices, scratch):
        self.simulator = simulator
        self.dosdevices = dosdevices
        self.scratch = scratch
        self.running = {}

    def folder(self, com):
        return os.path.join(self.scratch, "com%d" % com)

    def port(self, com):
        return os.path.join(self.dosdevices, "com%d" % com)

    def start(self, com, options):
        if com in self.running:
            return "error COM%d has an instrument already" % com
        if not os.access(self.simulator, os.X_OK):
            return "error no zls740-sim at %s: build the debug preset first" % self.simulator
        folder = self.folder(com)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        command = [self.simulator, "--dir", folder, "--com", str(com),
                   "--report", os.path.join(folder, "report"),
                   "--last-frame", os.path.join(folder, "last-frame")] + options
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
        first = process.stdout.readline().decode(errors="replace")
        if "listening on" not in first:
            process.wait()
            return "error zls740-sim: " + (first + process.stderr.read().decode(errors="replace")).strip()
        # The simulator's own link, which it keeps pointing at its
        # pseudo-terminal, also after it comes back on a new one.
        self.link(com, os.path.join(folder, "COM%d" % com))
        self.running[com] = process
        return "ok Z:" + folder.replace("/", "\\")

    def link(self, com, target):
        self.unlink(com)
        os.symlink(target, self.port(com))

    def unlink(self, com):
        if os.path.lexists(self.port(com)):
            os.unlink(self.port(com))

    def end(self, com, how):
        process = self.running.pop(com, None)
        if process is None:
            return "error COM%d has no instrument" % com
        process.send_signal(how)
        process.wait()
        # A port left pointing at a pseudo-terminal number that the system
        # hands out again would reach someone else's line.
        self.unlink(com)
        link = os.path.join(self.folder(com), "COM%d" % com)
        if os.path.lexists(link):
            os.unlink(link)
        return "ok"

    def serve(self, words):
        try:
            what, com, options = words[0], int(words[1]), words[2:]
        except (IndexError, ValueError):
            return "error cannot read: " + " ".join(words)
        if what == "start":
            return self.start(com, options)
        if what == "stop":
            return self.end(com, signal.SIGTERM)
        if what == "vanish":
            return self.end(com, signal.SIGKILL)
        return "error unknown request " + what

    def stop_all(self):
        for com in list(self.running):
            self.end(com, signal.SIGTERM)


def prefix_of(wine_env):
    return subprocess.run(["sh", "-c", '. "$1"; printf %s "$WINEPREFIX"', "sh", wine_env],
                          check=True, capture_output=True, text=True).stdout


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--simulator", required=True)
    parser.add_argument("--wine-env", required=True)
    parser.add_argument("--scratch", required=True)
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()

    shutil.rmtree(args.scratch, ignore_errors=True)
    os.makedirs(args.scratch)
    instruments = Instruments(os.path.abspath(args.simulator),
                              os.path.join(prefix_of(args.wine_env), "dosdevices"),
                              os.path.abspath(args.scratch))
    environment = dict(os.environ, KORVANE_INSTRUMENTS="1")
    program = subprocess.Popen(args.command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=environment)
    try:
        for line in program.stdout:
            if line.startswith(COMMAND_PREFIX):
                words = line[len(COMMAND_PREFIX):].decode(errors="replace").split()
                answer = instruments.serve(words)
                program.stdin.write(answer.encode() + b"\n")
                program.stdin.flush()
            else:
                sys.stdout.buffer.write(line)
                sys.stdout.buffer.flush()
        return program.wait()
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()
        instruments.stop_all()


if __name__ == "__main__":
    sys.exit(main())
