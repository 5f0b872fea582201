#include "platform/win/text_draw.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "platform/win/font_internal.h"
#include "platform/win/text_layout.h"

using platform::detail::CoverageItem;
using platform::detail::DcTextState;
using platform::detail::FontInstance;
using platform::detail::Glyph;
using platform::detail::TextStateOf;
using namespace platform::text;

namespace {

size_t Length(const WCHAR* text, int count) {
    if (count >= 0) return size_t(count);
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

// Glyph placements of one drawing, in the frame of the text: u along the baseline, v down across
// lines, both from the origin of the drawing.
struct Placements {
    std::vector<CoverageItem> back; // background fills
    std::vector<CoverageItem> ink;  // glyphs and decorations
};

void PlaceRun(FontInstance* font, const std::u32string& visual, const std::vector<int>& advances, int u, int v,
              int underlineAt, Placements* out) {
    const TEXTMETRICW& tm = platform::detail::Metrics(font);
    const int baseline = v + tm.tmAscent;
    int pen = u, markStart = 0, markEnd = 0;
    for (size_t i = 0; i < visual.size(); ++i) {
        const Glyph& g = platform::detail::GetGlyph(font, visual[i], true);
        if (g.coverage)
            out->ink.push_back(CoverageItem{pen + g.left, baseline + g.top, g.width, g.height, g.pitch, g.coverage});
        if (int(i) == underlineAt) markStart = pen, markEnd = pen + advances[i];
        pen += advances[i];
    }
    int offset = 0, thickness = 0, strike = 0;
    platform::detail::DecorationMetrics(font, &offset, &thickness, &strike);
    if (platform::detail::Underlined(font) && pen > u)
        out->ink.push_back(CoverageItem{u, baseline + offset, pen - u, thickness, 0, nullptr});
    else if (markEnd > markStart)
        out->ink.push_back(CoverageItem{markStart, baseline + offset, markEnd - markStart, thickness, 0, nullptr});
    if (platform::detail::StruckOut(font) && pen > u)
        out->ink.push_back(CoverageItem{u, baseline - strike, pen - u, thickness, 0, nullptr});
}

// Turns items of the text's frame into DC coordinates: the frame's origin is (ox, oy) and the
// text runs at `angle` (tenths of a degree, counter-clockwise) about it.
void Flush(HDC dc, const std::vector<CoverageItem>& items, COLORREF color, int angle, int ox, int oy,
           const RECT* clip) {
    if (items.empty()) return;
    if (angle == 0) {
        std::vector<CoverageItem> moved(items);
        for (CoverageItem& it : moved)
            it.x += ox, it.y += oy;
        platform::detail::BlendCoverage(dc, moved.data(), moved.size(), color, clip);
        return;
    }
    // Rotated: gather the coverage in the frame, then turn it as one mask.
    int u0 = INT_MAX, v0 = INT_MAX, u1 = INT_MIN, v1 = INT_MIN;
    for (const CoverageItem& it : items) {
        u0 = std::min(u0, it.x), v0 = std::min(v0, it.y);
        u1 = std::max(u1, it.x + it.width), v1 = std::max(v1, it.y + it.height);
    }
    const int64_t w = int64_t(u1) - u0, h = int64_t(v1) - v0;
    if (w <= 0 || h <= 0 || w * h > (int64_t(1) << 26)) return;
    std::vector<uint8_t> frame(size_t(w * h), 0);
    for (const CoverageItem& it : items)
        for (int y = 0; y < it.height; ++y) {
            uint8_t* row = frame.data() + size_t(it.y - v0 + y) * size_t(w) + size_t(it.x - u0);
            for (int x = 0; x < it.width; ++x)
                row[x] = std::max<uint8_t>(row[x], it.mask ? it.mask[size_t(y) * it.pitch + x] : 255);
        }
    const bool quarter = angle == 900 || angle == 2700;
    const int dw = int(quarter ? h : w), dh = int(quarter ? w : h);
    std::vector<uint8_t> turned(frame.size());
    for (int dy = 0; dy < dh; ++dy)
        for (int dx = 0; dx < dw; ++dx) {
            int64_t u, v;
            if (angle == 900)
                u = u1 - 1 - dy, v = v0 + dx;
            else if (angle == 2700)
                u = u0 + dy, v = v1 - 1 - dx;
            else
                u = u1 - 1 - dx, v = v1 - 1 - dy;
            turned[size_t(dy) * dw + dx] = frame[size_t(v - v0) * size_t(w) + size_t(u - u0)];
        }
    CoverageItem item;
    item.width = dw, item.height = dh, item.pitch = dw, item.mask = turned.data();
    if (angle == 900)
        item.x = ox + v0, item.y = oy - u1;
    else if (angle == 2700)
        item.x = ox - v1, item.y = oy + u0;
    else
        item.x = ox - u1, item.y = oy - v1;
    platform::detail::BlendCoverage(dc, &item, 1, color, clip);
}

void Draw(HDC dc, const DcTextState& state, const Placements& p, int angle, int ox, int oy, const RECT* clip) {
    if (state.bkMode == OPAQUE) Flush(dc, p.back, state.bkColor, angle, ox, oy, clip);
    Flush(dc, p.ink, state.textColor, angle, ox, oy, clip);
}

} // namespace

namespace {

// One field of a DC's text state: the new value goes in and the old comes back, `failed` for a bad
// DC or value.
template <typename T> T Exchange(HDC dc, T DcTextState::*field, T value, bool valid, T failed) {
    DcTextState* s = TextStateOf(dc);
    if (!s || !valid) return failed;
    const T previous = s->*field;
    s->*field = value;
    return previous;
}

template <typename T> T Read(HDC dc, T DcTextState::*field, T failed) {
    DcTextState* s = TextStateOf(dc);
    return s ? s->*field : failed;
}

} // namespace

COLORREF SetTextColor(HDC dc, COLORREF color) {
    return Exchange(dc, &DcTextState::textColor, color & 0xFFFFFF, true, CLR_INVALID);
}

COLORREF GetTextColor(HDC dc) {
    return Read(dc, &DcTextState::textColor, CLR_INVALID);
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
    return Exchange(dc, &DcTextState::bkColor, color & 0xFFFFFF, true, CLR_INVALID);
}

COLORREF GetBkColor(HDC dc) {
    return Read(dc, &DcTextState::bkColor, CLR_INVALID);
}

int SetBkMode(HDC dc, int mode) {
    return Exchange(dc, &DcTextState::bkMode, mode, mode == TRANSPARENT || mode == OPAQUE, 0);
}

int GetBkMode(HDC dc) {
    return Read(dc, &DcTextState::bkMode, 0);
}

BOOL GetTextExtentPoint32W(HDC dc, const WCHAR* text, int count, SIZE* size) {
    return GetTextExtentExPointW(dc, text, count, 0, nullptr, nullptr, size);
}

BOOL GetTextExtentExPointW(HDC dc, const WCHAR* text, int count, int maxExtent, int* fit, int* extents, SIZE* size) {
    DcTextState* s = TextStateOf(dc);
    if (!s || count < 0 || (count > 0 && !text) || !size) return FALSE;
    FontInstance* font = platform::detail::InstanceOf(s->font);
    const std::vector<int> adv = UnitAdvances(font, text, size_t(count));
    int64_t width = 0;
    int fitted = 0;
    for (int i = 0; i < count; ++i) {
        width += adv[i];
        if (width <= maxExtent) fitted = i + 1;
        if (extents) extents[i] = int(std::min<int64_t>(width, INT_MAX));
    }
    if (fit) *fit = fitted;
    size->cx = LONG(std::min<int64_t>(width, INT_MAX));
    size->cy = platform::detail::Metrics(font).tmHeight;
    return TRUE;
}

BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, const WCHAR* text, UINT count, const int* dx) {
    DcTextState* s = TextStateOf(dc);
    if (!s || (count > 0 && !text) || count > INT_MAX) return FALSE;
    const RECT* clip = (options & ETO_CLIPPED) ? rect : nullptr;
    if ((options & ETO_OPAQUE) && rect) {
        CoverageItem fill{rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, 0, nullptr};
        if (fill.width > 0 && fill.height > 0) platform::detail::BlendCoverage(dc, &fill, 1, s->bkColor, clip);
    }
    if (count == 0) return TRUE;
    FontInstance* font = platform::detail::InstanceOf(s->font);
    std::vector<int> adv = UnitAdvances(font, text, count);
    if (dx) std::copy(dx, dx + count, adv.begin());
    const VisualLine line = ReorderLine(text, adv, 0, count, false, SIZE_MAX);
    Placements p;
    PlaceRun(font, line.chars, line.advances, 0, 0, -1, &p);
    int64_t width = 0;
    for (int a : adv)
        width += a;
    p.back.push_back(CoverageItem{0, 0, int(std::min<int64_t>(width, INT_MAX)),
                                  platform::detail::Metrics(font).tmHeight, 0, nullptr});
    Draw(dc, *s, p, platform::detail::Escapement(font), x, y, clip);
    return TRUE;
}

