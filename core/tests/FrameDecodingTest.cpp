// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#include "CommonTestSupport.h"
#include "FrameDecoder.h"
#include "HeaderTemplate.h"
#include "LittleEndian.h"
#include "Palettes.h"
#include "ScreenImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <vector>

using namespace korvane;
using namespace korvane::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Pixel (x, y) of the stored image as the frame defines it: column x, byte
// y/2, high nibble for even y.
std::uint8_t framePixel(const Bytes& frame, int x, int y)
{
    const std::uint8_t byte = frame[128 * x + y / 2];
    return y % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

std::uint8_t storedPixel(const std::uint8_t* pixels, int x, int y)
{
    const std::uint8_t byte = pixels[160 * y + x / 2];
    return x % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

}  // namespace

TEST(FrameDecoding, EveryKernelPutsEveryPixelWhereTheColumnLayoutSays)
{
    using Kernel = FrameDecoder::Kernel;
    for (Kernel kernel : {Kernel::Portable, Kernel::Sse2, Kernel::Avx512}) {
        if (!FrameDecoder::runsHere(kernel))
            continue;
        for (unsigned seed : {1u, 2u, 3u}) {
            std::mt19937 random(seed);
            Bytes frame(kFrameBytes);
            std::generate(frame.begin(), frame.end(), [&] { return std::uint8_t(random()); });
            Bytes pixels(kPixelBytes, 0xEE);
            FrameDecoder::decode(kernel, frame.data(), pixels.data());
            for (int y = 0; y < 256; ++y) {
                for (int x = 0; x < 320; ++x) {
                    ASSERT_EQ(storedPixel(pixels.data(), x, y), framePixel(frame, x, y))
                        << "kernel " << int(kernel) << " x " << x << " y " << y;
                }
            }
        }
    }
}

// The header comes from the template with odd sizes and reserved bytes; every
// decoded screen rewrites size and colours, and leaves the rest alone.
TEST(Palettes, BuildPaletteWritesSizeAndColoursOfTheModeOnly)
{
    HeaderBytes header = HeaderTemplate::builtIn();
    writeLe32(header.data() + 18, 1);
    writeLe32(header.data() + 22, static_cast<std::uint32_t>(-7));
    for (std::size_t i = 0; i < 16; ++i)
        header[54 + 4 * i + 3] = std::uint8_t(0xA0 + i);
    header[6] = 0x42;  // bfReserved1
    for (std::int32_t mode : {1, 0, 2, -1}) {
        SCOPED_TRACE(mode);
        ScreenImage image;
        image.loadHeader(header);
        image.publishFrame(mode);
        const std::uint8_t* bytes = image.rawBuffer();
        EXPECT_EQ(readLe32(bytes + 18), 320u);
        EXPECT_EQ(readLe32(bytes + 22), 240u);
        EXPECT_EQ(bytes[6], 0x42);
        auto entry = [&](std::size_t i) { return Bytes(bytes + 54 + 4 * i, bytes + 58 + 4 * i); };
        if (mode == 1) {
            // Stored blue, green, red: red of 7 is FE and red of 8 is 87.
            EXPECT_EQ(entry(7), (Bytes{0xFF, 0xFF, 0xFE, 0xA7}));
            EXPECT_EQ(entry(8), (Bytes{0x88, 0x88, 0x87, 0xA8}));
            EXPECT_EQ(entry(5), (Bytes{0x66, 0x44, 0x22, 0xA5}));
        } else {
            EXPECT_EQ(entry(7), (Bytes{0x00, 0x00, 0x00, 0xA7}));
            EXPECT_EQ(entry(10), (Bytes{0xFF, 0xFF, 0xFF, 0xAA}));
            EXPECT_EQ(entry(3), (Bytes{0xBB, 0xBB, 0xBB, 0xA3}));
        }
    }
}

TEST(HeaderTemplate, ShippedFileIsTheBuiltInCopyAndUsable)
{
    const HeaderBytes& builtIn = HeaderTemplate::builtIn();
    EXPECT_EQ(readFile(KORVANE_SHIPPED_HEADER), Bytes(builtIn.begin(), builtIn.end()));
    EXPECT_TRUE(HeaderTemplate::isUsable(builtIn.data(), builtIn.size()));
}

// A template that would misplace or misread the pixels is passed over for
// the next one (the header2.bin beside the program), else the built-in copy.
TEST(HeaderTemplate, UnusableFilesArePassedOverForTheNextOrTheBuiltInCopy)
{
    ScratchDir dir;
    HeaderBytes beside = HeaderTemplate::builtIn();
    beside[6] = 0x42;
    std::ofstream(dir.file("beside"), std::ios::binary).write(reinterpret_cast<const char*>(beside.data()), 118);
    struct Fault {
        const char* what;
        std::size_t offset;
        std::uint8_t value;
    };
    for (const Fault& fault :
         {Fault{"short", 117, 0}, Fault{"not BM", 0, 'X'}, Fault{"pixels elsewhere", 10, 200},
          Fault{"pixels past the buffer", 13, 0x7F}, Fault{"info header size", 14, 12}, Fault{"planes", 26, 2},
          Fault{"8 bits", 28, 8}, Fault{"RLE4", 30, 2}, Fault{"1 colour used", 46, 1}, Fault{"15 colours used", 46, 15},
          Fault{"17 colours used", 46, 17}}) {
        HeaderBytes bad = HeaderTemplate::builtIn();
        bad[fault.offset] = fault.value;
        const std::size_t size = std::string_view(fault.what) == "short" ? 117 : 118;
        std::ofstream(dir.file("bad"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bad.data()), std::streamsize(size));
        HeaderTemplate::Source source = HeaderTemplate::Source::File;
        EXPECT_EQ(HeaderTemplate::load({dir.file("bad")}, &source), HeaderTemplate::builtIn()) << fault.what;
        EXPECT_EQ(source, HeaderTemplate::Source::BuiltIn) << fault.what;
        EXPECT_EQ(HeaderTemplate::load({dir.file("bad"), dir.file("beside")}, &source), beside) << fault.what;
        EXPECT_EQ(source, HeaderTemplate::Source::File) << fault.what;
    }
    EXPECT_EQ(HeaderTemplate::load({dir.file("missing"), dir.file("beside")}), beside);

    // biClrUsed 0 means all 16 colours, as 16 does.
    HeaderBytes allColours = beside;
    allColours[46] = 0;
    std::ofstream(dir.file("zero"), std::ios::binary).write(reinterpret_cast<const char*>(allColours.data()), 118);
    EXPECT_EQ(HeaderTemplate::load({dir.file("zero")}), allColours);
}
