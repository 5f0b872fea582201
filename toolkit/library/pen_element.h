#pragma once
// oxPenElement and oxReliefPenElement: the `pen` and `reliefPen` resources of a library, which
// strokes name with url(#id). A pen keeps its markup attributes as members of a stroke group of its
// own (colour, width, dash pattern, corners); a relief pen draws a raised edge in a highlight and a
// shadow colour.
#include <cstdint>

#include "toolkit/library/bindable_element.h"
#include "toolkit/paint/box_painter.h"
#include "toolkit/style/color.h"

class oxStrokeGroup;
class oxStyleGroup;

class oxPenElement : public oxBindableElement, public oxPaintElement, public oxColorResource {
public:
    oxPenElement(oxAtom tag, oxLibrary* library) : oxBindableElement(tag, library) {}
    ~oxPenElement() override;
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;

    Kind GetPaintKind() const override { return kPen; }
    oxStrokeGroup* GetStrokeGroup() override { return stroke_; }
    const oxStyleValue* GetColorValue() const override;
    // A copy of the pen's group, merged over `group` when one is given; null without values.
    oxStyleGroup* GetStyleGroup(const oxStyleGroup* group) const;

private:
    oxStrokeGroup* stroke_ = nullptr;
};

class oxReliefPenElement : public oxBindableElement, public oxPaintElement {
public:
    oxReliefPenElement(oxAtom tag, oxLibrary* library) : oxBindableElement(tag, library) {}
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;

    Kind GetPaintKind() const override { return kReliefPen; }
    // The stroke's `strokeWidth`, when it sets one, is the width; else the pen's own.
    void PaintRelief(oxCanvas* canvas, const oxCanvasRect& rect, const oxStrokeGroup* stroke) override;

    uint32_t GetHighlightColor() const { return highlight_; }
    uint32_t GetShadowColor() const { return shadow_; }
    int32_t GetWidth() const { return width_; }

private:
    uint32_t highlight_ = 0xFFFFFFFFu;
    uint32_t shadow_ = 0xFF000000u;
    int32_t width_ = 1;
};
