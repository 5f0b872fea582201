// Encodes arbitrary bytes into buffers of every interesting size, checking that nothing is written
// past them, that a short buffer is refused untouched, and that the text decodes back to the input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/base64.h"

namespace {

int Digit(WCHAR c) {
    if (c >= u'A' && c <= u'Z') return c - u'A';
    if (c >= u'a' && c <= u'z') return c - u'a' + 26;
    if (c >= u'0' && c <= u'9') return c - u'0' + 52;
    if (c == u'+') return 62;
    if (c == u'/') return 63;
    return -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    size_t need = (size + 2) / 3 * 4 + 1;
    for (size_t room : {size_t(0), need - 1, need, need + 3}) {
        std::vector<WCHAR> out(room + 1, u'#');
        size_t n = NUBO::Base64Encode(data, size, out.data(), room);
        if (out[room] != u'#') abort(); // written past the buffer
        if (room < need) {
            if (n != 0 || (room > 0 && out[0] != u'#')) abort();
            continue;
        }
        if (n != need - 1 || out[n] != 0 || n % 4 != 0) abort();
        std::vector<uint8_t> back;
        for (size_t i = 0; i < n; i += 4) {
            uint32_t v = 0;
            int pad = 0;
            for (size_t j = 0; j < 4; ++j) {
                int d = Digit(out[i + j]);
                if (d < 0) {
                    if (out[i + j] != u'=' || i + 4 != n) abort();
                    ++pad;
                    d = 0;
                }
                v = v << 6 | uint32_t(d);
            }
            back.push_back(uint8_t(v >> 16));
            if (pad < 2) back.push_back(uint8_t(v >> 8));
            if (pad < 1) back.push_back(uint8_t(v));
        }
        if (back.size() != size || (size && std::memcmp(back.data(), data, size) != 0)) abort();
    }
    return 0;
}
