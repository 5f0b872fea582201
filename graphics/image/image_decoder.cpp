#include "graphics/image/image_decoder.h"

#include <cstring>

#include <png.h>

#include "graphics/image/frame_list.h"
#include "graphics/image/image_decoder_internal.h"
#include "graphics/image/mem_stream.h"

namespace {

// Per-frame bookkeeping (entry, bitmap object, header) charged with the pixels, so that a file of
// many tiny frames is held to the budget as well.
constexpr int64_t kFrameOverhead = 256;

bool StartsWith(const oxMemStream& s, const char* magic, size_t n) {
    const uint8_t* p = s.PointerAt(n);
    return p && std::memcmp(p, magic, n) == 0;
}

uint16_t Word(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

} // namespace

bool ImageSizeAllowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

bool oxDecodeBudget::Take(int64_t bytes) {
    if (bytes < 0 || bytes > left) return false;
    left -= bytes;
    return true;
}

int64_t ImageBytes(int64_t width, int64_t height, int64_t bytesPerPixel) {
    const int64_t stride = (width * bytesPerPixel * 8 + 31) / 32 * 4;
    return stride * height + kFrameOverhead;
}

bool oxDecodeBudget::TakeImage(int64_t width, int64_t height, int64_t bytesPerPixel) {
    return ImageSizeAllowed(width, height) && Take(ImageBytes(width, height, bytesPerPixel));
}

int DecodeImage(void* data, size_t size, oxFrameList* list) {
    if (!list) return 0;
    list->Clear();
    if (!data || size == 0) return 0;

    oxMemStream stream;
    stream.Open(data, size, 0);
    oxDecodeBudget budget;
    const uint8_t* head = stream.PointerAt(0);
    if (stream.GetSize() >= 8 && png_sig_cmp(head, 0, 8) == 0) {
        if (oxDibBitmap* image = DecodePng(stream, budget)) list->AddFrame(image, -1, 32);
    } else if (StartsWith(stream, "GIF", 3)) {
        DecodeGif(stream, list, budget);
    } else if (StartsWith(stream, "\xFF\xD8", 2)) {
        if (oxDibBitmap* image = DecodeJpeg(stream, budget)) list->AddFrame(image, -1, 32);
    } else if (stream.GetSize() > 3 && Word(head) == 0 && Word(head + 2) == 1 && stream.GetSize() >= 6 &&
               Word(head + 4) != 0) {
        DecodeIco(stream, list, budget);
        list->SelectLargest();
    } else if (stream.GetSize() >= 3 && StartsWith(stream, "BM", 2)) {
        // No bitmap decoder: the file is known, its picture is not drawn.
        list->AddFrame(nullptr, -1, 32);
    }
    return list->GetFrameCount() > 0 ? 1 : 0;
}
