// 40 rows of list text at 14 pixels on the 480 x 800 screen, three ways: vector text from the
// DejaVu Sans font cache file through the toolkit's text context (cached subpixel coverage), the
// platform's FreeType text through DrawTextW, and cairo's text with the same face. Targets, fonts and
// contexts are made outside the timer; every side's glyph cache is warmed by one untimed repaint.
// Each side's ink (the summed darkness of the screen) is reported, as a check that all three drew the
// same amount of text.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "graphics/paint/graphics_context.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/pixels/pixel_format.h"
#include "graphics/text/font.h"
#include "graphics/text/font_cache.h"
#include "graphics/text/glyph_render.h"
#include "graphics/text/text_context.h"
#include "platform/win/text_draw.h"

namespace {

constexpr int kWidth = 480, kHeight = 800, kRows = 40, kRowHeight = 20, kSize = 14;

std::vector<std::u16string> Rows() {
    static const char16_t* words[] = {u"Message", u"from", u"Anna",     u"about", u"the",  u"weekend", u"plans,",
                                      u"déjà",    u"vu",   u"tomorrow", u"at",    u"noon", u"Zoë",     u"café"};
    std::vector<std::u16string> rows;
    for (int r = 0; r < kRows; ++r) {
        std::u16string s;
        for (int w = 0; w < 8; ++w)
            s += std::u16string(words[(r * 3 + w) % 14]) + u" ";
        rows.push_back(s);
    }
    return rows;
}

std::unique_ptr<oxFont> LoadFont(const char* path = FONT_CACHE_FILE) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    return std::unique_ptr<oxFont>(ReadFontCache(bytes.data(), bytes.size(), nullptr));
}

// Darkness of the screen: 255 - the mean of the three channels, summed over the pixels, in pixels.
// 16-bit pixels are read in the current 16-bit layout.
double Ink(const uint8_t* bits, int stride, bool rgb565) {
    double ink = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            int r, g, b;
            if (rgb565) {
                const uint32_t p = ExpandFrom16(reinterpret_cast<const uint16_t*>(bits + y * stride)[x]);
                r = int(p >> 16 & 255), g = int(p >> 8 & 255), b = int(p & 255);
            } else {
                const uint32_t p = reinterpret_cast<const uint32_t*>(bits + y * stride)[x];
                r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
            }
            ink += (765 - r - g - b) / 765.0;
        }
    return ink;
}

struct Vector {
    std::unique_ptr<oxFont> font = LoadFont();
    oxGraphicsContext gc;
    oxTextContext* text = nullptr;
    std::vector<std::u16string> rows = Rows();

    explicit Vector(int bpp) {
        EnsureFontGraphicsContext();
        gc.SetSize(kWidth, kHeight, bpp);
        gc.SetClearColor(-2, -2, -2);
        oxTextContext::Create(&text);
        oxTextContext::SetFont(text, font.get());
        oxTextContext::SetSpacesExtend(text, 1);
    }
    ~Vector() { oxTextContext::Destroy(&text); }
    void Repaint() {
        gc.Clear(nullptr);
        gc.SetColor(0x000000);
        for (int r = 0; r < kRows; ++r) {
            oxMatrix m;
            m.Scale(kSize, kSize, 1);
            m.Translate(8, float(r * kRowHeight + 15), 0);
            gc.SetTransform(m);
            oxTextContext::Draw(text, rows[size_t(r)].data(), int32_t(rows[size_t(r)].size()), &gc,
                                oxTextContext::kGlyphCached, 1.125f, 0, -1, 0, 0);
        }
    }
};

void VectorRepaint(benchmark::State& state) {
    Vector v(int(state.range(0)));
    if (!v.font) {
        state.SkipWithError("no font cache file");
        return;
    }
    v.Repaint();
    for (auto _ : state) {
        v.Repaint();
        benchmark::ClobberMemory();
    }
    const oxPixelBuffer& t = v.gc.Target();
    SetPixelFormatForLayout(t.layout);
    state.counters["ink"] = Ink(t.firstRow, int(t.rowStep), t.bpp == 16);
    state.counters["cacheKiB"] = double(v.font->GlyphCacheBytes()) / 1024.0;
}
BENCHMARK(VectorRepaint)->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);

