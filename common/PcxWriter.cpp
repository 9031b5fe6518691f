// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#include "PcxWriter.h"

#include "LittleEndian.h"

#include <string>

namespace korvane {

namespace {

constexpr std::size_t kHeaderBytes = 128;
constexpr std::uint16_t kDpi = 96;
constexpr int kLargestSide = 0xFFFF;

bool writesIndices(const Picture& picture)
{
    return picture.indexed() && picture.palette.size() <= 256;
}

// Bytes of one plane of one line: the format wants an even count.
std::size_t bytesPerLine(const Picture& picture)
{
    return (std::size_t(picture.width) + 1) / 2 * 2;
}

std::string header(const Picture& picture)
{
    std::string head(kHeaderBytes, '\0');
    char* h = head.data();
    h[0] = char(0x0A);  // maker tag
    h[1] = char(5);     // version 5: palette information present
    h[2] = char(1);     // run-length coding
    h[3] = char(8);     // bits per pixel and plane
    writeLe16(h + 8, std::uint16_t(picture.width - 1));
    writeLe16(h + 10, std::uint16_t(picture.height - 1));
    writeLe16(h + 12, kDpi);
    writeLe16(h + 14, kDpi);
    // The first 16 colours here too, for readers that know no other palette.
    if (writesIndices(picture)) {
        for (std::size_t i = 0; i < 16 && i < picture.palette.size(); ++i) {
            h[16 + 3 * i] = char(Picture::red(picture.palette[i]));
            h[17 + 3 * i] = char(Picture::green(picture.palette[i]));
            h[18 + 3 * i] = char(Picture::blue(picture.palette[i]));
        }
    }
    h[65] = char(writesIndices(picture) ? 1 : 3);  // planes
    writeLe16(h + 66, std::uint16_t(bytesPerLine(picture)));
    writeLe16(h + 68, 1);  // colour palette
    return head;
}

// One plane of one scan line. Runs never cross the end of the line, and a
// single byte with both top bits set must go out as a run of one, because a
// reader takes such a byte for a run count.
void encodeLine(const std::string& line, std::string& out)
{
    std::size_t i = 0;
    while (i < line.size()) {
        const char value = line[i];
        std::size_t run = 1;
        while (i + run < line.size() && run < 63 && line[i + run] == value)
            ++run;
        if (run > 1 || std::uint8_t(value) >= 0xC0)
            out.push_back(char(0xC0 | run));
        out.push_back(value);
        i += run;
    }
}

// Every line, top first, each as its planes one after the other.
std::string encodedLines(const Picture& picture)
{
    const int planes = writesIndices(picture) ? 1 : 3;
    std::string body;
    std::string plane(bytesPerLine(picture), '\0');
    for (int y = 0; y < picture.height; ++y) {
        for (int p = 0; p < planes; ++p) {
            for (int x = 0; x < picture.width; ++x) {
                const std::size_t at = std::size_t(y) * std::size_t(picture.width) + std::size_t(x);
                const std::uint32_t colour = planes == 1 ? 0 : picture.colourAt(x, y);
                plane[std::size_t(x)] = char(planes == 1 ? picture.indices[at] : colour >> (16 - 8 * p));
            }
            encodeLine(plane, body);
        }
    }
    return body;
}

// The 256-entry palette that follows the lines of an indexed picture.
std::string palette(const Picture& picture)
{
    std::string palette(1, char(0x0C));  // marks the palette
    for (std::size_t i = 0; i < 256; ++i) {
        const std::uint32_t c = i < picture.palette.size() ? picture.palette[i] : Picture::rgb(0, 0, 0);
        palette += {char(Picture::red(c)), char(Picture::green(c)), char(Picture::blue(c))};
    }
    return palette;
}

}  // namespace

bool PcxWriter::write(std::ostream& out, const Picture& picture)
{
    if (picture.empty() || picture.width > kLargestSide || picture.height > kLargestSide)
        return false;
    out << header(picture) << encodedLines(picture);
    if (writesIndices(picture))
        out << palette(picture);
    return bool(out);
}

}  // namespace korvane
