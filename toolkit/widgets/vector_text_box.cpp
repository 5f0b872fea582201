#include "toolkit/widgets/vector_text_box.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphics/paint/canvas.h"
#include "graphics/pixels/matrix.h"
#include "graphics/text/font.h"
#include "graphics/text/text_context.h"
#include "platform/crt/wide.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/library/vector_font_element.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/color.h"
#include "toolkit/style/style_library.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/ui_scale.h"
#include "toolkit/widgets/text_style_internal.h"

namespace {

constexpr float kLineSpacing = 1.125f;
constexpr float kQuarterTurn = 1.57079632679f;
const WCHAR kEllipsis[] = u"...";

oxBox* MakeVectorTextBox(oxAtom tag) {
    return new (std::nothrow) oxVectorTextBox(tag);
}

// A text context for one measure or paint, given back on every path.
struct Context {
    oxTextContext* c = nullptr;
    Context(oxFont* font, bool markup) {
        oxTextContext::Create(&c);
        oxTextContext::SetFont(c, font);
        oxTextContext::SetMarkupEnabled(c, markup ? oxTextContext::kMarkupApply : oxTextContext::kMarkupLiteral);
        oxTextContext::SetSpacesExtend(c, 1);
    }
    ~Context() { oxTextContext::Destroy(&c); }
};

} // namespace

void oxRegisterVectorTextBoxKind() {
    oxBoxFactory::RegisterKind(kAtomVectorText, &MakeVectorTextBox);
}

oxVectorTextBox::oxVectorTextBox(oxAtom tag) : oxTextBoxBase(tag) {
    SetEngaged(false, false);
}

oxVectorTextBox::~oxVectorTextBox() = default;

void oxVectorTextBox::CloneInto(oxBox* target, bool keepBindingsIdle) {
    oxControlBox::CloneInto(target, keepBindingsIdle);
    if (auto* copy = dynamic_cast<oxVectorTextBox*>(target); copy && target->GetBoxType() == kAtomText) {
        copy->textBits_ =
            uint8_t((copy->textBits_ & ~(kWordwrap | kPlaintext)) | (textBits_ & (kWordwrap | kPlaintext)));
        copy->justifyMode_ = justifyMode_;
    }
}

int32_t oxVectorTextBox::SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) {
    switch (attribute) {
    case kAtomHtmlValue:
        SetValue(value);
        return 0;
    case kAtomJustify: {
        const int word = value ? StyleKeywordIdFromName(value) : -1;
        justifyMode_ = word == kKeywordCenter ? 2 : word == kKeywordRight ? 3 : word == kKeywordLeft ? 1 : 0;
        break;
    }
    case kAtomPlaintext:
        textBits_ = uint8_t(value && ParseBool(value) ? textBits_ | kPlaintext : textBits_ & ~kPlaintext);
        break;
    case kAtomWordwrap:
        textBits_ = uint8_t(value && ParseBool(value) ? textBits_ | kWordwrap : textBits_ & ~kWordwrap);
        break;
    default:
        break;
    }
    return oxControlBox::SetAttribute(attribute, value, notify, forced);
}

void oxVectorTextBox::SetValue(const WCHAR* text) {
    StoreValue(text);
}

void oxVectorTextBox::SetStyleValue(int propertyId, const oxStyleValue& value, int mode) {
    if (mode != 1) {
        switch (propertyId) {
        case kStyle_textColor:
            RequestRepaint();
            break;
        case kStyle_fontFamily:
        case kStyle_fontSize:
        case kStyle_fontItalics:
        case kStyle_fontBold:
        case kStyle_fontUnderline:
            RequestLayout();
            break;
        default:
            break;
        }
    }
    oxBox::SetStyleValue(propertyId, value, mode);
}

bool oxVectorTextBox::UpdateFont(oxBoxStyle* style) {
    if (!style) return false;
    const oxStyleGroup* text = style->GetTextGroup();
    uint8_t bits = 0;
    if (StyleBool(text, kStyle_fontBold)) bits |= kBold;
    if (StyleBool(text, kStyle_fontItalics)) bits |= kItalic;
    if (StyleBool(text, kStyle_fontUnderline)) bits |= kUnderline;
    uint16_t size = 0;
    if (const oxStyleValue* v = Member(text, kStyle_fontSize))
        size = uint16_t(std::clamp<int64_t>(
            v->GetType() == kStyleScaled ? v->GetInt() : int64_t(double(v->GetInt()) * GetUiScale()), 0, 0xFFFF));
    std::u16string family = fontFamily_;
    if (const oxStyleValue* v = Member(text, kStyle_fontFamily); v && v->GetText()) family = v->GetText();
    const bool changed = !fontRead_ || bits != (textBits_ & (kBold | kItalic | kUnderline)) || size != fontPixelSize_ ||
                         family != fontFamily_;
    if (!changed) return false;
    fontRead_ = true;
    textBits_ = uint8_t((textBits_ & ~(kBold | kItalic | kUnderline)) | bits);
    fontPixelSize_ = size;
    fontFamily_ = family;
    oxBoxScene* scene = GetScene();
    oxStyleLibrary* library = scene ? scene->GetStyleLibrary() : nullptr;
    const oxAtom id = family.empty() ? 0 : oxAtoms::Find(family.c_str());
    // A family that names no vectorFont element leaves the font as it was.
    if (library && id)
        if (auto* element = dynamic_cast<oxVectorFontElement*>(library->FindResourceById(id, kAtomVectorFont));
            element && element->GetTag() == kAtomVectorFont)
            vectorFont_ = element->GetFont();
    return true;
}

