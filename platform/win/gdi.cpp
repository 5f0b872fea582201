#include "platform/win/gdi.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>
#include <vector>

#include "platform/win/font_internal.h"
#include "platform/win/gdi_internal.h"
#include "platform/win/region.h"
#include "platform/win/screen.h"
#include "platform/win/window_internal.h"

namespace {

constexpr int kBitmapKind = 1;

// A view of pixels in one format; y counts from the top row whatever the storage order.
struct Surface {
    uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    bool topDown = true;
    int bpp = 0;
    uint32_t masks[3] = {0, 0, 0}; // red, green, blue for 16 and 32 bpp
    const RGBQUAD* palette = nullptr;
    int paletteCount = 0;

    uint8_t* Row(int y) const { return bits + size_t(topDown ? y : height - 1 - y) * stride; }
};

struct Bitmap : HBITMAP__ {
    int width = 0;
    int height = 0; // rows, positive
    bool topDown = true;
    int bpp = 0;
    int stride = 0;
    uint32_t masks[3] = {0, 0, 0};
    std::vector<RGBQUAD> palette;
    uint8_t* bits = nullptr; // owned
    HDC selectedInto = nullptr;

    Surface View() const {
        Surface s;
        s.bits = bits;
        s.width = width;
        s.height = height;
        s.stride = stride;
        s.topDown = topDown;
        s.bpp = bpp;
        std::memcpy(s.masks, masks, sizeof masks);
        s.palette = palette.empty() ? nullptr : palette.data();
        s.paletteCount = int(palette.size());
        return s;
    }
};

} // namespace

struct HDC__ {
    enum Kind { kScreen, kWindow, kMemory } kind = kScreen;
    HWND hwnd = nullptr;
    Bitmap* selected = nullptr;
    Bitmap* stock = nullptr; // the 1 x 1 monochrome bitmap of a new memory DC
    int stretchMode = BLACKONWHITE;
    POINT brushOrigin{0, 0};
    DWORD layout = 0;
    // A painting DC keeps inside its own clip too (screen coordinates).
    bool clipped = false;
    platform::detail::RectSet clip;
    platform::detail::DcTextState text;
};

namespace {

std::unordered_set<const void*>& Live() {
    static std::unordered_set<const void*> live;
    return live;
}

HDC__* CheckDC(HDC dc) {
    return dc && Live().count(dc) ? dc : nullptr;
}
Bitmap* CheckBitmap(HGDIOBJ object) {
    return object && Live().count(object) && object->kind == kBitmapKind ? static_cast<Bitmap*>(object) : nullptr;
}

Surface ScreenSurface() {
    ScreenBuffer& screen = GetScreen();
    Surface s;
    s.bits = screen.bits;
    s.width = screen.config.width;
    s.height = screen.config.height;
    s.stride = screen.stride;
    s.bpp = screen.config.bpp;
    if (s.bpp == 16) {
        if (screen.config.rgb555) {
            s.masks[0] = 0x7C00, s.masks[1] = 0x03E0, s.masks[2] = 0x001F;
        } else {
            s.masks[0] = 0xF800, s.masks[1] = 0x07E0, s.masks[2] = 0x001F;
        }
    } else {
        s.masks[0] = 0xFF0000, s.masks[1] = 0xFF00, s.masks[2] = 0xFF;
    }
    return s;
}

// Where a DC draws: its surface, the device origin of its coordinates and its clip in surface
// coordinates, as rectangles (a window's visible region may take several).
struct Target {
    Surface surface;
    int originX = 0;
    int originY = 0;
    std::vector<RECT> clips;
    bool screen = false;
    // A right-to-left DC: x counts from the right edge of a surface area `mirrorWidth` wide.
    bool mirrored = false;
    bool preserveBitmaps = false;
    int64_t mirrorWidth = 0;

