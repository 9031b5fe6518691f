// Korvane - end-to-end checks of the fault runs: known frames, and pictures
// matched against them whole.
// SPDX-License-Identifier: MIT
//
// Usage:
//   e2e-fault-check frames OUT COUNT SEED
//       Writes COUNT frames of 40960 bytes to OUT for the simulator's --replay:
//       noise drawn from SEED, so that any two of them, and any frame shifted
//       by a byte or torn between two of them, differ in many pixels of
//       every band of columns.
//   e2e-fault-check match PICTURE X Y FRAMES
//       Which frame of FRAMES the 320x240 area at (X, Y) of PICTURE (a
//       screenshot: a window dump of xwd, or any picture file; "-" reads
//       standard input) shows, pixel for pixel, as the user sees the
//       instrument's screen in the colour palette. Prints "frame N"; exit
//       code 0 when one matches, 1 when none does (with what came closest,
//       band by band), 2 on bad input.
//   e2e-fault-check snapshot FILE FRAMES
//       The same for a snapshot file, which must also be a 16-colour 320x240
//       bottom-up bitmap of exactly 38518 bytes with its pixels at byte 118.
#include "LittleEndian.h"
#include "Palettes.h"
#include "ScreenGeometry.h"
#include "Zls740Simulator.h"

#include <QFile>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kOk = 0;
constexpr int kNoMatch = 1;
constexpr int kBadInput = 2;
// The instrument sends its screen column by column, so a cut or shifted
// answer shows in bands of columns. Each band is compared on its own to tell
// a torn picture (bands of different frames) from a foreign one.
constexpr int kBandColumns = 32;

int usage()
{
    std::fprintf(stderr,
                 "usage: e2e-fault-check frames OUT COUNT SEED\n"
                 "       e2e-fault-check match PICTURE X Y FRAMES\n"
                 "       e2e-fault-check snapshot FILE FRAMES\n");
    return kBadInput;
}

bool toInt(const char* text, int& value)
{
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < 0 || parsed > 100000)
        return false;
    value = int(parsed);
    return true;
}

int writeFrames(const char* path, const char* countText, const char* seedText)
{
    int count = 0;
    int seed = 0;
    if (!toInt(countText, count) || count < 1 || !toInt(seedText, seed))
        return usage();
    QByteArray bytes;
    bytes.reserve(count * int(korvane::kFrameBytes));
    for (int i = 0; i < count; ++i) {
        std::mt19937 noise(std::uint32_t(seed) * 1000u + std::uint32_t(i));
        for (std::size_t b = 0; b < korvane::kFrameBytes; ++b)
            bytes.append(char(noise() & 0xFF));
    }
    QFile out(QString::fromLocal8Bit(path));
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return kBadInput;
    }
    return kOk;
}

bool readFrames(const char* path, std::vector<zls740sim::Frame>& frames)
{
    QFile in(QString::fromLocal8Bit(path));
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = in.readAll();
    if (bytes.isEmpty() || bytes.size() % qsizetype(korvane::kFrameBytes) != 0)
        return false;
    frames.resize(std::size_t(bytes.size()) / korvane::kFrameBytes);
    for (std::size_t i = 0; i < frames.size(); ++i)
        std::memcpy(frames[i].data(), bytes.constData() + i * korvane::kFrameBytes, korvane::kFrameBytes);
    return true;
}

// Compares the area at (left, top) with every frame; prints the verdict.
int matchArea(const QImage& picture, int left, int top, const std::vector<zls740sim::Frame>& frames)
{
    using korvane::kScreenHeight;
    using korvane::kScreenWidth;
    if (left + kScreenWidth > picture.width() || top + kScreenHeight > picture.height()) {
        std::fprintf(stderr, "a %dx%d picture has no 320x240 area at (%d, %d)\n", picture.width(),
                     picture.height(), left, top);
        return kBadInput;
    }
    const korvane::Palette& palette = korvane::Palettes::colour();
    constexpr int kBands = kScreenWidth / kBandColumns;
    // differing[f][band]: pixels of the band that frame f does not explain.
    std::vector<std::vector<long>> differing(frames.size(), std::vector<long>(kBands, 0));
    for (std::size_t f = 0; f < frames.size(); ++f) {
        for (int y = 0; y < kScreenHeight; ++y) {
            for (int x = 0; x < kScreenWidth; ++x) {
                const korvane::Rgb& rgb = palette[zls740sim::screenPixel(frames[f], x, y)];
                if ((picture.pixel(left + x, top + y) & 0xFFFFFFu) != (qRgb(rgb.red, rgb.green, rgb.blue) & 0xFFFFFFu))
                    ++differing[f][x / kBandColumns];
            }
        }
        long total = 0;
        for (long d : differing[f])
            total += d;
        if (total == 0) {
            std::printf("frame %zu\n", f);
            return kOk;
        }
    }
    // No frame: say which frame explains each band best, so that a torn
    // picture (bands of two frames) shows as such.
    std::printf("no frame matches; best frame (differing pixels) per band of %d columns, left to right:",
                kBandColumns);
    for (int band = 0; band < kBands; ++band) {
        std::size_t best = 0;
        for (std::size_t f = 1; f < frames.size(); ++f) {
            if (differing[f][band] < differing[best][band])
                best = f;
        }
        std::printf(" %zu(%ld)", best, differing[best][band]);
    }
    std::printf("\n");
    return kNoMatch;
}

