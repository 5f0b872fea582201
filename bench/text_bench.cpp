// A screen of text: 40 rows of list text on the 480 x 800 device screen, measured and drawn
// through DrawTextW as the text boxes do (single line, cut with "..." at the right). Fonts and
// the DIB are made outside the timer; glyphs are cached after the first repaint, as they are
// after a program's first frame. Beside it, cairo draws the same rows with its own FreeType
// glyph cache into an image surface, as a floor for the glyph blending.
#include <benchmark/benchmark.h>

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

struct Screen {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr, oldFont = nullptr;
    HFONT font = nullptr;

    explicit Screen(int bpp) {
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
        bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
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
};

void Repaint(benchmark::State& state) {
    Screen screen(int(state.range(0)));
    const auto rows = Rows();
    for (auto _ : state) {
        PatBlt(screen.dc, 0, 0, kWidth, kHeight, WHITENESS);
        for (int r = 0; r < kRows; ++r) {
            RECT rect{8, r * kRowHeight, kWidth - 8, (r + 1) * kRowHeight};
            DrawTextW(screen.dc, rows[r].data(), int(rows[r].size()), &rect,
                      DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        }
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
// a surface of the same depth as ours.
void CairoRepaint(benchmark::State& state) {
    cairo_surface_t* surface =
        cairo_image_surface_create(state.range(0) == 16 ? CAIRO_FORMAT_RGB16_565 : CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 15);
    std::vector<std::string> rows;
    for (const auto& r : Rows())
        rows.push_back(Utf8(r));
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    for (auto _ : state) {
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
        benchmark::ClobberMemory();
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(CairoRepaint)->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);
#endif

} // namespace
