#include "graphics/text/glyph_render.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "graphics/paint/graphics_context.h"
#include "graphics/pixels/image_memory.h"
#include "graphics/text/font.h"

namespace {

oxGraphicsContext* g_context = nullptr;
// The global gain curve C1, made on first use.
uint8_t g_gain[256];
bool g_gainReady = false;

constexpr int32_t kMaxCachedSize = 32;
constexpr int32_t kDarknessCode = 'm';
constexpr int32_t kDarknessSize = 12;

uint8_t ClampByte(double v) {
    return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
}

const uint8_t* GainTable() {
    if (!g_gainReady) {
        for (int i = 1; i < 255; ++i)
            g_gain[i] = ClampByte(RoundHalfUp(255.0 * GainCurve(float(i) / 255.0f, 0.45f)));
        g_gain[0] = 0;
        g_gain[255] = 255;
        g_gainReady = true;
    }
    return g_gain;
}

// The glyph's own curve: V > 0 lightens partial coverage, V < 0 darkens it.
void GlyphCurve(uint8_t* table, float weight) {
    const double v = -4.0 * (double(weight) - 0.5);
    for (int i = 1; i < 255; ++i) {
        const double x = i / 255.0;
        table[i] = ClampByte(RoundHalfUp(255.0 * x * (v * x + 1.0 - v)));
    }
    table[0] = 0;
    table[255] = 255;
}

// Clears the first row (from `step`'s end) that carries coverage of 5 or more when none of its
// bytes reaches 65: a sliver of a curve's extreme, grey across the whole row.
void ClearEdgeRow(const oxPixelBuffer& b, int32_t from, int32_t step) {
    for (int32_t y = from; y >= 0 && y < b.height; y += step) {
        uint8_t* row = b.GetRow8(y);
        const uint8_t peak = *std::max_element(row, row + b.width);
        if (peak < 5) continue;
        if (peak < 65) std::fill(row, row + b.width, uint8_t(0));
        return;
    }
}

// Pulls a pixel's three subpixels towards their mean: strongly when they differ evenly (a smooth
// slope), less when one stands out (an edge inside the pixel).
void BalanceSubpixels(uint8_t* row, int32_t pixels) {
    for (int32_t p = 0; p < pixels; ++p) {
        uint8_t* s = row + 3 * p;
        const int a = s[0], b = s[1], c = s[2];
        const int d1 = std::abs(b - a), d2 = std::abs(c - b), d3 = std::abs(a - c);
        const int m = (a + b + c) / 3 * 3;
        const bool even = std::max({d1, d2, d3}) < 2 * std::min({d1, d2, d3});
        for (int k = 0; k < 3; ++k)
            s[k] = uint8_t(even ? (m + 5 * s[k]) / 8 : (2 * (s[k] + m)) / 8);
    }
}

uint64_t SumCoverage(const oxPixelBuffer& b) {
    uint64_t sum = 0;
    for (int32_t y = 0; y < b.height; ++y) {
        const uint8_t* row = b.GetRow8(y);
        for (int32_t x = 0; x < b.width; ++x)
            sum += row[x];
    }
    return sum;
}

bool InkInColumn(const oxPixelBuffer& b, int32_t column) {
    if (column < 0 || column >= b.width) return false;
    for (int32_t y = 0; y < b.height; ++y)
        if (b.GetRow8(y)[column] > 31) return true;
    return false;
}

} // namespace

double RoundHalfUp(double v) {
    return std::nearbyint(v + 1.5e-8);
}

float Bias(float x, float g) {
    return x / ((1.0f / g - 2.0f) * (1.0f - x) + 1.0f);
}

float GainCurve(float x, float g) {
    if (x < 0.5f) return Bias(2.0f * x, g) / 2.0f;
    return 1.0f - Bias(2.0f - 2.0f * x, g) / 2.0f;
}

void SmoothRow(uint8_t* bytes, int32_t n) {
    if (n <= 0) return;
    uint8_t left = bytes[0];
    for (int32_t i = 0; i < n; ++i) {
        const uint8_t self = bytes[i];
        const uint8_t right = i + 1 < n ? bytes[i + 1] : self;
        bytes[i] = uint8_t((9 * left + 2 * self + 9 * right) / 20);
        left = self;
    }
}

void SetFontGraphicsContext(oxGraphicsContext* context) {
    if (!g_context) g_context = context;
}

oxGraphicsContext* FontGraphicsContext() {
    return g_context;
}

void EnsureFontGraphicsContext() {
    if (g_context) return;
    // Lives to the end of the process, as the glyph caches do; it never owns a target between glyphs.
    static oxGraphicsContext* own = new (std::nothrow) oxGraphicsContext;
    SetFontGraphicsContext(own);
}