int32_t oxVectorTextBox::LineHeight(float size) {
    // Single precision for the product, the nudge in double: an exact half always goes up.
    return int32_t(std::nearbyint(double(size * kLineSpacing) + 1.5e-8));
}

int32_t oxVectorTextBox::Alignment(bool wrapping) const {
    const int32_t code = justifyMode_ == 3   ? oxTextContext::kAlignRight
                         : justifyMode_ == 2 ? oxTextContext::kAlignCenter
                         : justifyMode_ == 1 ? oxTextContext::kAlignLeft
                                             : oxTextContext::kAlignNone;
    return !wrapping && code ? oxTextContext::kAlignLeft : code;
}

oxPoint oxVectorTextBox::Measure(const WCHAR* text, int32_t count, float size, const oxRect* wrap, bool wrapFlag) {
    if (!vectorFont_ || !text || size <= 0) return oxPoint{0, 0};
    Context ctx(vectorFont_, !(textBits_ & kPlaintext));
    if (!ctx.c) return oxPoint{0, 0};
    oxMatrix m;
    m.Scale(size, size, size);
    const bool wrapping = wrap && wrap->width != 0 && wrapFlag;
    const float advance = float(LineHeight(size)) / size;
    const oxTextContext::Box box = oxTextContext::Measure(
        ctx.c, text, count, m, advance, wrapping ? float(wrap->width) / size : 0.0f, -1, Alignment(wrapping));
    const int32_t left = int32_t(box.v[0]), top = int32_t(box.v[1]), right = int32_t(box.v[3]),
                  bottom = int32_t(box.v[4]);
    int32_t width = right - left;
    int32_t height = int32_t(float(bottom - top) + float(double(size) * vectorFont_->GetVerticalMetric3() / 2048.0));
    oxBoxStyle* style = GetStyle();
    const int orientation = style ? Keyword(style->GetTextGroup(), kStyle_textOrientation) : -1;
    if (orientation == kKeywordUp || orientation == kKeywordDown) std::swap(width, height);
    if (wrap && (wrap->width != 0 || wrap->height != 0)) {
        width = std::max(width, wrap->width);
        height = std::max(height, wrap->height);
    }
    return oxPoint{width, height};
}

oxPoint oxVectorTextBox::GetIntrinsicSize() {
    UpdateFont(GetStyle());
    const WCHAR* value = GetValue();
    if (!value) value = u"";
    if (measuredText_ != value) {
        measuredSize_ = Measure(value, -1, fontPixelSize_, nullptr, false);
        measuredText_ = value;
    }
    oxPoint size = measuredSize_;
    if ((textBits_ & kWordwrap) && HasAutoHeight()) {
        const int32_t width = AvailableWidth();
        if (width > 0) {
            const oxRect wrap{0, 0, width, 0};
            size = Measure(value, -1, fontPixelSize_, &wrap, true);
        }
    }
    return size;
}

void oxVectorTextBox::Arrange(oxPlacementRecord* placement) {
    if (placement && (textBits_ & kWordwrap) && TestChangeFlags(kChangeFlowed) && HasAutoHeight()) {
        UpdateFont(GetStyle());
        const oxRect wrap{0, 0, placement->width, 0};
        const WCHAR* value = GetValue();
        const int32_t h = Measure(value ? value : u"", -1, fontPixelSize_, &wrap, true).y;
        const oxRect padding = GetPadding();
        const int32_t height = padding.y + padding.height + h;
        if (height != placement->height) placement->SetExtra(true, false, placement->width, height, 0, 0);
    }
    oxBox::Arrange(placement);
}

