// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#include "EngineFixture.h"

#include <random>

using namespace korvane;
using namespace korvane::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

class Stress : public EngineFixture {};

}  // namespace

// Screens stream as fast as the link goes while the window thread hammers
// pause, colour and export: every snapshot must be one whole screen with one
// whole palette. Two uniform frames alternate, so a torn snapshot shows as a
// mix of their bytes.
TEST_F(Stress, EverySnapshotIsOneCompleteScreen)
{
    instrument(5, {.replayFile = replayFile({uniformFrame(0x11), uniformFrame(0x22)})});
    connect();
    ASSERT_TRUE(waitFor([&] { return screenDecoded(); }));

    std::mt19937 random(5);
    int exports = 0;
    for (int i = 0; i < 300; ++i) {
        switch (random() % 3) {
        case 0: engine.setPaused(engine.isPaused() == 1 ? 0 : 1); break;
        case 1: engine.setColorMode(engine.isColorMode() == 1 ? 0 : 1); break;
        default: break;
        }
        if (engine.exportSnapshot() == ExportResult::NoScreen)
            continue;
        ++exports;
        const Bytes file = readFile(dir.file("Temp.bmp"));
        ASSERT_EQ(file.size(), 38518u);
        const std::uint8_t first = file[118];
        ASSERT_TRUE(first == 0x11 || first == 0x22);
        ASSERT_EQ(std::count(file.begin() + 118, file.end(), first), 38400) << "torn snapshot at export " << i;
        ASSERT_TRUE(isPalette(file.data() + 54, Palettes::colour())
                    || isPalette(file.data() + 54, Palettes::monochrome()))
            << "mixed palette at export " << i;
    }
    EXPECT_GT(exports, 250);
    engine.setPaused(0);
    EXPECT_GT(screenNumber(), 10u);
}
