#include "toolkit/library/gradient_brush_element.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "graphics/raster/gradient_source.h"
#include "toolkit/library/library.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/color.h"
#include "toolkit/style/style_parser.h"

namespace {

constexpr float kDegreesToRadians = 0.0174532924f;

// A number as style text: with or without a unit, read as an integer.
float Number(const WCHAR* text) {
    oxStyleValue v;
    return text && ParseStyleValue(text, kStyleMaskNumber | kStyleMaskNumber2, &v) ? float(v.GetInt()) : 0.0f;
}

float Percent(const WCHAR* text) {
    return Number(text) * 0.01f;
}

// The first and second blank-separated tokens of a text.
void TwoPercents(const WCHAR* text, float* first, float* second) {
    if (!text) return;
    std::u16string s(text);
    const size_t a = s.find_first_not_of(u' ');
    if (a == std::u16string::npos) return;
    const size_t b = s.find(u' ', a);
    *first = Percent(s.substr(a, b == std::u16string::npos ? std::u16string::npos : b - a).c_str());
    if (b == std::u16string::npos) return;
    const size_t c = s.find_first_not_of(u' ', b);
    if (c == std::u16string::npos) return;
    const size_t d = s.find(u' ', c);
    *second = Percent(s.substr(c, d == std::u16string::npos ? std::u16string::npos : d - c).c_str());
}

} // namespace

int32_t oxGradientStopElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    if (attribute == kAtomColor && value) {
        color = ParseColorValueText(value, nullptr);
        return 0;
    }
    if (attribute == kAtomOffset && value) {
        const double fixed = std::round(double(Number(value)) * 0.01 * 65536.0);
        offset = int32_t(std::clamp(fixed, 0.0, 65536.0));
        return 0;
    }
    return oxElement::SetMarkupAttribute(ns, attribute, value);
}

int32_t oxGradientStopsElement::CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) {
    *out = nullptr;
    (void)ns;
    if (tag != kAtomGradientStop) return kElementNotHandled;
    auto* stop = new (std::nothrow) oxGradientStopElement;
    if (!stop) return 0;
    stops.emplace_back(stop);
    *out = stop;
    return 0;
}

int32_t oxGradientTransformElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    const oxAtom tag = GetTag();
    if (value && tag == kAtomRotateTransform && attribute == kAtomAngle) {
        angle = float(ParseInt(value));
        return 0;
    }
    if (value && tag == kAtomRotateTransform && attribute == kAtomCenter) {
        TwoPercents(value, &centerX, &centerY);
        return 0;
    }
    if (value && tag == kAtomScaleTransform && attribute == kAtomValue) {
        scaleX = scaleY = Percent(value);
        return 0;
    }
    if (value && (attribute == kAtomX || attribute == kAtomY) &&
        (tag == kAtomScaleTransform || tag == kAtomTranslateTransform)) {
        float& field = tag == kAtomScaleTransform ? (attribute == kAtomX ? scaleX : scaleY) : (attribute == kAtomX ? x : y);
        field = Percent(value);
        return 0;
    }
    return oxElement::SetMarkupAttribute(ns, attribute, value);
}

void oxGradientTransformElement::Apply(oxMatrix* m, const oxFloatRect& r) const {
    switch (GetTag()) {
    case kAtomRotateTransform: {
        const float cx = std::round(r.x + r.width * centerX), cy = std::round(r.y + r.height * centerY);
        m->Translate(-cx, -cy, 0);
        m->RotateZ(angle * kDegreesToRadians);
        m->Translate(cx, cy, 0);
        // Quarter turns land on whole pixels.
        if (int32_t(angle) % 90 == 0 && float(int32_t(angle)) == angle)
            for (int i = 9; i < 12; ++i)
                m->m[i] = std::round(m->m[i] + 1.5e-8f);
        break;
    }
    case kAtomScaleTransform: {
        const float hx = float(int32_t(r.width) / 2), hy = float(int32_t(r.height) / 2);
        m->Translate(-(r.x + hx), -(r.y + hy), 0);
        m->Scale(scaleX, scaleY, 1);
        m->Translate(r.x + hx, r.y + hy, 0);
        break;
    }
    case kAtomTranslateTransform:
        m->Translate(r.width * x, r.height * y, 0);
        break;
    default:
        break;
    }
}

oxGradientBrushElement::oxGradientBrushElement(oxAtom tag, oxLibrary* library)
    : oxBindableElement(tag, library), radial_(tag == kAtomRadialGradientBrush) {}