    // The left edge, unmirrored, of a span of `width` starting at logical `left`.
    int64_t SpanLeft(int64_t left, int64_t width) const { return mirrored ? mirrorWidth - left - width : left; }
};

bool GetTarget(HDC__* dc, Target* t) {
    t->mirrored = (dc->layout & LAYOUT_RTL) != 0;
    t->preserveBitmaps = (dc->layout & LAYOUT_BITMAPORIENTATIONPRESERVED) != 0;
    if (dc->kind == HDC__::kMemory) {
        t->surface = dc->selected->View();
        t->clips = {RECT{0, 0, t->surface.width, t->surface.height}};
        t->mirrorWidth = t->surface.width;
        return true;
    }
    t->surface = ScreenSurface();
    t->screen = true;
    if (dc->kind == HDC__::kWindow) {
        RECT w;
        if (!IsWindow(dc->hwnd) || !GetWindowRect(dc->hwnd, &w)) return false;
        t->originX = w.left;
        t->originY = w.top;
        t->mirrorWidth = int64_t(w.right) - w.left;
        // No backing store: the window draws only where it shows.
        platform::detail::RectSet visible = platform::detail::VisibleRegion(dc->hwnd);
        if (dc->clipped) visible &= dc->clip;
        t->clips = visible.Rects();
        return true;
    }
    t->clips = {RECT{0, 0, t->surface.width, t->surface.height}};
    t->mirrorWidth = t->surface.width;
    return true;
}

// Moves DC coordinates to surface coordinates; false when the point lies outside the clip.
bool ToSurface(const Target& t, int* x, int* y) {
    const int64_t sx = t.SpanLeft(*x, 1) + t.originX, sy = int64_t(*y) + t.originY;
    for (const RECT& c : t.clips) {
        if (sx < c.left || sx >= c.right || sy < c.top || sy >= c.bottom) continue;
        *x = int(sx);
        *y = int(sy);
        return true;
    }
    return false;
}

void DefaultMasks(int bpp, uint32_t* masks) {
    if (bpp == 16)
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    else
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
}

uint32_t LoadRaw(const Surface& s, int x, int y) {
    const uint8_t* row = s.Row(y);
    switch (s.bpp) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
        return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    case 8:
        return row[x];
    case 16: {
        uint16_t p;
        std::memcpy(&p, row + x * 2, 2);
        return p;
    }
    case 24:
        return row[x * 3] | (row[x * 3 + 1] << 8) | (uint32_t(row[x * 3 + 2]) << 16);
    default: {
        uint32_t p;
        std::memcpy(&p, row + x * 4, 4);
        return p;
    }
    }
}

void StoreRaw(const Surface& s, int x, int y, uint32_t v) {
    uint8_t* row = s.Row(y);
    switch (s.bpp) {
    case 1: {
        const uint8_t bit = uint8_t(0x80 >> (x & 7));
        row[x >> 3] = v ? row[x >> 3] | bit : row[x >> 3] & ~bit;
        break;
    }
    case 4: {
        const int shift = (x & 1) ? 0 : 4;
        row[x >> 1] = uint8_t((row[x >> 1] & ~(15 << shift)) | ((v & 15) << shift));
        break;
    }
    case 8:
        row[x] = uint8_t(v);
        break;
    case 16: {
        const uint16_t p = uint16_t(v);
        std::memcpy(row + x * 2, &p, 2);
        break;
    }
    case 24:
        row[x * 3] = uint8_t(v), row[x * 3 + 1] = uint8_t(v >> 8), row[x * 3 + 2] = uint8_t(v >> 16);
        break;
    default:
        std::memcpy(row + x * 4, &v, 4);
        break;
    }
}

uint32_t Expand(uint32_t raw, uint32_t mask) {
    if (!mask) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    uint32_t v = (raw & mask) >> shift;
    if (bits >= 8) return v >> (bits - 8);
    // Repeat the top bits into the low ones so that full scale stays full scale.
    uint32_t out = v << (8 - bits);
    for (int fill = 8 - bits; fill > 0; fill -= bits)
        out |= fill >= bits ? v << (fill - bits) : v >> (bits - fill);
    return out & 0xFF;
}

uint32_t Quantise(uint32_t c8, uint32_t mask) {
    if (!mask) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const uint32_t v = bits >= 8 ? c8 << (bits - 8) : c8 >> (8 - bits);
    return (v << shift) & mask;
}

// Colours between surfaces travel as 0x00RRGGBB.
uint32_t ReadRgb(const Surface& s, int x, int y) {
    const uint32_t raw = LoadRaw(s, x, y);
    if (s.bpp <= 8) {
        if (int(raw) >= s.paletteCount) return 0;
        const RGBQUAD& q = s.palette[raw];
        return (uint32_t(q.rgbRed) << 16) | (q.rgbGreen << 8) | q.rgbBlue;
    }
    if (s.bpp == 24) return raw;
    return (Expand(raw, s.masks[0]) << 16) | (Expand(raw, s.masks[1]) << 8) | Expand(raw, s.masks[2]);
}

uint32_t Encode(const Surface& s, uint32_t rgb) {
    const uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    if (s.bpp <= 8) {
        uint32_t best = 0, bestDistance = UINT32_MAX;
        for (int i = 0; i < s.paletteCount; ++i) {
            const RGBQUAD& q = s.palette[i];
            const int dr = int(q.rgbRed) - int(r), dg = int(q.rgbGreen) - int(g), db = int(q.rgbBlue) - int(b);
            const uint32_t d = uint32_t(dr * dr + dg * dg + db * db);
            if (d < bestDistance) best = uint32_t(i), bestDistance = d;
        }
        return best;
    }
    if (s.bpp == 24) return rgb & 0xFFFFFF;
    return Quantise(r, s.masks[0]) | Quantise(g, s.masks[1]) | Quantise(b, s.masks[2]);
}

