// Korvane - screen acquisition engine fuzzers.
// SPDX-License-Identifier: MIT
//
// Any frame through decoding, publishing and the snapshot writer. The input
// is a colour mode byte, then header bytes (whatever the header template
// check leaves free: width, height, sizes, resolution, palette), then frame
// bytes, repeated to fill the 40960 bytes of a frame. Every decoding kernel
// this processor runs must give the portable kernel's pixels; the published
// image has its fixed size, offset and the whole palette of the mode; the
// snapshot is the picture turned by 180 degrees under the image's own header.
#include "FrameDecoder.h"
#include "FuzzCheck.h"
#include "Palettes.h"
#include "ScreenImage.h"
#include "SnapshotWriter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <vector>

using namespace korvane;
using korvane::fuzz::check;

namespace {

using Frame = std::array<std::uint8_t, kFrameBytes>;
using Pixels = std::array<std::uint8_t, kPixelBytes>;

// The snapshot's rows: the picture turned by 180 degrees, so file row r is
// stored row 239 - r backwards, the two pixels of every byte swapped.
std::vector<std::uint8_t> turnedRows(const Pixels& rows)
{
    std::vector<std::uint8_t> file(kRowBytes * kScreenHeight);
    for (std::size_t r = 0; r < std::size_t(kScreenHeight); ++r) {
        for (std::size_t j = 0; j < kRowBytes; ++j) {
            const std::uint8_t both = rows[kRowBytes * (kScreenHeight - 1 - r) + kRowBytes - 1 - j];
            file[kRowBytes * r + j] = std::uint8_t(both << 4 | both >> 4);
        }
    }
    return file;
}

// The header bytes that the template check fixes.
void makeUsable(HeaderBytes& h)
{
    const HeaderBytes& builtIn = HeaderTemplate::builtIn();
    for (std::size_t i : {0, 1, 10, 11, 12, 13, 14, 15, 16, 17, 26, 27, 28, 29, 30, 31, 32, 33, 46, 47, 48, 49})
        h[i] = builtIn[i];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const auto mode = static_cast<std::int32_t>(static_cast<std::int8_t>(data[0]));
    ++data;
    --size;
    HeaderBytes header{};
    const std::size_t headerTaken = std::min(size, kHeaderBytes);
    std::copy(data, data + headerTaken, header.begin());
    makeUsable(header);
    check(HeaderTemplate::isUsable(header.data(), header.size()), "the fixed fields make a usable header");
    data += headerTaken;
    size -= headerTaken;
    Frame frame{};
    for (std::size_t i = 0; size > 0 && i < frame.size(); ++i)
        frame[i] = data[i % size];

    // The portable kernel's layout is checked pixel by pixel in the unit tests.
    Pixels expected;
    FrameDecoder::decode(FrameDecoder::Kernel::Portable, frame.data(), expected.data());
    for (auto kernel : {FrameDecoder::Kernel::Sse2, FrameDecoder::Kernel::Avx512}) {
        if (!FrameDecoder::runsHere(kernel))
            continue;
        Pixels pixels;
        pixels.fill(0xA5);
        FrameDecoder::decode(kernel, frame.data(), pixels.data());
        check(pixels == expected, "every kernel decodes as the portable one does");
    }

    // One image for the whole run: each input is a connect and a screen.
    static ScreenImage image;
    static std::uint64_t screens = 0;
    image.loadHeader(header);
    std::copy(frame.begin(), frame.end(), image.frameBuffer().begin());
    image.publishFrame(mode);
    ++screens;

    std::ostringstream snapshot;
    const bool published = image.read([&](const ScreenView& view) {
        check(view.screenNumber == screens, "every screen is counted once");
        check(view.bitmapInfo == view.imageBuffer + kInfoHeaderOffset, "the info header follows the file header");
        check(view.pixelData == view.imageBuffer + kHeaderBytes, "the pixels start at byte 118");
        check(view.imageWidth == kScreenWidth && view.imageHeight == kScreenHeight, "the picture is 320x240");
        check(std::equal(expected.begin(), expected.end(), view.pixelData), "the published pixels are the frame's");

        // The header as loaded, but width, height and the mode's palette colours.
        HeaderBytes want = header;
        std::copy(view.imageBuffer + 18, view.imageBuffer + 26, want.begin() + 18);
        const Palette& palette = Palettes::forMode(mode);
        for (std::size_t i = 0; i < kPaletteEntries; ++i) {
            want[kPaletteOffset + 4 * i] = palette[i].blue;
            want[kPaletteOffset + 4 * i + 1] = palette[i].green;
            want[kPaletteOffset + 4 * i + 2] = palette[i].red;
        }
        check(std::equal(want.begin(), want.end(), view.imageBuffer),
              "the header is the template's with the mode's colours");
        SnapshotWriter::write(snapshot, view);
    });
    check(published, "a decoded screen can be read");

    const std::string file = snapshot.str();
    check(file.size() == kSnapshotBytes, "the snapshot is 38518 bytes");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.data());
    check(std::memcmp(bytes, image.rawBuffer(), kHeaderBytes) == 0, "the snapshot has the image's header");
    check(std::memcmp(bytes + kHeaderBytes, turnedRows(expected).data(), kRowBytes * kScreenHeight) == 0,
          "the snapshot is the picture turned by 180 degrees");
    return 0;
}
