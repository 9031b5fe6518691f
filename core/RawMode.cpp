// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#include "RawMode.h"

namespace korvane {

void applyRawMode(termios& settings)
{
    settings.c_iflag &=
        ~tcflag_t(IGNBRK | BRKINT | INLCR | IGNCR | ICRNL | ISTRIP | IXON | IXOFF | IXANY | IMAXBEL | IUCLC | PARMRK);
    settings.c_oflag &= ~tcflag_t(OPOST);
    settings.c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~tcflag_t(CSIZE);
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
}

}  // namespace korvane
