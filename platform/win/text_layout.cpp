#include "platform/win/text_layout.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "platform/win/font_internal.h"
#include "platform/win/text_draw.h"

namespace platform::text {

namespace {

bool IsHigh(WCHAR u) {
    return u >= 0xD800 && u < 0xDC00;
}
bool IsLow(WCHAR u) {
    return u >= 0xDC00 && u < 0xE000;
}
bool IsSpace(WCHAR u) {
    return u == u' ' || u == u'\t' || u == 0x3000;
}
// Ideographic characters break on either side, as the platform breaks them.
bool IsIdeograph(WCHAR u) {
    return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xAC00 && u <= 0xD7AF) || (u >= 0xF900 && u <= 0xFAFF) ||
           (u >= 0xFF00 && u <= 0xFFEF);
}

bool IsRightToLeft(char32_t c) {
    return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF) ||
           (c >= 0x10800 && c <= 0x10FFF) || (c >= 0x1E800 && c <= 0x1EFFF);
}
bool IsNeutral(char32_t c) {
    return c < 0x30 || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0xBF) ||
           (c >= 0x2000 && c <= 0x206F) || c == 0x3000;
}

// Embedding levels of a line: strong right-to-left characters odd, the rest even; neutrals take
// the direction of the strong characters on both sides, else the base direction. Enough to
// put Hebrew and Arabic runs in display order; it is not the full bidirectional algorithm.
void Reorder(VisualLine* line, bool rtl) {
    const size_t n = line->chars.size();
    bool any = rtl;
    for (size_t i = 0; i < n && !any; ++i)
        any = IsRightToLeft(line->chars[i]);
    if (!any) return;
    const int base = rtl ? 1 : 0;
    std::vector<int> level(n);
    for (size_t i = 0; i < n; ++i) {
        const char32_t c = line->chars[i];
        level[i] = IsRightToLeft(c) ? 1 : IsNeutral(c) ? -1 : (base ? 2 : 0);
    }
    for (size_t i = 0; i < n;) {
        if (level[i] != -1) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < n && level[j] == -1)
            ++j;
        const int before = i > 0 ? (level[i - 1] & 1) : base;
        const int after = j < n ? (level[j] & 1) : base;
        const int dir = before == after ? before : base;
        const int lvl = dir ? 1 : (base ? 2 : 0);
        std::fill(level.begin() + ptrdiff_t(i), level.begin() + ptrdiff_t(j), lvl);
        i = j;
    }
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = i;
    const int top = *std::max_element(level.begin(), level.end());
    for (int lvl = top; lvl >= 1; --lvl)
        for (size_t i = 0; i < n;) {
            if (level[order[i]] < lvl) {
                ++i;
                continue;
            }
            size_t j = i;
            while (j < n && level[order[j]] >= lvl)
                ++j;
            std::reverse(order.begin() + ptrdiff_t(i), order.begin() + ptrdiff_t(j));
            i = j;
        }
    VisualLine out;
    out.width = line->width;
    out.chars.resize(n);
    out.advances.resize(n);
    for (size_t i = 0; i < n; ++i) {
        out.chars[i] = line->chars[order[i]];
        out.advances[i] = line->advances[order[i]];
        if (int(order[i]) == line->mark) out.mark = int(i);
    }
    *line = std::move(out);
}

int64_t Sum(const std::vector<int>& adv, size_t from, size_t to) {
    int64_t w = 0;
    for (size_t i = from; i < to; ++i)
        w += adv[i];
    return w;
}

int Clamp(int64_t w) {
    return int(std::min<int64_t>(w, INT_MAX));
}

struct Range {
    size_t start;
    size_t end;
    bool ellipsis = false;
};

// The longest start of [r.start, r.end) that leaves room for "..." within `width`, never
// ending inside a surrogate pair.
size_t CutForEllipsis(const WCHAR* text, const std::vector<int>& adv, const Range& r, int width, int dots) {
    int64_t w = dots;
    size_t k = r.start;
    while (k < r.end) {
        size_t next = k + 1;
        if (IsHigh(text[k]) && next < r.end && IsLow(text[next])) ++next;
        const int64_t step = Sum(adv, k, next);
        if (w + step > width) break;
        w += step;
        k = next;
    }
    return k;
}

// Greedy breaking of one paragraph at spaces (and around ideographs); an over-long word stays
// whole on its line unless `breakWords`, which cuts it at a character.
void Wrap(const WCHAR* text, const std::vector<int>& adv, size_t ps, size_t pe, int width, bool breakWords,
          std::vector<Range>* lines) {
    size_t i = ps;
    do {
        const size_t s = i;
        int64_t w = 0;
        size_t inkEnd = s;
        bool cut = false;
        while (i < pe) {
            size_t k = i;
            if (IsIdeograph(text[k]))
                ++k;
            else
                while (k < pe && !IsSpace(text[k]) && !IsIdeograph(text[k]))
                    ++k;
            size_t m = k;
            while (m < pe && IsSpace(text[m]))
                ++m;
            const int64_t ww = Sum(adv, i, k);
            if (w + ww > width && i != s) break;
            if (w + ww > width && breakWords && k > i) {
                // Alone and too long: as much of it as fits, at least one character.
                size_t c = i;
                int64_t cw = 0;
                while (c < k) {
                    size_t next = c + 1;
                    if (IsHigh(text[c]) && next < k && IsLow(text[next])) ++next;
                    const int64_t step = Sum(adv, c, next);
                    if (c > i && cw + step > width) break;
                    cw += step;
                    c = next;
                }
                if (c < k) {
                    lines->push_back(Range{s, c});
                    i = c;
                    cut = true;
                    break;
                }
            }
            w += ww;
            inkEnd = k;
            const bool over = w > width;
            w += Sum(adv, k, m);
            i = m;
            if (over) break;
        }
        if (!cut) lines->push_back(Range{s, inkEnd});
    } while (i < pe);
}

} // namespace

