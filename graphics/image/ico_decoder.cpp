// Icon files are read here: a directory of images, each a BITMAPINFOHEADER, a colour table, the
// colour rows and a 1-bit mask, bottom row first. Every image becomes a premultiplied 32-bit frame.
#include <cstring>
#include <new>

#include "graphics/image/frame_list.h"
#include "graphics/image/image_decoder_internal.h"
#include "graphics/image/mem_stream.h"
#include "graphics/pixels/dib_bitmap.h"

namespace {

constexpr size_t kDirectoryEntry = 16;
constexpr size_t kInfoHeader = 40;
constexpr uint32_t kOpaqueBlack = 0xFF000000u;

uint32_t Le16(const uint8_t* p) {
    return uint32_t(p[0] | p[1] << 8);
}

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool Bit(const uint8_t* row, int32_t x) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

struct IconImage {
    int32_t width, height, bits;
    const uint8_t* table; // entries of blue, green, red, reserved
    uint32_t entries;
    const uint8_t* colour;
    const uint8_t* mask;
    size_t colourRow, maskRow;
};

// A table colour; an index the table does not hold gives opaque black.
uint32_t TableColour(const IconImage& icon, uint32_t index) {
    if (index >= icon.entries) return kOpaqueBlack;
    const uint8_t* e = icon.table + 4 * index;
    return kOpaqueBlack | uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
}

void FillRow(const IconImage& icon, const uint8_t* src, const uint8_t* mask, uint32_t* out) {
    for (int32_t x = 0; x < icon.width; ++x) {
        if (icon.bits == 32) {
            const uint8_t* p = src + 4 * x;
            const uint32_t a = p[3];
            out[x] = a << 24 | (p[2] * a / 255) << 16 | (p[1] * a / 255) << 8 | p[0] * a / 255;
            continue;
        }
        if (Bit(mask, x)) {
            out[x] = 0;
            continue;
        }
        switch (icon.bits) {
        case 1:
            out[x] = Bit(src, x) ? 0xFFFFFFFFu : kOpaqueBlack;
            break;
        case 4:
            out[x] = TableColour(icon, (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF);
            break;
        case 8:
            out[x] = TableColour(icon, src[x]);
            break;
        default: {
            const uint8_t* p = src + 3 * x;
            out[x] = kOpaqueBlack | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
        }
    }
}

// Reads one image at the stream's position. 1 with `icon` filled, 0 to skip it, -1 to end the decode.
int ReadImage(oxMemStream& stream, IconImage& icon) {
    uint8_t header[kInfoHeader];
    if (stream.Read(header, kInfoHeader) != kInfoHeader) return -1;
    icon.width = int32_t(Le32(header + 4));
    icon.height = int32_t(Le32(header + 8)) / 2; // the colour image above its mask
    icon.bits = int32_t(Le16(header + 14));
    const uint32_t used = Le32(header + 32);
    if (icon.bits != 1 && icon.bits != 4 && icon.bits != 8 && icon.bits != 24 && icon.bits != 32) return 0;
    if (!ImageSizeAllowed(icon.width, icon.height)) return 0;
    icon.colourRow = (size_t(icon.bits) * size_t(icon.width) + 31) / 32 * 4;
    icon.maskRow = (size_t(icon.width) + 31) / 32 * 4;
    icon.entries = used ? used : icon.bits <= 8 ? 1u << icon.bits : 0;
    icon.table = nullptr;
    if (icon.entries) {
        if (icon.entries > stream.Remaining() / 4) return 0;
        icon.table = stream.View(size_t(icon.entries) * 4).data;
        stream.Seek(stream.position + size_t(icon.entries) * 4);
    }
    // The rows are used where they lie in the file; the stream holds it whole.
    const size_t colourBytes = icon.colourRow * size_t(icon.height);
    const size_t maskBytes = icon.maskRow * size_t(icon.height);
    if (colourBytes > stream.Remaining() || maskBytes > stream.Remaining() - colourBytes) return 0;
    icon.colour = stream.View(colourBytes).data;
    icon.mask = icon.colour + colourBytes;
    if ((icon.bits == 4 || icon.bits == 8) && !icon.table) return 0;
    return 1;
}

} // namespace

int DecodeIco(oxMemStream& stream, oxFrameList* list, oxDecodeBudget& budget) {
    const size_t base = stream.position;
    uint8_t head[6];
    if (stream.Read(head, 6) != 6) return 0;
    const uint32_t count = Le16(head + 4);
    const oxMemView directory = stream.View(count * kDirectoryEntry);
    if (!directory.data) return 0;
    list->pickLargest = count > 1 ? 1 : 0;

    const size_t before = list->GetFrameCount();
    for (uint32_t i = 0; i < count; ++i) {
        const size_t offset = Le32(directory.data + i * kDirectoryEntry + 12);
        if (offset > stream.GetSize() - base) break;
        stream.Seek(base + offset);
        IconImage icon{};
        const int read = ReadImage(stream, icon);
        if (read < 0) break;
        if (read == 0) continue;
        if (!budget.TakeImage(icon.width, icon.height, 4)) break;
        auto* image = new (std::nothrow) oxDibBitmap(icon.width, icon.height, 32, false, true);
        if (!image || !image->valid) {
            delete image;
            break;
        }
        for (int32_t j = 0; j < icon.height; ++j)
            FillRow(icon, icon.colour + size_t(j) * icon.colourRow, icon.mask + size_t(j) * icon.maskRow,
                    image->pixels.GetRow32(icon.height - 1 - j));
        image->premultiplied = 1;
        if (!list->AddFrame(image, -1, icon.bits)) break;
    }
    return list->GetFrameCount() > before ? 1 : 0;
}
