#include "toolkit/widgets/text_box.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "graphics/paint/canvas.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/pixels/pixel_buffer.h"
#include "platform/crt/wide.h"
#include "platform/win/sys_color.h"
#include "platform/win/text_draw.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/color.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/ui_scale.h"
#include "toolkit/widgets/input_box.h"
#include "toolkit/widgets/rich_text.h"
#include "toolkit/widgets/text_style_internal.h"
#include "toolkit/widgets/vector_text_box.h"

namespace {

constexpr UINT kMeasureSingleLine = 0xD20;

// The start of a line is its right edge in right-to-left reading: an alignment left at the start
// (none, or `start`) goes right there.
int ResolveStartAlignment(int align, bool rightToLeft) {
    return rightToLeft && (align < 0 || align == kKeywordStart) ? kKeywordRight : align;
}

// Fonts by face, height, bold, italic, underline, angle and quality, kept until the cache is
// cleared.
using FontKey = std::tuple<std::u16string, int, bool, bool, bool, int, int>;
std::map<FontKey, HFONT>& FontCache() {
    static std::map<FontKey, HFONT> cache;
    return cache;
}

// What the text group of a computed style says about the font.
struct FontLook {
    std::u16string face;
    int height = 0;
    bool bold = false, italic = false, underline = false;
    int angle = 0; // tenths of a degree
};

FontLook ReadFont(const oxStyleGroup* text) {
    FontLook f;
    if (const oxStyleValue* v = Member(text, kStyle_fontFamily); v && v->GetText()) f.face = v->GetText();
    if (const oxStyleValue* v = Member(text, kStyle_fontSize))
        f.height =
            oxClampLength(v->GetType() == kStyleScaled ? v->GetInt() : int64_t(double(v->GetInt()) * GetUiScale()));
    f.bold = StyleBool(text, kStyle_fontBold);
    f.italic = StyleBool(text, kStyle_fontItalics);
    f.underline = StyleBool(text, kStyle_fontUnderline);
    const int orientation = Keyword(text, kStyle_textOrientation);
    f.angle = orientation == kKeywordDown   ? 2700
              : orientation == kKeywordLeft ? 1800
              : orientation == kKeywordUp   ? 900
                                            : 0;
    return f;
}

HFONT CachedFont(const FontLook& f, BYTE quality) {
    const FontKey key{f.face, f.height, f.bold, f.italic, f.underline, f.angle, quality};
    auto& cache = FontCache();
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    LOGFONTW lf{};
    lf.lfHeight = -f.height;
    lf.lfEscapement = lf.lfOrientation = f.angle;
    lf.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = f.italic;
    lf.lfUnderline = f.underline;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = quality;
    f.face.copy(lf.lfFaceName, LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectW(&lf);
    if (font) cache[key] = font;
    return font;
}

// Everything painting reads from the computed style, once per paint.
struct TextLook {
    FontLook font;
    int orientation = -1;
    uint32_t color = 0;
    bool hasShadow = false;
    uint32_t shadow = 0;
    int shadowX = 0, shadowY = 0;
    bool hasHighlight = false;
    uint32_t highlight = 0;
    int hAlign = -1, vAlign = -1;
    bool cropRight = false;
    bool Vertical() const { return orientation == kKeywordUp || orientation == kKeywordDown; }
};

COLORREF ToColorRef(uint32_t argb) {
    return RGB(BYTE(argb >> 16), BYTE(argb >> 8), BYTE(argb));
}

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

bool Empty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// A memory DC drawing into a fresh top-down section in the depth and 16-bit layout of a pixel
// buffer (32 bits without one), released on every path.
class TextDC {
public:
    TextDC(const oxPixelBuffer* like, int width, int height, HFONT font) {
        struct {
            BITMAPINFOHEADER header{};
            DWORD masks[3] = {};
        } info;
        info.header.biSize = sizeof info.header;
        info.header.biWidth = width;
        info.header.biHeight = -height;
        info.header.biPlanes = 1;
        info.header.biBitCount = WORD(like ? like->bpp : 32);
        if (like && like->bpp == 16) {
            info.header.biCompression = BI_BITFIELDS;
            switch (like->layout) {
            case kLayoutRgb565:
                info.masks[0] = 0xF800, info.masks[1] = 0x07E0, info.masks[2] = 0x001F;
                break;
            case kLayoutRgb655:
                info.masks[0] = 0xFC00, info.masks[1] = 0x03E0, info.masks[2] = 0x001F;
                break;
            case kLayoutRgb556:
                info.masks[0] = 0xF800, info.masks[1] = 0x07C0, info.masks[2] = 0x003F;
                break;
            default:
                info.masks[0] = 0x7C00, info.masks[1] = 0x03E0, info.masks[2] = 0x001F;
                break;
            }
        }
        section_ = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits_, nullptr, 0);
        dc_ = section_ ? CreateCompatibleDC(nullptr) : nullptr;
        if (!dc_) return;
        stride_ = ((width * info.header.biBitCount + 31) / 32) * 4;
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
    uint8_t* Row(int y) const { return static_cast<uint8_t*>(bits_) + size_t(y) * size_t(stride_); }

private:
    HBITMAP section_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr, oldFont_ = nullptr;
    void* bits_ = nullptr;
    int stride_ = 0;
};

// Copies `area` (target pixels) between the target and a section whose (0, 0) is `at`.
void CopyPixels(const oxPixelBuffer& target, const TextDC& t, POINT at, const RECT& area, bool toTarget) {
    const int bytes = target.bpp / 8;
    const size_t n = size_t(area.right - area.left) * size_t(bytes);
    for (int y = area.top; y < area.bottom; ++y) {
        uint8_t* canvasRow = target.GetRow8(y) + area.left * bytes;
        uint8_t* sectionRow = t.Row(y - at.y) + (area.left - at.x) * bytes;
        if (toTarget)
            std::memcpy(canvasRow, sectionRow, n);
        else
            std::memcpy(sectionRow, canvasRow, n);
    }
}

// Blends black-on-white coverage drawn in `t` (whose (0, 0) is `at`) into `dirty` of a 32-bit
// target: the red byte 255 keeps the canvas pixel, 0 writes the colour premultiplied by its alpha,
// between them each channel moves toward the colour.
void BlendCoverage(const oxPixelBuffer& target, const TextDC& t, POINT at, const RECT& dirty, uint32_t color) {
    const uint32_t a = color >> 24;
    const uint32_t premul = (a << 24) | ((((color >> 16) & 0xFF) * a / 255) << 16) |
                            ((((color >> 8) & 0xFF) * a / 255) << 8) | ((color & 0xFF) * a / 255);
    for (int py = dirty.top; py < dirty.bottom; ++py) {
        uint8_t* row = target.GetRow8(py);
        const uint8_t* cov = t.Row(py - at.y);
        for (int px = dirty.left; px < dirty.right; ++px) {
            const uint32_t c = cov[(px - at.x) * 4 + 2];
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

// A span along the text (from `along` for `length`) and across it (from `a0` to `a1`, from the
// line's top) of text placed at (x, y) with extent (w, h), turned to the content box.
RECT TurnSpan(int orientation, int x, int y, int w, int h, int along, int length, int a0, int a1) {
    if (orientation == kKeywordUp) return RECT{x + a0, y + h - along - length, x + a1, y + h - along};
    if (orientation == kKeywordDown) return RECT{x + w - a1, y + along, x + w - a0, y + along + length};
    if (orientation == kKeywordLeft) return RECT{x + w - along - length, y + h - a1, x + w - along, y + h - a0};
    return RECT{x + along, y + a0, x + along + length, y + a1};
}

// Fills a content-box rectangle through the canvas (its matrix, clip and colour transform).
void FillSpan(oxCanvas* canvas, const RECT& r, POINT content, uint32_t argb) {
    if (Empty(r)) return;
    const uint32_t c = canvas->ApplyColorTransform(argb);
    const int32_t alpha = canvas->Alpha();
    canvas->SetAlpha(int32_t(c >> 24));
    canvas->SetColor(c & 0xFFFFFF);
    canvas->Rect(float(content.x + r.left), float(content.y + r.top), float(content.x + r.right),
                 float(content.y + r.bottom), 0);
    canvas->SetAlpha(alpha);
}

// One drawing of `count` units of text (-1: all) into `r` of the content box whose top-left is `at`
// on the target, changing only the target pixels within `clip`.
void DrawPass(oxCanvas* canvas, const TextDC& t, POINT at, const RECT& clip, const WCHAR* text, int count,
              const RECT& r, UINT flags, uint32_t argb, bool hasAlpha) {
    const oxPixelBuffer& target = canvas->Target();
    const uint32_t passColor = canvas->ApplyColorTransform(argb);
    // The part of the canvas this pass may change, in target pixels.
    const RECT dirty = Intersect(RECT{r.left + at.x, r.top + at.y, r.right + at.x, r.bottom + at.y}, clip);
    if (Empty(dirty)) return;
    RECT drawn = r;
    if (!hasAlpha) {
        CopyPixels(target, t, at, dirty, false);
        SetTextColor(t.dc(), ToColorRef(passColor));
        DrawTextW(t.dc(), text, count, &drawn, flags | DT_NOCLIP | DT_NOPREFIX);
        CopyPixels(target, t, at, dirty, true);
        return;
    }
    // Black on white gives the coverage: the red byte 255 keeps the canvas, 0 is the colour. The
    // white is opaque, as on an opaque canvas, since glyphs blend by the pixels' alpha too.
    for (int py = dirty.top; py < dirty.bottom; ++py)
        std::memset(t.Row(py - at.y) + (dirty.left - at.x) * 4, 0xFF, size_t(dirty.right - dirty.left) * 4);
    SetTextColor(t.dc(), RGB(0, 0, 0));
    DrawTextW(t.dc(), text, count, &drawn, flags | DT_NOCLIP | DT_NOPREFIX);
    BlendCoverage(target, t, at, dirty, passColor);
}

// GDI drawing leaves the alpha byte meaningless: a canvas whose bitmap keeps alpha gets the
// text's area opaque again.
void MakeOpaque(oxCanvas* canvas, const RECT& area) {
    const oxPixelBuffer& target = canvas->Target();
    const oxDibBitmap* bitmap = canvas->OwnedBitmap();
    if (target.bpp != 32 || !bitmap || !bitmap->premultiplied) return;
    for (int py = area.top; py < area.bottom; ++py)
        for (int px = area.left; px < area.right; ++px)
            target.GetRow8(py)[px * 4 + 3] = 0xFF;
}

// Where a text box's content lands on a canvas's target: GDI text is not turned or scaled, so the
// box is placed by the translation of the matrix alone.
struct PaintArea {
    oxRect box;   // the content rectangle in the box
    RECT content; // in target pixels
    RECT clip;    // the part of it that may change
};

// False when the canvas has no target of 16 or 32 bits.
bool TargetArea(oxCanvas* canvas, const oxRect& box, PaintArea* out) {
    if (!canvas || !canvas->HasTarget()) return false;
    const oxPixelBuffer& target = canvas->Target();
    if (target.bpp != 32 && target.bpp != 16) return false;
    const POINT origin = canvas->GetOrigin();
    out->box = box;
    out->content =
        RECT{origin.x + box.x, origin.y + box.y, origin.x + box.x + box.width, origin.y + box.y + box.height};
    out->clip = Intersect(Intersect(canvas->ClipBounds(), out->content), RECT{0, 0, target.width, target.height});
    return true;
}

oxBox* MakeTextBox(oxAtom tag) {
    return new (std::nothrow) oxTextBox(tag);
}

oxBox* MakeInputBox(oxAtom tag) {
    return new (std::nothrow) oxInputBox(tag);
}

} // namespace

void oxRegisterTextBoxKinds() {
    oxBoxFactory::RegisterKind(kAtomText, &MakeTextBox);
    oxBoxFactory::RegisterKind(kAtomSimpleText, &MakeTextBox);
    oxBoxFactory::RegisterKind(kAtomInput, &MakeInputBox);
    oxBoxFactory::RegisterKind(kAtomNativeText, &MakeInputBox);
    oxRegisterVectorTextBoxKind();
}

oxTextBox::oxTextBox(oxAtom tag) : oxTextBoxBase(tag) {
    SetEngaged(false, false);
}

oxTextBox::~oxTextBox() = default;

bool oxTextBox::AttributeIsTrue(oxAtom attribute) {
    return ParseBool(oxBox::GetAttribute(attribute));
}

int32_t oxTextBox::SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) {
    // SetValue stores and announces `value` itself: storing it again would announce one change twice.
    if (attribute == kAtomValue) {
        SetValue(value);
        return 0;
    }
    if (attribute == kAtomHtmlValue) SetValue(value);
    const int32_t result = oxBox::SetAttribute(attribute, value, notify, forced);
    if (attribute == kAtomPlaintext) UpdateRichDocument();
    return result;
}

void oxTextBox::SetValue(const WCHAR* text) {
    StoreValue(text);
    if (text) UpdateRichDocument();
}

void oxTextBoxBase::StoreValue(const WCHAR* text) {
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
}

void oxTextBox::UpdateRichDocument() {
    if (AttributeIsTrue(kAtomPlaintext)) {
        richDocument_.reset();
        return;
    }
    if (!richDocument_) richDocument_ = std::make_unique<oxRichText>(this);
    richDocument_->SetSource(GetValue());
    richDocument_->SetRightToLeftEnabled(GetScene() && GetScene()->GetRtlFormatting());
}

void oxTextBox::ApplyRtlOrder() {
    if (AttributeIsTrue(kAtomPlaintext)) richDocument_.reset();
    oxBox::ApplyRtlOrder();
}

void oxTextBox::SetStyleValue(int propertyId, const oxStyleValue& value, int mode) {
    // Turned text is never rich.
    if (propertyId == kStyle_textOrientation && value.GetType() == kStyleKeyword && value.GetValue() != kKeywordFixed) {
        oxBox::SetAttribute(kAtomPlaintext, u"true", true, false);
        richDocument_.reset();
    }
    // An animation step changes no layout.
    if (mode != 1) {
        switch (propertyId) {
        case kStyle_fontFamily:
        case kStyle_fontSize:
        case kStyle_fontItalics:
        case kStyle_fontBold:
        case kStyle_fontUnderline:
            RequestLayout();
            break;
        case kStyle_textColor:
            if (richDocument_) RequestLayout();
            RequestRepaint();
            break;
        default:
            break;
        }
    }
    oxBox::SetStyleValue(propertyId, value, mode);
}

void oxTextBox::SetFocused(bool value, bool keepFrameFocus, bool quiet) {
    // A link laid out inside another text box's rich text shows its focus as a stroke.
    if (placedInline_ && ((GetStateFlags() & kStateFocused) != 0) != value)
        SetStylePropertyText(kStyle_stroke, value ? u"#336a6a6a" : u"none", 0);
    oxBox::SetFocused(value, keepFrameFocus, quiet);
}

BYTE oxTextBox::TextQuality(const WCHAR* smoothing, bool richRun) {
    const oxAtom atom = smoothing ? oxAtoms::Find(smoothing) : 0;
    if (atom == kAtomNone) return NONANTIALIASED_QUALITY;
    if (atom == kAtomAntiAlias) return ANTIALIASED_QUALITY;
    if (atom == kAtomClearType) return richRun ? CLEARTYPE_COMPAT_QUALITY : CLEARTYPE_QUALITY;
    return DEFAULT_QUALITY;
}

HFONT oxTextBox::GetFont() {
    oxBoxStyle* style = GetStyle();
    if (!style) return nullptr;
    return CachedFont(ReadFont(style->GetTextGroup()), TextQuality(oxBox::GetAttribute(kAtomTextSmoothing), false));
}

HFONT oxTextBox::GetCachedFont(const WCHAR* face, int size, bool bold, bool italic, bool underline, int angle,
                               BYTE quality) {
    FontLook f;
    if (face) f.face = face;
    f.height = size;
    f.bold = bold;
    f.italic = italic;
    f.underline = underline;
    f.angle = angle;
    return CachedFont(f, quality);
}

void oxTextBox::ClearFontCache() {
    // The measuring context lets go of the font it holds before the fonts go.
    if (HDC dc = MeasuringDC(nullptr)) SelectObject(dc, GetStockObject(SYSTEM_FONT));
    for (auto& [key, font] : FontCache())
        DeleteObject(font);
    FontCache().clear();
}

HDC oxTextBox::MeasuringDC(HFONT font) {
    // One context serves every measure: making one per measure would cost more than the measure.
    static TextDC measuring(nullptr, 1, 1, static_cast<HFONT>(GetStockObject(SYSTEM_FONT)));
    if (!measuring.dc()) return nullptr;
    if (font) SelectObject(measuring.dc(), font);
    return measuring.dc();
}

SIZE oxTextBox::MeasureText(const WCHAR* text, int count, HFONT font) {
    if (!text || !font) return SIZE{0, 0};
    const int n = count < 0 ? int(wcslen(text)) : count;
    HDC dc = MeasuringDC(font);
    if (!dc) return SIZE{0, 0};
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text, n, &r, kMeasureSingleLine);
    SIZE size{r.right - r.left, r.bottom - r.top};
    // An italic last character leans past its advance.
    ABC abc{};
    if (n >= 1 && GetCharABCWidthsW(dc, text[n - 1], text[n - 1], &abc) && abc.abcC < 0) size.cx -= abc.abcC;
    return size;
}

SIZE oxTextBox::MeasureText(const WCHAR* text, int count, oxStyleGroup* textGroup) {
    if (!textGroup) return SIZE{0, 0};
    return MeasureText(text, count, CachedFont(ReadFont(textGroup), DEFAULT_QUALITY));
}

int32_t oxTextBoxBase::AvailableWidth() {
    oxBox* parent = GetLogicalParent();
    if (!parent) return 0;
    const oxRect margins = GetMargins(), padding = GetPadding(); // {left, top, right, bottom}
    const int32_t left = std::max(0, GetPacked(0).x - parent->GetPacked(2).x);
    int32_t width = parent->GetPacked(3).x - left - margins.x - margins.width - padding.x - padding.width;
    oxBoxStyle* style = GetStyle();
    const oxStyleValue* max = style ? Member(style->GetMetricsGroup(), kStyle_maxWidth) : nullptr;
    if (max && max->GetType() != kStyleKeyword && max->GetInt() > 0 && (max->GetInt() < width || width <= 0))
        width = max->GetInt();
    return width;
}

SIZE oxTextBox::MeasureValue(bool within) {
    oxBoxStyle* style = GetStyle();
    if (!style) return SIZE{0, 0};
    const WCHAR* value = GetValue();
    if (!value || !*value) value = u" ";
    const oxStyleGroup* layout = style->GetLayoutGroup();
    const bool charWrap = AttributeIsTrue(kAtomCharacterWrap);
    const bool wordBreak = AttributeIsTrue(kAtomWordwrap) || charWrap;
    const bool cropRight = Keyword(layout, kStyle_crop) == kKeywordRight;
    TextDC t(nullptr, 1, 1, GetFont());
    if (!t.dc()) return SIZE{0, 0};
    RECT r{0, 0, 0, 0};
    if (within) {
        const oxPoint content = GetPacked(3);
        r = RECT{0, 0, content.x, content.y};
        const UINT lines = wordBreak ? 0x410 : AttributeIsTrue(kAtomMultiline) ? 0x400 : 0x420;
        DrawTextW(t.dc(), value, -1, &r, 0x400 | lines | (charWrap ? 0x2010 : 0) | DT_NOPREFIX);
    } else {
        DrawTextW(t.dc(), value, -1, &r, 0xC20);
        const oxStyleValue* height = Member(style->GetMetricsGroup(), kStyle_height);
        const bool autoHeight = !height || (height->GetType() == kStyleKeyword ? height->GetValue() == kKeywordAuto
                                                                               : height->GetInt() == 0);
        if (wordBreak && autoHeight) {
            const int32_t width = AvailableWidth();
            if (width > 0 && r.right - r.left > width) {
                r = RECT{0, 0, width, 0};
                DrawTextW(t.dc(), value, -1, &r,
                          (charWrap ? 0x2410 : 0x410) | (cropRight ? DT_END_ELLIPSIS : 0) | DT_NOPREFIX);
            }
        }
    }
    SIZE size{r.right - r.left, r.bottom - r.top};
    const int orientation = Keyword(style->GetTextGroup(), kStyle_textOrientation);
    if (orientation == kKeywordUp || orientation == kKeywordDown) std::swap(size.cx, size.cy);
    return size;
}

bool oxTextBoxBase::HasAutoHeight() {
    oxBoxStyle* style = GetStyle();
    const oxStyleValue* height = style ? Member(style->GetMetricsGroup(), kStyle_height) : nullptr;
    return !height || (height->GetType() == kStyleKeyword ? height->GetValue() == kKeywordAuto : height->GetInt() == 0);
}

oxRichStyle oxTextBox::RichBaseStyle() {
    oxRichStyle base;
    oxBoxStyle* style = GetStyle();
    if (!style) return base;
    const FontLook f = ReadFont(style->GetTextGroup());
    base.face = f.face.substr(0, 31);
    base.size = f.height;
    base.bold = f.bold;
    base.italic = f.italic;
    base.underline = f.underline;
    return base;
}

void oxTextBox::LayoutRich(int32_t wrapWidth) {
    if (!richDocument_) return;
    richDocument_->SetBaseStyle(RichBaseStyle());
    richDocument_->SetRightToLeftEnabled(GetScene() && GetScene()->GetRtlFormatting());
    // Link boxes are made anew by every layout; their coming and going must not queue another.
    layingOutRich_ = true;
    richDocument_->Layout(wrapWidth);
    layingOutRich_ = false;
}

void oxTextBox::RequestLayout() {
    if (!layingOutRich_) oxTextBoxBase::RequestLayout();
}

oxPoint oxTextBox::GetIntrinsicSize() {
    if (richDocument_ && GetStyle()) {
        if (!richDocument_->HasSource()) {
            const SIZE space = MeasureText(u" ", 1, GetFont());
            return oxPoint{space.cx, space.cy};
        }
        LayoutRich(-1);
        oxPoint size = richDocument_->GetSize();
        if ((AttributeIsTrue(kAtomWordwrap) || AttributeIsTrue(kAtomCharacterWrap)) && HasAutoHeight()) {
            const int32_t width = AvailableWidth();
            if (width > 0) {
                LayoutRich(width);
                size = richDocument_->GetSize();
            }
        }
        return size;
    }
    const SIZE size = MeasureValue(false);
    return oxPoint{size.cx, size.cy};
}

void oxTextBox::Arrange(oxPlacementRecord* placement) {
    if (richDocument_) {
        if (placement && TestChangeFlags(kChangeFlowed) && AttributeIsTrue(kAtomWordwrap) && placement->width > 0) {
            LayoutRich(placement->width);
            int32_t f = richDocument_->GetSize().y;
            oxBoxStyle* richStyle = GetStyle();
            const oxStyleValue* height = richStyle ? Member(richStyle->GetMetricsGroup(), kStyle_height) : nullptr;
            if (height && height->GetType() != kStyleKeyword && height->GetInt() > 0) f = std::min(f, height->GetInt());
            if (f != placement->height) placement->SetExtra(true, false, placement->width, f, 0, 0);
        }
        oxBox::Arrange(placement);
        const bool wraps = AttributeIsTrue(kAtomWordwrap) || AttributeIsTrue(kAtomMultiline);
        LayoutRich(wraps && GetPacked(3).x > 0 ? GetPacked(3).x : -1);
        PlaceRichItems();
        return;
    }
    oxBoxStyle* style =
        placement && TestChangeFlags(kChangeFlowed) && AttributeIsTrue(kAtomWordwrap) ? GetStyle() : nullptr;
    const oxStyleGroup* metrics = style ? style->GetMetricsGroup() : nullptr;
    const oxStyleValue* height = Member(metrics, kStyle_height);
    const bool autoHeight =
        !height || (height->GetType() == kStyleKeyword ? height->GetValue() == kKeywordAuto : height->GetInt() == 0);
    if (style && autoHeight) {
        const WCHAR* value = GetValue();
        if (!value || !*value) value = u" ";
        const UINT charWrap = AttributeIsTrue(kAtomCharacterWrap) ? 0x2000 : 0;
        TextDC t(nullptr, 1, 1, GetFont());
        if (t.dc()) {
            const oxStyleValue* widthValue = Member(metrics, kStyle_width);
            const int32_t width = widthValue ? widthValue->GetInt() : 0;
            RECT r{0, 0, width, 0};
            DrawTextW(t.dc(), value, -1, &r, width < 1 ? 0x420 : 0x410 | charWrap);
            // Wrapped at the width the layout gives when that is narrower than the text.
            if (placement->width < r.right - r.left) {
                r = RECT{0, 0, placement->width, 0};
                DrawTextW(t.dc(), value, -1, &r, 0xC10 | charWrap);
                const int32_t h = r.bottom - r.top;
                if (h != placement->height) placement->SetExtra(true, false, placement->width, h, 0, 0);
            }
        }
    }
    oxBox::Arrange(placement);
}

UINT oxTextBox::DrawFlags() {
    const bool wrap = AttributeIsTrue(kAtomWordwrap), charWrap = AttributeIsTrue(kAtomCharacterWrap);
    const bool multiline = AttributeIsTrue(kAtomMultiline);
    UINT flags = wrap ? DT_WORDBREAK : multiline ? 0 : DT_SINGLELINE;
    if (charWrap) flags |= DT_EDITCONTROL | DT_WORDBREAK;
    const WCHAR* dir = oxBox::GetAttribute(kAtomDir);
    const bool rtl = dir ? oxAtoms::Find(dir) == kAtomRtl : GetScene() && GetScene()->IsRightToLeft();
    if (rtl) flags |= DT_RTLREADING;
    return flags;
}

void oxTextBox::PaintContent(oxCanvas* canvas) {
    if (richDocument_) {
        PaintRich(canvas);
        return;
    }
    oxBoxStyle* style = GetStyle();
    const WCHAR* value = GetValue();
    PaintArea where;
    if (!style || !value || !TargetArea(canvas, GetContentRect(), &where)) return;
    const oxPixelBuffer& target = canvas->Target();
    const oxRect& box = where.box;
    const RECT& content = where.content;
    const RECT& clip = where.clip;
    const int cw = box.width, ch = box.height;
    if (cw <= 0 || ch <= 0 || Empty(clip)) return;

    const oxStyleGroup* text = style->GetTextGroup();
    const oxStyleGroup* layout = style->GetLayoutGroup();
    oxStyleLibrary* library = GetScene() ? GetScene()->GetStyleLibrary() : nullptr;
    TextLook look;
    look.orientation = Keyword(text, kStyle_textOrientation);
    // Colour members hold 0 until a rule sets them.
    auto colorOf = [&](int id) {
        const oxStyleValue* v = Member(text, id);
        return v ? ResolveColorValue(*v, library) : 0u;
    };
    look.color = colorOf(kStyle_textColor);
    if (!look.color) look.color = 0xFF000000u | GetSysColor(COLOR_WINDOWTEXT);
    look.shadow = colorOf(kStyle_textShadowColor);
    look.hasShadow = look.shadow != 0;
    if (look.hasShadow) {
        look.shadowX = Member(text, kStyle_textShadowOffsetX) ? text->Member(kStyle_textShadowOffsetX)->GetInt() : 0;
        look.shadowY = Member(text, kStyle_textShadowOffsetY) ? text->Member(kStyle_textShadowOffsetY)->GetInt() : 0;
    }
    look.highlight = colorOf(kStyle_textHighlight);
    look.hasHighlight = look.highlight != 0;
    look.vAlign = Keyword(layout, kStyle_vAlign);
    look.cropRight = Keyword(layout, kStyle_crop) == kKeywordRight;

    HFONT font = GetFont();
    const bool wrap = AttributeIsTrue(kAtomWordwrap), multiline = AttributeIsTrue(kAtomMultiline);
    UINT flags = DrawFlags();
    const bool rightToLeft = (flags & DT_RTLREADING) != 0;
    look.hAlign = ResolveStartAlignment(Keyword(layout, kStyle_hAlign), rightToLeft);
    // Right-to-left lines of a block kept to its right keep to that edge each.
    if (rightToLeft && look.hAlign == kKeywordRight && (wrap || multiline || (flags & DT_EDITCONTROL)))
        flags |= DT_RIGHT;
    if (look.cropRight) {
        flags |= DT_END_ELLIPSIS;
        if (flags & (DT_WORDBREAK | DT_EDITCONTROL) || multiline) flags |= DT_EDITCONTROL;
    }
    // Coverage is blended only into 32-bit canvases that keep alpha: box layers.
    const bool hasAlpha = target.bpp == 32 && (canvas->flags & 1);
    TextDC t(hasAlpha ? nullptr : &target, cw, ch, font);
    if (!t.dc()) return;

    // Measured within the content box; the baseline runs up or down the box for turned text.
    RECT measured{0, 0, cw, ch};
    DrawTextW(t.dc(), value, -1, &measured, flags | DT_CALCRECT | DT_NOPREFIX);
    int tw = measured.right - measured.left, th = measured.bottom - measured.top;
    if (look.Vertical()) std::swap(tw, th);
    const bool over = look.Vertical() ? th > ch : tw > cw;
    textFlags_ = uint8_t((textFlags_ & ~1) | (over ? 1 : 0));
    if (!over) flags |= DT_NOCLIP;

    auto place = [](int align, int far, int room, int* size) {
        if (*size >= room) return *size = room, 0;
        return align == kKeywordCenter ? (room - *size) / 2 : align == far ? room - *size : 0;
    };
    const int y = place(look.vAlign, kKeywordBottom, ch, &th);
    const int x = place(look.hAlign, kKeywordRight, cw, &tw);

    // The highlight and the access-key bar go under the text, on one line only.
    if (!wrap && !multiline) {
        const POINT local{box.x, box.y};
        const RECT inside{0, 0, cw, ch};
        const char16_t* find = canvas->PeekStyleString();
        const size_t findLength = find ? std::char_traits<char16_t>::length(find) : 0;
        if (look.hasHighlight && findLength) {
            const size_t length = std::char_traits<char16_t>::length(value);
            for (size_t at = 0; at + findLength <= length;) {
                if (_wcsnicmp(value + at, find, findLength) != 0) {
                    ++at;
                    continue;
                }
                const int along = MeasureText(value, int(at), font).cx;
                const int span = MeasureText(value + at, int(findLength), font).cx;
                const int across = look.Vertical() ? tw : th;
                FillSpan(canvas, Intersect(TurnSpan(look.orientation, x, y, tw, th, along, span, 0, across), inside),
                         local, look.highlight);
                at += findLength;
            }
        }
        const WCHAR* accel = oxBox::GetAttribute(kAtomAccelChar);
        if (accel && *accel) {
            if (const WCHAR* hit = wcschr(value, *accel)) {
                const int along = MeasureText(value, int(hit - value), font).cx;
                const SIZE glyph = MeasureText(hit, 1, font);
                const int thickness = std::max(1, ReadFont(text).height / 10);
                FillSpan(
                    canvas,
                    Intersect(TurnSpan(look.orientation, x, y, tw, th, along, glyph.cx, glyph.cy - thickness, glyph.cy),
                              inside),
                    local, look.color);
            }
        }
    }

    struct Pass {
        int dx, dy;
        uint32_t color;
    } passes[2];
    int count = 0;
    if (look.hasShadow) passes[count++] = Pass{look.shadowX, look.shadowY, look.shadow};
    passes[count++] = Pass{0, 0, look.color};

    const POINT at{content.left, content.top};
    for (int p = 0; p < count; ++p) {
        const RECT r{x + passes[p].dx, y + passes[p].dy, x + passes[p].dx + tw, y + passes[p].dy + th};
        DrawPass(canvas, t, at, clip, value, -1, r, flags, passes[p].color, hasAlpha);
    }
    if (!hasAlpha) MakeOpaque(canvas, Intersect(RECT{at.x + x, at.y + y, at.x + x + tw, at.y + y + th}, clip));
}

void oxTextBox::DrawTextLine(oxCanvas* canvas, HFONT font, const WCHAR* text, int count, int x, int y, uint32_t argb) {
    if (!canvas || !canvas->HasTarget() || !font || !text || count == 0) return;
    const oxPixelBuffer& target = canvas->Target();
    if (target.bpp != 32 && target.bpp != 16) return;
    const POINT origin = canvas->GetOrigin();
    const oxRect box = GetContentRect();
    const RECT content{origin.x + box.x, origin.y + box.y, origin.x + box.x + box.width, origin.y + box.y + box.height};
    const RECT clip = Intersect(Intersect(canvas->ClipBounds(), content), RECT{0, 0, target.width, target.height});
    if (box.width <= 0 || box.height <= 0 || Empty(clip)) return;
    const bool hasAlpha = target.bpp == 32 && (canvas->flags & 1);
    TextDC t(hasAlpha ? nullptr : &target, box.width, box.height, font);
    if (!t.dc()) return;
    const SIZE size = MeasureText(text, count, font);
    const RECT r{x, y, x + size.cx, y + size.cy};
    DrawPass(canvas, t, POINT{content.left, content.top}, clip, text, count, r, DT_SINGLELINE, argb, hasAlpha);
    if (!hasAlpha)
        MakeOpaque(canvas, Intersect(RECT{content.left + r.left, content.top + r.top, content.left + r.right,
                                          content.top + r.bottom},
                                     clip));
}

void oxTextBox::FillContentRect(oxCanvas* canvas, int x, int y, int width, int height, uint32_t argb) {
    if (!canvas || width <= 0 || height <= 0) return;
    const oxRect box = GetContentRect();
    FillSpan(canvas, RECT{x, y, x + width, y + height}, POINT{box.x, box.y}, argb);
}

uint32_t oxTextBox::GetTextColor() {
    oxBoxStyle* style = GetStyle();
    const oxStyleValue* v = style ? Member(style->GetTextGroup(), kStyle_textColor) : nullptr;
    oxStyleLibrary* library = GetScene() ? GetScene()->GetStyleLibrary() : nullptr;
    return v ? ResolveColorValue(*v, library) : 0u;
}

int oxTextBox::GetFontHeight() {
    oxBoxStyle* style = GetStyle();
    return style ? ReadFont(style->GetTextGroup()).height : 0;
}

void oxTextBox::SetPlacedInline(const oxRect& rect) {
    placedInline_ = true;
    placedRect_ = rect;
}

void oxTextBox::PlaceRichItems() {
    oxRichText* doc = richDocument_.get();
    oxBoxStyle* style = GetStyle();
    if (!doc || !style) return;
    const oxRect content = GetContentRect();
    const oxStyleGroup* layout = style->GetLayoutGroup();
    const WCHAR* dir = oxBox::GetAttribute(kAtomDir);
    const bool rtl = dir ? oxAtoms::Find(dir) == kAtomRtl : GetScene() && GetScene()->IsRightToLeft();
    const bool flowing = AttributeIsTrue(kAtomWordwrap) || AttributeIsTrue(kAtomMultiline);
    const WCHAR* justifyText = oxBox::GetAttribute(kAtomJustify);
    const int justify = justifyText ? StyleKeywordIdFromName(justifyText) : -1;
    const int hAlign = Keyword(layout, kStyle_hAlign), vAlign = Keyword(layout, kStyle_vAlign);
    const oxPoint total = doc->GetSize();
    int32_t y = 0;
    if (!flowing && total.y < content.height)
        y = vAlign == kKeywordCenter   ? (content.height - total.y) / 2
            : vAlign == kKeywordBottom ? content.height - total.y
                                       : 0;
    for (int l = 0; l < doc->GetLineCount(); ++l) {
        oxRichLine* line = doc->GetLine(l);
        const int32_t spare = content.width - line->width;
        const int align = ResolveStartAlignment(flowing ? justify : hAlign, rtl);
        int32_t x = 0;
        if (spare > 0) x = align == kKeywordCenter ? spare / 2 : align == kKeywordRight ? spare : 0;
        // Drawn from the paragraph's starting edge: the right end of the line for a right-to-left base.
        int32_t along = 0;
        for (int k = 0;; ++k) {
            oxRichItem* item = doc->GetItem(l, k, rtl ? 1 : 0);
            if (!item) break;
            const int32_t ix = rtl ? x + line->width - along - item->width : x + along;
            item->placed = oxRect{ix, y + line->height - item->height, item->width, item->height};
            along += item->width;
            if (!item->box) continue;
            const oxRect& r = item->placed;
            item->box->SetBoxPosition({content.x + r.x, content.y + r.y});
            item->box->SetBoxSize({r.width, r.height});
            item->box->SetContentSize({r.width, r.height});
            if (item->kind == oxRichItem::kLink)
                if (auto* link = dynamic_cast<oxTextBox*>(item->box))
                    link->SetPlacedInline(oxRect{content.x + r.x, content.y + r.y, r.width, r.height});
        }
        y += line->height;
    }
}

void oxTextBoxBase::Paint(oxCanvas* canvas) {
    const bool mirror = GetScene() && GetScene()->IsRightToLeft();
    if (mirror != mirrored_) {
        mirrored_ = mirror;
        // Its own layer, mirrored again as it is put down, undoes the window's mirror.
        if (mirror)
            SetStyle(u"flip", u"x");
        else
            RemoveStyleValue(kStyle_flip);
    }
    oxBox::Paint(canvas);
}

oxPoint oxTextBoxBase::ToShownPosition(const oxPoint& inBox) const {
    if (!mirrored_) return inBox;
    return {int32_t(int64_t(GetPacked(1).x) - 1 - inBox.x), inBox.y};
}

oxBox* oxTextBox::HitTest(const oxPoint& point) {
    if (richDocument_ && GetBoxRect().Contains(point)) {
        const oxPoint at = GetPacked(0);
        const oxRect content = GetContentRect();
        const oxPoint inBox = ToShownPosition({point.x - at.x, point.y - at.y});
        if (oxBox* hit = richDocument_->HitTestEmbedded({inBox.x - content.x, inBox.y - content.y})) return hit;
    }
    return oxBox::HitTest(point);
}

void oxTextBox::PaintRich(oxCanvas* canvas) {
    oxBoxStyle* style = GetStyle();
    oxRichText* doc = richDocument_.get();
    PaintArea where;
    if (!style || !doc || !TargetArea(canvas, GetContentRect(), &where)) return;
    const oxPixelBuffer& target = canvas->Target();
    const RECT& content = where.content;
    const RECT& clip = where.clip;
    const int cw = where.box.width, ch = where.box.height;
    textFlags_ &= ~1;
    if (cw <= 0 || ch <= 0) return;
    if (doc->GetLineCount() == 0) {
        const bool wraps = AttributeIsTrue(kAtomWordwrap) || AttributeIsTrue(kAtomMultiline);
        LayoutRich(wraps ? cw : -1);
    }
    PlaceRichItems();
    if (doc->GetSize().y > ch) textFlags_ |= 1;
    if (Empty(clip)) return;

    oxStyleLibrary* library = GetScene() ? GetScene()->GetStyleLibrary() : nullptr;
    const oxStyleValue* colorValue = Member(style->GetTextGroup(), kStyle_textColor);
    uint32_t boxColor = colorValue ? ResolveColorValue(*colorValue, library) : 0u;
    if (!boxColor) boxColor = 0xFF000000u | GetSysColor(COLOR_WINDOWTEXT);
    const bool hasAlpha = target.bpp == 32 && (canvas->flags & 1);
    // Runs on a layered target are grey-scale anti-aliased whatever the attribute says.
    const BYTE quality = hasAlpha ? ANTIALIASED_QUALITY : TextQuality(oxBox::GetAttribute(kAtomTextSmoothing), true);
    TextDC t(hasAlpha ? nullptr : &target, cw, ch, nullptr);
    if (!t.dc()) return;
    const POINT at{content.left, content.top};
    const RECT copyable = Intersect(content, RECT{0, 0, target.width, target.height});
    if (!hasAlpha) CopyPixels(target, t, at, copyable, false);
    std::vector<RECT> drawn;
    const bool flowing = AttributeIsTrue(kAtomWordwrap) || AttributeIsTrue(kAtomMultiline);
    const bool cropRight = Keyword(style->GetLayoutGroup(), kStyle_crop) == kKeywordRight;
    int32_t lineTop = 0;
    for (int l = 0; l < doc->GetLineCount(); ++l) {
        oxRichLine* line = doc->GetLine(l);
        // A line too wide for a box cropped at the right, or the last line before the text passes
        // the bottom of a wrapping box, ends its last run in "...".
        lineTop += line->height;
        const bool lastShown = l + 1 < doc->GetLineCount() && lineTop + doc->GetLine(l + 1)->height > ch;
        const bool cut = flowing ? lastShown : cropRight && line->width > cw;
        int lastRun = -1;
        for (int k = 0; cut && k < line->GetItemCount(); ++k)
            if (line->GetItemAt(k)->kind == oxRichItem::kText && !line->GetItemAt(k)->text.empty()) lastRun = k;
        for (int k = 0; k < line->GetItemCount(); ++k) {
            oxRichItem* item = line->GetItemAt(k);
            if (item->kind != oxRichItem::kText || item->text.empty()) continue;
            const oxRichStyle& look = item->style;
            HFONT font =
                GetCachedFont(look.face.c_str(), look.size, look.bold, look.italic, look.underline, 0, quality);
            if (!font) continue;
            SelectObject(t.dc(), font);
            std::u16string cropped;
            if (k == lastRun) {
                // The longest start of the run that fits the content width with the dots, found by
                // halving: a prefix is never narrower than a shorter one.
                const int32_t room = cw - (line->width - item->width) - MeasureText(u"...", 3, font).cx;
                size_t keep = 0;
                for (size_t low = 0, high = item->text.size(); low < high;) {
                    const size_t mid = low + (high - low + 1) / 2;
                    if (MeasureText(item->text.c_str(), int(mid), font).cx <= room) {
                        keep = low = mid;
                    } else {
                        high = mid - 1;
                    }
                }
                // A character of two units is kept whole or not at all.
                if (keep > 0 && keep < item->text.size() && item->text[keep - 1] >= 0xD800 &&
                    item->text[keep - 1] < 0xDC00)
                    --keep;
                cropped = item->text.substr(0, keep) + u"...";
            }
            const std::u16string& text = k == lastRun ? cropped : item->GetShownText();
            RECT r{item->placed.x, item->placed.y, item->placed.x + item->placed.width,
                   item->placed.y + item->placed.height};
            if (k == lastRun) r.right = r.left + MeasureText(cropped.c_str(), int(cropped.size()), font).cx;
            const uint32_t color = canvas->ApplyColorTransform(look.color ? look.color : boxColor);
            if (!hasAlpha) {
                drawn.push_back(Intersect(RECT{r.left + at.x, r.top + at.y, r.right + at.x, r.bottom + at.y}, clip));
                SetTextColor(t.dc(), ToColorRef(color));
                DrawTextW(t.dc(), text.c_str(), int(text.size()), &r, DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
                continue;
            }
            const RECT dirty = Intersect(RECT{r.left + at.x, r.top + at.y, r.right + at.x, r.bottom + at.y}, clip);
            if (Empty(dirty)) continue;
            for (int py = dirty.top; py < dirty.bottom; ++py)
                std::memset(t.Row(py - at.y) + (dirty.left - at.x) * 4, 0xFF, size_t(dirty.right - dirty.left) * 4);
            SetTextColor(t.dc(), RGB(0, 0, 0));
            DrawTextW(t.dc(), text.c_str(), int(text.size()), &r, DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
            BlendCoverage(target, t, at, dirty, color);
        }
        if (flowing && cut) break;
    }
    if (!hasAlpha) {
        CopyPixels(target, t, at, clip, true);
        const oxDibBitmap* bitmap = canvas->OwnedBitmap();
        // GDI leaves the alpha byte meaningless: the runs' areas are made opaque again.
        if (target.bpp == 32 && bitmap && bitmap->premultiplied)
            for (const RECT& area : drawn)
                for (int py = area.top; py < area.bottom; ++py)
                    for (int px = area.left; px < area.right; ++px)
                        target.GetRow8(py)[px * 4 + 3] = 0xFF;
    }
    // The link and image boxes have no layout to paint them: each is painted at its item's place.
    for (int l = 0; l < doc->GetLineCount(); ++l) {
        oxRichLine* line = doc->GetLine(l);
        for (int k = 0; k < line->GetItemCount(); ++k)
            if (oxBox* child = line->GetItemAt(k)->box) PaintChild(canvas, child);
    }
}
