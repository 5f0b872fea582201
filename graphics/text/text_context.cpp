#include "graphics/text/text_context.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphics/paint/graphics_context.h"
#include "graphics/text/font.h"
#include "graphics/text/glyph_render.h"
#include "graphics/text/text_context_internal.h"

namespace {

constexpr char16_t kSpaceCandidates[] = {u' ', u'_', u'M', u'9', u'm', u'w', u'A'};
constexpr float kItalicOverhang = 0.125f;
// The underline: below the baseline, its half-width in ems.
constexpr float kUnderlineOffset = 0.1f;
constexpr float kUnderlineHalfWidth = 0.035f;

bool IsLineEnd(char16_t c) {
    return c == u'\n' || c == u'\r';
}
bool IsWordBreak(char16_t c) {
    return c == u' ' || c == u'\t' || IsLineEnd(c);
}

void Extend(float* box, float x, float y, float z) {
    box[0] = std::min(box[0], x), box[1] = std::min(box[1], y), box[2] = std::min(box[2], z);
    box[3] = std::max(box[3], x), box[4] = std::max(box[4], y), box[5] = std::max(box[5], z);
}

} // namespace

oxTextContext::oxTextContext() {
    SetBias(0.5f);
}

void oxTextContext::Create(oxTextContext** handle) {
    if (handle) *handle = new (std::nothrow) oxTextContext;
}

void oxTextContext::Destroy(oxTextContext** handle) {
    if (!handle) return;
    delete *handle;
    *handle = nullptr;
}

void oxTextContext::SetFont(oxTextContext* context, oxFont* font) {
    if (context) context->m_font = font;
}

void oxTextContext::SetMarkupEnabled(oxTextContext* context, int32_t mode) {
    if (context) context->m_markup = mode;
}

void oxTextContext::SetSpacesExtend(oxTextContext* context, int32_t flag) {
    if (context) context->m_spacesExtend = flag;
}

void oxTextContext::SetBias(float g) {
    if (g == m_bias) return;
    m_bias = g;
    for (int i = 1; i < 255; ++i) {
        const double v = g == 0.5f ? i : RoundHalfUp(255.0 * Bias(float(i) / 255.0f, g));
        m_gain[i] = uint8_t(std::clamp(v, 0.0, 255.0));
    }
    m_gain[0] = 0;
    m_gain[255] = 255;
}

oxFont* oxTextContext::CurrentFont() const {
    oxFont* font = m_font ? m_font : FindFont(nullptr, 0, 0.4f, 0, true);
    return font && font->IsLoaded() ? font : nullptr;
}

oxTextContext::Box oxTextContext::Draw(oxTextContext* context, const char16_t* text, int32_t length,
                                       oxGraphicsContext* target, int32_t glyphMode, float lineAdvance, float maxWidth,
                                       int32_t charWidth, int32_t alignment, char16_t accessChar) {
    if (!context || !target || !target->Target().HasPixels()) return Box{};
    const oxMatrix start = target->GetTransform();
    context->m_target = target;
    Box box = context->Layout(text, length, start, lineAdvance, maxWidth, charWidth, alignment, glyphMode, accessChar);
    context->m_target = nullptr;
    target->SetTransform(start);
    return box;
}

oxTextContext::Box oxTextContext::Measure(oxTextContext* context, const char16_t* text, int32_t length,
                                          const oxMatrix& matrix, float lineAdvance, float maxWidth, int32_t charWidth,
                                          int32_t alignment) {
    if (!context) return Box{};
    context->m_target = nullptr;
    return context->Layout(text, length, matrix, lineAdvance, maxWidth, charWidth, alignment, kGlyphNone, 0);
}

float oxTextContext::Advance(oxFont* font, char16_t c, float v) const {
    oxGlyph* glyph = font->GetGlyph(c);
    return (glyph ? glyph->Advance()[0] * v : 0.0f) + m_letterSpacing;
}

float oxTextContext::MeasureWord(const char16_t*& p, const char16_t* end, float budget, float v, bool& cut) {
    float sum = 0;
    cut = false;
    while (p < end) {
        char16_t c;
        const int32_t n = DecodeChar(&c, p, end, m_charWidth, m_markup);
        if (n == 0) break;
        if (IsWordBreak(c)) break;
        oxFont* font = CurrentFont();
        const float a = c && font ? Advance(font, c, v) : 0.0f;
        if (budget > 0 && (sum + a) * (sum + a) >= budget) {
            cut = true;
            return sum; // p stays on the glyph that would overflow
        }
        sum += a;
        p += n;
    }
    return sum;
}

