#pragma once
// The debugger's output channel. There is no debugger to attach here, so the text goes to the
// standard error stream as UTF-8, where a developer watching the program reads it.
#include "platform/types.h"

// Null text writes nothing.
void OutputDebugStringW(const WCHAR* text);