bool SameFormat(const Surface& a, const Surface& b) {
    if (a.bpp != b.bpp) return false;
    if (a.bpp <= 8)
        return a.paletteCount == b.paletteCount &&
               (a.paletteCount == 0 || std::memcmp(a.palette, b.palette, a.paletteCount * sizeof(RGBQUAD)) == 0);
    return a.bpp == 24 || std::memcmp(a.masks, b.masks, sizeof a.masks) == 0;
}

COLORREF ToColorRef(uint32_t rgb) {
    return RGB(BYTE(rgb >> 16), BYTE(rgb >> 8), BYTE(rgb));
}
uint32_t FromColorRef(COLORREF c) {
    return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}

// Nearest-pixel copy of (sx, sy, sw, sh) of `source` onto (x, y, w, h) in the target's coordinates,
// inside one clip rectangle of the target. Source pixels outside `sourceClip` leave the destination
// as it was. Returns the pixels written.
uint64_t StretchClipped(const Target& dst, const RECT& clip, int x, int y, int w, int h, const Surface& source,
                        const RECT& sourceClip, int sx, int sy, int sw, int sh, bool flip) {
    uint64_t written = 0;
    const Surface& src = source;
    const bool same = SameFormat(src, dst.surface) && src.bpp >= 8;
    const int bytes = src.bpp / 8;
    // The destination pixels inside the clip, as offsets into the (x, y, w, h) rectangle.
    const int64_t ox = int64_t(dst.originX) + x, oy = int64_t(dst.originY) + y;
    // Clamped before narrowing, so far-off coordinates give an empty range rather than a wrapped one.
    const int i0 = int(std::clamp<int64_t>(clip.left - ox, 0, w));
    const int i1 = int(std::clamp<int64_t>(clip.right - ox, i0, w));
    const int j0 = int(std::clamp<int64_t>(clip.top - oy, 0, h));
    const int j1 = int(std::clamp<int64_t>(clip.bottom - oy, j0, h));
    if (w == sw && h == sh && !flip) {
        // Unscaled: each row is one span, clipped on both sides, copied whole when formats agree.
        const int left = int(std::clamp<int64_t>(int64_t(sourceClip.left) - sx, i0, i1));
        const int right = int(std::clamp<int64_t>(int64_t(sourceClip.right) - sx, left, i1));
        for (int j = j0; j < j1 && left < right; ++j) {
            const int dy = int(oy + j);
            const int64_t py = int64_t(sy) + j;
            if (py < sourceClip.top || py >= sourceClip.bottom) continue;
            const int dx = int(ox + left), px = sx + left;
            if (same) {
                std::memcpy(dst.surface.Row(dy) + dx * bytes, src.Row(int(py)) + px * bytes,
                            size_t(right - left) * bytes);
            } else {
                for (int i = 0; i < right - left; ++i)
                    StoreRaw(dst.surface, dx + i, dy, Encode(dst.surface, ReadRgb(src, px + i, int(py))));
            }
            written += uint64_t(right - left);
        }
        return written;
    }
    for (int j = j0; j < j1; ++j) {
        const int dy = int(oy + j);
        const int64_t py = sy + int64_t(j) * sh / h;
        if (py < sourceClip.top || py >= sourceClip.bottom) continue;
        const uint8_t* srcRow = src.Row(int(py));
        uint8_t* dstRow = dst.surface.Row(dy);
        for (int i = i0; i < i1; ++i) {
            const int dx = int(ox + i);
            const int64_t px = sx + int64_t(flip ? w - 1 - i : i) * sw / w;
            if (px < sourceClip.left || px >= sourceClip.right) continue;
            if (same)
                std::memcpy(dstRow + dx * bytes, srcRow + px * bytes, bytes);
            else
                StoreRaw(dst.surface, dx, dy, Encode(dst.surface, ReadRgb(src, int(px), int(py))));
            ++written;
        }
    }
    return written;
}

// The copy over every clip rectangle; writes into the screen are noted for presenting.
void Stretch(const Target& dst, int x, int y, int w, int h, const Surface& source, const RECT& sourceClip, int sx,
             int sy, int sw, int sh, DWORD rop) {
    // A right-to-left destination takes the picture mirrored, unless told to keep its orientation.
    const bool flip = dst.mirrored && !dst.preserveBitmaps && !(rop & NOMIRRORBITMAP);
    const int64_t left = dst.SpanLeft(x, w);
    if (left != int(left)) return;
    x = int(left);
    // A copy within one surface reads a snapshot, so overlapping areas move intact.
    Surface src = source;
    std::vector<uint8_t> snapshot;
    if (src.bits == dst.surface.bits) {
        snapshot.assign(src.bits, src.bits + size_t(src.stride) * src.height);
        src.bits = snapshot.data();
    }
    for (const RECT& clip : dst.clips) {
        const uint64_t written = StretchClipped(dst, clip, x, y, w, h, src, sourceClip, sx, sy, sw, sh, flip);
        if (!dst.screen || !written) continue;
        const int64_t ox = int64_t(dst.originX) + x, oy = int64_t(dst.originY) + y;
        const RECT area{LONG(std::max<int64_t>(clip.left, ox)), LONG(std::max<int64_t>(clip.top, oy)),
                        LONG(std::min<int64_t>(clip.right, ox + w)), LONG(std::min<int64_t>(clip.bottom, oy + h))};
        NoteScreenWrite(area, written);
    }
}

