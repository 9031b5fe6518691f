// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#include "ScreenImage.h"

#include "FrameDecoder.h"
#include "LittleEndian.h"
#include "Palettes.h"

#include <algorithm>
#include <cstring>

namespace korvane {

ScreenImage::ScreenImage()
    : imageBuffer_(new std::uint8_t[kImageBytes]())
{
    std::copy(HeaderTemplate::builtIn().begin(), HeaderTemplate::builtIn().end(), imageBuffer_.get());
}

void ScreenImage::loadHeader(const HeaderBytes& header)
{
    std::lock_guard lock(imageLock_);
    std::copy(header.begin(), header.end(), imageBuffer_.get());
}

void ScreenImage::decodeFrame()
{
    FrameDecoder::decode(frameBuffer_.data(), imageBuffer_.get() + kHeaderBytes);
}

void ScreenImage::buildPalette(std::int32_t mode)
{
    std::uint8_t* info = imageBuffer_.get() + kInfoHeaderOffset;
    writeLe32(info + 4, kScreenWidth);
    writeLe32(info + 8, kScreenHeight);
    const Palette& palette = Palettes::forMode(mode);
    std::uint8_t* entry = imageBuffer_.get() + kPaletteOffset;
    for (const Rgb& rgb : palette) {
        entry[0] = rgb.blue;
        entry[1] = rgb.green;
        entry[2] = rgb.red;
        entry += 4;
    }
}

void ScreenImage::publishFields()
{
    std::uint8_t* buffer = imageBuffer_.get();
    published_.imageBuffer = buffer;
    published_.bitmapInfo = buffer + kInfoHeaderOffset;
    // The header was checked at load, so bfOffBits is 118; should it ever say
    // otherwise, the pixels still start where they were decoded.
    std::size_t offBits = readLe32(buffer + 10);
    if (offBits != kHeaderBytes)
        offBits = kHeaderBytes;
    published_.pixelData = buffer + offBits;
    const auto height = static_cast<std::int32_t>(readLe32(buffer + 22));
    published_.imageWidth = static_cast<std::int32_t>(readLe32(buffer + 18));
    published_.imageHeight = height < 0 ? -height : height;
    ++published_.screenNumber;
}

void ScreenImage::publishFrame(std::int32_t colourMode, std::uint64_t requestNumber)
{
    std::lock_guard lock(imageLock_);
    decodeFrame();
    buildPalette(colourMode);
    publishFields();
    published_.requestNumber = requestNumber;
}

}  // namespace korvane
