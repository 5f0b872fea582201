#pragma once
// Window messages registered by name: one id per name (names compare without case), from 0xC000
// upwards, for the life of the process.
#include "platform/types.h"

// 0 for a null or empty name, or when the range is used up.
UINT RegisterWindowMessageW(LPCWSTR name);
