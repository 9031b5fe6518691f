// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "ConnectionSlot.h"

#include <utility>

namespace korvane {

ConnectionSlot::~ConnectionSlot()
{
    giveBack();
}

ConnectionSlot::ConnectionSlot(ConnectionSlot&& other) noexcept
    : book_(std::move(other.book_))
    , address_(std::move(other.address_))
    , viewer_(std::exchange(other.viewer_, false))
{
}

ConnectionSlot& ConnectionSlot::operator=(ConnectionSlot&& other) noexcept
{
    if (this != &other) {
        giveBack();
        book_ = std::move(other.book_);
        address_ = std::move(other.address_);
        viewer_ = std::exchange(other.viewer_, false);
    }
    return *this;
}

ConnectionBook::Verdict ConnectionSlot::becomeViewer()
{
    if (viewer_)
        return ConnectionBook::Verdict::Admitted;
    const auto verdict = book_->admitViewer();
    viewer_ = verdict == ConnectionBook::Verdict::Admitted;
    return verdict;
}

void ConnectionSlot::giveBack()
{
    if (book_)
        book_->release(address_, viewer_);
    book_.reset();
    viewer_ = false;
}

}  // namespace korvane
