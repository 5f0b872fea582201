#pragma once
// Small number-text conversions of the attribute parsers.
#include <cstddef>
#include <cstdint>

#include "platform/types.h"

// With `skip` set, the first unit that is not a space or tab; with it clear, the first space, tab or
// the terminator. Null for null text.
const WCHAR* SkipBlanks(const WCHAR* text, bool skip);

// Reads a decimal integer after leading spaces and tabs; one '+' or '-' counts only before the first
// digit. Reading stops at any other unit or after `maxLength` units (0: 65536). `out` is 0 when no
// digit was read. Returns where reading stopped.
const WCHAR* ParseDecimalInt(const WCHAR* text, int32_t* out, size_t maxLength);

// Writes `value` in `radix` (2-36; digits then lower-case letters), '-' first for a negative value,
// always terminated; a buffer too small keeps the leading units. Only the terminator when `size` < 2.
void IntToText(int32_t value, WCHAR* buffer, size_t size, int radix);