std::uint32_t be32(const QByteArray& b, qsizetype at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData()) + at;
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

// A window dump as xwd writes it: a big-endian header of 25 32-bit fields
// (then the window's name), a colour map, and the pixels in Z format. Only
// true-colour dumps of 24 or 32 bits a pixel are read, which is what a
// 24-bit X server gives; reading them here spares a conversion per picture.
QImage fromWindowDump(const QByteArray& dump)
{
    constexpr qsizetype kFields = 25;
    if (dump.size() < kFields * 4 || be32(dump, 4) != 7 /* version */ || be32(dump, 8) != 2 /* Z format */)
        return {};
    const std::uint32_t headerSize = be32(dump, 0);
    const int width = int(be32(dump, 16));
    const int height = int(be32(dump, 20));
    const bool lsbFirst = be32(dump, 28) == 0;
    const std::uint32_t bitsPerPixel = be32(dump, 44);
    const std::uint32_t bytesPerLine = be32(dump, 48);
    const std::uint32_t masks[3] = {be32(dump, 56), be32(dump, 60), be32(dump, 64)};
    const std::uint32_t colours = be32(dump, 76);
    const qsizetype pixels = qsizetype(headerSize) + qsizetype(colours) * 12;
    if ((bitsPerPixel != 32 && bitsPerPixel != 24) || width <= 0 || height <= 0 || width > 10000 || height > 10000
        || pixels + qsizetype(bytesPerLine) * height > dump.size())
        return {};
    auto channel = [](std::uint32_t value, std::uint32_t mask) {
        if (mask == 0)
            return 0;
        int shift = 0;
        while (!((mask >> shift) & 1u))
            ++shift;
        return int((value & mask) >> shift);
    };
    const int bytes = int(bitsPerPixel / 8);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const unsigned char*>(dump.constData()) + pixels + qsizetype(bytesPerLine) * y;
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = line + x * bytes;
            std::uint32_t value = 0;
            for (int i = 0; i < bytes; ++i)
                value |= std::uint32_t(p[i]) << (lsbFirst ? 8 * i : 8 * (bytes - 1 - i));
            image.setPixel(x, y, qRgb(channel(value, masks[0]), channel(value, masks[1]), channel(value, masks[2])));
        }
    }
    return image;
}

QImage readPicture(const char* path)
{
    QFile file;
    if (std::string(path) == "-")
        file.open(stdin, QIODevice::ReadOnly);
    else {
        file.setFileName(QString::fromLocal8Bit(path));
        file.open(QIODevice::ReadOnly);
    }
    const QByteArray bytes = file.readAll();
    const QImage dump = fromWindowDump(bytes);
    return dump.isNull() ? QImage::fromData(bytes) : dump;
}

int match(int argc, char* argv[])
{
    int left = 0;
    int top = 0;
    if (argc < 6 || !toInt(argv[3], left) || !toInt(argv[4], top))
        return usage();
    const QImage picture = readPicture(argv[2]);
    std::vector<zls740sim::Frame> frames;
    if (picture.isNull() || !readFrames(argv[5], frames)) {
        std::fprintf(stderr, "cannot read %s or the frames in %s\n", argv[2], argv[5]);
        return kBadInput;
    }
    return matchArea(picture, left, top, frames);
}

std::uint32_t le32(const QByteArray& b, int at)
{
    return korvane::readLe32(reinterpret_cast<const std::uint8_t*>(b.constData()) + at);
}

int snapshot(int argc, char* argv[])
{
    if (argc < 4)
        return usage();
    QFile file(QString::fromLocal8Bit(argv[2]));
    std::vector<zls740sim::Frame> frames;
    if (!file.open(QIODevice::ReadOnly) || !readFrames(argv[3], frames)) {
        std::fprintf(stderr, "cannot read %s or the frames in %s\n", argv[2], argv[3]);
        return kBadInput;
    }
    const QByteArray bytes = file.readAll();
    // The fields a reader needs to place the pixels; the rest of the header
    // may be anything the header template held.
    const bool sane = bytes.size() == qsizetype(korvane::kSnapshotBytes) && bytes.startsWith("BM")
        && le32(bytes, 10) == korvane::kHeaderBytes && le32(bytes, 14) == 40 && le32(bytes, 18) == 320
        && le32(bytes, 22) == 240 && (le32(bytes, 26) & 0xFFFF) == 1 && (le32(bytes, 26) >> 16) == 4
        && le32(bytes, 30) == 0;
    if (!sane) {
        std::printf("not a 38518-byte 4-bit 320x240 bitmap with its pixels at 118 (%lld bytes)\n",
                    static_cast<long long>(bytes.size()));
        return kNoMatch;
    }
    const QImage picture = QImage::fromData(bytes, "BMP");
    if (picture.isNull()) {
        std::printf("the bitmap does not decode\n");
        return kNoMatch;
    }
    return matchArea(picture, 0, 0, frames);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    if (command == "frames" && argc == 5)
        return writeFrames(argv[2], argv[3], argv[4]);
    if (command == "match")
        return match(argc, argv);
    if (command == "snapshot")
        return snapshot(argc, argv);
    return usage();
}