std::vector<int> UnitAdvances(platform::detail::FontInstance* font, const WCHAR* text, size_t count) {
    std::vector<int> adv(count, 0);
    for (size_t i = 0; i < count; ++i) {
        char32_t c = text[i];
        if (IsHigh(text[i]) && i + 1 < count && IsLow(text[i + 1])) {
            c = 0x10000 + ((char32_t(text[i]) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
            adv[i] = platform::detail::GetGlyph(font, c, false).advance;
            ++i;
            continue;
        }
        adv[i] = platform::detail::GetGlyph(font, c, false).advance;
    }
    return adv;
}

VisualLine ReorderLine(const WCHAR* text, const std::vector<int>& advances, size_t start, size_t end, bool rtl,
                       size_t markUnit, bool ellipsis, int dotAdvance) {
    VisualLine line;
    int64_t width = 0;
    for (size_t i = start; i < end; ++i) {
        char32_t c = text[i];
        int a = advances[i];
        if (i == markUnit) line.mark = int(line.chars.size());
        if (IsHigh(text[i]) && i + 1 < end && IsLow(text[i + 1])) {
            c = 0x10000 + ((char32_t(text[i]) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
            a += advances[++i];
        }
        line.chars.push_back(c);
        line.advances.push_back(a);
        width += a;
    }
    if (ellipsis)
        for (int d = 0; d < 3; ++d) {
            line.chars.push_back(U'.');
            line.advances.push_back(dotAdvance);
            width += dotAdvance;
        }
    line.width = Clamp(width);
    Reorder(&line, rtl);
    return line;
}

TextBlock LayOut(platform::detail::FontInstance* font, const WCHAR* text, size_t count, int width, int height,
                 UINT format) {
    // '&' marks the next character for underlining and "&&" is a plain '&', unless DT_NOPREFIX.
    std::u16string buffer;
    size_t mark = SIZE_MAX;
    if (!(format & DT_NOPREFIX)) {
        buffer.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            if (text[i] == u'&') {
                if (++i == count) break;
                if (text[i] != u'&' && mark == SIZE_MAX) mark = buffer.size();
            }
            buffer.push_back(text[i]);
        }
        text = buffer.data();
        count = buffer.size();
    }
    const std::vector<int> adv = UnitAdvances(font, text, count);
    std::vector<Range> ranges;
    const bool wrap = (format & DT_WORDBREAK) && !(format & DT_SINGLELINE);
    size_t ps = 0;
    while (true) {
        size_t pe = ps;
        if (!(format & DT_SINGLELINE))
            while (pe < count && text[pe] != u'\r' && text[pe] != u'\n')
                ++pe;
        else
            pe = count;
        if (wrap)
            Wrap(text, adv, ps, pe, width, (format & DT_EDITCONTROL) != 0, &ranges);
        else
            ranges.push_back(Range{ps, pe});
        if (pe >= count) break;
        ps = pe + 1;
        if (text[pe] == u'\r' && ps < count && text[ps] == u'\n') ++ps;
        if (ps >= count) break; // a final line break starts no new line
    }

    const int dot = platform::detail::GetGlyph(font, U'.', false).advance;
    if (format & DT_END_ELLIPSIS) {
        // Lines too wide for the rectangle end in "...".
        for (Range& r : ranges)
            if (Sum(adv, r.start, r.end) > width) {
                r.end = CutForEllipsis(text, adv, r, width, 3 * dot);
                r.ellipsis = true;
            }
        // Wrapped text that runs past the bottom ends its last whole line in "...".
        const int lineHeight = platform::detail::Metrics(font).tmHeight;
        if (wrap && (format & DT_EDITCONTROL) && !(format & DT_CALCRECT) && lineHeight > 0) {
            const size_t fits = std::max<size_t>(1, size_t(std::max(height, 0) / lineHeight));
            if (ranges.size() > fits) {
                ranges.resize(fits);
                Range& last = ranges.back();
                last.end = CutForEllipsis(text, adv, last, width, 3 * dot);
                last.ellipsis = true;
            }
        }
    }
    TextBlock block;
    block.lines.reserve(ranges.size());
    const bool rtl = (format & DT_RTLREADING) != 0;
    for (const Range& r : ranges)
        block.lines.push_back(ReorderLine(text, adv, r.start, r.end, rtl, mark, r.ellipsis, dot));
    return block;
}

} // namespace platform::text
