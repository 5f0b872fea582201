#pragma once
// The system debug output: one line of text to the program's log (standard error).
#include "platform/types.h"

void OutputDebugStringW(LPCWSTR text);
