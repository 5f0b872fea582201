// PNG through libpng's progressive reader. Chunk checksums are made right first, so that mutations
// reach the chunks' contents instead of stopping at their CRC.
#include <zlib.h>

#include "fuzz/image_fuzz.h"

namespace {

uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void MendChecksums(uint8_t* bytes, size_t size) {
    size_t at = 8;
    while (size - at >= 12) {
        const uint32_t length = Be32(bytes + at);
        if (length > size - at - 12) break;
        const uint32_t crc = uint32_t(crc32(0, bytes + at + 4, length + 4));
        for (int i = 0; i < 4; ++i)
            bytes[at + 8 + length + i] = uint8_t(crc >> (24 - 8 * i));
        at += 12 + length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecodeImage(data, size, "\x89PNG\r\n\x1a\n", 8, MendChecksums);
}
