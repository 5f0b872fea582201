// A screen of text: 40 rows of list text on the 480 x 800 device screen, measured and drawn
// through DrawTextW as the text boxes do (single line, cut with "..." at the right). Fonts and
// the DIB are made outside the timer; glyphs are cached after the first repaint, as they are
// after a program's first frame. Beside it, cairo draws the same rows with its own FreeType
// glyph cache into an image surface, as a floor for the glyph blending, with its default and its FAST
// anti-aliasing. Before timing, each side's picture is checked against the other's: every row must
// carry about the same ink, so both draw the same rows in the same places.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/win/text_draw.h"

#ifdef TEXT_BENCH_CAIRO
#include <cairo.h>
#endif

namespace {

constexpr int kWidth = 480, kHeight = 800, kRows = 40, kRowHeight = 20;

std::vector<std::u16string> Rows() {
    static const char16_t* words[] = {u"Message", u"from", u"Anna",     u"about", u"the",  u"weekend", u"plans,",
                                      u"déjà",    u"vu",   u"tomorrow", u"at",    u"noon", u"Привет",  u"café"};
    std::vector<std::u16string> rows;
    for (int r = 0; r < kRows; ++r) {
        std::u16string s;
        for (int w = 0; w < 8; ++w)
            s += std::u16string(words[(r * 3 + w) % 14]) + u" ";
        rows.push_back(s);
    }
    return rows;
}

// Darkness of each row band: 255 - the mean of the three channels, summed over its pixels, in pixels.
// 16-bit pixels are 5-6-5.
std::vector<double> RowInk(const uint8_t* bits, int stride, bool rgb565) {
    std::vector<double> ink(kRows, 0.0);
    for (int y = 0; y < kRows * kRowHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            int r, g, b;
            if (rgb565) {
                const unsigned p = reinterpret_cast<const uint16_t*>(bits + y * stride)[x];
                r = int(p >> 11) * 255 / 31, g = int(p >> 5 & 63) * 255 / 63, b = int(p & 31) * 255 / 31;
            } else {
                const uint32_t p = reinterpret_cast<const uint32_t*>(bits + y * stride)[x];
                r = int(p >> 16 & 255), g = int(p >> 8 & 255), b = int(p & 255);
            }
            ink[size_t(y / kRowHeight)] += (765 - r - g - b) / 765.0;
        }
    return ink;
}

struct Screen {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr, oldFont = nullptr;
    HFONT font = nullptr;
    void* bits = nullptr;
    int stride = 0;
    bool rgb565;
    const std::vector<std::u16string> rows = Rows();

    explicit Screen(int bpp) : rgb565(bpp == 16) {
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
        bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
        stride = ((kWidth * bpp / 8) + 3) & ~3;
        dc = CreateCompatibleDC(nullptr);
        oldBitmap = SelectObject(dc, bitmap);
        LOGFONTW lf{};
        lf.lfHeight = -15;
        lf.lfWeight = FW_NORMAL;
        lf.lfQuality = ANTIALIASED_QUALITY;
        const char16_t face[] = u"DejaVu Sans";
        std::copy(face, face + sizeof face / sizeof *face, lf.lfFaceName);
        font = CreateFontIndirectW(&lf);
        oldFont = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
    }
    ~Screen() {
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
        DeleteDC(dc);
        DeleteObject(bitmap);
        DeleteObject(font);
    }
    void Paint() {
        PatBlt(dc, 0, 0, kWidth, kHeight, WHITENESS);
        for (int r = 0; r < kRows; ++r) {
            RECT rect{8, r * kRowHeight, kWidth - 8, (r + 1) * kRowHeight};
            DrawTextW(dc, rows[r].data(), int(rows[r].size()), &rect, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        }
    }
    std::vector<double> Ink() const { return RowInk(static_cast<const uint8_t*>(bits), stride, rgb565); }
};

// False, with the reason on `state`, when the peer's picture of the screen is not ours: a row whose
// ink differs by more than a fifth (faces rasterise a little differently on the two sides).
bool SamePicture(benchmark::State& state, int bpp);

void Repaint(benchmark::State& state) {
    const int bpp = int(state.range(0));
#ifdef TEXT_BENCH_CAIRO
    if (!SamePicture(state, bpp)) return;
#endif
    Screen screen(bpp);
    for (auto _ : state) {
        screen.Paint();
        benchmark::ClobberMemory();
    }
    state.counters["rows"] = kRows;
}
BENCHMARK(Repaint)->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);

// The white fill alone, to read the text's share of a repaint.
void Fill(benchmark::State& state) {
    Screen screen(int(state.range(0)));
    for (auto _ : state) {
        PatBlt(screen.dc, 0, 0, kWidth, kHeight, WHITENESS);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Fill)->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);

// The measure the text boxes make of every row before they paint it.
void Measure(benchmark::State& state) {
    Screen screen(32);
    const auto rows = Rows();
    for (auto _ : state) {
        for (int r = 0; r < kRows; ++r) {
            RECT rect{0, 0, kWidth - 16, kRowHeight};
            benchmark::DoNotOptimize(DrawTextW(screen.dc, rows[r].data(), int(rows[r].size()), &rect,
                                               DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP));
        }
    }
    state.counters["rows"] = kRows;
}
BENCHMARK(Measure)->Unit(benchmark::kMicrosecond);

#ifdef TEXT_BENCH_CAIRO
std::string Utf8(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        if (c < 0x80)
            out += char(c);
        else if (c < 0x800)
            out += char(0xC0 | (c >> 6)), out += char(0x80 | (c & 0x3F));
        else
            out += char(0xE0 | (c >> 12)), out += char(0x80 | ((c >> 6) & 0x3F)), out += char(0x80 | (c & 0x3F));
    }
    return out;
}

