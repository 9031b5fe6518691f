// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include "HeaderTemplate.h"
#include "ScreenGeometry.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

namespace korvane {

// What a reader of the screen image sees: the latest completely decoded
// screen with its header and palette. Valid only inside ScreenImage::read().
struct ScreenView {
    const std::uint8_t* imageBuffer;  // 118 header bytes, then the pixel area
    const std::uint8_t* bitmapInfo;   // info header and the 16-entry palette (blue, green, red, reserved)
    const std::uint8_t* pixelData;    // stored row 0 (the bottom line of the bitmap)
    std::int32_t imageWidth;          // 320
    std::int32_t imageHeight;         // 240
    std::uint64_t screenNumber;       // counts decoded screens, from 1
    std::uint64_t requestNumber;      // the engine's request this screen answered (Engine::requestsSent())
};

// The viewer's one picture of the instrument's screen: a 16-colour 320x240
// bottom-up BMP in `imageBuffer`, rewritten in place from every frame.
//
// The reader thread decodes and publishes under the image lock; the window
// thread paints and exports inside read(), under the same lock, so neither
// ever sees a half-decoded screen or a palette of another screen.
class ScreenImage {
public:
    ScreenImage();

    // Connect, while no reader thread runs: the template's 118 bytes become
    // the header, in force until the next screen is decoded.
    void loadHeader(const HeaderBytes& header);

    // Reader thread: the frame to decode next. Read only by decodeFrame().
    std::span<std::uint8_t, kFrameBytes> frameBuffer() { return frameBuffer_; }

    // Reader thread: decodes frameBuffer() into the pixel area, writes the
    // palette of `colourMode` (1 colour, anything else monochrome) and
    // publishes the fields, all under the image lock. Allocates nothing.
    // `requestNumber` tells readers which request the frame answered.
    void publishFrame(std::int32_t colourMode, std::uint64_t requestNumber = 0);

    // Calls fn(const ScreenView&) under the image lock and returns true, or
    // returns false without calling it while no screen has been decoded.
    template <class Fn>
    bool read(Fn&& fn) const
    {
        std::lock_guard lock(imageLock_);
        if (!published_.pixelData)
            return false;
        fn(static_cast<const ScreenView&>(published_));
        return true;
    }

    // The pieces of publishFrame(), for a caller that holds no reader thread.
    // decodeFrame rewrites all 40960 pixel bytes from offset 118, whatever
    // bfOffBits says; buildPalette sets width 320, height 240 and blue,
    // green and red of the 16 entries, leaving each reserved byte alone.
    void decodeFrame();
    void buildPalette(std::int32_t mode);

    // The whole 41078-byte buffer, for inspection by a single-threaded caller.
    const std::uint8_t* rawBuffer() const { return imageBuffer_.get(); }

private:
    void publishFields();

    std::unique_ptr<std::uint8_t[]> imageBuffer_;
    std::array<std::uint8_t, kFrameBytes> frameBuffer_{};
    ScreenView published_{};
    mutable std::mutex imageLock_;
};

}  // namespace korvane
