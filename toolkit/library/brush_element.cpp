#include "toolkit/library/brush_element.h"

#include <new>
#include <string>

#include "toolkit/library/library.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/style_declaration.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_parser.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

bool SetGroupPropertyText(oxStyleGroup* group, const WCHAR* property, const WCHAR* text, oxStyleLibrary* library) {
    if (!group || !text) return false;
    oxStyleDeclaration declaration;
    oxStyleValue value;
    if (!ParseStyleAttribute(property, text, &value, &declaration, library)) return false;
    declaration.MergeIntoGroup(group);
    return true;
}

oxSolidBrushElement::~oxSolidBrushElement() {
    delete fill_;
}

oxFillGroup* oxSolidBrushElement::MakeGroup() {
    if (!fill_) fill_ = static_cast<oxFillGroup*>(CreateStyleGroup(kStyleProperties[kStyle_fill].group));
    return fill_;
}

int32_t oxSolidBrushElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    if ((attribute == kAtomFill || attribute == kAtomCornerRadius) && value && MakeGroup()) {
        if (attribute == kAtomFill)
            fill_->SetMember(kStyle_fill, oxStyleValue::Color(ParseColorValueText(value, library_)));
        else
            SetGroupPropertyText(fill_, u"fillCornerRadius", value, library_);
        return 0;
    }
    return oxBindableElement::SetMarkupAttribute(ns, attribute, value);
}

const oxStyleValue* oxSolidBrushElement::GetColorValue() const {
    return fill_ ? fill_->Member(kStyle_fill) : nullptr;
}

oxStyleGroup* CloneMergedGroup(const oxStyleGroup* own, const oxStyleGroup* group) {
    if (!group) return own ? own->Clone() : nullptr;
    oxStyleGroup* merged = group->Clone();
    if (merged && own) merged->Merge(own);
    return merged;
}

oxStyleGroup* oxSolidBrushElement::GetStyleGroup(const oxStyleGroup* group) const {
    return CloneMergedGroup(fill_, group);
}

oxImageBrushElement::~oxImageBrushElement() {
    delete fill_;
}

oxBitmapElement* oxImageBrushElement::MakeBitmap() {
    if (!bitmap_) bitmap_.reset(new (std::nothrow) oxBitmapElement(kAtomBitmap, library_));
    return bitmap_.get();
}

int32_t oxImageBrushElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    struct Entry {
        oxAtom attribute;
        const WCHAR* property;
    };
    static constexpr Entry kEntries[] = {
        {kAtomFillRepeat, u"fillRepeat"},
        {kAtomFillRepeatOriginX, u"fillRepeatOriginX"},
        {kAtomFillRepeatOriginY, u"fillRepeatOriginY"},
        {kAtomFillSize, u"fillSize"},
        {kAtomFillSlice, u"fillSlice"},
        {kAtomCornerRadius, u"fillCornerRadius"},
    };
    if (!fill_) fill_ = static_cast<oxFillGroup*>(CreateStyleGroup(kStyleProperties[kStyle_fill].group));
    if (value && (attribute == kAtomThumbWidth || attribute == kAtomThumbHeight)) {
        // Each sets the whole size, the other side unset.
        const int32_t n = ParseInt(value);
        if (MakeBitmap()) bitmap_->SetThumbSize(attribute == kAtomThumbWidth ? n : -1, attribute == kAtomThumbWidth ? -1 : n);
        return 0;
    }
    if (fill_ && value) {
        if (attribute == kAtomFill) {
            // The picture is the brush's own bitmap, which the group keeps as what its `fill` names.
            oxStyleValue picture;
            const std::u16string text = u"url(" + std::u16string(value) + u")";
            if (!MakeBitmap() || !ParseStyleValue(text.c_str(), kStyleMaskReference, &picture)) return 0;
            bitmap_->SetSrcUri(value);
            fill_->SetMember(kStyle_fill, picture);
            fill_->SetFillResource(bitmap_.get());
            return 0;
        }
        for (const Entry& e : kEntries) {
            if (e.attribute != attribute) continue;
            SetGroupPropertyText(fill_, e.property, value, library_);
            return 0;
        }
    }
    (void)oxBindableElement::SetMarkupAttribute(ns, attribute, value);
    return 0;
}
