// Korvane - Pictorix image tool fuzzers.
// SPDX-License-Identifier: MIT
//
// Temp.bmp may hold anything: refused with run-time error 481, or a picture of the
// declared size within the loader's limits that every encoder takes (the shared
// loader and writers, and those of the Qt face).
#include "BitmapHeader.h"
#include "QtPicture.h"
#include "RuntimeError.h"
#include "SnapshotLoader.h"
#include "TwistedPixel.h"

#include <QBuffer>
#include <QImage>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

using namespace korvane;
using namespace korvane::pictorix;

namespace {

void check(bool holds, const char* promise)
{
    if (holds)
        return;
    std::fprintf(stderr, "broken: %s\n", promise);
    std::abort();
}

// Larger pictures are only decoded: the encoders' speed is not what this looks for.
constexpr qint64 kEncodedPixels = 512 * 512;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The fuzzer's own buffer, not a copy: a read past it is an ASan report.
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const BitmapHeader header = BitmapHeader::read(bytes);
    Picture picture;
    try {
        picture = SnapshotLoader::decode(bytes, "fuzz input");
    } catch (const RuntimeError& error) {
        check(error.number() == RuntimeError::kInvalidPicture, "a refused file raises 481");
        check(error.description().starts_with("Invalid picture: fuzz input"), "the refusal names the file");
        return 0;
    }
    check(!header.check(std::int64_t(size)), "only what the checks pass is decoded");
    check(!picture.empty(), "an accepted file gives a picture");
    // A pixel left to whatever the memory held shows as a difference.
    const Picture again = SnapshotLoader::decode(bytes, "fuzz input");
    check(again.palette == picture.palette && again.indices == picture.indices && again.colours == picture.colours,
          "the same bytes always give the same picture");

    check(picture.width == header.biWidth && picture.height == header.rows(), "the picture has the declared size");
    check(picture.width <= BitmapHeader::kMaxSide && picture.height <= BitmapHeader::kMaxSide
              && qint64(picture.width) * picture.height <= BitmapHeader::kMaxPixels,
          "the picture is within the loader's limits");
    const std::size_t pixels = std::size_t(picture.width) * std::size_t(picture.height);
    check((picture.indexed() ? picture.indices.size() : picture.colours.size()) == pixels,
          "every pixel is there, stored one way");
    check(picture.palette.size() <= 256, "a colour table has at most 256 entries");
    // The encoders take indices as they are: one past the table would be another colour.
    for (const std::uint8_t index : picture.indices)
        check(index < picture.palette.size(), "every pixel has a colour in the picture's table");

    if (qint64(pixels) > kEncodedPixels)
        return 0;
    const QImage image = QtPicture::toImage(picture);
    for (const qint16 code : {qint16(4), qint16(5), qint16(6), qint16(8)}) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        try {
            TwistedPixel::encode(out, image, code);
        } catch (const RuntimeError& error) {
            std::fprintf(stderr, "%s\n", error.what());
            check(false, "an accepted picture can be saved in every format");
        }
        check(out.size() > 0, "a saved picture has bytes");
    }
    return 0;
}
