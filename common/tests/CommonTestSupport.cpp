// Korvane - test support.
// SPDX-License-Identifier: MIT
#include "CommonTestSupport.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <stdlib.h>
#include <thread>

namespace korvane::test {

ScratchDir::ScratchDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "korvane-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string fileContents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::uint8_t> readFile(const std::string& path)
{
    const std::string bytes = fileContents(path);
    return {bytes.begin(), bytes.end()};
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
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
