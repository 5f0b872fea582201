#pragma once
// oxSolidBrushElement and oxImageBrushElement: the `solidBrush` and `imageBrush` resources of a
// library, which fills name with url(#id). Each keeps its markup attributes as members of a fill
// group of its own (made on first use) that the painter fills with: one colour (and its corners),
// or a picture with its repeat, size, slice and corner rules.
#include <cstdint>
#include <memory>

#include "toolkit/library/bindable_element.h"
#include "toolkit/library/bitmap_element.h"
#include "toolkit/paint/box_painter.h"
#include "toolkit/style/color.h"

class oxFillGroup;
class oxStyleGroup;
class oxStyleLibrary;

// Sets one property from markup text through a declaration, so that a four-side shorthand fills
// its four members; false when the text does not parse.
bool SetGroupPropertyText(oxStyleGroup* group, const WCHAR* property, const WCHAR* text, oxStyleLibrary* library);
// A copy of an element's own group (null without one), or of `group` with the element's members
// merged over it.
oxStyleGroup* CloneMergedGroup(const oxStyleGroup* own, const oxStyleGroup* group);

class oxSolidBrushElement : public oxBindableElement, public oxPaintElement, public oxColorResource {
public:
    oxSolidBrushElement(oxAtom tag, oxLibrary* library) : oxBindableElement(tag, library) {}
    ~oxSolidBrushElement() override;
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;

    Kind GetPaintKind() const override { return kSolidBrush; }
    oxFillGroup* GetFillGroup() override { return fill_; }
    const oxStyleValue* GetColorValue() const override;
    // A copy of the brush's group, merged over `group` when one is given; null without values.
    oxStyleGroup* GetStyleGroup(const oxStyleGroup* group) const;

private:
    oxFillGroup* MakeGroup();
    oxFillGroup* fill_ = nullptr;
};

class oxImageBrushElement : public oxBindableElement, public oxPaintElement {
public:
    oxImageBrushElement(oxAtom tag, oxLibrary* library) : oxBindableElement(tag, library) {}
    ~oxImageBrushElement() override;
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;

    Kind GetPaintKind() const override { return kImageBrush; }
    oxFillGroup* GetFillGroup() override { return fill_; }
    // The brush's own picture, made with its first `fill` or thumbnail size; null before.
    oxBitmapElement* GetBitmap() const { return bitmap_.get(); }

private:
    oxBitmapElement* MakeBitmap();

    oxFillGroup* fill_ = nullptr;
    std::unique_ptr<oxBitmapElement> bitmap_;
};
