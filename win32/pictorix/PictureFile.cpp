// Korvane - Pictorix image tool for Windows.
// SPDX-License-Identifier: MIT
#include "PictureFile.h"

#include "AtomicFile.h"
#include "BmpWriter.h"
#include "FormatCode.h"
#include "PcxWriter.h"
#include "RuntimeError.h"
#include "Utf8Path.h"
#include "WicEncoder.h"

#include <filesystem>
#include <optional>
#include <sstream>

namespace korvane::pictorix {

namespace {

bool writable(std::int16_t code)
{
    return code == FormatCode::kBmp || code == FormatCode::kPcx || code == FormatCode::kTif || code == FormatCode::kPng
        || code == FormatCode::kJpg;
}

template <typename Writer>
std::optional<std::string> written(const Picture& picture, std::string& error)
{
    std::ostringstream out;
    if (!Writer::write(out, picture)) {
        error = "the picture does not fit the format";
        return std::nullopt;
    }
    return out.str();
}

}  // namespace

std::string PictureFile::encode(const Picture& picture, std::int16_t formatCode)
{
    FormatCode::require(formatCode, writable(formatCode));
    std::string error;
    std::optional<std::string> bytes;
    switch (formatCode) {
    case FormatCode::kBmp: bytes = written<BmpWriter>(picture, error); break;
    case FormatCode::kPcx: bytes = written<PcxWriter>(picture, error); break;
    case FormatCode::kTif: bytes = WicEncoder::encode(picture, WicEncoder::Format::Tiff, error); break;
    case FormatCode::kPng: bytes = WicEncoder::encode(picture, WicEncoder::Format::Png, error); break;
    default: bytes = WicEncoder::encode(picture, WicEncoder::Format::Jpeg, error); break;
    }
    if (!bytes)
        throw RuntimeError(RuntimeError::kEncodingFailed,
                           "Cannot save the picture as " + FormatCode::name(formatCode) + ": " + error);
    return *bytes;
}

void PictureFile::save(const Picture& picture, const std::string& path, std::int16_t formatCode)
{
    if (picture.empty())
        throw RuntimeError(RuntimeError::kNoPicture, "There is no picture to save");
    // A format without an encoder is refused before anything on disk is touched.
    const std::string bytes = encode(picture, formatCode);
    std::error_code error;
    const std::filesystem::path target = std::filesystem::absolute(pathFromUtf8(path), error);
    if (path.empty() || error || !std::filesystem::is_directory(target.parent_path(), error))
        throw RuntimeError(RuntimeError::kPathNotFound, "Path not found: " + path);
    std::string why;
    if (!replaceFile(path, bytes.data(), bytes.size(), &why))
        throw RuntimeError(RuntimeError::kFileAccess, "Path/File access error: " + why);
}

}  // namespace korvane::pictorix
