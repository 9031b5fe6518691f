// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace korvane {

enum class ImageFormat { Bmp, Png };

// korvane-grab's command line.
struct GrabCommandLine {
    // Empty: search COM9 down to COM2. Otherwise COMn or a device path.
    std::string port;
    // The image file; "-" is standard output.
    std::string output;
    // From --format, else from the output's extension (.png, .bmp; none: bmp).
    ImageFormat format = ImageFormat::Bmp;
    bool monochrome = false;
    // Bits per second set on the port; 0 keeps the port's own rate.
    int baudRate = 0;
    // --count given: `count` screens under time-stamped names.
    bool series = false;
    int count = 1;
    // Seconds from the start of one capture to the start of the next.
    double intervalSeconds = 1;
    // Longest wait for each screen, in seconds.
    double timeoutSeconds = 10;
    bool help = false;
    bool version = false;

    // Parses the arguments after the program name; options take their value
    // as the next argument or after '='. Returns false with a one-line reason
    // in `error`.
    static bool parse(const std::vector<std::string>& arguments, GrabCommandLine& result, std::string* error);
    static std::string usage();
};

}  // namespace korvane
