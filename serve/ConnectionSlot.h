// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include "ConnectionBook.h"

#include <memory>
#include <string>

namespace korvane {

// One admitted connection's place in the book, held by its session (the
// HTTP one, then the viewer it becomes) and given back when the session
// goes, whichever way it ends. The book is shared: a session destroyed
// after the server still gives its place back safely.
class ConnectionSlot {
public:
    ConnectionSlot() = default;
    ConnectionSlot(std::shared_ptr<ConnectionBook> book, std::string address)
        : book_(std::move(book))
        , address_(std::move(address))
    {
    }
    ~ConnectionSlot();
    ConnectionSlot(ConnectionSlot&& other) noexcept;
    ConnectionSlot& operator=(ConnectionSlot&& other) noexcept;

    // Asks to count this connection as a viewer; Admitted once it does.
    ConnectionBook::Verdict becomeViewer();

private:
    void giveBack();

    std::shared_ptr<ConnectionBook> book_;
    std::string address_;
    bool viewer_ = false;
};

}  // namespace korvane
