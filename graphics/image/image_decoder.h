#pragma once
// Decodes a picture held in memory into a frame list. The format is recognised from the first
// bytes, in this order: PNG, GIF, JPEG, ICO, BMP. PNG, GIF and JPEG go through libpng, giflib and
// libjpeg; icon images are read here. BMP files are recognised and give one frame without an image.
//
// Limits against hostile files: a picture (or a GIF's logical screen) of more than
// kMaxImagePixels pixels, or wider or taller than kMaxImageSide, is refused before anything is
// allocated for it, and one decode never holds more than kMaxDecodeBytes of decoded frames and
// library work memory together. A GIF is charged for every frame before any is composed: an
// animation over the limit is refused whole, never shown cut short. An icon file keeps the images
// it had before the limit (each is a whole picture of its own).
#include <cstddef>
#include <cstdint>

class oxFrameList;

constexpr int32_t kMaxImageSide = 0x8000;
constexpr int64_t kMaxImagePixels = int64_t(1) << 24;
constexpr int64_t kMaxDecodeBytes = int64_t(256) << 20;

// `data` is a block from ImageAlloc; with data and a size above 0 it is taken over and freed
// whatever the outcome (otherwise it stays the caller's). The list is cleared first. 1 when the
// list then holds at least one frame, else 0; a null list gives 0.
int DecodeImage(void* data, size_t size, oxFrameList* list);
