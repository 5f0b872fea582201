#pragma once
// UTF-8 reading shared by the code pages and the formatter's narrow conversions.
#include <cstddef>

namespace crt_internal {

// Decodes the character at p, of which at most n bytes may be read (reading stops at the first
// byte that cannot continue the sequence, so a zero-terminated text may pass a large n). Sets
// *used to the bytes consumed; an ill-formed subsequence gives U+FFFD.
char32_t DecodeUtf8(const unsigned char* p, size_t n, size_t* used);

} // namespace crt_internal
