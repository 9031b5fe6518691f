// Korvane - Pictorix for Windows: the ids of its resources.
// SPDX-License-Identifier: MIT
#pragma once

#define PICTORIX_ICON 1
