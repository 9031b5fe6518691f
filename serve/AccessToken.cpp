// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "AccessToken.h"

#include "RandomBytes.h"

#include <array>
#include <cstdint>

namespace korvane {

std::string AccessToken::make()
{
    std::array<std::uint8_t, 16> bits{};
    if (!randomBytes(bits.data(), bits.size()))
        return {};
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (std::uint8_t byte : bits) {
        token += digits[byte >> 4];
        token += digits[byte & 0x0F];
    }
    return token;
}

bool AccessToken::matches(std::string_view expected, std::string_view given)
{
    if (expected.size() != given.size())
        return false;
    unsigned difference = 0;
    for (std::size_t i = 0; i < expected.size(); ++i)
        difference |= unsigned(std::uint8_t(expected[i]) ^ std::uint8_t(given[i]));
    return difference == 0;
}

}  // namespace korvane
