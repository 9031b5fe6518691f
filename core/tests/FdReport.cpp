// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
//
// A stand-in image tool: writes the numbers of the descriptors it was
// started with, one a line, to fds.txt in its current folder.
#include <dirent.h>
#include <fstream>
#include <set>
#include <string>

int main()
{
    std::set<int> open;
    DIR* listing = ::opendir("/proc/self/fd");
    if (!listing)
        return 1;
    const int own = ::dirfd(listing);
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && std::stoi(name) != own)
            open.insert(std::stoi(name));
    }
    ::closedir(listing);
    std::ofstream out("fds.txt.part");
    for (int fd : open)
        out << fd << "\n";
    out.close();
    return std::rename("fds.txt.part", "fds.txt") == 0 ? 0 : 1;
}
