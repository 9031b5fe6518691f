// Korvane - viewer window.
// SPDX-License-Identifier: MIT
#pragma once

namespace korvane {

// The viewer's menu command ids, as the menu and the accelerators send them.
enum class CommandId : int {
    About = 104,
    Exit = 105,
    Connect = 32771,
    SavePrint = 32773,
    Color = 32778,
    Pause = 32779,
};

}  // namespace korvane
