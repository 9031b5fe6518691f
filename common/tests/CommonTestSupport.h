// Korvane - test support.
// SPDX-License-Identifier: MIT
#pragma once

#include "Picture.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace korvane::test {

// A scratch folder, removed again at the end of the test.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // A file in it, named and given as UTF-8.
    std::string file(const std::string& name) const;
    // A folder made in it, likewise.
    std::string folder(const std::string& name) const;
    // How many files and folders it holds.
    std::size_t entries() const;

private:
    std::filesystem::path path_;
};

// A file's bytes (the path in UTF-8); empty when it cannot be read.
std::string fileContents(const std::string& path);
std::vector<std::uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// Red, green, blue of each pixel, top row first: as an image file's pixels
// are compared.
std::vector<std::uint8_t> pictureRgb(const Picture& picture);

// Waits for `condition` with a generous deadline; true once it holds.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline = std::chrono::seconds(10));

}  // namespace korvane::test
