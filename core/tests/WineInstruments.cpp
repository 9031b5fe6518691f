// Korvane - screen acquisition engine tests on Windows.
// SPDX-License-Identifier: MIT
#include "WineInstruments.h"

#include "CommonTestSupport.h"
#include "Utf8Path.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

namespace korvane::test {

bool underWine()
{
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::string awaitToolReport(const std::string& folder)
{
    const std::string report = folder + "\\started.txt";
    waitFor([&] { return !fileContents(report).empty(); }, std::chrono::seconds(30));
    return fileContents(report);
}

bool endTool(const std::string& folder)
{
    const std::string done = folder + "\\done.txt";
    // Named done.txt only once closed: a tool that saw the file while it was
    // still open here could not remove it, and would end leaving it.
    std::ofstream(pathFromUtf8(done + ".part")) << "done\n";
    std::filesystem::rename(pathFromUtf8(done + ".part"), pathFromUtf8(done));
    return waitFor([&] { return !std::filesystem::exists(pathFromUtf8(done)); }, std::chrono::seconds(60));
}

WineInstrument::WineInstrument(int com, std::string folder)
    : com_(com)
    , folder_(std::move(folder))
{
}

std::string WineInstrument::port() const
{
    return "\\\\.\\COM" + std::to_string(com_);
}

std::uint64_t WineInstrument::reported(const std::string& what) const
{
    const std::vector<std::uint8_t> bytes = readFile(folder_ + "\\report");
    std::istringstream report(std::string(bytes.begin(), bytes.end()));
    std::string key;
    std::uint64_t value = 0;
    while (report >> key >> value) {
        if (key == what)
            return value;
        report.ignore(1 << 20, '\n');
    }
    return 0;
}

std::uint64_t WineInstrument::requestCount() const
{
    return reported("requests");
}

std::uint64_t WineInstrument::framesSent() const
{
    return reported("frames");
}

bool WineInstrument::waitForRequests(std::uint64_t count) const
{
    return waitFor([&] { return requestCount() >= count; });
}

bool WineInstrument::waitForFrames(std::uint64_t count) const
{
    return waitFor([&] { return framesSent() >= count; });
}

std::vector<std::uint8_t> WineInstrument::lastFrame() const
{
    return readFile(folder_ + "\\last-frame");
}

WineInstruments::~WineInstruments()
{
    for (int com : std::vector<int>(running_)) {
        try {
            stop(com);
        } catch (const std::exception&) {
        }
    }
}

std::string WineInstruments::ask(const std::string& request)
{
    const char* served = std::getenv("KORVANE_INSTRUMENTS");
    if (!served || std::string(served) != "1")
        throw std::runtime_error("no instruments here: run the program under tests/wine/instruments.py");
    std::cout << "@instruments " << request << std::endl;
    std::string answer;
    std::getline(std::cin, answer);
    if (!answer.empty() && answer.back() == '\r')
        answer.pop_back();
    if (answer.rfind("ok", 0) != 0)
        throw std::runtime_error(request + ": " + answer);
    return answer.size() > 3 ? answer.substr(3) : std::string();
}

WineInstrument WineInstruments::start(int com, const std::string& options)
{
    const std::string folder = ask("start " + std::to_string(com) + " " + options);
    running_.push_back(com);
    return WineInstrument(com, folder);
}

void WineInstruments::end(const char* how, int com)
{
    running_.erase(std::remove(running_.begin(), running_.end(), com), running_.end());
    ask(std::string(how) + " " + std::to_string(com));
}

void WineInstruments::stop(int com)
{
    end("stop", com);
}

void WineInstruments::vanish(int com)
{
    end("vanish", com);
}

}  // namespace korvane::test
