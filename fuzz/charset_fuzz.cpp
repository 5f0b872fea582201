// Feeds arbitrary bytes through every charset decoder, the system code page and the encoders,
// with destinations of every size up to the input's, checking that nothing is written past them.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/crt/wide.h"
#include "runtime/charset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    auto* bytes = reinterpret_cast<const char*>(data);
    int n = int(size);
    const WCHAR* charsets[] = {u"utf-8", u"us-ascii", u"x-system"};
    for (const WCHAR* charset : charsets) {
        for (int room : {0, 1, n / 2, n}) {
            std::vector<WCHAR> units(size_t(room) + 1);
            int got = NUBO::DecodeCharset(charset, bytes, n, units.data(), room);
            if (got < 0) abort();
            int made = got < room ? got : room;
            std::vector<char> back(size_t(made) * 3 + 1);
            int bytesOut = NUBO::EncodeCharset(charset, units.data(), made, back.data(), int(back.size()));
            if (bytesOut < 0) abort();
        }
    }
    int needed = MultiByteToWideChar(CP_UTF8, 0, bytes, n, nullptr, 0);
    std::vector<WCHAR> units(size_t(needed) + 1);
    if (MultiByteToWideChar(CP_UTF8, 0, bytes, n, units.data(), needed) != needed) abort();
    NUBO::TWideConvBuffer buffer;
    buffer.Decode(bytes, n, nullptr);
    return 0;
}
