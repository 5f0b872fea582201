#include "graphics/pixels/pixel_buffer.h"

#include <cstdlib>
#include <cstring>

#include "graphics/pixels/image_memory.h"
#include "graphics/pixels/raster_rect.h"

void oxPixelBuffer::Init(void* bits_, int32_t stride_, int32_t width_, int32_t height_, int32_t bpp_,
                         int32_t storageBpp_, int32_t bytesPerPixel_, bool topDown_, int32_t layout_) {
    bits = static_cast<uint8_t*>(bits_);
    stride = stride_;
    width = width_;
    height = height_ < 0 ? -height_ : height_;
    bpp = bpp_;
    storageBpp = storageBpp_;
    bytesPerPixel = bytesPerPixel_;
    topDown = topDown_ ? 1 : 0;
    layout = layout_;
    valid = 1;
    Derive();
}

void oxPixelBuffer::InitExternal(void* bits_, int32_t stride_, int32_t width_, int32_t height_, int32_t bpp_,
                                 int32_t bytesPerPixel_, bool topDown_, int32_t layout_) {
    Init(bits_, stride_, width_, height_, bpp_, bpp_, bytesPerPixel_, topDown_, layout_);
}

void oxPixelBuffer::InitExternal(void* bits_, int32_t stride_, int32_t width_, int32_t height_, int32_t bpp_,
                                 int32_t bytesPerPixel_, bool topDown_) {
    Init(bits_, stride_, width_, height_, bpp_, bpp_, bytesPerPixel_, topDown_, kLayoutUnspecified);
}

void oxPixelBuffer::Derive() {
    if (!valid) return;
    usedBytes = bytesPerPixel * width;
    padding = stride - usedBytes;
    if (topDown) {
        rowStep = stride;
        rowSkip = padding;
        firstRow = bits;
    } else {
        rowStep = -static_cast<intptr_t>(stride);
        rowSkip = -static_cast<intptr_t>(stride) - usedBytes;
        firstRow = bits && height > 0 ? bits + static_cast<intptr_t>(stride) * (height - 1) : bits;
    }
}

void oxPixelBuffer::Clear() {
    valid = 0;
    bits = nullptr;
    width = 0;
    height = 0;
}

void oxPixelBuffer::InitSubRect(const oxPixelBuffer& source, const RECT* rect) {
    *this = oxPixelBuffer{};
    if (!source.valid) return;
    if (!rect || IsRectEmpty(*rect)) {
        *this = source;
        return;
    }
    const RECT bounds{0, 0, source.width, source.height};
    RECT r;
    if (!IntersectRECT(rect, &bounds, &r)) return;
    uint8_t* first = source.firstRow + source.rowStep * (source.topDown ? r.top : r.bottom - 1) +
                     (static_cast<intptr_t>(source.bpp) * r.left) / 8;
    Init(first, source.stride, r.right - r.left, r.bottom - r.top, source.bpp, source.storageBpp, source.bytesPerPixel,
         source.topDown, source.layout);
}

oxPixelView32::oxPixelView32(const oxPixelBuffer& source, const RECT* rect) {
    buffer.InitSubRect(source, rect);
    firstRow = reinterpret_cast<uint32_t*>(buffer.firstRow);
    rowStep = buffer.rowStep / 4;
}

int FlipVertical(oxPixelBuffer& buffer) {
    if (!buffer.valid) return 0;
    auto* temp = static_cast<uint8_t*>(ImageAlloc(static_cast<size_t>(buffer.stride), 0));
    if (!temp) return 0;
    // Only the used bytes move: a view's stride can reach past the end of its parent's last row.
    const size_t n = static_cast<size_t>(buffer.usedBytes);
    for (int32_t i = 0; i < buffer.height / 2; ++i) {
        uint8_t* a = buffer.GetRow8(i);
        uint8_t* b = buffer.GetRow8(buffer.height - 1 - i);
        std::memcpy(temp, a, n);
        std::memcpy(a, b, n);
        std::memcpy(b, temp, n);
    }
    ImageFree(temp);
    return 1;
}
