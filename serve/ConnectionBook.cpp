// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "ConnectionBook.h"

namespace korvane {

ConnectionBook::Verdict ConnectionBook::admit(const std::string& address)
{
    if (connections_ >= caps_.connections)
        return Verdict::ServerFull;
    unsigned& fromThere = perAddress_[address];
    if (fromThere >= caps_.perAddress)
        return Verdict::AddressFull;
    ++fromThere;
    ++connections_;
    return Verdict::Admitted;
}

ConnectionBook::Verdict ConnectionBook::admitViewer()
{
    if (viewers_ >= caps_.viewers)
        return Verdict::ViewersFull;
    ++viewers_;
    return Verdict::Admitted;
}

void ConnectionBook::release(const std::string& address, bool viewer)
{
    const auto found = perAddress_.find(address);
    if (found == perAddress_.end())
        return;
    // Addresses with nothing open are forgotten: the book stays the size of
    // what is connected, however many addresses came and went.
    if (--found->second == 0)
        perAddress_.erase(found);
    --connections_;
    if (viewer)
        --viewers_;
}

std::string ConnectionBook::reason(Verdict verdict) const
{
    switch (verdict) {
    case Verdict::ServerFull:
        return "Service unavailable: korvane-serve has " + std::to_string(caps_.connections)
            + " connections open, its most; try again later";
    case Verdict::AddressFull:
        return "Service unavailable: " + std::to_string(caps_.perAddress)
            + " connections from your address are open, the most from one machine; try again later";
    case Verdict::ViewersFull:
        return "Service unavailable: " + std::to_string(caps_.viewers)
            + " viewers are watching, korvane-serve's most; try again later";
    case Verdict::Admitted: break;
    }
    return {};
}

}  // namespace korvane
