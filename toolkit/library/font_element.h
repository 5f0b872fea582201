#pragma once
// oxFontElement: a `font` resource, a named set of text style values that a style's `font` property
// refers to with url(#id).
#include <cstdint>

#include "toolkit/library/bindable_element.h"

class oxStyleDeclaration;
class oxStyleGroup;
class oxStyleLibrary;

class oxFontElement : public oxBindableElement {
public:
    oxFontElement(oxAtom tag, oxLibrary* library) : oxBindableElement(tag, library) {}
    ~oxFontElement() override;

    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    // Null until an attribute set a value.
    const oxStyleGroup* GetTextGroup() const { return text_; }

private:
    oxStyleGroup* text_ = nullptr;
};

// When the declaration's `font` names a font element in `library`, the text values that element
// sets are copied into the declaration.
void ApplyFontToDeclaration(oxStyleDeclaration* declaration, oxStyleLibrary* library);