void oxVectorTextBox::PaintContent(oxCanvas* canvas) {
    oxBoxStyle* style = GetStyle();
    UpdateFont(style);
    const WCHAR* value = GetValue();
    if (!canvas || !style || !vectorFont_ || !value || !*value || fontPixelSize_ == 0) return;
    const oxRect content = GetContentRect();
    if (content.width <= 0 || content.height <= 0) return;
    const float size = fontPixelSize_;
    const oxStyleGroup* text = style->GetTextGroup();
    const oxStyleGroup* layout = style->GetLayoutGroup();
    oxBoxScene* scene = GetScene();
    oxStyleLibrary* library = scene ? scene->GetStyleLibrary() : nullptr;
    auto colorOf = [&](int id) {
        const oxStyleValue* v = Member(text, id);
        return v ? ResolveColorValue(*v, library) : 0u;
    };
    uint32_t color = colorOf(kStyle_textColor);
    if (!color) color = 0xFF000000u;
    color = canvas->ApplyColorTransform(color);
    const uint32_t shadowSet = colorOf(kStyle_textShadowColor);
    const uint32_t shadow = shadowSet ? canvas->ApplyColorTransform(shadowSet) : 0;
    const int32_t shadowX =
        Member(text, kStyle_textShadowOffsetX) ? text->Member(kStyle_textShadowOffsetX)->GetInt() : 0;
    const int32_t shadowY =
        Member(text, kStyle_textShadowOffsetY) ? text->Member(kStyle_textShadowOffsetY)->GetInt() : 0;
    const int orientation = Keyword(text, kStyle_textOrientation);
    const bool vertical = orientation == kKeywordUp || orientation == kKeywordDown;

    // Measured as the layout measured it: wrapped within the content width when the box wraps.
    const bool wraps = (textBits_ & kWordwrap) != 0;
    const oxRect wrapRect{0, 0, content.width, 0};
    oxPoint measured = Measure(value, -1, size, wraps ? &wrapRect : nullptr, wraps);
    std::u16string shown = value;
    const bool over = vertical ? measured.y > content.height : measured.x > content.width;
    textBits_ = uint8_t(over ? textBits_ | kOverflowed : textBits_ & ~kOverflowed);
    const int crop = Keyword(layout, kStyle_crop);
    if (over && !wraps && crop != -1 && crop != kKeywordNone) {
        // Characters go from the end until the rest and "..." fit.
        const int32_t room =
            (vertical ? content.height : content.width) - Measure(kEllipsis, 3, size, nullptr, false).x;
        size_t keep = room < 1 ? 0 : shown.size();
        while (keep > 0 && Measure(shown.c_str(), int32_t(keep), size, nullptr, false).x > room)
            --keep;
        shown = shown.substr(0, keep) + kEllipsis;
        measured = Measure(shown.c_str(), -1, size, nullptr, false);
    }
    const int32_t tw = vertical ? measured.y : measured.x, th = vertical ? measured.x : measured.y;
    const int hAlign = Keyword(layout, kStyle_hAlign), vAlign = Keyword(layout, kStyle_vAlign);
    int32_t x = content.x, y = content.y;
    if (tw < content.width)
        x += hAlign == kKeywordCenter ? (content.width - tw) / 2 : hAlign == kKeywordRight ? content.width - tw : 0;
    if (th < content.height)
        y += vAlign == kKeywordCenter ? (content.height - th) / 2 : vAlign == kKeywordBottom ? content.height - th : 0;

    // The first line's baseline: below the measured top by the font's extent, and that extent again.
    const float extent = size * vectorFont_->GetVerticalMetric3() / 2048.0f;
    const float baseline = 2 * extent;
    Context ctx(vectorFont_, !(textBits_ & kPlaintext));
    if (!ctx.c) return;
    const WCHAR* accel = oxBox::GetAttribute(kAtomAccelChar);
    const char16_t access = accel && *accel ? accel[0] : 0;
    const bool wrapping = wraps && content.width != 0;

    canvas->PushClip();
    canvas->IntersectClip(oxCanvasRect{content.x, content.y, content.width, content.height});
    const oxMatrix saved = canvas->GetTransform();
    const uint32_t savedColor = canvas->FillColor();
    const int32_t savedAlpha = canvas->Alpha();
    for (int pass = shadow ? 0 : 1; pass < 2; ++pass) {
        const uint32_t argb = pass == 0 ? shadow : color;
        const float dx = pass == 0 ? float(shadowX) : 0.0f, dy = pass == 0 ? float(shadowY) : 0.0f;
        oxMatrix local;
        local.Scale(size, size, 1.0f);
        if (orientation == kKeywordUp) {
            local.RotateZ(-kQuarterTurn);
            local.Translate(float(x) + baseline + dx, float(y + th) + dy, 0);
        } else if (orientation == kKeywordDown) {
            local.RotateZ(kQuarterTurn);
            local.Translate(float(x + tw) - baseline + dx, float(y) + dy, 0);
        } else {
            local.Translate(float(x) + dx, float(y) + baseline + dy, 0);
        }
        oxMatrix placed;
        oxMatrix::Multiply(placed, local, saved);
        canvas->SetTransform(placed);
        canvas->SetColor(argb & 0xFFFFFFu);
        const int32_t a = int32_t(argb >> 24);
        canvas->SetAlpha(savedAlpha * (a == 255 ? 256 : a) / 256);
        oxTextContext::Draw(ctx.c, shown.c_str(), int32_t(shown.size()), canvas, oxTextContext::kGlyphCached,
                            float(LineHeight(size)) / size, wrapping ? float(content.width) / size : 0.0f, -1,
                            Alignment(wrapping), access);
    }
    canvas->SetTransform(saved);
    canvas->SetColor(savedColor & 0xFFFFFFu);
    canvas->SetAlpha(savedAlpha);
    canvas->PopClip();
}
