// Korvane - shared by the programs: text output on Windows.
// SPDX-License-Identifier: MIT
#include "ConsoleText.h"

#include <windows.h>

#include <iostream>
#include <streambuf>
#include <string>

namespace korvane {

namespace {

// How many of `size` UTF-8 bytes form whole characters: a character cut at
// the end of the buffer waits for its other bytes.
std::size_t wholeCharacters(const char* text, std::size_t size)
{
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(text[size - back]);
        if ((byte & 0xC0) == 0x80)
            continue;  // a continuation byte: its lead is further back
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? size - back : size;
    }
    return size;
}

// Gathers text and writes it at each flush: to a console as wide
// characters, to anything else through the C library's stream (`bytes`),
// which writes Windows' line ends. Whether the handle is a console is
// asked at each flush, since the program may be given another one.
class ConsoleBuffer : public std::streambuf {
public:
    ConsoleBuffer(DWORD stream, std::streambuf* bytes)
        : stream_(stream)
        , bytes_(bytes)
    {
        setp(buffer_, buffer_ + sizeof buffer_);
    }
    ~ConsoleBuffer() override { sync(); }

protected:
    int_type overflow(int_type c) override
    {
        if (sync() != 0 || pptr() == epptr())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override
    {
        const std::size_t held = std::size_t(pptr() - pbase());
        const HANDLE handle = ::GetStdHandle(stream_);
        DWORD mode = 0;
        std::size_t written = held;
        bool ok = true;
        if (handle && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode)) {
            written = wholeCharacters(pbase(), held);
            ok = writeConsole(handle, pbase(), written);
        } else {
            ok = bytes_->sputn(pbase(), std::streamsize(held)) == std::streamsize(held) && bytes_->pubsync() == 0;
        }
        // What is left (a character's first bytes) moves to the front.
        const std::size_t left = held - written;
        std::char_traits<char>::move(buffer_, pbase() + written, left);
        setp(buffer_, buffer_ + sizeof buffer_);
        pbump(int(left));
        return ok ? 0 : -1;
    }

private:
    static bool writeConsole(HANDLE console, const char* text, std::size_t size)
    {
        if (size == 0)
            return true;
        std::wstring wide(size, L'\0');
        wide.resize(std::size_t(::MultiByteToWideChar(CP_UTF8, 0, text, int(size), wide.data(), int(size))));
        for (std::size_t done = 0; done < wide.size();) {
            DWORD moved = 0;
            if (!::WriteConsoleW(console, wide.data() + done, DWORD(wide.size() - done), &moved, nullptr) || moved == 0)
                return false;
            done += moved;
        }
        return true;
    }

    DWORD stream_;
    std::streambuf* bytes_;
    char buffer_[1024];
};

}  // namespace

std::ostream& ConsoleText::out()
{
    static ConsoleBuffer buffer(STD_OUTPUT_HANDLE, std::cout.rdbuf());
    static std::ostream stream(&buffer);
    return stream;
}

std::ostream& ConsoleText::err()
{
    static ConsoleBuffer buffer(STD_ERROR_HANDLE, std::cerr.rdbuf());
    static std::ostream stream(&buffer);
    return stream;
}

}  // namespace korvane
