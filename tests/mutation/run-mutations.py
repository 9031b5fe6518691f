#!/usr/bin/python3
# Korvane - mutation check: do the tests catch small breaking edits?
# SPDX-License-Identifier: MIT
"""Applies each edit of MUTATIONS, one at a time, to a scratch copy of the
tree, builds it and runs the tests, and prints which edits no test caught.

    python3 tests/mutation/run-mutations.py [--labels REGEX] [--only NAME] [--keep DIR]

The scratch copy (the files git knows, as they are in the working tree) is
built once in full, then again after every edit; an edit that no longer
applies (the code moved on) is reported as such, so the list is kept up to
date with the code. Takes about a minute an edit on two cores.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

# (name, file, text to replace, replacement): each one a plausible slip that
# some test must catch.
MUTATIONS = [
    ("nibbles swapped in the portable decoder", "core/FrameDecoder.cpp",
     "pixels[2 * kRowBytes * m + j] = std::uint8_t((a & 0xF0) | (b >> 4));",
     "pixels[2 * kRowBytes * m + j] = std::uint8_t((a << 4) | (b >> 4));"),
    ("the image lock left out of publishing", "core/ScreenImage.cpp",
     "void ScreenImage::publishFrame(std::int32_t colourMode, std::uint64_t requestNumber)\n{\n    std::lock_guard lock(imageLock_);",
     "void ScreenImage::publishFrame(std::int32_t colourMode, std::uint64_t requestNumber)\n{"),
    ("the purge after a frame left out", "core/Engine.cpp",
     "    portHandle_.purgeReceive();\n    portHandle_.purgeTransmit();\n    screen_.publishFrame(",
     "    screen_.publishFrame("),
    ("stale bytes before a request not looked for", "core/Engine.cpp",
     "    if (portHandle_.discardPending() > 0) {\n        reader.answerEnd = AnswerEnd::AtQuietLine;",
     "    if (false) {\n        reader.answerEnd = AnswerEnd::AtQuietLine;"),
    ("the flock left out", "core/SerialPortPosix.cpp",
     "if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {",
     "if (false) {"),
    ("the pixel offset of a snapshot not checked", "common/BitmapHeader.cpp",
     "if (bfOffBits < headersEnd || bfOffBits >= fileBytes)",
     "if (false)"),
    ("a busy wait while paused", "core/Engine.cpp",
     "            flags_.waitWhilePaused(stop);\n", ""),
    ("ten bytes taken for the instrument", "core/PortSearch.h",
     "kLongestForeignAnswer = 10;",
     "kLongestForeignAnswer = 9;"),
    ("talkers not listened for", "core/PortSearch.cpp",
     "    switch (listen(port, settings, settleBy)) {",
     "    switch (settings.listenMs < 0 ? listen(port, settings, settleBy) : Line::Quiet) {"),
    ("a talker's settings not put back", "core/PortSearch.cpp",
     "        port.restoreSettings();\n", ""),
    ("no time limit for a port", "core/PortSearch.cpp",
     "ReadLimits{std::min(settings.firstByteMs, left), 50, std::max(left, 1)}",
     "ReadLimits{std::min(settings.firstByteMs, left), 50, 0 * left}"),
    # Only the check before each wait left out is no fault: the wait's own
    # timeout is the rest of the total, so the read still ends on time.
    ("a read's total limit only before the first byte", "core/ReadTimer.cpp",
     "    return limits_.totalMs > 0 && Clock::now() >= start_ + std::chrono::milliseconds(limits_.totalMs);\n}\n\n"
     "int ReadTimer::nextWaitMs() const\n{\n    int wait = limits_.totalMs > 0 ?",
     "    return bytes_ == 0 && limits_.totalMs > 0 && Clock::now() >= start_ + std::chrono::milliseconds(limits_.totalMs);\n}\n\n"
     "int ReadTimer::nextWaitMs() const\n{\n    int wait = limits_.totalMs > 0 && bytes_ == 0 ?"),
    ("a quiet line that is not quiet", "core/Engine.cpp",
     "        if (result == PortResult::TimedOut)\n            return window == kQuietGapMs;",
     "        if (result == PortResult::TimedOut || got < scratch.size())\n            return true;"),
    ("the next request at once after a short answer", "core/Engine.cpp",
     "reader.line == LineState::Opened || reader.line == LineState::Unsettled;",
     "reader.line == LineState::Opened;"),
    ("log.txt handed on to the image tool", "core/LogFilePosix.cpp",
     "std::fopen(path.c_str(), \"wbe\")", "std::fopen(path.c_str(), \"wb\")"),
    ("a failed start taken for a start", "core/ProcessLauncherPosix.cpp",
     "return got == 1 && bytes[0] == kForked;", "return got != 5;"),
    ("a late answer taken by the next capture", "grab/ScreenGrabber.cpp",
     "    staleUpTo_ = engine_.requestsSent();", "    staleUpTo_ = latestAnswer();"),
    ("a header with fewer colours accepted", "core/HeaderTemplate.cpp",
     "&& (readLe32(bytes + 46) == 0 || readLe32(bytes + 46) == kPaletteEntries);", ";"),
    ("the search not stopped at Exit", "core/Engine.cpp",
     "        searcher_.request_stop();\n", ""),
    ("a lost-link box after Exit", "qt/korvane/MainWindow.cpp",
     "    if (closing_) {\n        engine_.acknowledgeConnectionError();\n        return;\n    }\n", ""),
    ("Temp.bmp not turned", "core/SnapshotWriter.cpp",
     "screen.pixelData + kRowBytes * (kScreenHeight - 1 - r);", "screen.pixelData + kRowBytes * r;"),
    ("korvane-serve: the access token not asked for", "serve/RequestRouter.cpp",
     "if (!AccessToken::matches(token_, queryValue(request.target, \"token\"))\n"
     "            && !AccessToken::matches(token_, bearerToken(request.authorization)))",
     "if (false && bearerToken(request.authorization).empty())"),
    ("korvane-serve: commands from any page", "serve/RequestRouter.cpp",
     "if (changes && !request.origin.empty()) {",
     "if (changes && false) {"),
    ("korvane-serve: a command from elsewhere let in by an empty Host", "serve/RequestRouter.cpp",
     "if (changes && !request.origin.empty()) {",
     "if (changes && !request.origin.empty() && !request.host.empty()) {"),
    ("korvane-serve: a silent client kept", "serve/HttpSession.cpp",
     "    stream_.expires_after(time);", "    stream_.expires_after(time * 1000);"),
    ("korvane-serve: the head limit one byte late", "serve/HttpSession.cpp",
     "    if (buffer_.size() >= RequestHead::kLongestHead)",
     "    if (buffer_.size() > RequestHead::kLongestHead)"),
    ("korvane-serve: one field too many let through", "serve/RequestHead.cpp",
     "    if (lines > kMostFields + 2)", "    if (lines > kMostFields + 3)"),
    ("korvane-serve: no per-address cap", "serve/ConnectionBook.cpp",
     "    if (fromThere >= caps_.perAddress)", "    if (false)"),
    ("korvane-serve: a stalled viewer kept", "serve/ScreenServer.cpp",
     "    dropStalledViewers();\n", ""),
    ("korvane-serve: the event log waiting for its output", "serve/EventLog.cpp",
     "    std::lock_guard lock(shared_->mutex);\n    if (shared_->waiting.size() >= kMostWaiting) {",
     "    std::unique_lock lock(shared_->mutex);\n"
     "    shared_->changed.wait(lock, [&] { return shared_->waiting.size() < kMostWaiting; });\n    if (false) {"),
    ("korvane-serve: accepting again at once after a failure", "serve/ScreenServer.cpp",
     "        acceptTimer_.expires_after(kAcceptPause);",
     "        accept();\n        return;\n        acceptTimer_.expires_after(kAcceptPause);"),
]


def run(command, cwd, log, timeout=None):
    with open(log, "ab") as out:
        return subprocess.run(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode


def copy_tree(source, target):
    files = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"], cwd=source,
                           check=True, capture_output=True).stdout.split(b"\0")
    for name in filter(None, files):
        path = os.fsdecode(name)
        if not os.path.isfile(os.path.join(source, path)):
            continue
        os.makedirs(os.path.join(target, os.path.dirname(path)), exist_ok=True)
        shutil.copy2(os.path.join(source, path), os.path.join(target, path))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--labels", default="engine|common|grab|serve|simulator|cli|window|pictorix",
                        help="ctest labels to run for each edit (default: the unit and widget tests)")
    parser.add_argument("--only", help="run only the edits whose name contains this text")
    parser.add_argument("--keep", help="scratch folder to use and keep (default: a temporary one, removed)")
    args = parser.parse_args()

    source = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    scratch = args.keep or tempfile.mkdtemp(prefix="korvane-mutation-")
    tree = os.path.join(scratch, "tree")
    build = os.path.join(scratch, "build")
    log = os.path.join(scratch, "log.txt")
    try:
        if not os.path.isdir(tree):
            copy_tree(source, tree)
        print(f"scratch copy in {scratch}; build and test output in {log}", flush=True)
        if run(["cmake", "-S", tree, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
                "-DKORVANE_BENCHMARKS=OFF"], tree, log) != 0 or run(["cmake", "--build", build], tree, log) != 0:
            print("the unchanged tree does not build", file=sys.stderr)
            return 2
        test = ["ctest", "-L", args.labels, "-j2", "--timeout", "300"]
        env_ok = run(test, build, log)
        if env_ok != 0:
            print("the unchanged tree fails its tests: fix that first", file=sys.stderr)
            return 2

        rows = []
        for name, path, old, new in MUTATIONS:
            if args.only and args.only not in name:
                continue
            if old == new:
                continue
            file = os.path.join(tree, path)
            with open(file, encoding="utf-8") as f:
                original = f.read()
            if old not in original:
                rows.append((name, "edit no longer applies"))
                continue
            started = time.monotonic()
            with open(file, "w", encoding="utf-8") as f:
                f.write(original.replace(old, new, 1))
            try:
                with open(log, "a") as f:
                    f.write(f"\n==== {name}\n")
                if run(["cmake", "--build", build], tree, log) != 0:
                    verdict = "does not build (no test needed)"
                else:
                    verdict = "caught" if run(test, build, log) != 0 else "NOT CAUGHT"
            finally:
                with open(file, "w", encoding="utf-8") as f:
                    f.write(original)
            rows.append((name, f"{verdict} ({time.monotonic() - started:.0f} s)"))
            print(f"{name}: {rows[-1][1]}", flush=True)
        run(["cmake", "--build", build], tree, log)

        width = max(len(name) for name, _ in rows) if rows else 4
        print()
        print(f"| {'edit'.ljust(width)} | result |")
        print(f"|{'-' * (width + 2)}|--------|")
        for name, verdict in rows:
            print(f"| {name.ljust(width)} | {verdict} |")
        missed = [name for name, verdict in rows if verdict.startswith("NOT CAUGHT")]
        print(f"\n{len(rows) - len(missed)} of {len(rows)} edits caught")
        return 1 if missed else 0
    finally:
        if not args.keep:
            shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
