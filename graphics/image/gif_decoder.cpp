#include "graphics/image/gif_decoder.h"

#include <cstring>
#include <new>

#include "graphics/image/frame_list.h"
#include "graphics/image/image_decoder_internal.h"
#include "graphics/image/mem_stream.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/raster/blitter.h"

namespace {

constexpr int32_t kMinDelay = 80; // milliseconds; shorter delays would spin the animation
constexpr int64_t kRasterOverhead = 128;

int ReadFromStream(GifFileType* gif, GifByteType* buffer, int n) {
    auto* stream = static_cast<oxMemStream*>(gif->UserData);
    return n > 0 ? int(stream->Read(buffer, size_t(n))) : 0;
}

uint32_t Word(const uint8_t* p) {
    return uint32_t(p[0] | p[1] << 8);
}

// Skips data sub-blocks from `at`; false when the data ends first.
bool SkipSubBlocks(const uint8_t* p, size_t n, size_t& at) {
    while (at < n) {
        const size_t len = p[at++];
        if (len == 0) return true;
        if (len > n - at) return false;
        at += len;
    }
    return false;
}

// DGifSlurp holds the rasters of all images at once and trusts their sizes. Walking the block
// structure first charges them to the budget, with the full-screen frame each image becomes and
// the saved background of disposal 2, so that an image too large is refused before the library
// allocates for it and an animation too large before any frame is composed. A file that does not
// reach its trailer is refused here, as the library would.
bool WalkBlocks(const uint8_t* p, size_t n, oxDecodeBudget& budget) {
    if (n < 13 || !ImageSizeAllowed(Word(p + 6), Word(p + 8))) return false;
    const int64_t frame = ImageBytes(Word(p + 6), Word(p + 8), 4);
    bool savesBackground = false;
    size_t at = 13;
    if (p[10] & 0x80) at += size_t(3) << ((p[10] & 7) + 1);
    while (at < n) {
        const uint8_t kind = p[at++];
        if (kind == 0x3B) return !savesBackground || budget.Take(frame);
        if (kind == 0x21) {
            if (at >= n) return false;
            const uint8_t label = p[at++];
            if (label == 0xF9 && at + 1 < n && p[at] >= 1 && ((p[at + 1] >> 2) & 7) == 2) savesBackground = true;
            if (!SkipSubBlocks(p, n, at)) return false;
        } else if (kind == 0x2C) {
            if (n - at < 9) return false;
            const uint32_t w = Word(p + at + 4), h = Word(p + at + 6);
            const uint8_t packed = p[at + 8];
            at += 9;
            if (!ImageSizeAllowed(w, h) || !budget.Take(int64_t(w) * h + kRasterOverhead) || !budget.Take(frame))
                return false;
            if (packed & 0x80) at += size_t(3) << ((packed & 7) + 1);
            if (at >= n) return false;
            ++at; // the LZW code size
            if (!SkipSubBlocks(p, n, at)) return false;
        } else {
            return false;
        }
    }
    return false;
}

} // namespace

oxGifComposer::~oxGifComposer() {
    delete savedBackground_;
}

void oxGifComposer::ReadLoopCount(const SavedImage& image) {
    for (int b = 0; b < image.ExtensionBlockCount; ++b) {
        const ExtensionBlock& e = image.ExtensionBlocks[b];
        if (e.Function != APPLICATION_EXT_FUNC_CODE || e.ByteCount != 11 ||
            (std::memcmp(e.Bytes, "NETSCAPE2.0", 11) != 0 && std::memcmp(e.Bytes, "ANIMEXTS2.0", 11) != 0))
            continue;
        // giflib keeps the data sub-blocks as the continuation blocks that follow.
        for (int s = b + 1; s < image.ExtensionBlockCount; ++s) {
            const ExtensionBlock& sub = image.ExtensionBlocks[s];
            if (sub.Function != CONTINUE_EXT_FUNC_CODE) break;
            if (sub.ByteCount >= 3 && (sub.Bytes[0] & 7) == 1) {
                const int32_t count = sub.Bytes[1] | sub.Bytes[2] << 8;
                loopCount = count == 0 ? -1 : count;
            }
        }
    }
}

int oxGifComposer::ComposeAll(const GifFileType* gif) {
    width_ = gif->SWidth;
    height_ = gif->SHeight;
    background_ = gif->SBackGroundColor;
    if (gif->ImageCount > 0) ReadLoopCount(gif->SavedImages[0]);
    int disposal = -1;
    for (int i = 0; i < gif->ImageCount; ++i) {
        int next = 0;
        if (!Compose(gif, i, disposal, &next)) {
            // The frames composed so far are dropped, not kept: they would play as the whole animation.
            list_->Clear();
            return 0;
        }
        disposal = next;
    }
    return list_->GetFrameCount() > 0 ? 1 : 0;
}

