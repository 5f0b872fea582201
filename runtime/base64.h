#pragma once
// Base64 (standard alphabet, '=' padding, no line breaks) of bytes into wide text.
#include <cstddef>

#include "platform/types.h"

namespace NUBO {

// Units written, terminator excluded; 0 and nothing written when `outCount` is below
// (length + 2) / 3 * 4 + 1. The output is always terminated.
size_t Base64Encode(const void* bytes, size_t length, WCHAR* out, size_t outCount);

} // namespace NUBO