oxGlyphBitmap* RenderGlyph(oxFont* font, int32_t code, int32_t size, float x) {
    if (!font || size > kMaxCachedSize || size < 1) return nullptr;
    oxGlyph* glyph = font->GetGlyph(code);
    if (!glyph || glyph->PointCount() == 0) return nullptr;
    const int32_t phase = int32_t(std::floor(4.0 * double(x))) & 3;
    for (oxGlyphBitmap* b = glyph->FirstBitmap(); b; b = b->next)
        if (b->size == size && b->phase == phase) return b;

    const float s = float(size) / (2048.0f * FontScale());
    const double right = double(size) * double(glyph->RightExtent());
    const double cell =
        (double(font->GetVerticalMetric1()) + font->GetVerticalMetric2() + font->GetVerticalMetric3()) * s;
    // The reader keeps extents and metrics finite; a cell of thousands of pixels is still no glyph.
    if (!(right < 4096.0) || !(cell < 4096.0)) return nullptr;
    const int32_t w = int32_t(std::floor(right)) + 2;
    const int32_t h = int32_t(cell - std::floor(cell) < 1e-6 ? std::floor(cell) : std::ceil(cell));
    if (w < 1 || h < 1) return nullptr;
    oxGraphicsContext* gc = g_context;
    if (!gc) return nullptr;

    // Four bytes more: the blender reads a pixel's three coverage bytes as one word.
    uint8_t* bits = static_cast<uint8_t*>(ImageAlloc(size_t(3 * w) * size_t(h) + 4, 1));
    if (!bits) return nullptr;
    oxPixelBuffer pixels;
    pixels.InitExternal(bits, 3 * w, 3 * w, h, 8, 1, true);
    if (!gc->AttachTarget(pixels)) {
        ImageFree(bits);
        return nullptr;
    }
    gc->SetOption(kOptionSnapVertical, 1);
    gc->SetAlpha(256);
    gc->ResetTransform();
    gc->Scale(float(size), float(size));
    gc->Translate(0.0f, float(RoundHalfUp(double(s) * font->GetVerticalMetric2())));
    gc->Translate(float(phase) * 0.25f, 0.0f);
    gc->SetFillColorF(1.0f, 1.0f, 1.0f);
    gc->Scale(3.0f, 1.0f);
    gc->SetFloatOption(kOptionCoverageCurve, size < 11 ? std::min(0.5f + 0.05f * float(11 - size), 0.7f) : 0.5f);
    gc->FillPath(glyph->PointCount(), glyph->Points(), 2, glyph->Commands());
    gc->ReleaseTarget();

    float weight = std::clamp(0.35f + 0.05f * float(7 - size), 0.25f, 0.45f);
    if (font->Darkness() == -1.0f) {
        if (code == kDarknessCode && size == kDarknessSize) {
            const double area = double(3 * w) * double(h) * 188.0;
            font->SetDarkness(std::max(float(double(SumCoverage(pixels)) / area), 0.125f));
        } else {
            RenderGlyph(font, kDarknessCode, kDarknessSize, 0.0f);
        }
    }
    weight = std::max(weight, weight + 1.0f - 4.5f * font->Darkness());

    uint8_t ink = 0;
    if (InkInColumn(pixels, 4)) ink |= oxGlyphBitmap::kInkInColumn4;
    const double advanceColumn = std::min(3.0 * s * double(glyph->Advance()[0]), 3.0 * right);
    if (advanceColumn >= 0 && InkInColumn(pixels, int32_t(std::floor(advanceColumn))))
        ink |= oxGlyphBitmap::kInkAtAdvance;

    ClearEdgeRow(pixels, 0, 1);
    ClearEdgeRow(pixels, h - 1, -1);

    uint8_t curve[256];
    GlyphCurve(curve, weight);
    const uint8_t* gain = GainTable();
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = pixels.GetRow8(y);
        SmoothRow(row, 3 * w);
        for (int32_t i = 0; i < 3 * w; ++i)
            row[i] = curve[row[i]];
        BalanceSubpixels(row, w);
        for (int32_t i = 0; i < 3 * w; ++i)
            row[i] = gain[row[i]];
    }

    oxGlyphBitmap* bitmap = new (std::nothrow) oxGlyphBitmap;
    if (!bitmap) {
        ImageFree(bits);
        return nullptr;
    }
    bitmap->size = size;
    bitmap->phase = phase;
    bitmap->pixels = pixels;
    bitmap->ink = ink;
    bitmap->inkLeft = w, bitmap->inkTop = h;
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* row = pixels.GetRow8(y);
        for (int32_t i = 0; i < 3 * w; ++i)
            if (row[i]) {
                bitmap->inkLeft = std::min(bitmap->inkLeft, i / 3),
                bitmap->inkRight = std::max(bitmap->inkRight, i / 3 + 1);
                bitmap->inkTop = std::min(bitmap->inkTop, y), bitmap->inkBottom = y + 1;
            }
    }
    bitmap->next = glyph->FirstBitmap();
    glyph->SetFirstBitmap(bitmap);
    return bitmap;
}
