#pragma once
// What the format decoders share: the memory budget of one decode and their entry points.
#include <cstdint>

#include "graphics/image/image_decoder.h"

class oxDibBitmap;
class oxFrameList;
struct oxMemStream;

// Bytes that one decode may still take for frames and library work memory.
struct oxDecodeBudget {
    int64_t left = kMaxDecodeBytes;

    // Takes the memory of a width x height picture of `bytesPerPixel` (and its bookkeeping);
    // false, taking nothing, when the picture is too large or the budget is spent.
    bool TakeImage(int64_t width, int64_t height, int64_t bytesPerPixel);
    bool Take(int64_t bytes);
};

bool ImageSizeAllowed(int64_t width, int64_t height);
// What TakeImage charges for a width x height picture of `bytesPerPixel`, rows padded to 32 bits.
int64_t ImageBytes(int64_t width, int64_t height, int64_t bytesPerPixel);

// Each reads from the stream's position. The still-image decoders give the image or null.
oxDibBitmap* DecodePng(oxMemStream& stream, oxDecodeBudget& budget);
oxDibBitmap* DecodeJpeg(oxMemStream& stream, oxDecodeBudget& budget);
// These add their frames to the list; 1 when they added any.
int DecodeGif(oxMemStream& stream, oxFrameList* list, oxDecodeBudget& budget);
int DecodeIco(oxMemStream& stream, oxFrameList* list, oxDecodeBudget& budget);
