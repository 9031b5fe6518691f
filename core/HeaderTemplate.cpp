// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#include "HeaderTemplate.h"

#include "LittleEndian.h"
#include "Palettes.h"
#include "Utf8Path.h"

#include <fstream>

namespace korvane {

bool HeaderTemplate::isUsable(const std::uint8_t* bytes, std::size_t size)
{
    if (size < kHeaderBytes)
        return false;
    return bytes[0] == 'B' && bytes[1] == 'M' && readLe32(bytes + 10) == kHeaderBytes  // bfOffBits
        && readLe32(bytes + 14) == 40                                                  // biSize
        && readLe16(bytes + 26) == 1                                                   // biPlanes
        && readLe16(bytes + 28) == 4                                                   // biBitCount
        && readLe32(bytes + 30) == 0                                                   // biCompression: BI_RGB
        // biClrUsed: the live view paints all 16 colours; a shorter table
        // would make the snapshot's readers show other colours.
        && (readLe32(bytes + 46) == 0 || readLe32(bytes + 46) == kPaletteEntries);
}

static HeaderBytes makeBuiltIn()
{
    HeaderBytes h{};
    h[0] = 'B';
    h[1] = 'M';
    writeLe32(h.data() + 2, kSnapshotBytes);  // bfSize
    writeLe32(h.data() + 10, kHeaderBytes);   // bfOffBits
    writeLe32(h.data() + 14, 40);             // biSize
    writeLe32(h.data() + 18, kScreenWidth);
    writeLe32(h.data() + 22, kScreenHeight);
    writeLe16(h.data() + 26, 1);                          // biPlanes
    writeLe16(h.data() + 28, 4);                          // biBitCount
    writeLe32(h.data() + 34, kRowBytes * kScreenHeight);  // biSizeImage
    writeLe32(h.data() + 38, 3780);                       // 96 dots per inch
    writeLe32(h.data() + 42, 3780);
    writeLe32(h.data() + 46, kPaletteEntries);  // biClrUsed
    writeLe32(h.data() + 50, kPaletteEntries);  // biClrImportant
    const auto& colours = Palettes::colour();
    for (std::size_t i = 0; i < kPaletteEntries; ++i) {
        std::uint8_t* entry = h.data() + kPaletteOffset + 4 * i;
        entry[0] = colours[i].blue;
        entry[1] = colours[i].green;
        entry[2] = colours[i].red;
    }
    return h;
}

const HeaderBytes& HeaderTemplate::builtIn()
{
    static const HeaderBytes header = makeBuiltIn();
    return header;
}

HeaderBytes HeaderTemplate::load(std::initializer_list<std::string> paths, Source* source)
{
    for (const std::string& path : paths) {
        if (path.empty())
            continue;
        std::ifstream in(pathFromUtf8(path), std::ios::binary);
        HeaderBytes bytes{};
        in.read(reinterpret_cast<char*>(bytes.data()), bytes.size());
        if (isUsable(bytes.data(), static_cast<std::size_t>(in.gcount()))) {
            if (source)
                *source = Source::File;
            return bytes;
        }
    }
    if (source)
        *source = Source::BuiltIn;
    return builtIn();
}

}  // namespace korvane
