#include "toolkit/library/font_element.h"

#include "toolkit/style/style_declaration.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_library.h"
#include "toolkit/style/style_parser.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

struct FontAttribute {
    oxAtom attribute;
    int property;
};

constexpr FontAttribute kFontAttributes[] = {
    {kAtomBold, kStyle_fontBold},
    {kAtomColor, kStyle_textColor},
    {kAtomFamily, kStyle_fontFamily},
    {kAtomHighlightColor, kStyle_textHighlight},
    {kAtomHighlightString, kStyle_textHighlightString},
    {kAtomItalics, kStyle_fontItalics},
    {kAtomOrientation, kStyle_textOrientation},
    {kAtomShadowColor, kStyle_textShadowColor},
    {kAtomSize, kStyle_fontSize},
    {kAtomShadowOffsetX, kStyle_textShadowOffsetX},
    {kAtomShadowOffsetY, kStyle_textShadowOffsetY},
    {kAtomUnderline, kStyle_fontUnderline},
};

constexpr int kCopiedProperties[] = {
    kStyle_textColor,
    kStyle_fontFamily,
    kStyle_fontSize,
    kStyle_fontItalics,
    kStyle_fontBold,
    kStyle_fontUnderline,
    kStyle_textShadowColor,
    kStyle_textShadowOffsetX,
    kStyle_textShadowOffsetY,
    kStyle_textHighlight,
    kStyle_textHighlightString,
    kStyle_textOrientation,
};

} // namespace

oxFontElement::~oxFontElement() {
    delete text_;
}

int32_t oxFontElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    for (const FontAttribute& entry : kFontAttributes) {
        if (entry.attribute != attribute) continue;
        oxStyleValue parsed;
        if (!value || !ParseStylePropertyValue(entry.property, value, &parsed)) return 0;
        if (!text_) text_ = CreateStyleGroup(kStyleProperties[entry.property].group);
        if (text_) text_->SetMember(entry.property, parsed);
        return 0;
    }
    return oxBindableElement::SetMarkupAttribute(ns, attribute, value);
}

void ApplyFontToDeclaration(oxStyleDeclaration* declaration, oxStyleLibrary* library) {
    const oxStyleValue* font = declaration ? declaration->FindProperty(kStyle_font) : nullptr;
    if (!font || font->GetType() != kStyleUrl) return;
    oxElement* element = font->ResolveResource(library);
    auto* fontElement = element && element->GetTag() == kAtomFont ? dynamic_cast<oxFontElement*>(element) : nullptr;
    const oxStyleGroup* text = fontElement ? fontElement->GetTextGroup() : nullptr;
    if (!text) return;
    for (int id : kCopiedProperties)
        if (text->IsSet(id)) declaration->SetProperty(id, *text->Member(id));
}
