// Korvane - Pictorix image tool for Windows.
// SPDX-License-Identifier: MIT
#include "DeviceBitmap.h"

#include "BmpWriter.h"
#include "LittleEndian.h"

#include <cstring>
#include <sstream>

namespace korvane::pictorix {

namespace {

constexpr std::size_t kFileHeaderBytes = 14;

}  // namespace

DeviceBitmap::DeviceBitmap(const Picture& picture)
    : width_(picture.width)
    , height_(picture.height)
{
    std::ostringstream file;
    if (!BmpWriter::write(file, picture))
        return;
    const std::string bytes = file.str();
    info_ = bytes.substr(kFileHeaderBytes);
    pixelsAt_ = readLe32(bytes.data() + 10) - kFileHeaderBytes;
}

bool DeviceBitmap::draw(HDC dc, int left, int top, int width, int height) const
{
    if (info_.empty())
        return false;
    // Each device pixel takes the colour of the nearest picture pixel: the
    // one-pixel traces stay sharp instead of blurring into the background.
    SetStretchBltMode(dc, COLORONCOLOR);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(info_.data());
    return StretchDIBits(dc, left, top, width, height, 0, 0, width_, height_, info_.data() + pixelsAt_, info,
                         DIB_RGB_COLORS, SRCCOPY)
        != 0;
}

bool DeviceBitmap::copyToClipboard(HWND owner) const
{
    if (info_.empty() || !OpenClipboard(owner))
        return false;
    bool copied = false;
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, info_.size())) {
        std::memcpy(GlobalLock(memory), info_.data(), info_.size());
        GlobalUnlock(memory);
        // The clipboard owns the memory once it has taken it.
        copied = EmptyClipboard() && SetClipboardData(CF_DIB, memory);
        if (!copied)
            GlobalFree(memory);
    }
    CloseClipboard();
    return copied;
}

}  // namespace korvane::pictorix