// The demo's vector text: the sign-in title, "Tandu" at 26 pixels in DejaVu Sans Bold. The glyph
// cache it leaves is its memory cost (with the 'm' that measures the font's darkness).
void DemoTitle(benchmark::State& state) {
    auto font = LoadFont(DEMO_FONT_FILE);
    if (!font) {
        state.SkipWithError("no demo font file");
        return;
    }
    EnsureFontGraphicsContext();
    oxGraphicsContext gc;
    gc.SetSize(200, 40, 32);
    oxTextContext* text = nullptr;
    oxTextContext::Create(&text);
    oxTextContext::SetFont(text, font.get());
    oxMatrix m;
    m.Scale(26, 26, 1);
    m.Translate(4, 30, 0);
    for (auto _ : state) {
        gc.SetTransform(m);
        oxTextContext::Draw(text, u"Tandu", 5, &gc, oxTextContext::kGlyphCached, 1.125f, 0, -1, 0, 0);
        benchmark::ClobberMemory();
    }
    oxTextContext::Destroy(&text);
    state.counters["cacheBytes"] = double(font->GlyphCacheBytes());
}
BENCHMARK(DemoTitle)->Unit(benchmark::kMicrosecond);

void FreeTypeRepaint(benchmark::State& state) {
    const int bpp = int(state.range(0));
    struct {
        BITMAPINFOHEADER h{};
        DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    } info;
    info.h.biSize = sizeof info.h;
    info.h.biWidth = kWidth;
    info.h.biHeight = -kHeight;
    info.h.biPlanes = 1;
    info.h.biBitCount = WORD(bpp);
    info.h.biCompression = bpp == 16 ? BI_BITFIELDS : BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    LOGFONTW lf{};
    lf.lfHeight = -kSize;
    lf.lfWeight = FW_NORMAL;
    lf.lfQuality = ANTIALIASED_QUALITY;
    const char16_t face[] = u"DejaVu Sans";
    std::copy(face, face + sizeof face / sizeof *face, lf.lfFaceName);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    const auto rows = Rows();
    auto repaint = [&] {
        PatBlt(dc, 0, 0, kWidth, kHeight, WHITENESS);
        for (int r = 0; r < kRows; ++r) {
            RECT rect{8, r * kRowHeight, kWidth, (r + 1) * kRowHeight};
            DrawTextW(dc, rows[size_t(r)].data(), int(rows[size_t(r)].size()), &rect,
                      DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
        }
    };
    repaint();
    for (auto _ : state) {
        repaint();
        benchmark::ClobberMemory();
    }
    const int stride = ((kWidth * bpp / 8) + 3) & ~3;
    SetPixelFormatForLayout(kLayoutRgb565);
    state.counters["ink"] = Ink(static_cast<const uint8_t*>(bits), stride, bpp == 16);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    DeleteObject(bitmap);
    DeleteObject(font);
}
BENCHMARK(FreeTypeRepaint)->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);

std::string Utf8(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        if (c < 0x80)
            out += char(c);
        else
            out += char(0xC0 | (c >> 6)), out += char(0x80 | (c & 0x3F));
    }
    return out;
}

void CairoRepaint(benchmark::State& state) {
    const bool rgb565 = state.range(0) == 16;
    cairo_surface_t* surface =
        cairo_image_surface_create(rgb565 ? CAIRO_FORMAT_RGB16_565 : CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kSize);
    std::vector<std::string> rows;
    for (const auto& r : Rows())
        rows.push_back(Utf8(r));
    auto repaint = [&] {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        for (int r = 0; r < kRows; ++r) {
            cairo_move_to(cr, 8, r * kRowHeight + 15);
            cairo_show_text(cr, rows[size_t(r)].c_str());
        }
        cairo_surface_flush(surface);
    };
    repaint();
    for (auto _ : state) {
        repaint();
        benchmark::ClobberMemory();
    }
    SetPixelFormatForLayout(kLayoutRgb565);
    state.counters["ink"] = Ink(cairo_image_surface_get_data(surface), cairo_image_surface_get_stride(surface), rgb565);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(CairoRepaint)->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);

} // namespace
