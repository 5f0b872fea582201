#pragma once
// One picture decode per input for the image decoders' fuzz targets: the input is put behind the
// format's signature when it lacks it, decoded as the bitmap loader decodes, and every frame is
// read through so that the sanitizers see each pixel the decoder claims to have written.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "graphics/image/frame_list.h"
#include "graphics/image/image_decoder.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/pixels/image_memory.h"

// `fixup` may mend the bytes before the decode (checksums the fuzzer could not keep right).
inline int FuzzDecodeImage(const uint8_t* data, size_t size, const char* magic, size_t magicSize,
                           void (*fixup)(uint8_t* bytes, size_t size) = nullptr) {
    if (size > 65536) return 0;
    const bool prefix = size < magicSize || std::memcmp(data, magic, magicSize) != 0;
    const size_t total = size + (prefix ? magicSize : 0);
    if (total == 0) return 0;
    auto* block = static_cast<uint8_t*>(ImageAlloc(total, 0));
    if (!block) return 0;
    if (prefix) std::memcpy(block, magic, magicSize);
    if (size) std::memcpy(block + (prefix ? magicSize : 0), data, size);

    if (fixup) fixup(block, total);

    oxFrameList list;
    const int result = DecodeImage(block, total, &list);
    if (result != (list.GetFrameCount() > 0 ? 1 : 0)) abort();
    uint32_t sum = 0;
    for (size_t i = 0; i < list.GetFrameCount(); ++i) {
        const oxDibBitmap* image = list.GetFrame(int32_t(i));
        if (!image) continue;
        if (int64_t(image->width) * image->height > kMaxImagePixels) abort();
        for (int32_t y = 0; y < image->height; ++y) {
            const uint8_t* row = image->pixels.GetRow8(y);
            for (int32_t x = 0; x < image->pixels.usedBytes; ++x)
                sum += row[x];
        }
    }
    list.Advance();
    (void)list.GetFrameDelay(-1);
    return int(sum & 0);
}
