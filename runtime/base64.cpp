#include "runtime/base64.h"

#include <cstdint>

namespace NUBO {

namespace {
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}

size_t Base64Encode(const void* bytes, size_t length, WCHAR* out, size_t outCount) {
    if (!out || (!bytes && length)) return 0;
    if (length > (SIZE_MAX - 1) / 4 * 3 - 2) return 0;
    size_t need = (length + 2) / 3 * 4;
    if (outCount < need + 1) return 0;
    const auto* p = static_cast<const uint8_t*>(bytes);
    WCHAR* w = out;
    size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        uint32_t v = uint32_t(p[i]) << 16 | uint32_t(p[i + 1]) << 8 | p[i + 2];
        w[0] = WCHAR(kAlphabet[v >> 18]);
        w[1] = WCHAR(kAlphabet[(v >> 12) & 63]);
        w[2] = WCHAR(kAlphabet[(v >> 6) & 63]);
        w[3] = WCHAR(kAlphabet[v & 63]);
        w += 4;
    }
    if (size_t rest = length - i) {
        uint32_t v = uint32_t(p[i]) << 16 | (rest == 2 ? uint32_t(p[i + 1]) << 8 : 0);
        w[0] = WCHAR(kAlphabet[v >> 18]);
        w[1] = WCHAR(kAlphabet[(v >> 12) & 63]);
        w[2] = rest == 2 ? WCHAR(kAlphabet[(v >> 6) & 63]) : u'=';
        w[3] = u'=';
        w += 4;
    }
    *w = 0;
    return need;
}

} // namespace NUBO