void oxTextContext::MeasureLine(Run& run, const char16_t* from, LineMeasure& out) {
    // Measuring decodes markup: everything it may change is put back.
    oxFont* const font = m_font;
    const int32_t counts[3] = {m_bold, m_italic, m_underline};
    const int32_t align = m_align;
    const std::vector<int32_t> alignStack = m_alignStack;
    const std::vector<FontEntry> fontStack = m_fontStack;
    const uint32_t color = m_target ? m_target->FillColor() : 0;

    out = LineMeasure{};
    const char16_t* p = from;
    // Spaces before the first word belong to no gap.
    while (p < run.end && (*p == u' ' || *p == u'\t'))
        ++p;
    bool first = true;
    const char16_t* lineEnd = p;
    while (true) {
        const char16_t* wordStart = p;
        bool cut = false;
        const float budget = first ? run.limit2 : 0.0f;
        const float w = MeasureWord(p, run.end, budget, run.v, cut);
        if (first) {
            // A first word wider than the line is cut at the glyph that would overflow, after
            // at least one glyph so that every line makes progress.
            if (cut && p == wordStart) {
                char16_t c;
                p += std::max<int32_t>(1, DecodeChar(&c, p, run.end, m_charWidth, m_markup));
            }
            out.width = w;
            lineEnd = p;
            if (cut) {
                out.wrapped = true;
                break;
            }
            first = false;
        } else {
            const float line = out.width + float(out.gaps + 1) * run.spaceWidth + w;
            if (run.limit > 0 && line * line >= run.limit2) {
                out.wrapped = true;
                break;
            }
            out.width += w;
            ++out.gaps;
            lineEnd = p;
        }
        // Spaces and tabs between words are one gap.
        const char16_t* q = p;
        char16_t c = 0;
        while (q < run.end) {
            const int32_t n = DecodeChar(&c, q, run.end, m_charWidth, m_markup);
            if (n == 0 || !(c == u' ' || c == u'\t' || c == 0)) break;
            q += n;
        }
        if (q >= run.end || IsLineEnd(c)) break;
        p = q;
    }
    out.next = lineEnd;

    m_font = font;
    m_bold = counts[0], m_italic = counts[1], m_underline = counts[2];
    m_align = align;
    m_alignStack = alignStack;
    m_fontStack = fontStack;
    if (m_target) m_target->SetColor(color & 0xFFFFFFu);
}

