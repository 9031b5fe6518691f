// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

namespace korvane {

// What the engine asks of the window that shows it. The engine never shows
// anything itself; the window implements this and hands the work to its own
// thread.
class EngineHost {
public:
    virtual ~EngineHost() = default;

    // Any thread; returns at once. Repaint the whole live view later, without
    // erasing the background first. Calls may come faster than the window
    // paints; the window is free to fold them into one repaint.
    virtual void requestRepaint() = 0;

    // Reader thread; returns at once. The link to the instrument is lost:
    // show "DSO Connection Error" (text and caption, one OK button, owned by
    // no window) and call Engine::acknowledgeConnectionError() once the user
    // has closed it. The reader thread keeps the link until then.
    virtual void showConnectionError() = 0;

    // Search thread, once a search started by Engine::beginSearch() has
    // ended (found, nothing found, or stopped); returns at once. The window
    // goes on with Engine::openLink() on its own thread.
    virtual void searchFinished() {}
};

}  // namespace korvane