int DrawTextW(HDC dc, const WCHAR* text, int count, RECT* rect, UINT format) {
    DcTextState* s = TextStateOf(dc);
    if (!s || !text || !rect || count < -1) return 0;
    FontInstance* font = platform::detail::InstanceOf(s->font);
    const int angle = platform::detail::Escapement(font);
    const bool quarter = angle == 900 || angle == 2700;
    // Turned text is laid out along its baseline in a frame of the rectangle's turned size.
    const int64_t rw = int64_t(rect->right) - rect->left, rh = int64_t(rect->bottom) - rect->top;
    const int frameWidth = int(std::clamp<int64_t>(quarter ? rh : rw, 0, INT_MAX));
    const int frameHeight = int(std::clamp<int64_t>(quarter ? rw : rh, 0, INT_MAX));
    const size_t n = Length(text, count);
    if (n == 0) {
        // Nothing to lay out: an empty box.
        if (format & DT_CALCRECT) rect->right = rect->left, rect->bottom = rect->top;
        return 0;
    }
    TextBlock block = LayOut(font, text, n, frameWidth, frameHeight, format);
    const int lineHeight = platform::detail::Metrics(font).tmHeight;
    const int64_t height = int64_t(block.lines.size()) * lineHeight;
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const VisualLine& l : block.lines)
            widest = std::max(widest, l.width);
        // Lines cut with "..." never widen the rectangle, even when the dots alone overflow it.
        if (format & DT_END_ELLIPSIS) widest = std::min(widest, frameWidth);
        rect->right = LONG(std::min<int64_t>(int64_t(rect->left) + widest, INT_MAX));
        rect->bottom = LONG(std::min<int64_t>(int64_t(rect->top) + height, INT_MAX));
        return int(std::min<int64_t>(height, INT_MAX));
    }
    int v = 0;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            v = (frameHeight - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            v = frameHeight - lineHeight;
    }
    Placements p;
    for (const VisualLine& l : block.lines) {
        int u = 0;
        if (format & DT_CENTER)
            u = (frameWidth - l.width) / 2;
        else if (format & DT_RIGHT)
            u = frameWidth - l.width;
        PlaceRun(font, l.chars, l.advances, u, v, l.mark, &p);
        if (l.width > 0) p.back.push_back(CoverageItem{u, v, l.width, lineHeight, 0, nullptr});
        v += lineHeight;
    }
    int ox = rect->left, oy = rect->top;
    if (angle == 900)
        ox = rect->left, oy = rect->bottom;
    else if (angle == 1800)
        ox = rect->right, oy = rect->bottom;
    else if (angle == 2700)
        ox = rect->right, oy = rect->top;
    Draw(dc, *s, p, angle, ox, oy, (format & DT_NOCLIP) ? nullptr : rect);
    const int top = (format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM)) ? v - lineHeight : 0;
    return int(std::min<int64_t>(top + height, INT_MAX));
}
