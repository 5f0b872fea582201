#pragma once
// Key names as markup and scripts write them ("SOFTKEY1", "ROCKER", "ENTER", "F5", "Q") and the
// virtual-key codes key events carry.
#include <cstdint>

#include "platform/types.h"

// The code of the first table row whose name equals `name` without regard to case; 0 when none.
uint16_t VirtualKeyFromName(const WCHAR* name);
