#pragma once
// The debugger's output channel. There is no debugger to attach here, so each text goes to the
// standard error stream as one UTF-8 line, where a developer watching the program reads it.
#include "platform/types.h"

// Null or empty text writes nothing; a line break is added where the text lacks one.
void OutputDebugStringW(LPCWSTR text);