int Stride(int width, int bpp) {
    return int((int64_t(width) * bpp + 31) / 32 * 4);
}

Bitmap* NewBitmap(int width, int height, bool topDown, int bpp) {
    if (width <= 0 || height <= 0 || width > 0x8000 || height > 0x8000) return nullptr;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return nullptr;
    const size_t size = size_t(Stride(width, bpp)) * size_t(height);
    if (size > 0x40000000) return nullptr;
    auto* b = new (std::nothrow) Bitmap;
    if (!b) return nullptr;
    b->bits = static_cast<uint8_t*>(std::calloc(size, 1));
    if (!b->bits) {
        delete b;
        return nullptr;
    }
    b->kind = kBitmapKind;
    b->width = width;
    b->height = height;
    b->topDown = topDown;
    b->bpp = bpp;
    b->stride = Stride(width, bpp);
    DefaultMasks(bpp, b->masks);
    Live().insert(static_cast<HGDIOBJ>(b));
    return b;
}

void FreeBitmap(Bitmap* b) {
    Live().erase(static_cast<HGDIOBJ>(b));
    std::free(b->bits);
    delete b;
}

// Reads a DIB header into a surface description; false for what no device draws.
bool DescribeDib(const BITMAPINFO* info, const void* bits, Surface* s) {
    if (!info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const int bpp = h.biBitCount;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN || h.biWidth > 0x8000 ||
        std::abs(h.biHeight) > 0x8000)
        return false;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
    s->bits = static_cast<uint8_t*>(const_cast<void*>(bits));
    s->width = h.biWidth;
    s->height = std::abs(h.biHeight);
    s->topDown = h.biHeight < 0;
    s->bpp = bpp;
    s->stride = Stride(h.biWidth, bpp);
    const auto* after = reinterpret_cast<const uint8_t*>(info) + h.biSize;
    DefaultMasks(bpp, s->masks);
    if (h.biCompression == BI_BITFIELDS) {
        if (bpp != 16 && bpp != 32) return false;
        std::memcpy(s->masks, after, sizeof s->masks);
    } else if (h.biCompression != BI_RGB) {
        return false;
    }
    if (bpp <= 8) {
        const uint32_t count = h.biClrUsed ? h.biClrUsed : 1u << bpp;
        if (count > (1u << bpp)) return false;
        s->palette = reinterpret_cast<const RGBQUAD*>(after);
        s->paletteCount = int(count);
    }
    return true;
}

} // namespace

HDC GetDC(HWND hwnd) {
    if (hwnd && !IsWindow(hwnd)) return nullptr;
    auto* dc = new (std::nothrow) HDC__;
    if (!dc) return nullptr;
    dc->kind = hwnd ? HDC__::kWindow : HDC__::kScreen;
    dc->hwnd = hwnd;
    if (hwnd && (DWORD(GetWindowLongW(hwnd, GWL_EXSTYLE)) & WS_EX_LAYOUTRTL)) dc->layout = LAYOUT_RTL;
    Live().insert(dc);
    return dc;
}

HDC GetWindowDC(HWND hwnd) {
    return GetDC(hwnd);
}

int ReleaseDC(HWND hwnd, HDC dc) {
    HDC__* d = CheckDC(dc);
    if (!d || d->kind == HDC__::kMemory || d->hwnd != hwnd) return 0;
    Live().erase(d);
    delete d;
    return 1;
}

HDC CreateCompatibleDC(HDC dc) {
    if (dc && !CheckDC(dc)) return nullptr;
    Bitmap* stock = NewBitmap(1, 1, false, 1);
    if (!stock) return nullptr;
    stock->palette = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    auto* m = new (std::nothrow) HDC__;
    if (!m) {
        FreeBitmap(stock);
        return nullptr;
    }
    m->kind = HDC__::kMemory;
    m->stock = stock;
    m->selected = stock;
    stock->selectedInto = m;
    Live().insert(m);
    return m;
}

