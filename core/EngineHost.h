// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

namespace korvane {

// What the engine tells the program that shows it, named for what happened.
// The engine never shows anything itself; a window turns these into repaints
// and boxes on its own thread. Every call returns at once.
class EngineHost {
public:
    virtual ~EngineHost() = default;

    // Reader thread, right after each new screen is in Engine::screen().
    // Screens may come faster than a window paints: a window may fold them
    // into one repaint.
    virtual void screenPublished() = 0;

    // Reader thread. The link to the instrument is lost: show "DSO Connection
    // Error" (text and caption, one OK button, owned by no window) and call
    // Engine::acknowledgeConnectionError() once the user has closed it. The
    // reader thread keeps the link until then.
    virtual void linkLost() = 0;

    // Reader thread, once a lost link has been acknowledged: the port is
    // closed and `connected` clear, so the last screen is no longer live.
    virtual void linkClosed() {}

    // The caller's thread, inside an Engine::openLink() that is about to
    // return -1: the port could not be opened (Engine::lastOpenResult()).
    virtual void openFailed() {}

    // The caller's thread, as Engine::exportSnapshot() begins.
    virtual void exportStarted() {}

    // Search thread, once a search started by Engine::beginSearch() has
    // ended (found, nothing found, or stopped). The window goes on with
    // Engine::openLink() on its own thread.
    virtual void searchFinished() {}
};

}  // namespace korvane
