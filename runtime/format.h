#pragma once
// The printf-style formatter of the runtime's strings: a length estimate made from the format and
// its arguments, and the formatting core over the platform's _vsnwprintf.
#include <cstdarg>

#include "platform/types.h"

namespace NUBO {

// Units the formatted text may take, judged from the conversions and the text arguments. Never
// below what the conversions it knows produce; the arguments are read from a copy of the list.
int EstimateFormatLength(const WCHAR* format, va_list args);

// Formats into out (count units, terminator included), with every "ll" integer conversion written
// as "I64". Text cut at count - 1 units is terminated there; returns the units written.
int FormatWide(WCHAR* out, int count, const WCHAR* format, va_list args);

// The "ll" to "I64" rewrite of FormatWide: writes the rewritten format into out, which must hold
// RewrittenFormatSize(format) units, and returns its length.
int RewrittenFormatSize(const WCHAR* format);
int RewriteInt64Format(const WCHAR* format, WCHAR* out);

} // namespace NUBO