BOOL DeleteDC(HDC dc) {
    HDC__* d = CheckDC(dc);
    if (!d || d->kind != HDC__::kMemory) return FALSE;
    if (d->selected) d->selected->selectedInto = nullptr;
    FreeBitmap(d->stock);
    Live().erase(d);
    delete d;
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    HDC__* d = CheckDC(dc);
    if (d && platform::detail::IsFont(object)) {
        HGDIOBJ previous = d->text.font ? d->text.font : platform::detail::DefaultFont();
        d->text.font = object;
        return previous;
    }
    Bitmap* b = CheckBitmap(object);
    if (!d || !b || d->kind != HDC__::kMemory) return nullptr;
    if (b->selectedInto && b->selectedInto != d) return nullptr;
    Bitmap* previous = d->selected;
    previous->selectedInto = nullptr;
    d->selected = b;
    b->selectedInto = d;
    return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (platform::detail::DeleteRegionObject(object)) return TRUE;
    if (platform::detail::DeleteFont(object)) return TRUE;
    Bitmap* b = CheckBitmap(object);
    if (!b || b->selectedInto) return FALSE;
    FreeBitmap(b);
    return TRUE;
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset) {
    if (bits) *bits = nullptr;
    Surface s;
    if ((dc && !CheckDC(dc)) || usage != DIB_RGB_COLORS || section || offset || !DescribeDib(info, nullptr, &s))
        return nullptr;
    Bitmap* b = NewBitmap(s.width, s.height, s.topDown, s.bpp);
    if (!b) return nullptr;
    std::memcpy(b->masks, s.masks, sizeof b->masks);
    if (s.paletteCount) b->palette.assign(s.palette, s.palette + s.paletteCount);
    if (bits) *bits = b->bits;
    return b;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    if (!CheckDC(dc)) return nullptr;
    const Surface screen = ScreenSurface();
    Bitmap* b = NewBitmap(width, height, true, screen.bpp);
    if (b) std::memcpy(b->masks, screen.masks, sizeof b->masks);
    return b;
}

UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors) {
    HDC__* d = CheckDC(dc);
    if (!d || d->kind != HDC__::kMemory || !colors) return 0;
    std::vector<RGBQUAD>& palette = d->selected->palette;
    if (start >= palette.size()) return 0;
    count = std::min<UINT>(count, UINT(palette.size()) - start);
    std::copy(colors, colors + count, palette.begin() + start);
    return count;
}

int GetDeviceCaps(HDC dc, int index) {
    if (!CheckDC(dc)) return 0;
    const ScreenConfig& config = GetScreen().config;
    switch (index) {
    case HORZRES:
        return config.width;
    case VERTRES:
        return config.height;
    case BITSPIXEL:
        return config.bpp;
    case PLANES:
        return 1;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return config.dpi;
    default:
        return 0;
    }
}

COLORREF GetPixel(HDC dc, int x, int y) {
    HDC__* d = CheckDC(dc);
    Target t;
    if (!d || !GetTarget(d, &t)) return CLR_INVALID;
    if (!ToSurface(t, &x, &y)) return CLR_INVALID;
    return ToColorRef(ReadRgb(t.surface, x, y));
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
    HDC__* d = CheckDC(dc);
    Target t;
    if (!d || !GetTarget(d, &t)) return CLR_INVALID;
    if (!ToSurface(t, &x, &y)) return CLR_INVALID;
    StoreRaw(t.surface, x, y, Encode(t.surface, FromColorRef(color)));
    if (t.screen) NoteScreenWrite(RECT{x, y, x + 1, y + 1}, 1);
    return ToColorRef(ReadRgb(t.surface, x, y));
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth, int srcHeight,
                DWORD rop) {
    HDC__* d = CheckDC(dst);
    HDC__* s = CheckDC(src);
    Target to, from;
    if (!d || !s || (rop & ~NOMIRRORBITMAP) != SRCCOPY || width < 0 || height < 0 || srcWidth < 0 || srcHeight < 0)
        return FALSE;
    if (!GetTarget(d, &to) || !GetTarget(s, &from)) return FALSE;
    if (width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0) return TRUE;
    const int64_t sx = int64_t(srcX) + from.originX, sy = int64_t(srcY) + from.originY;
    if (sx != int(sx) || sy != int(sy)) return FALSE;
    // The source is read within its own clip: a window DC sees only its window.
    platform::detail::RectSet sourceArea;
    for (const RECT& r : from.clips)
        sourceArea |= platform::detail::RectSet(r);
    // The source is read as it lies on its surface, also from a right-to-left DC.
    Stretch(to, x, y, width, height, from.surface, sourceArea.Bounds(), int(sx), int(sy), srcWidth, srcHeight, rop);
    return TRUE;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    HDC__* d = CheckDC(dc);
    Target t;
    if (!d || (rop != WHITENESS && rop != BLACKNESS) || !GetTarget(d, &t)) return FALSE;
    // Negative extents count from the other edge, as the platform has them.
    int64_t left = int64_t(x), top = int64_t(y) + t.originY;
    int64_t right = left + width, bottom = top + height;
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    const int64_t span = right - left;
    left = t.SpanLeft(left, span) + t.originX;
    right = left + span;
    const uint32_t value = Encode(t.surface, rop == WHITENESS ? 0xFFFFFF : 0);
    for (const RECT& c : t.clips) {
        const int64_t x0 = std::max<int64_t>(left, c.left), x1 = std::min<int64_t>(right, c.right);
        const int64_t y0 = std::max<int64_t>(top, c.top), y1 = std::min<int64_t>(bottom, c.bottom);
        if (x0 >= x1 || y0 >= y1) continue;
        for (int64_t py = y0; py < y1; ++py) {
            uint8_t* row = t.surface.Row(int(py));
            if (t.surface.bpp == 32)
                std::fill(reinterpret_cast<uint32_t*>(row) + x0, reinterpret_cast<uint32_t*>(row) + x1, value);
            else if (t.surface.bpp == 16)
                std::fill(reinterpret_cast<uint16_t*>(row) + x0, reinterpret_cast<uint16_t*>(row) + x1,
                          uint16_t(value));
            else
                for (int64_t px = x0; px < x1; ++px)
                    StoreRaw(t.surface, int(px), int(py), value);
        }
        if (t.screen) NoteScreenWrite(RECT{LONG(x0), LONG(y0), LONG(x1), LONG(y1)}, uint64_t((x1 - x0) * (y1 - y0)));
    }
    return TRUE;
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
    return StretchBlt(dst, x, y, width, height, src, srcX, srcY, width, height, rop);
}

