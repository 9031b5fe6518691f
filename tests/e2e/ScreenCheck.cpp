// Korvane - end-to-end check of a picture against the frame the instrument sent.
// SPDX-License-Identifier: MIT
//
// Usage: e2e-screen-check PICTURE FRAME TOP|auto [mono]
// PICTURE: a screenshot of the viewer window (or the snapshot file); FRAME:
// the 40960 bytes the simulator last sent; TOP: the rows above the live view,
// or auto: the first number of rows above it that makes the check pass.
// Every pixel of the live view must have the colour of the screen pixel it
// scales to; a stretched view may take a neighbour's (the scaler's rounding),
// a view of the screen's own size may not. Exit code 0 when so, 1 when not,
// 2 on bad input.
#include "Palettes.h"
#include "Zls740Simulator.h"

#include <QImage>

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace {

// The pixels of the live view (below row `top` of `shot`) that do not have
// the colour of the screen pixel they scale to; the first few on stderr when
// `tell`. A stretched view may take a neighbour's colour (the scaler's
// rounding), a view of the screen's own size may not.
long wrongPixels(const QImage& shot, int top, const zls740sim::Frame& frame, const korvane::Palette& palette, bool tell)
{
    auto colourAt = [&](int x, int y) {
        const korvane::Rgb& rgb = palette[zls740sim::screenPixel(frame, x, y)];
        return qRgb(rgb.red, rgb.green, rgb.blue);
    };
    const int w = shot.width();
    const int h = shot.height() - top;
    const int reach = w == 320 && h == 240 ? 0 : 1;
    long wrong = 0;
    for (int y = 0; y < h; ++y) {
        const int cy = (2 * y + 1) * 240 / (2 * h);
        for (int x = 0; x < w; ++x) {
            const int cx = (2 * x + 1) * 320 / (2 * w);
            const QRgb got = shot.pixel(x, y + top) | 0xFF000000u;
            bool near = false;
            for (int dy = -reach; dy <= reach && !near; ++dy) {
                for (int dx = -reach; dx <= reach && !near; ++dx)
                    near = got == colourAt(std::clamp(cx + dx, 0, 319), std::clamp(cy + dy, 0, 239));
            }
            if (!near && wrong++ < 5 && tell)
                std::fprintf(stderr, "pixel (%d, %d) is %06x; the screen near (%d, %d) is %06x\n", x, y,
                             got & 0xFFFFFFu, cx, cy, colourAt(cx, cy) & 0xFFFFFFu);
        }
    }
    return wrong;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: e2e-screen-check PICTURE FRAME TOP|auto [mono]\n");
        return 2;
    }
    const QImage shot(QString::fromLocal8Bit(argv[1]));
    const bool findTop = std::string(argv[3]) == "auto";
    int top = findTop ? 0 : std::atoi(argv[3]);
    if (shot.isNull() || shot.height() <= top) {
        std::fprintf(stderr, "no live view below row %d in %s\n", top, argv[1]);
        return 2;
    }
    zls740sim::Frame frame{};
    std::ifstream in(argv[2], std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(frame.data()), std::streamsize(frame.size()))) {
        std::fprintf(stderr, "cannot read a whole frame from %s\n", argv[2]);
        return 2;
    }
    const bool mono = argc > 4 && std::string(argv[4]) == "mono";
    const korvane::Palette& palette = mono ? korvane::Palettes::monochrome() : korvane::Palettes::colour();
    // A menu bar is far less than a third of the window's height.
    if (findTop) {
        while (top < shot.height() / 3 && wrongPixels(shot, top, frame, palette, false) != 0)
            ++top;
    }
    const long wrong = wrongPixels(shot, top, frame, palette, true);
    const int w = shot.width();
    const int h = shot.height() - top;
    std::printf("%dx%d live view below row %d: %ld of %ld pixels differ\n", w, h, top, wrong, long(w) * h);
    return wrong == 0 ? 0 : 1;
}