int oxGifComposer::Compose(const GifFileType* gif, int i, int previous, int* disposalOut) {
    const SavedImage& image = gif->SavedImages[i];
    const GifImageDesc& desc = image.ImageDesc;
    auto* canvas = new (std::nothrow) oxDibBitmap(width_, height_, 32, false, false);
    if (!canvas || !canvas->valid) {
        delete canvas;
        return 0;
    }
    canvas->premultiplied = 1;

    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    const int colors = map ? map->ColorCount : 0;
    if (background_ >= colors) background_ = 0;

    int disposal = 0, transparent = -1;
    int32_t delay = 0;
    for (int b = 0; b < image.ExtensionBlockCount; ++b) {
        const ExtensionBlock& e = image.ExtensionBlocks[b];
        if (e.Function != GRAPHICS_EXT_FUNC_CODE || e.ByteCount < 4) continue;
        disposal = (e.Bytes[0] >> 2) & 7;
        delay = 10 * int32_t(Word(e.Bytes + 1));
        if (delay < kMinDelay) delay = kMinDelay;
        transparent = (e.Bytes[0] & 1) && e.Bytes[3] < colors ? e.Bytes[3] : -1;
    }

    const oxDibBitmap* from = nullptr;
    if ((previous == 0 || previous == 1) && i > 0)
        from = list_->GetFrame(int32_t(list_->GetFrameCount()) - 1);
    else if (previous == 2)
        from = savedBackground_;
    else if (previous == 3 && keptIndex_ >= 0)
        from = list_->GetFrame(keptIndex_);
    if (from) oxBlitter().DrawImage(canvas->pixels, nullptr, from->pixels, nullptr, false, false);

    const int32_t index = int32_t(list_->GetFrameCount());
    if (disposal == 0 || disposal == 1) keptIndex_ = index;

    const int32_t right = desc.Left + desc.Width < width_ ? desc.Left + desc.Width : width_;
    const int32_t bottom = desc.Top + desc.Height < height_ ? desc.Top + desc.Height : height_;
    delete savedBackground_;
    savedBackground_ = nullptr;
    if (disposal == 2) {
        savedBackground_ = new (std::nothrow) oxDibBitmap(width_, height_, 32, false, false);
        if (savedBackground_ && savedBackground_->valid) {
            oxBlitter().DrawImage(savedBackground_->pixels, nullptr, canvas->pixels, nullptr, false, false);
            for (int32_t y = desc.Top; y < bottom; ++y)
                for (int32_t x = desc.Left; x < right; ++x)
                    savedBackground_->pixels.GetRow32(y)[x] = 0;
        } else {
            delete savedBackground_;
            savedBackground_ = nullptr;
        }
    }

    // 0 marks an index that leaves the canvas as it is: the transparent one, or one the map lacks.
    uint32_t palette[256] = {};
    for (int c = 0; c < colors && c < 256; ++c) {
        const GifColorType& rgb = map->Colors[c];
        palette[c] = 0xFF000000u | uint32_t(rgb.Red) << 16 | uint32_t(rgb.Green) << 8 | rgb.Blue;
    }
    if (transparent >= 0) palette[transparent] = 0;
    // giflib hands interlaced images over with their rows already in display order.
    if (image.RasterBits) {
        for (int32_t y = desc.Top; y < bottom; ++y) {
            const GifByteType* src = image.RasterBits + size_t(y - desc.Top) * size_t(desc.Width);
            uint32_t* out = canvas->pixels.GetRow32(y);
            for (int32_t x = desc.Left; x < right; ++x) {
                const uint32_t c = palette[src[x - desc.Left]];
                if (c) out[x] = c;
            }
        }
    }

    *disposalOut = disposal;
    return list_->AddFrame(canvas, delay, 32);
}

int DecodeGif(oxMemStream& stream, oxFrameList* list, oxDecodeBudget& budget) {
    const oxMemView rest = stream.View(0);
    if (!rest.data || !WalkBlocks(rest.data, rest.size, budget)) return 0;
    int error = 0;
    GifFileType* gif = DGifOpen(&stream, ReadFromStream, &error);
    if (!gif) return 0;
    int ok = 0;
    if (DGifSlurp(gif) == GIF_OK && gif->SWidth > 0 && gif->SHeight > 0) {
        oxGifComposer composer(list);
        ok = composer.ComposeAll(gif);
        if (ok) {
            list->loopCount = composer.loopCount;
            list->loopsPlayed = 0;
        }
    }
    DGifCloseFile(gif, &error);
    return ok;
}