int StretchDIBits(HDC dc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
    HDC__* d = CheckDC(dc);
    Surface source;
    Target to;
    if (!d || !bits || usage != DIB_RGB_COLORS || (rop & ~NOMIRRORBITMAP) != SRCCOPY ||
        !DescribeDib(info, bits, &source))
        return GDI_ERROR;
    if (width < 0 || height < 0 || srcWidth < 0 || srcHeight < 0 || !GetTarget(d, &to)) return GDI_ERROR;
    if (width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0) return 0;
    // A bottom-up DIB counts source rows from its bottom row.
    const int64_t top = source.topDown ? int64_t(srcY) : int64_t(source.height) - srcY - srcHeight;
    if (top != int(top)) return GDI_ERROR;
    Stretch(to, x, y, width, height, source, RECT{0, 0, source.width, source.height}, srcX, int(top), srcWidth,
            srcHeight, rop);
    return srcHeight;
}

int GetStretchBltMode(HDC dc) {
    HDC__* d = CheckDC(dc);
    return d ? d->stretchMode : 0;
}

int SetStretchBltMode(HDC dc, int mode) {
    HDC__* d = CheckDC(dc);
    if (!d || mode < BLACKONWHITE || mode > HALFTONE) return 0;
    const int previous = d->stretchMode;
    d->stretchMode = mode;
    return previous;
}

DWORD SetLayout(HDC dc, DWORD layout) {
    HDC__* d = CheckDC(dc);
    if (!d) return DWORD(GDI_ERROR);
    const DWORD previous = d->layout;
    d->layout = layout & (LAYOUT_RTL | LAYOUT_BITMAPORIENTATIONPRESERVED);
    return previous;
}

DWORD GetLayout(HDC dc) {
    HDC__* d = CheckDC(dc);
    return d ? d->layout : DWORD(GDI_ERROR);
}

BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* previous) {
    HDC__* d = CheckDC(dc);
    if (!d) return FALSE;
    if (previous) *previous = d->brushOrigin;
    d->brushOrigin = POINT{x, y};
    return TRUE;
}

namespace platform::detail {

HDC GetClippedWindowDC(HWND hwnd, const RectSet& clip) {
    HDC dc = GetDC(hwnd);
    if (!dc) return nullptr;
    dc->clipped = true;
    dc->clip = clip;
    return dc;
}

} // namespace platform::detail