// cairo's peer: the same fill and rows, clipped per row, with its toy font API on DejaVu Sans, into
// a surface of the same depth as ours, with its default or its FAST anti-aliasing.
struct CairoScreen {
    cairo_surface_t* surface;
    cairo_t* cr;
    std::vector<std::string> rows;
    cairo_font_extents_t fe;
    CairoScreen(int bpp, bool fast)
        : surface(cairo_image_surface_create(bpp == 16 ? CAIRO_FORMAT_RGB16_565 : CAIRO_FORMAT_RGB24, kWidth, kHeight)),
          cr(cairo_create(surface)) {
        cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, 15);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, fast ? CAIRO_ANTIALIAS_FAST : CAIRO_ANTIALIAS_DEFAULT);
        cairo_set_font_options(cr, options);
        cairo_font_options_destroy(options);
        cairo_set_antialias(cr, fast ? CAIRO_ANTIALIAS_FAST : CAIRO_ANTIALIAS_DEFAULT);
        for (const auto& r : Rows())
            rows.push_back(Utf8(r));
        cairo_font_extents(cr, &fe);
    }
    ~CairoScreen() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    void Paint() {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        for (int r = 0; r < kRows; ++r) {
            cairo_save(cr);
            cairo_rectangle(cr, 8, r * kRowHeight, kWidth - 16, kRowHeight);
            cairo_clip(cr);
            cairo_move_to(cr, 8, r * kRowHeight + fe.ascent);
            cairo_show_text(cr, rows[r].c_str());
            cairo_restore(cr);
        }
        cairo_surface_flush(surface);
    }
    std::vector<double> Ink() const {
        return RowInk(cairo_image_surface_get_data(surface), cairo_image_surface_get_stride(surface),
                      cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB16_565);
    }
};

bool SamePicture(benchmark::State& state, int bpp) {
    Screen ours(bpp);
    ours.Paint();
    const std::vector<double> a = ours.Ink();
    for (bool fast : {false, true}) {
        CairoScreen theirs(bpp, fast);
        theirs.Paint();
        const std::vector<double> b = theirs.Ink();
        for (int r = 0; r < kRows; ++r) {
            if (std::fabs(a[r] - b[r]) > 0.2 * std::max(a[r], b[r]) || a[r] < 100) {
                const std::string why = "row " + std::to_string(r) + " has ink " + std::to_string(a[r]) + " here and " +
                                        std::to_string(b[r]) + " in cairo's picture";
                state.SkipWithError(why.c_str());
                return false;
            }
        }
    }
    return true;
}

void CairoRepaint(benchmark::State& state) {
    const int bpp = int(state.range(0));
    if (!SamePicture(state, bpp)) return;
    CairoScreen screen(bpp, state.range(1) != 0);
    for (auto _ : state) {
        screen.Paint();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(CairoRepaint)
    ->ArgNames({"bpp", "fast"})
    ->Args({32, 0})
    ->Args({16, 0})
    ->Args({32, 1})
    ->Args({16, 1})
    ->Unit(benchmark::kMicrosecond);
#endif

} // namespace
