// Korvane - viewer window.
// SPDX-License-Identifier: MIT
#pragma once

#include "ScreenImage.h"

#include <QImage>

#include <array>
#include <cstdint>

class QPainter;
class QRect;

namespace korvane {

// The latest screen of the instrument as the user sees it: the stored
// bottom-up bitmap turned by 180 degrees, 320x240 pixels of 32-bit colour.
// Converted once per decoded screen, so that a repaint only stretches it.
class ScreenPicture {
public:
    // Takes the latest screen from `screen` when it differs from the one held
    // (a newer screen, or the same pixels under another colour table). False
    // while no screen has been decoded; the held picture is then left alone.
    bool refresh(const ScreenImage& screen);

    // Empty until the first successful refresh().
    const QImage& image() const { return image_; }

    // The screen of `view` turned upright for the user: pixel (x, y) is
    // stored pixel (319 - x, y) of the rows counted from pixelData, in the
    // colour its palette index has in the view's colour table.
    static QImage fromView(const ScreenView& view);

    // Stretches `picture` over exactly `target`, width and height scaled
    // separately, each pixel of the target taking the colour of the nearest
    // source pixel (rows and columns are repeated or dropped, never blended).
    // An empty target draws nothing.
    static void draw(QPainter& painter, const QRect& target, const QImage& picture);

private:
    static constexpr std::size_t kPaletteBytes = 64;

    QImage image_;
    std::uint64_t screenNumber_ = 0;
    std::array<std::uint8_t, kPaletteBytes> palette_{};
};

}  // namespace korvane
