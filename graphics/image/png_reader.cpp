#include "graphics/image/png_reader.h"

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>

#include "graphics/image/image_decoder_internal.h"
#include "graphics/image/mem_stream.h"
#include "graphics/pixels/dib_bitmap.h"

namespace {

// Kept apart so that the library's jump back lands in a frame that holds no object with a destructor.
int Process(png_structp png, png_infop info, const uint8_t* data, size_t size) {
    if (setjmp(png_jmpbuf(png))) return 0;
    png_process_data(png, info, const_cast<png_bytep>(data), size);
    return 1;
}

// Colour scaled by alpha in two channels at a time. Alpha is first stretched to 0..256, so an opaque
// pixel keeps its colour: a plain shift by 8 would darken every opaque channel by one.
inline uint32_t Premultiply(uint32_t p) {
    const uint32_t a = (p >> 24) + (p >> 31);
    const uint32_t rb = ((p & 0x00FF00FFu) * a >> 8) & 0x00FF00FFu;
    const uint32_t g = ((p & 0x0000FF00u) * a >> 8) & 0x0000FF00u;
    return (p & 0xFF000000u) | rb | g;
}

} // namespace

int oxPngImageSink::CreateImage(int32_t width, int32_t height, int32_t bitsPerPixel, bool hasAlpha) {
    ReleaseImage();
    if (!budget->TakeImage(width, height, bitsPerPixel / 8)) return 0;
    image = new (std::nothrow) oxDibBitmap(width, height, bitsPerPixel, false, false);
    if (!image || !image->valid) {
        ReleaseImage();
        return 0;
    }
    image->premultiplied = hasAlpha ? 1 : 0;
    return 1;
}

void oxPngImageSink::WriteRow(const uint8_t* row, uint32_t index) {
    if (!image || !row || index >= uint32_t(image->height)) return;
    if (image->bpp == 32) {
        uint32_t* out = image->pixels.GetRow32(int32_t(index));
        for (int32_t x = 0; x < image->width; ++x) {
            uint32_t p;
            std::memcpy(&p, row + 4 * x, 4);
            out[x] = Premultiply(p);
        }
    } else {
        // The library's row holds only the used bytes, not the bitmap's padded stride.
        std::memcpy(image->pixels.GetRow8(int32_t(index)), row, size_t(image->pixels.usedBytes));
    }
}

void oxPngImageSink::ReleaseImage() {
    delete image;
    image = nullptr;
}

oxDibBitmap* oxPngImageSink::Detach() {
    oxDibBitmap* out = image;
    image = nullptr;
    return out;
}

void oxPngReader::Free() {
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    png = nullptr;
    info = nullptr;
    std::free(rows);
    std::free(rowPointers);
    rows = nullptr;
    rowPointers = nullptr;
}

oxDibBitmap* oxPngReader::Decode(const uint8_t* data, size_t size) {
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (!png) return nullptr;
    info = png_create_info_struct(png);
    if (!info) {
        Free();
        return nullptr;
    }
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_progressive_read_fn(png, this, OnInfo, OnRow, OnEnd);
    if (!Process(png, info, data, size)) done = 0;
    Free();
    if (!done || !sink.image || !sink.image->valid) return nullptr;
    return sink.Detach();
}

void oxPngReader::OnInfo(png_structp png, png_infop info) {
    auto* r = static_cast<oxPngReader*>(png_get_progressive_ptr(png));
    png_uint_32 width = 0, h = 0;
    int depth = 0, type = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &h, &depth, &type, &interlace, nullptr, nullptr);
    if (!ImageSizeAllowed(width, h)) png_error(png, "image too large");

    if (type == PNG_COLOR_TYPE_PALETTE || png_get_channels(png, info) * depth == 8) png_set_expand(png);
    if (depth < 8) {
        png_set_packing(png);
        if (type == PNG_COLOR_TYPE_GRAY) png_set_expand(png);
    }
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_strip_16(png);
    png_set_bgr(png);
    r->interlaced = png_set_interlace_handling(png) == 7;
    png_read_update_info(png, info);

    const size_t rowBytes = png_get_rowbytes(png, info);
    const int bpp = png_get_channels(png, info) * png_get_bit_depth(png, info);
    const int outType = png_get_color_type(png, info);
    if ((bpp != 24 && bpp != 32) || rowBytes != size_t(width) * size_t(bpp / 8)) png_error(png, "unexpected rows");
    r->height = h;
    if (r->interlaced) {
        if (!r->sink.budget->Take(int64_t(rowBytes) * h + int64_t(sizeof(uint8_t*)) * h))
            png_error(png, "image too large");
        r->rows = static_cast<uint8_t*>(std::calloc(h, rowBytes));
        r->rowPointers = static_cast<uint8_t**>(std::malloc(h * sizeof(uint8_t*)));
        if (!r->rows || !r->rowPointers) png_error(png, "out of memory");
        for (png_uint_32 y = 0; y < h; ++y)
            r->rowPointers[y] = r->rows + y * rowBytes;
    }
    const bool alpha = outType == PNG_COLOR_TYPE_RGB_ALPHA || outType == PNG_COLOR_TYPE_GRAY_ALPHA;
    if (!r->sink.CreateImage(int32_t(width), int32_t(h), bpp, alpha)) png_error(png, "out of memory");
}

void oxPngReader::OnRow(png_structp png, png_bytep row, png_uint_32 index, int pass) {
    auto* r = static_cast<oxPngReader*>(png_get_progressive_ptr(png));
    if (index >= r->height) return;
    if (r->interlaced) {
        if (row) png_progressive_combine_row(png, r->rowPointers[index], row);
        if (pass == 6) r->sink.WriteRow(r->rowPointers[index], index);
    } else if (pass == 0) {
        // The library's row is complete here; it goes to the bitmap without a staging copy.
        r->sink.WriteRow(row, index);
    }
}

void oxPngReader::OnEnd(png_structp png, png_infop) {
    static_cast<oxPngReader*>(png_get_progressive_ptr(png))->done = 1;
}

void oxPngReader::OnError(png_structp png, png_const_charp) {
    auto* r = static_cast<oxPngReader*>(png_get_progressive_ptr(png));
    if (r) {
        r->done = 0;
        r->sink.ReleaseImage();
    }
    png_longjmp(png, 1);
}

void oxPngReader::OnWarning(png_structp, png_const_charp) {}

oxDibBitmap* DecodePng(oxMemStream& stream, oxDecodeBudget& budget) {
    oxMemView rest = stream.View(0);
    if (!rest.data) return nullptr;
    auto* reader = new (std::nothrow) oxPngReader(budget);
    if (!reader) return nullptr;
    oxDibBitmap* image = reader->Decode(rest.data, rest.size);
    delete reader;
    return image;
}
