// Korvane - end-to-end helper: the snapshot file a frame must give.
// SPDX-License-Identifier: MIT
//
// Usage: e2e-expected-snapshot FRAME HEADER colour|mono OUT
// FRAME is the 40960 bytes the simulator last sent, HEADER the header
// template korvane loaded at Connect. The frame goes through the engine's own
// decoder, palette and snapshot writer, exactly as the reader thread and
// Save/Print take it, and OUT receives the bytes that Temp.bmp must hold.
#include "HeaderTemplate.h"
#include "ScreenImage.h"
#include "SnapshotWriter.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char* argv[])
{
    if (argc != 5 || (std::string(argv[3]) != "colour" && std::string(argv[3]) != "mono")) {
        std::fprintf(stderr, "usage: e2e-expected-snapshot FRAME HEADER colour|mono OUT\n");
        return 2;
    }
    korvane::ScreenImage image;
    image.loadHeader(korvane::HeaderTemplate::load({argv[2]}));
    std::ifstream frame(argv[1], std::ios::binary);
    auto buffer = image.frameBuffer();
    if (!frame.read(reinterpret_cast<char*>(buffer.data()), std::streamsize(buffer.size()))) {
        std::fprintf(stderr, "cannot read a whole frame from %s\n", argv[1]);
        return 2;
    }
    image.publishFrame(std::string(argv[3]) == "colour" ? 1 : 0);

    std::ofstream out(argv[4], std::ios::binary | std::ios::trunc);
    image.read([&](const korvane::ScreenView& view) { korvane::SnapshotWriter::write(out, view); });
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[4]);
        return 2;
    }
    return 0;
}
