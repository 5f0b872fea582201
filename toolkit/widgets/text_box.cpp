#include "toolkit/widgets/text_box.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

#include "graphics/pixels/dib_bitmap.h"
#include "platform/crt/wide.h"
#include "platform/win/sys_color.h"
#include "platform/win/text_draw.h"
#include "toolkit/core/atoms.h"
#include "toolkit/style/attribute_value.h"

namespace {

constexpr UINT kMeasureSingleLine = 0xD20;

// Fonts by face, height, bold, italic, underline, angle and quality, kept until the cache is
// cleared.
using FontKey = std::tuple<std::u16string, int, bool, bool, bool, int, int>;
std::map<FontKey, HFONT>& FontCache() {
    static std::map<FontKey, HFONT> cache;
    return cache;
}

int Angle(oxTextStyle::Orientation o) {
    return o == oxTextStyle::kDown ? 2700 : o == oxTextStyle::kLeft ? 1800 : o == oxTextStyle::kUp ? 900 : 0;
}

bool Vertical(const oxTextStyle& style) {
    return style.textOrientation == oxTextStyle::kUp || style.textOrientation == oxTextStyle::kDown;
}

COLORREF ToColorRef(uint32_t argb) {
    return RGB(BYTE(argb >> 16), BYTE(argb >> 8), BYTE(argb));
}

// A memory DC drawing into a fresh section of the canvas's format, released on every path.
class TextDC {
public:
    TextDC(const oxDibBitmap* like, int width, int height, HFONT font) {
        struct {
            BITMAPINFOHEADER header{};
            DWORD masks[3] = {};
        } info;
        info.header.biSize = sizeof info.header;
        info.header.biWidth = width;
        info.header.biHeight = -height;
        info.header.biPlanes = 1;
        info.header.biBitCount = WORD(like ? like->bpp : 32);
        if (like && like->bpp == 16 && like->header && like->header->biCompression == BI_BITFIELDS) {
            info.header.biCompression = BI_BITFIELDS;
            std::memcpy(info.masks, reinterpret_cast<const uint8_t*>(like->header) + like->header->biSize,
                        sizeof info.masks);
        }
        section_ = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits_, nullptr, 0);
        dc_ = section_ ? CreateCompatibleDC(nullptr) : nullptr;
        if (!dc_) return;
        oldBitmap_ = SelectObject(dc_, section_);
        oldFont_ = SelectObject(dc_, font);
        SetBkMode(dc_, TRANSPARENT);
    }
    ~TextDC() {
        if (dc_) {
            SelectObject(dc_, oldFont_);
            SelectObject(dc_, oldBitmap_);
            DeleteDC(dc_);
        }
        if (section_) DeleteObject(section_);
    }
    TextDC(const TextDC&) = delete;
    TextDC& operator=(const TextDC&) = delete;
    HDC dc() const { return dc_; }
    const uint8_t* bits() const { return static_cast<const uint8_t*>(bits_); }

private:
    HBITMAP section_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr, oldFont_ = nullptr;
    void* bits_ = nullptr;
};

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

} // namespace

oxTextBox::oxTextBox(oxAtom tag) : oxTextBoxBase(tag) {
    SetEngaged(false, false);
}

oxTextBox::~oxTextBox() = default;

bool oxTextBox::AttributeIsTrue(oxAtom attribute) {
    return ParseBool(oxBox::GetAttribute(attribute));
}

int32_t oxTextBox::SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) {
    if (attribute == kAtomValue || attribute == kAtomHtmlValue) SetValue(value);
    return oxBox::SetAttribute(attribute, value, notify, forced);
}

void oxTextBox::SetValue(const WCHAR* text) {
    if (!text) {
        RemoveAttribute(kAtomValue);
        NotifyAttributeChange(kAtomValue, true);
        RequestRepaint();
        RequestLayout();
        return;
    }
    if (StoreAttribute(kAtomValue, text, true)) {
        UpdateFrameBounds(false);
        RequestLayout();
    }
    // FIXME: without `plaintext` the value becomes rich text once rich-text documents exist.
}

BYTE oxTextBox::TextQuality(const WCHAR* smoothing, bool richRun) {
    const oxAtom atom = smoothing ? oxAtoms::Find(smoothing) : 0;
    if (atom == kAtomNone) return NONANTIALIASED_QUALITY;
    if (atom == kAtomAntiAlias) return ANTIALIASED_QUALITY;
    if (atom == kAtomClearType) return richRun ? CLEARTYPE_COMPAT_QUALITY : CLEARTYPE_QUALITY;
    return DEFAULT_QUALITY;
}

