// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#include "PortableTestSupport.h"

#include "Utf8Path.h"

namespace korvane::test {

EngineConfig testConfig(const std::filesystem::path& workDir, const std::string& programDir)
{
    EngineConfig config;
    config.workDir = utf8FromPath(workDir);
    config.programDir = programDir;
    config.probe.listenMs = 100;
    config.probe.firstByteMs = 300;
    config.probe.totalMs = 1500;
    return config;
}

bool isPalette(const std::uint8_t* entries, const Palette& palette)
{
    for (std::size_t i = 0; i < kPaletteEntries; ++i) {
        const std::uint8_t* e = entries + 4 * i;
        if (e[0] != palette[i].blue || e[1] != palette[i].green || e[2] != palette[i].red)
            return false;
    }
    return true;
}

}  // namespace korvane::test
