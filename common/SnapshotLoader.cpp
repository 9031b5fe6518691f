// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#include "SnapshotLoader.h"

#include "BitmapDecoder.h"
#include "BitmapHeader.h"
#include "RuntimeError.h"
#include "Utf8Path.h"

#include <filesystem>
#include <fstream>

namespace korvane::pictorix {

Picture SnapshotLoader::decode(std::string_view file, const std::string& origin)
{
    const auto refuse = [&origin](const std::string& reason) {
        return RuntimeError(RuntimeError::kInvalidPicture, "Invalid picture: " + origin + " (" + reason + ")");
    };
    const BitmapHeader header = BitmapHeader::read(file);
    if (const std::optional<std::string> why = header.check(std::int64_t(file.size())))
        throw refuse(*why);
    Picture picture;
    if (const std::optional<std::string> why = BitmapDecoder::decode(file, header, picture))
        throw refuse(*why);
    return picture;
}

Picture SnapshotLoader::load(const std::string& path)
{
    const std::filesystem::path file = pathFromUtf8(path);
    std::error_code error;
    if (!std::filesystem::exists(file, error))
        throw RuntimeError(RuntimeError::kFileNotFound, "File not found: " + path);
    std::ifstream in;
    if (!std::filesystem::is_directory(file, error))
        in.open(file, std::ios::binary);
    if (!in.is_open())
        throw RuntimeError(RuntimeError::kFileAccess, "Path/File access error: " + path);
    // Read in pieces up to one byte past the limit: that tells a file at the
    // limit from a larger one without trusting the size the file system
    // reports (pipes report none) or setting aside the limit's memory.
    std::string bytes;
    char piece[65536];
    while (in && std::int64_t(bytes.size()) <= kMaxFileBytes) {
        in.read(piece, sizeof piece);
        bytes.append(piece, std::size_t(in.gcount()));
    }
    if (in.bad())
        throw RuntimeError(RuntimeError::kFileAccess, "Path/File access error: " + path + " (the file cannot be read)");
    if (std::int64_t(bytes.size()) > kMaxFileBytes)
        throw RuntimeError(RuntimeError::kInvalidPicture,
                           "Invalid picture: " + path + " (the file is larger than " + std::to_string(kMaxFileBytes)
                               + " bytes)");
    return decode(bytes, path);
}

}  // namespace korvane::pictorix