int GetClipBox(HDC dc, RECT* rect) {
    HDC__* d = CheckDC(dc);
    Target t;
    if (!d || !rect || !GetTarget(d, &t)) return ERROR;
    platform::detail::RectSet clip;
    for (const RECT& r : t.clips)
        clip |= platform::detail::RectSet(r);
    clip.Offset(-t.originX, -t.originY);
    *rect = clip.Bounds();
    if (t.mirrored && !clip.Empty()) {
        const RECT b = *rect;
        rect->left = LONG(t.mirrorWidth - b.right);
        rect->right = LONG(t.mirrorWidth - b.left);
    }
    if (clip.Empty()) return NULLREGION;
    return clip.Rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

namespace platform::detail {

DcTextState* TextStateOf(HDC dc) {
    HDC__* d = CheckDC(dc);
    return d ? &d->text : nullptr;
}

// Blends the items inside one rectangle of the surface.
void BlendWithin(const Target& t, const RECT& bounds, const CoverageItem* items, size_t count, COLORREF color);

bool BlendCoverage(HDC dc, const CoverageItem* items, size_t count, COLORREF color, const RECT* clip) {
    HDC__* d = CheckDC(dc);
    Target t;
    if (!d || !GetTarget(d, &t)) return false;
    // On a right-to-left DC the text keeps its reading order: the run as a whole moves to the
    // mirrored place, its glyphs unmirrored.
    std::vector<CoverageItem> moved;
    RECT mirroredClip;
    if (t.mirrored && count) {
        int64_t lo = items[0].x, hi = int64_t(items[0].x) + items[0].width;
        for (size_t i = 1; i < count; ++i) {
            lo = std::min<int64_t>(lo, items[i].x);
            hi = std::max<int64_t>(hi, int64_t(items[i].x) + items[i].width);
        }
        const int64_t shift = t.SpanLeft(lo, hi - lo) - lo;
        moved.assign(items, items + count);
        for (CoverageItem& it : moved) {
            const int64_t x = it.x + shift;
            if (x != int(x)) return false;
            it.x = int(x);
        }
        items = moved.data();
        if (clip) {
            mirroredClip = *clip;
            mirroredClip.left = LONG(
                std::clamp<int64_t>(t.SpanLeft(clip->left, int64_t(clip->right) - clip->left), INT32_MIN, INT32_MAX));
            mirroredClip.right =
                LONG(std::clamp<int64_t>(int64_t(mirroredClip.left) + clip->right - clip->left, INT32_MIN, INT32_MAX));
            clip = &mirroredClip;
        }
    }
    for (const RECT& c : t.clips) {
        RECT bounds = c;
        if (clip) {
            bounds.left = LONG(std::max<int64_t>(bounds.left, int64_t(clip->left) + t.originX));
            bounds.top = LONG(std::max<int64_t>(bounds.top, int64_t(clip->top) + t.originY));
            bounds.right = LONG(std::min<int64_t>(bounds.right, int64_t(clip->right) + t.originX));
            bounds.bottom = LONG(std::min<int64_t>(bounds.bottom, int64_t(clip->bottom) + t.originY));
        }
        if (bounds.left >= bounds.right || bounds.top >= bounds.bottom) continue;
        BlendWithin(t, bounds, items, count, color);
        if (t.screen)
            NoteScreenWrite(bounds, uint64_t(bounds.right - bounds.left) * uint64_t(bounds.bottom - bounds.top));
    }
    return true;
}

namespace {

// Calls `blend(row, y, mask, x0, x1)` for each row of each item inside `bounds`; `mask` points at
// the coverage of x0 (null for a solid item).
template <class BlendRow>
void ForEachCoverageRow(const Target& t, const RECT& bounds, const CoverageItem* items, size_t count, BlendRow&& blend) {
    for (size_t n = 0; n < count; ++n) {
        const CoverageItem& it = items[n];
        const int64_t ox = int64_t(it.x) + t.originX, oy = int64_t(it.y) + t.originY;
        const int64_t x0 = std::max<int64_t>(ox, bounds.left), x1 = std::min<int64_t>(ox + it.width, bounds.right);
        const int64_t y0 = std::max<int64_t>(oy, bounds.top), y1 = std::min<int64_t>(oy + it.height, bounds.bottom);
        if (x0 >= x1) continue;
        for (int64_t y = y0; y < y1; ++y) {
            const uint8_t* mask = it.mask ? it.mask + size_t(y - oy) * it.pitch + size_t(x0 - ox) : nullptr;
            blend(t.surface.Row(int(y)), int(y), mask, int(x0), int(x1));
        }
    }
}

// One 16-bit channel of `bits` (4..8) at `shift`, widened to 8 bits by repeating its top bits, moved
// `w`/256 of the way to `to` and narrowed again. w == 0 keeps the channel and w == 256 gives `to`.
inline uint32_t MixChannel16(uint32_t p, int shift, int bits, int to, int w) {
    const int v = int((p >> shift) & ((1u << bits) - 1));
    const int from = (v << (8 - bits)) | (v >> (2 * bits - 8));
    const int mixed = from + (((to - from) * w) >> 8);
    return uint32_t(mixed >> (8 - bits)) << shift;
}

// A row of 16-bit pixels; `Layout` gives the channels' shifts and widths. Glyph coverage is mostly
// zero, so eight clear bytes are skipped at once.
template <class Layout>
void BlendRow16(uint8_t* row, const uint8_t* mask, int x0, int x1, const Layout& l, uint16_t solid) {
    uint8_t* out = row + size_t(x0) * 2;
    const int n = x1 - x0;
    if (!mask) {
        for (int i = 0; i < n; ++i)
            std::memcpy(out + i * 2, &solid, 2);
        return;
    }
    int i = 0;
    while (i < n) {
        if (i + 8 <= n) {
            uint64_t eight;
            std::memcpy(&eight, mask + i, 8);
            if (!eight) {
                i += 8;
                continue;
            }
        }
        const uint32_t a = mask[i];
        if (a == 255) {
            std::memcpy(out + i * 2, &solid, 2);
        } else if (a) {
            const int w = int(a + (a >> 7)); // 0..256
            uint16_t p;
            std::memcpy(&p, out + i * 2, 2);
            p = uint16_t(MixChannel16(p, l.Shift(0), l.Bits(0), l.to[0], w) |
                         MixChannel16(p, l.Shift(1), l.Bits(1), l.to[1], w) |
                         MixChannel16(p, l.Shift(2), l.Bits(2), l.to[2], w));
            std::memcpy(out + i * 2, &p, 2);
        }
        ++i;
    }
}

// The common layouts, fixed at compile time so that the shifts are constants.
template <int RS, int RB, int GS, int GB, int BS, int BB>
struct FixedLayout16 {
    int to[3];
    static constexpr int Shift(int c) { return c == 0 ? RS : c == 1 ? GS : BS; }
    static constexpr int Bits(int c) { return c == 0 ? RB : c == 1 ? GB : BB; }
};
using Layout565 = FixedLayout16<11, 5, 5, 6, 0, 5>;
using Layout555 = FixedLayout16<10, 5, 5, 5, 0, 5>;

struct RuntimeLayout16 {
    int to[3], shift[3], bits[3];
    int Shift(int c) const { return shift[c]; }
    int Bits(int c) const { return bits[c]; }
};

} // namespace

void BlendWithin(const Target& t, const RECT& bounds, const CoverageItem* items, size_t count, COLORREF color) {
    const Surface& s = t.surface;
    const uint32_t rgb = FromColorRef(color);
    const uint32_t solid = Encode(s, rgb);
    if (s.bpp == 32 && s.masks[0] == 0xFF0000 && s.masks[1] == 0xFF00 && s.masks[2] == 0xFF) {
        // 0x00RRGGBB words blend two channels at a time.
        const uint32_t rb = rgb & 0xFF00FF, g = rgb & 0x00FF00;
        ForEachCoverageRow(t, bounds, items, count, [&](uint8_t* row, int, const uint8_t* mask, int x0, int x1) {
            for (int x = x0; x < x1; ++x) {
                const uint32_t a = mask ? mask[x - x0] : 255;
                if (a == 0) continue;
                uint32_t p;
                std::memcpy(&p, row + size_t(x) * 4, 4);
                if (a == 255) {
                    p = (p & 0xFF000000) | solid;
                } else {
                    const uint32_t w = a + (a >> 7); // 0..256
                    const uint32_t prb = p & 0xFF00FF, pg = p & 0x00FF00;
                    const uint32_t orb = (prb + (((rb - prb) * w) >> 8)) & 0xFF00FF;
                    const uint32_t og = (pg + (((g - pg) * w) >> 8)) & 0x00FF00;
                    p = (p & 0xFF000000) | orb | og;
                }
                std::memcpy(row + size_t(x) * 4, &p, 4);
            }
        });
        return;
    }
    if (s.bpp == 16) {
        // Channels of four to eight bits, widened by repeating their top bits.
        RuntimeLayout16 l;
        bool fits = true;
        for (int c = 0; c < 3 && fits; ++c) {
            l.shift[c] = std::countr_zero(s.masks[c]);
            l.bits[c] = std::popcount(s.masks[c]);
            l.to[c] = int((rgb >> (16 - 8 * c)) & 0xFF);
            fits = l.bits[c] >= 4 && l.bits[c] <= 8 && (s.masks[c] >> l.shift[c]) == (1u << l.bits[c]) - 1;
        }
        if (fits) {
            const uint16_t solid16 = uint16_t(solid);
            auto blendAs = [&](auto layout) {
                std::copy(l.to, l.to + 3, layout.to);
                ForEachCoverageRow(t, bounds, items, count,
                                   [&](uint8_t* row, int, const uint8_t* mask, int x0, int x1) {
                                       BlendRow16(row, mask, x0, x1, layout, solid16);
                                   });
            };
            if (s.masks[0] == 0xF800 && s.masks[1] == 0x07E0 && s.masks[2] == 0x001F)
                blendAs(Layout565{});
            else if (s.masks[0] == 0x7C00 && s.masks[1] == 0x03E0 && s.masks[2] == 0x001F)
                blendAs(Layout555{});
            else
                blendAs(l);
            return;
        }
    }
    // Other formats go through their colours.
    ForEachCoverageRow(t, bounds, items, count, [&](uint8_t*, int y, const uint8_t* mask, int x0, int x1) {
        for (int x = x0; x < x1; ++x) {
            const uint32_t a = mask ? mask[x - x0] : 255;
            if (a == 0) continue;
            if (a == 255) {
                StoreRaw(s, x, y, solid);
                continue;
            }
            const uint32_t w = a + (a >> 7); // 0..256
            const uint32_t p = ReadRgb(s, x, y);
            uint32_t out = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                const int from = int((p >> shift) & 0xFF), to = int((rgb >> shift) & 0xFF);
                out |= uint32_t(from + (((to - from) * int(w)) >> 8)) << shift;
            }
            StoreRaw(s, x, y, Encode(s, out));
        }
    });
}

} // namespace platform::detail