HFONT oxTextBox::GetFont(const oxTextStyle& style) const {
    const std::u16string face = style.fontFamily ? std::u16string(style.fontFamily) : std::u16string();
    const int height = int(style.fontSize * style.uiScale);
    const BYTE quality = TextQuality(const_cast<oxTextBox*>(this)->oxBox::GetAttribute(kAtomTextSmoothing), false);
    const FontKey key{
        face, height, style.fontBold, style.fontItalics, style.fontUnderline, Angle(style.textOrientation), quality};
    auto& cache = FontCache();
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    LOGFONTW lf{};
    lf.lfHeight = -height;
    lf.lfEscapement = lf.lfOrientation = Angle(style.textOrientation);
    lf.lfWeight = style.fontBold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = style.fontItalics;
    lf.lfUnderline = style.fontUnderline;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = quality;
    face.copy(lf.lfFaceName, LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectW(&lf);
    if (font) cache[key] = font;
    return font;
}

void oxTextBox::ClearFontCache() {
    for (auto& [key, font] : FontCache())
        DeleteObject(font);
    FontCache().clear();
}

SIZE oxTextBox::MeasureText(const WCHAR* text, int count, HFONT font) {
    if (!text || !font) return SIZE{0, 0};
    const int n = count < 0 ? int(wcslen(text)) : count;
    TextDC t(nullptr, 1, 1, font);
    if (!t.dc()) return SIZE{0, 0};
    RECT r{0, 0, 0, 0};
    DrawTextW(t.dc(), text, n, &r, kMeasureSingleLine);
    SIZE size{r.right - r.left, r.bottom - r.top};
    // An italic last character leans past its advance.
    ABC abc{};
    if (n >= 1 && GetCharABCWidthsW(t.dc(), text[n - 1], text[n - 1], &abc) && abc.abcC < 0) size.cx -= abc.abcC;
    return size;
}

SIZE oxTextBox::MeasureValue(const oxTextStyle& style, bool within, SIZE content, int wrapWidth) {
    const WCHAR* value = GetValue();
    if (!value || !*value) value = u" ";
    const bool charWrap = AttributeIsTrue(kAtomCharacterWrap);
    const bool wordBreak = AttributeIsTrue(kAtomWordwrap) || charWrap;
    HFONT font = GetFont(style);
    TextDC t(nullptr, 1, 1, font);
    if (!t.dc()) return SIZE{0, 0};
    RECT r{0, 0, 0, 0};
    if (within) {
        r = RECT{0, 0, content.cx, content.cy};
        const UINT lines = wordBreak ? 0x410 : AttributeIsTrue(kAtomMultiline) ? 0x400 : 0x420;
        DrawTextW(t.dc(), value, -1, &r, 0x400 | lines | (charWrap ? 0x2010 : 0) | DT_NOPREFIX);
    } else {
        DrawTextW(t.dc(), value, -1, &r, 0xC20);
        // FIXME: the width to wrap at comes from the logical parent's content box once layout exists;
        // callers pass it in until then.
        if (wordBreak && wrapWidth > 0 && r.right - r.left > wrapWidth) {
            r = RECT{0, 0, wrapWidth, 0};
            DrawTextW(t.dc(), value, -1, &r,
                      (charWrap ? 0x2410 : 0x410) | (style.cropRight ? DT_END_ELLIPSIS : 0) | DT_NOPREFIX);
        }
    }
    SIZE size{r.right - r.left, r.bottom - r.top};
    if (Vertical(style)) std::swap(size.cx, size.cy);
    return size;
}

UINT oxTextBox::DrawFlags() {
    const bool wrap = AttributeIsTrue(kAtomWordwrap), charWrap = AttributeIsTrue(kAtomCharacterWrap);
    const bool multiline = AttributeIsTrue(kAtomMultiline);
    UINT flags = wrap ? DT_WORDBREAK : multiline ? 0 : DT_SINGLELINE;
    if (charWrap) flags |= DT_EDITCONTROL | DT_WORDBREAK;
    const WCHAR* dir = oxBox::GetAttribute(kAtomDir);
    // FIXME: without `dir` the scene's direction decides once scenes report it.
    if (dir && oxAtoms::Find(dir) == kAtomRtl) flags |= DT_RTLREADING;
    return flags;
}

void oxTextBox::PaintPlainText(const oxTextStyle& style, const oxTextTarget& target) {
    oxDibBitmap* canvas = target.bitmap;
    const WCHAR* value = GetValue();
    if (!canvas || !canvas->valid || !value || (canvas->bpp != 32 && canvas->bpp != 16)) return;
    const RECT& content = target.content;
    const int cw = content.right - content.left, ch = content.bottom - content.top;
    const RECT clip = Intersect(Intersect(target.clip, content), canvas->GetBounds());
    if (cw <= 0 || ch <= 0 || clip.right <= clip.left || clip.bottom <= clip.top) return;
    HFONT font = GetFont(style);
    UINT flags = DrawFlags();
    if (style.cropRight) {
        flags |= DT_END_ELLIPSIS;
        if (flags & (DT_WORDBREAK | DT_EDITCONTROL) || AttributeIsTrue(kAtomMultiline)) flags |= DT_EDITCONTROL;
    }
    TextDC t(canvas, cw, ch, font);
    if (!t.dc()) return;

    // Measured within the content box; the baseline runs up or down the box for turned text.
    RECT measured{0, 0, cw, ch};
    DrawTextW(t.dc(), value, -1, &measured, flags | DT_CALCRECT | DT_NOPREFIX);
    int tw = measured.right - measured.left, th = measured.bottom - measured.top;
    if (Vertical(style)) std::swap(tw, th);
    const bool over = Vertical(style) ? th > ch : tw > cw;
    textFlags_ = uint8_t((textFlags_ & ~1) | (over ? 1 : 0));
    if (!over) flags |= DT_NOCLIP;

    auto place = [](oxAtom align, oxAtom far, int box, int* size) {
        if (*size >= box) return *size = box, 0;
        return align == kAtomCenter ? (box - *size) / 2 : align == far ? box - *size : 0;
    };
    const int y = place(style.vAlign, kAtomBottom, ch, &th);
    const int x = place(style.hAlign, kAtomRight, cw, &tw);
    // FIXME: the highlight of the canvas's highlight string and the accelChar underline come with
    // the canvas.

    const uint32_t color = style.hasTextColor ? style.textColor : 0xFF000000u | GetSysColor(COLOR_WINDOWTEXT);
    struct Pass {
        int dx, dy;
        uint32_t color;
    } passes[2];
    int count = 0;
    if (style.hasShadow)
        passes[count++] = Pass{style.textShadowOffsetX, style.textShadowOffsetY, style.textShadowColor};
    passes[count++] = Pass{0, 0, color};

    HDC canvasDC = target.hasAlpha ? nullptr : canvas->AcquireDC();
    if (!target.hasAlpha && !canvasDC) return;
    for (int p = 0; p < count; ++p) {
        RECT r{x + passes[p].dx, y + passes[p].dy, x + passes[p].dx + tw, y + passes[p].dy + th};
        // The part of the canvas this pass may change, in canvas pixels.
        const RECT dirty = Intersect(
            RECT{r.left + content.left, r.top + content.top, r.right + content.left, r.bottom + content.top}, clip);
        if (dirty.right <= dirty.left || dirty.bottom <= dirty.top) continue;
        if (!target.hasAlpha) {
            BitBlt(t.dc(), 0, 0, cw, ch, canvasDC, content.left, content.top, SRCCOPY);
            SetTextColor(t.dc(), ToColorRef(passes[p].color));
            DrawTextW(t.dc(), value, -1, &r, flags | DT_NOCLIP | DT_NOPREFIX);
            BitBlt(canvasDC, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, t.dc(),
                   dirty.left - content.left, dirty.top - content.top, SRCCOPY);
            continue;
        }
        // Black on white gives the coverage: the red byte 255 keeps the canvas, 0 is the colour.
        PatBlt(t.dc(), 0, 0, cw, ch, WHITENESS);
        SetTextColor(t.dc(), RGB(0, 0, 0));
        DrawTextW(t.dc(), value, -1, &r, flags | DT_NOCLIP | DT_NOPREFIX);
        const uint32_t a = passes[p].color >> 24;
        const uint32_t premul = (a << 24) | ((((passes[p].color >> 16) & 0xFF) * a / 255) << 16) |
                                ((((passes[p].color >> 8) & 0xFF) * a / 255) << 8) |
                                ((passes[p].color & 0xFF) * a / 255);
        const int stride = cw * 4;
        for (int py = dirty.top; py < dirty.bottom; ++py) {
            uint8_t* row = canvas->pixels.GetRow8(py);
            const uint8_t* cov = t.bits() + size_t(py - content.top) * stride;
            for (int px = dirty.left; px < dirty.right; ++px) {
                const uint32_t c = cov[(px - content.left) * 4 + 2];
                if (c == 255) continue;
                uint32_t pixel;
                std::memcpy(&pixel, row + px * 4, 4);
                if (c == 0) {
                    pixel = premul;
                } else {
                    uint32_t out = 0;
                    for (int shift = 0; shift < 32; shift += 8) {
                        const int from = int((pixel >> shift) & 0xFF), to = int((premul >> shift) & 0xFF);
                        out |= uint32_t(from + (to - from) * int(255 - c) / 256) << shift;
                    }
                    pixel = out;
                }
                std::memcpy(row + px * 4, &pixel, 4);
            }
        }
    }
    if (canvasDC) canvas->ReleaseDC();
    // GDI drawing leaves the alpha byte meaningless: a canvas that keeps alpha gets the text's
    // area opaque again.
    if (!target.hasAlpha && canvas->bpp == 32 && canvas->premultiplied) {
        const RECT area =
            Intersect(RECT{content.left + x, content.top + y, content.left + x + tw, content.top + y + th}, clip);
        for (int py = area.top; py < area.bottom; ++py)
            for (int px = area.left; px < area.right; ++px)
                canvas->pixels.GetRow8(py)[px * 4 + 3] = 0xFF;
    }
}
