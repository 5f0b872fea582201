#pragma once
// oxVectorFontElement: a `vectorFont` resource, a font read from a font cache file of the resources
// folder. It owns the font; vector text boxes whose `fontFamily` names its id draw with it.
#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/library/bindable_element.h"

class oxFont;

class oxVectorFontElement : public oxBindableElement {
public:
    oxVectorFontElement(oxAtom tag, oxLibrary* library);
    ~oxVectorFontElement() override;

    // `src` loads the file (0, or 0x80000001 when it cannot be read as a font); the rest goes to the base.
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    // Null until a file was loaded.
    oxFont* GetFont() const { return font_.get(); }

private:
    bool Load(const WCHAR* src);

    std::unique_ptr<oxFont> font_;
    // Fonts replaced by a later `src`: boxes may still hold them, so they stay until the element goes.
    std::vector<std::unique_ptr<oxFont>> replaced_;
};