int32_t oxGradientBrushElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    if (attribute == kAtomCornerRadius && value) {
        oxStyleValue radius;
        if (ParseStyleAttribute(u"fillCornerRadius", value, &radius, nullptr, library_)) cornerRadius_ = radius;
        return 0;
    }
    if (attribute == kAtomFocus && value) {
        // A linear brush has no focus.
        if (radial_) TwoPercents(value, &focusX_, &focusY_);
        return 0;
    }
    return oxBindableElement::SetMarkupAttribute(ns, attribute, value);
}

int32_t oxGradientBrushElement::CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) {
    *out = nullptr;
    (void)ns;
    if (tag == kAtomGradientStops) {
        stops_.reset(new (std::nothrow) oxGradientStopsElement);
        *out = stops_.get();
        return stops_ ? 0 : kElementNotHandled;
    }
    if (tag == kAtomRotateTransform || tag == kAtomScaleTransform || tag == kAtomTranslateTransform) {
        auto* transform = new (std::nothrow) oxGradientTransformElement(tag);
        if (!transform) return kElementNotHandled;
        transforms_.emplace_back(transform);
        *out = transform;
        return 0;
    }
    return kElementNotHandled;
}

void oxGradientBrushElement::FillColorTable(uint32_t* table, const oxGradientStopElement* const* stops, int count) {
    std::vector<oxGradientStop> plain;
    for (int i = 0; i < count; ++i)
        plain.push_back(oxGradientStop{stops[i]->color, stops[i]->offset});
    // Differs on purpose: the graphics ramp premultiplies with alpha + 1 over 256, so opaque stops
    // keep their colour, and it premultiplies the runs before the first and after the last stop too,
    // so that a translucent end colour is a valid premultiplied pixel.
    BuildGradientRamp(table, plain.data(), count);
}

const oxPixelBuffer* oxGradientBrushElement::GetColorTable() {
    if (table_ || !stops_) return table_ ? &tableBuffer_ : nullptr;
    table_.reset(new (std::nothrow) uint32_t[kTableSize]);
    if (!table_) return nullptr;
    std::vector<const oxGradientStopElement*> stops;
    for (const auto& s : stops_->stops)
        stops.push_back(s.get());
    FillColorTable(table_.get(), stops.data(), int(stops.size()));
    opaque_ = true;
    for (const oxGradientStopElement* s : stops)
        if (s->color < 0xFE000000u) opaque_ = false;
    tableBuffer_.InitExternal(table_.get(), kTableSize * 4, kTableSize, 1, 32, 4, true);
    return &tableBuffer_;
}

void oxGradientBrushElement::GetGradientMatrix(oxMatrix* out, int32_t width, int32_t height,
                                               const oxFloatRect& r) const {
    const oxFloatRect shape = radial_ ? oxFloatRect{-r.width / 2, -r.height / 2, r.width, r.height} : r;
    oxMatrix m;
    for (const auto& t : transforms_)
        t->Apply(&m, shape);
    float box[6] = {shape.x, shape.y, 0, shape.x + shape.width, shape.y + shape.height, 0};
    m.TransformRect(box, true);
    const float bx = box[0], by = box[1], bw = box[3] - box[0], bh = box[4] - box[1];
    m = oxMatrix();
    m.Scale(width ? bw / float(width) : 0.0f, height ? bh / float(height) : 0.0f, 1);
    if (radial_)
        m.Translate(r.width * focusX_, r.height * focusY_, 0);
    else
        m.Translate(bx, by, 0);
    for (const auto& t : transforms_)
        t->Apply(&m, shape);
    if (radial_) m.Translate(r.x, r.y, 0);
    *out = m;
}

bool oxGradientBrushElement::GetGradient(const oxCanvasRect& rect, oxGradientFill* out) {
    const oxPixelBuffer* table = GetColorTable();
    if (!table || !out) return false;
    out->ramp = table;
    out->radial = radial_;
    out->opaque = opaque_;
    GetGradientMatrix(&out->matrix, table->width, table->height,
                      oxFloatRect{float(rect.x), float(rect.y), float(rect.width), float(rect.height)});
    out->hasRadii = false;
    if (const oxStyleRectValue* sides = cornerRadius_.GetType() == kStyleRect ? cornerRadius_.GetRect() : nullptr) {
        out->hasRadii = true;
        for (int i = 0; i < 4; ++i)
            out->radii[i] = float(sides->sides[i].GetInt());
    } else if (cornerRadius_.GetType() != kStyleNull) {
        out->hasRadii = true;
        for (float& radius : out->radii)
            radius = float(cornerRadius_.GetInt());
    }
    return true;
}