oxTextContext::Box oxTextContext::Layout(const char16_t* text, int32_t length, const oxMatrix& matrix,
                                         float lineAdvance, float maxWidth, int32_t charWidth, int32_t alignment,
                                         int32_t glyphMode, char16_t accessChar) {
    if (length < 0 && text) {
        length = 0;
        while (text[length])
            ++length;
    }
    oxFont* font = CurrentFont();
    if (!text || length == 0 || !font) return Box{};
    if (charWidth == -1) charWidth = m_charWidth;

    // The run's own stack entries and any tag it leaves open are dropped at its end, so that a box
    // painted again and again does not grow the stacks.
    const size_t alignDepth = m_alignStack.size(), fontDepth = m_fontStack.size();
    const int32_t alignBefore = m_align;
    oxFont* const fontBefore = m_font;
    m_alignStack.push_back(alignment);
    m_align = alignment;
    m_fontStack.push_back({m_font, m_target ? m_target->FillColor() & 0xFFFFFFu : 0});
    const uint32_t style = font->GetStyle();
    m_bold = style & kFontBold ? 1 : 0;
    m_italic = style & kFontItalic ? 1 : 0;
    m_underline = style & kFontUnderline ? 1 : 0;

    Run run;
    run.text = text;
    run.end = text + length;
    run.matrix = matrix;
    const float* m = matrix.m;
    run.upright = m[1] == 0 && m[2] == 0 && m[3] == 0 && m[5] == 0 && m[6] == 0 && m[7] == 0;
    run.origin[0] = m[9], run.origin[1] = m[10], run.origin[2] = m[11];
    run.lineAdvance = lineAdvance;
    run.limit = maxWidth > 0 ? maxWidth : 0;
    run.limit2 = run.limit * run.limit;
    run.charWidth = charWidth;
    run.v = 1.0f / (2048.0f * FontScale());
    run.mode = glyphMode;
    for (char16_t c : kSpaceCandidates)
        if (oxGlyph* g = font->GetGlyph(c)) {
            run.spaceWidth = g->Advance()[0] * run.v;
            break;
        }

    float box[6] = {run.origin[0], run.origin[1], run.origin[2], run.origin[0], run.origin[1], run.origin[2]};
    bool italicSeen = false;
    bool underlinedAccess = false;
    float pen = 0;
    bool lineStart = true;
    bool measured = false;
    LineMeasure line;
    float gapWidth = run.spaceWidth;
    char16_t previous = 0;

    auto newLine = [&] {
        float step[3];
        run.Map(0, lineAdvance, step);
        for (int i = 0; i < 3; ++i)
            step[i] -= run.origin[i];
        // The shift of the previous line's alignment is undone with the line origin.
        run.origin[0] += step[0], run.origin[1] += step[1], run.origin[2] += step[2];
        pen = 0;
        lineStart = true;
        measured = false;
        run.havePrevious = false;
    };
    float lineShift[3] = {0, 0, 0};
    auto unshift = [&] {
        for (int i = 0; i < 3; ++i)
            run.origin[i] -= lineShift[i], lineShift[i] = 0;
    };

    const char16_t* p = text;
    while (p < run.end) {
        if (measured && line.wrapped && p >= line.next) {
            unshift();
            newLine();
        }
        char16_t c;
        const int32_t n = DecodeChar(&c, p, run.end, charWidth, m_markup);
        if (n == 0) break;
        const char16_t* here = p;
        p += n;
        if (c == 0) continue;
        if (m_align != kAlignNone && lineStart && !measured) {
            MeasureLine(run, here, line);
            measured = true;
            gapWidth = run.spaceWidth;
            float shift = 0;
            if (m_align == kAlignRight)
                shift = run.limit - line.width - float(line.gaps) * run.spaceWidth;
            else if (m_align == kAlignCenter)
                shift = (run.limit - line.width - float(line.gaps) * run.spaceWidth) / 2;
            else if (m_align == kAlignJustify && line.wrapped && line.gaps > 0)
                gapWidth = (run.limit - line.width) / float(line.gaps);
            if (shift != 0 && run.limit > 0) {
                float moved[3];
                run.Map(shift, 0, moved);
                for (int i = 0; i < 3; ++i)
                    lineShift[i] = moved[i] - run.origin[i], run.origin[i] = moved[i];
            }
        }
        if (m_align != kAlignNone && c == u' ') {
            if (measured && line.wrapped && here >= line.next) {
                unshift();
                newLine();
                continue;
            }
            if (lineStart || previous == u' ') continue;
        }
        previous = c;
        if (IsLineEnd(c)) {
            unshift();
            newLine();
            previous = 0;
            continue;
        }
        oxFont* current = CurrentFont();
        if (!current) break;
        oxGlyph* glyph = current->GetGlyph(c);
        float advance = (glyph ? glyph->Advance()[0] * run.v : 0.0f) + m_letterSpacing;
        if (c == u' ' && m_align == kAlignJustify) advance = gapWidth;
        if (run.limit > 0 && !measured && pen > 0 && (pen + advance) * (pen + advance) >= run.limit2) newLine();
        lineStart = false;
        const bool extends = !(c == u' ' && !m_spacesExtend);
        if (extends) {
            float a[3], b[3];
            run.Map(pen, 0, a);
            run.Map(pen + advance, 0, b);
            Extend(box, a[0], a[1], a[2]);
            Extend(box, b[0], b[1], b[2]);
        } else {
            run.havePrevious = false;
        }
        if (m_italic > 0) italicSeen = true;
        if (m_target && glyphMode != kGlyphNone) {
            PaintGlyph(run, glyph, c, pen, advance);
            const bool access = accessChar && c == accessChar && !underlinedAccess;
            if (m_underline == 1 || access) {
                if (access) underlinedAccess = true;
                float origin[3];
                run.Map(pen, 0, origin);
                oxMatrix at = run.matrix;
                at.m[9] = origin[0], at.m[10] = origin[1], at.m[11] = origin[2];
                m_target->SetTransform(at);
                const float bar[4] = {0, kUnderlineOffset, advance, kUnderlineOffset};
                const uint8_t commands[2] = {1, 2};
                const float width = m_target->LineWidth();
                const uint32_t stroke = m_target->StrokeColor();
                const int32_t cap = m_target->LineCap();
                m_target->SetLineWidth(kUnderlineHalfWidth);
                m_target->SetLineCap(2);
                m_target->SetStrokeColor(m_target->FillColor() & 0xFFFFFFu);
                m_target->StrokePath(2, bar, 2, commands);
                m_target->SetLineWidth(width);
                m_target->SetLineCap(cap);
                m_target->SetStrokeColor(stroke & 0xFFFFFFu);
            }
        }
        pen += advance;
    }

    // Lines reach the font's extent above and below their baselines.
    float extent[3] = {0, font->GetVerticalMetric3() / 2048.0f, 0};
    run.matrix.TransformVector(extent, false);
    for (int i = 0; i < 3; ++i)
        box[i] -= std::fabs(extent[i]), box[3 + i] += std::fabs(extent[i]);
    if (italicSeen) {
        float lean[3] = {kItalicOverhang, 0, 0};
        run.matrix.TransformVector(lean, false);
        for (int i = 0; i < 3; ++i)
            box[lean[i] < 0 ? i : 3 + i] += lean[i];
    }
    if (m_target) {
        const oxPixelBuffer& t = m_target->Target();
        box[0] = std::max(box[0], 0.0f), box[1] = std::max(box[1], 0.0f);
        box[3] = std::min(box[3], float(t.width)), box[4] = std::min(box[4], float(t.height));
        // A font tag left open does not colour what is drawn after the run.
        m_target->SetColor(m_fontStack[fontDepth].color);
    }
    Box out;
    if (!(box[0] >= box[3] || box[1] >= box[4]))
        for (int i = 0; i < 6; ++i)
            out.v[i] = box[i];

    m_alignStack.resize(alignDepth);
    m_fontStack.resize(fontDepth);
    m_align = alignBefore;
    m_font = fontBefore;
    return out;
}
