#include "toolkit/library/pen_element.h"

#include "graphics/paint/box_drawing.h"
#include "toolkit/base/rect.h"
#include "toolkit/library/brush_element.h"
#include "toolkit/library/library.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

oxPenElement::~oxPenElement() {
    delete stroke_;
}

int32_t oxPenElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    const bool known = attribute == kAtomColor || attribute == kAtomWidth || attribute == kAtomPattern ||
                       attribute == kAtomCornerRadius;
    if (!known || !value) return oxBindableElement::SetMarkupAttribute(ns, attribute, value);
    if (!stroke_) stroke_ = static_cast<oxStrokeGroup*>(CreateStyleGroup(kStyleProperties[kStyle_stroke].group));
    if (!stroke_) return oxBindableElement::SetMarkupAttribute(ns, attribute, value);
    switch (attribute) {
    case kAtomColor:
        stroke_->SetMember(kStyle_stroke, oxStyleValue::Color(ParseColorValueText(value, library_)));
        break;
    case kAtomWidth:
        stroke_->SetMember(kStyle_strokeWidth, oxStyleValue(ParseInt(value), kStylePx));
        break;
    case kAtomPattern: {
        const int keyword = StyleKeywordIdFromName(value);
        stroke_->SetMember(kStyle_strokePattern, keyword >= 0
                                                     ? oxStyleValue::Keyword(keyword)
                                                     : oxStyleValue::Color(ParseColorValueText(value, library_)));
        break;
    }
    default:
        SetGroupPropertyText(stroke_, u"strokeCornerRadius", value, library_);
        break;
    }
    return 0;
}

const oxStyleValue* oxPenElement::GetColorValue() const {
    return stroke_ ? stroke_->Member(kStyle_stroke) : nullptr;
}

oxStyleGroup* oxPenElement::GetStyleGroup(const oxStyleGroup* group) const {
    return CloneMergedGroup(stroke_, group);
}

int32_t oxReliefPenElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    if (!value) return oxBindableElement::SetMarkupAttribute(ns, attribute, value);
    switch (attribute) {
    case kAtomHighlightColor:
        highlight_ = ParseColorValueText(value, library_);
        return 0;
    case kAtomShadowColor:
        shadow_ = ParseColorValueText(value, library_);
        return 0;
    case kAtomWidth:
        width_ = ParseInt(value);
        return 0;
    default:
        return oxBindableElement::SetMarkupAttribute(ns, attribute, value);
    }
}

void oxReliefPenElement::PaintRelief(oxCanvas* canvas, const oxCanvasRect& rect, const oxStrokeGroup* stroke) {
    const bool own = stroke && stroke->IsSet(kStyle_strokeWidth);
    const int32_t width = oxClampLength(own ? stroke->Member(kStyle_strokeWidth)->GetInt() : width_);
    ::PaintRelief(canvas, rect, highlight_, shadow_, width);
}
