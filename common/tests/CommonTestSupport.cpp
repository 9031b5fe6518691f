// Korvane - test support.
// SPDX-License-Identifier: MIT
#include "CommonTestSupport.h"

#include "Utf8Path.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <thread>

namespace korvane::test {

ScratchDir::ScratchDir()
{
    std::random_device random;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path();
    for (int tries = 0; tries < 100; ++tries) {
        const auto candidate = temporary / ("korvane-test-" + std::to_string(random()));
        // Made here and nowhere else: an existing folder is never taken over.
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("no scratch folder could be made");
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::file(const std::string& name) const
{
    return utf8FromPath(path_ / pathFromUtf8(name));
}

std::string ScratchDir::folder(const std::string& name) const
{
    std::filesystem::create_directory(path_ / pathFromUtf8(name));
    return file(name);
}

std::size_t ScratchDir::entries() const
{
    return std::size_t(
        std::distance(std::filesystem::directory_iterator(path_), std::filesystem::directory_iterator()));
}

std::string fileContents(const std::string& path)
{
    std::ifstream in(pathFromUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::uint8_t> readFile(const std::string& path)
{
    const std::string bytes = fileContents(path);
    return {bytes.begin(), bytes.end()};
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(pathFromUtf8(path), std::ios::binary) << bytes;
}

std::vector<std::uint8_t> pictureRgb(const Picture& picture)
{
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t colour = picture.colourAt(x, y);
            rgb.insert(rgb.end(), {Picture::red(colour), Picture::green(colour), Picture::blue(colour)});
        }
    return rgb;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

}  // namespace korvane::test
