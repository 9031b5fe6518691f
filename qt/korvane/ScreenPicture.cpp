// Korvane - viewer window.
// SPDX-License-Identifier: MIT
#include "ScreenPicture.h"

#include <QPainter>
#include <QRect>

#include <algorithm>
#include <cstring>

namespace korvane {

namespace {

// The colour table follows the 40-byte info header.
constexpr std::size_t kInfoHeaderBytes = kPaletteOffset - kInfoHeaderOffset;

}  // namespace

QImage ScreenPicture::fromView(const ScreenView& view)
{
    const std::uint8_t* table = view.bitmapInfo + kInfoHeaderBytes;
    QRgb colours[kPaletteEntries];
    for (std::size_t i = 0; i < kPaletteEntries; ++i) {
        const std::uint8_t* entry = table + 4 * i;  // blue, green, red, reserved
        colours[i] = qRgb(entry[2], entry[1], entry[0]);
    }

    QImage picture(kScreenWidth, kScreenHeight, QImage::Format_RGB32);
    for (int y = 0; y < kScreenHeight; ++y) {
        const std::uint8_t* row = view.pixelData + std::size_t(y) * kRowBytes;
        auto* out = reinterpret_cast<QRgb*>(picture.scanLine(y));
        // Stored byte j holds stored pixels 2j (high nibble) and 2j+1, which
        // the turn puts at x = 319 - 2j and x = 318 - 2j.
        for (std::size_t j = 0; j < kRowBytes; ++j) {
            const std::uint8_t both = row[j];
            const std::size_t x = kScreenWidth - 1 - 2 * j;
            out[x] = colours[both >> 4];
            out[x - 1] = colours[both & 0x0F];
        }
    }
    return picture;
}

bool ScreenPicture::refresh(const ScreenImage& screen)
{
    return screen.read([this](const ScreenView& view) {
        const std::uint8_t* table = view.bitmapInfo + kInfoHeaderBytes;
        if (!image_.isNull() && view.screenNumber == screenNumber_
            && std::memcmp(table, palette_.data(), palette_.size()) == 0)
            return;
        image_ = fromView(view);
        screenNumber_ = view.screenNumber;
        std::memcpy(palette_.data(), table, palette_.size());
    });
}

void ScreenPicture::draw(QPainter& painter, const QRect& target, const QImage& picture)
{
    if (target.isEmpty() || picture.isNull())
        return;
    painter.save();
    // Nearest pixel: a thin trace must stay one colour, not turn into a
    // blend of trace and background.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(target, picture);
    painter.restore();
}

}  // namespace korvane
