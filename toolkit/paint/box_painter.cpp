#include "toolkit/paint/box_painter.h"

#include <cmath>
#include <new>
#include <string>
#include <unordered_set>

#include "graphics/paint/shadow_style.h"
#include "graphics/pixels/dib_bitmap.h"
#include "platform/win/debug_output.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/box_frame.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/color.h"
#include "toolkit/style/color_transform.h"
#include "toolkit/style/style_tables.h"

namespace {

// Pens and brushes may name further pens and brushes; a ring of them stops here.
constexpr int kMaxElementDepth = 4;

class DefaultResolver : public oxPaintResolver {
public:
    oxPaintElement* Resolve(oxBoxScene* scene, const oxStyleValue& value) override {
        oxStyleLibrary* library = scene ? scene->GetStyleLibrary() : nullptr;
        return dynamic_cast<oxPaintElement*>(value.ResolveResource(library));
    }
};

DefaultResolver g_defaultResolver;
oxPaintResolver* g_resolver = &g_defaultResolver;
// The painter otherwise keeps no state; a picture that cannot be had is reported once, not at every
// repaint.
std::unordered_set<std::u16string> g_reported;

void ReportMissingImage(const oxStyleValue& value) {
    const WCHAR* text = value.GetText();
    std::u16string key = text ? text : u"";
    if (!g_reported.insert(key).second) return;
    std::u16string message = u"Cannot paint the picture \"" + key + u"\"";
    OutputDebugStringW(message.c_str());
}

oxStyleLibrary* LibraryOf(oxBoxScene* scene) {
    return scene ? scene->GetStyleLibrary() : nullptr;
}

// Lengths, offsets, radii and percentages count at most kMaxLength, so the drawing's sums stay in range.
int32_t IntOf(const oxStyleGroup* group, int id) {
    const oxStyleValue* v = group ? group->Member(id) : nullptr;
    return v ? oxClampLength(v->GetInt()) : 0;
}

int KeywordOf(const oxStyleGroup* group, int id) {
    const oxStyleValue* v = group ? group->Member(id) : nullptr;
    return v && v->GetType() == kStyleKeyword ? v->GetValue() : -1;
}

bool IsColorValue(const oxStyleValue& v) {
    return v.GetType() == kStyleColor || v.GetType() == kStyleSysColor;
}

oxFillAxis AxisOf(int keyword) {
    switch (keyword) {
    case kKeywordNone:
        return kFillAxisNone;
    case kKeywordX:
        return kFillAxisX;
    case kKeywordY:
        return kFillAxisY;
    case kKeywordBoth:
        return kFillAxisBoth;
    case kKeywordCenter:
        return kFillAxisCenter;
    default:
        return kFillAxisUnset;
    }
}

// Four corner members from `first` on: top-left, top-right, bottom-right, bottom-left.
void CornersOf(const oxStyleGroup* group, int first, float radii[4]) {
    for (int i = 0; i < 4; ++i)
        radii[i] = float(IntOf(group, first + i));
}

bool AnyCornerSet(const oxStyleGroup* group, int first) {
    for (int i = 0; i < 4; ++i)
        if (group && group->IsSet(first + i)) return true;
    return false;
}

// A fill group's image: nine-sliced when a slice is set, else tiled or stretched.
void PaintImageOfGroup(oxCanvas* canvas, const oxCanvasRect& rect, const oxDibBitmap* image, const oxFillGroup* fill) {
    const oxFillAxis size = AxisOf(KeywordOf(fill, kStyle_fillSize));
    if (fill->HasSlice()) {
        const RECT slices{IntOf(fill, kStyle_fillSliceLeft), IntOf(fill, kStyle_fillSliceTop),
                          IntOf(fill, kStyle_fillSliceRight), IntOf(fill, kStyle_fillSliceBottom)};
        PaintNineSlice(canvas, rect, image, slices, size);
    } else {
        const POINT origin{IntOf(fill, kStyle_fillRepeatOriginX), IntOf(fill, kStyle_fillRepeatOriginY)};
        PaintImageFill(canvas, rect, image, size, AxisOf(KeywordOf(fill, kStyle_fillRepeat)), origin);
    }
}

// The image that a fill group's `fill` names; reports a picture that cannot be had. A reference
// that names no element is a picture's own URI: the group makes and keeps its bitmap.
const oxDibBitmap* ImageOfGroup(oxBoxScene* scene, oxFillGroup* fill, oxPaintElement** element) {
    const oxStyleValue* v = fill ? fill->Member(kStyle_fill) : nullptr;
    *element = nullptr;
    if (!v || v->GetType() != kStyleUrl) return nullptr;
    *element = g_resolver->Resolve(scene, *v);
    if (!*element) *element = dynamic_cast<oxPaintElement*>(fill->GetFillResource(LibraryOf(scene)));
    if (!*element) {
        ReportMissingImage(*v);
        return nullptr;
    }
    if ((*element)->GetPaintKind() != oxPaintElement::kImage) return nullptr;
    // The current frame: a fill of several frames steps through them on the box's timer.
    const oxDibBitmap* image = (*element)->GetImage(-1);
    if (!image || !image->valid) ReportMissingImage(*v);
    return image && image->valid ? image : nullptr;
}

// `boxCorners`: the corners of the box the brush fills; when the box sets any, they replace the
// brush's own.
void FillColorOfGroup(oxCanvas* canvas, oxBoxScene* scene, const oxCanvasRect& rect, const oxFillGroup* fill,
                      const oxFillGroup* boxCorners = nullptr) {
    const oxStyleValue* v = fill->Member(kStyle_fill);
    if (!v || !IsColorValue(*v)) return;
    const uint32_t c = ResolveColorValue(*v, LibraryOf(scene));
    if (c == 0) return;
    float radii[4];
    const bool boxSetsCorners = boxCorners && AnyCornerSet(boxCorners, kStyle_fillCornerRadiusTop);
    CornersOf(boxSetsCorners ? boxCorners : fill, kStyle_fillCornerRadiusTop, radii);
    FillRoundRectRadii(canvas, rect, c, radii);
}

// `radii` null: the box's fill corners are the gradient's unless the brush has its own; else they
// replace the brush's own (a cross-fade that sets corners).
void PaintBrushElement(oxCanvas* canvas, oxBoxScene* scene, const oxCanvasRect& rect, oxPaintElement* element,
                       const oxFillGroup* context, const float* forced, int depth) {
    switch (element->GetPaintKind()) {
    case oxPaintElement::kImage: {
        const oxDibBitmap* image = element->GetImage(0);
        if (image && image->valid && context) PaintImageOfGroup(canvas, rect, image, context);
        break;
    }
    case oxPaintElement::kImageBrush: {
        oxFillGroup* own = element->GetFillGroup();
        oxPaintElement* inner = nullptr;
        if (const oxDibBitmap* image = own ? ImageOfGroup(scene, own, &inner) : nullptr)
            PaintImageOfGroup(canvas, rect, image, own);
        break;
    }
    case oxPaintElement::kLinearGradientBrush:
    case oxPaintElement::kRadialGradientBrush: {
        oxGradientFill gradient;
        if (!element->GetGradient(rect, &gradient)) break;
        float radii[4] = {0, 0, 0, 0};
        if (forced) {
            for (int i = 0; i < 4; ++i)
                radii[i] = forced[i];
            gradient.hasRadii = false;
        } else if (context) {
            CornersOf(context, kStyle_fillCornerRadiusTop, radii);
        }
        PaintGradient(canvas, rect, gradient, radii);
        break;
    }
    case oxPaintElement::kSolidBrush:
        if (oxFillGroup* own = element->GetFillGroup()) FillColorOfGroup(canvas, scene, rect, own, context);
        break;
    default:
        break;
    }
    (void)depth;
}

void PaintStrokeGroup(oxCanvas* canvas, oxBoxScene* scene, const oxCanvasRect& rect, oxStrokeGroup* stroke, int depth);

// One side of a four-side stroke: a colour, or a reference to a colour resource.
bool SideColor(oxBoxScene* scene, const oxStyleValue& v, uint32_t* out) {
    if (IsColorValue(v)) {
        *out = ResolveColorValue(v, LibraryOf(scene));
        return true;
    }
    if (v.GetType() == kStyleUrl) {
        oxPaintElement* e = g_resolver->Resolve(scene, v);
        if (e && e->GetPaintKind() == oxPaintElement::kSolidBrush && e->GetFillGroup()) {
            const oxStyleValue* c = e->GetFillGroup()->Member(kStyle_fill);
            *out = c ? ResolveColorValue(*c, LibraryOf(scene)) : 0;
            return true;
        }
        if (uint32_t c = ResolveColorValue(v, LibraryOf(scene))) {
            *out = c;
            return true;
        }
    }
    return false;
}

void PaintFourSides(oxCanvas* canvas, oxBoxScene* scene, const oxCanvasRect& rect, oxStrokeGroup* stroke,
                    const oxStyleRectValue& sides) {
    const float width = float(IntOf(stroke, kStyle_strokeWidth));
    // Side order {left, top, right, bottom}; the value holds top, right, bottom, left.
    static const int kFromValue[4] = {3, 0, 1, 2};
    uint32_t colors[4] = {0, 0, 0, 0};
    uint8_t set[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i)
        set[i] = SideColor(scene, sides.sides[kFromValue[i]], &colors[i]) ? 1 : 0;
    if (!(width > 0.0f) || !(set[0] | set[1] | set[2] | set[3])) return;
    enum { L = 0, T = 1, R = 2, B = 3 };
    float radii[4] = {0, 0, 0, 0};
    if (set[T] && set[L]) radii[0] = float(IntOf(stroke, kStyle_strokeCornerRadiusTop));
    if (set[T] && set[R]) radii[1] = float(IntOf(stroke, kStyle_strokeCornerRadiusRight));
    if (set[B] && set[R]) radii[2] = float(IntOf(stroke, kStyle_strokeCornerRadiusBottom));
    if (set[B] && set[L]) radii[3] = float(IntOf(stroke, kStyle_strokeCornerRadiusLeft));
    const oxStyleValue* pattern = stroke->Member(kStyle_strokePattern);
    const uint32_t mask = pattern ? oxBoxPainter::StrokeMask(*pattern) : 0xFFFFFFFFu;
    bool uniform = true;
    for (int i = 0; i < 4; ++i) {
        const int next = (i + 1) % 4;
        if (set[i] && set[next] && colors[i] != colors[next]) uniform = false;
    }
    if (!uniform) {
        StrokeMultiColor(canvas, rect, colors, set, width, radii, mask);
        return;
    }
    uint32_t color = 0;
    for (int i = 0; i < 4; ++i)
        if (set[i]) {
            color = colors[i];
            break;
        }
    // Differs from growing the box by twice the half width: for an even width that put the right and
    // bottom sides one pixel further out than the left and top ones.
    StrokeRoundRect(canvas, StrokePathRect(rect, int32_t(width)), color, width, radii, mask, set);
}

void PaintStrokeGroup(oxCanvas* canvas, oxBoxScene* scene, const oxCanvasRect& rect, oxStrokeGroup* stroke, int depth) {
    const oxStyleValue* v = stroke ? stroke->Member(kStyle_stroke) : nullptr;
    if (!v) return;
    if (IsColorValue(*v)) {
        const uint32_t color = ResolveColorValue(*v, LibraryOf(scene));
        const int32_t width = IntOf(stroke, kStyle_strokeWidth);
        if (color == 0 || width <= 0) return;
        const oxStyleValue* pattern = stroke->Member(kStyle_strokePattern);
        const uint32_t mask = pattern ? oxBoxPainter::StrokeMask(*pattern) : 0xFFFFFFFFu;
        float radii[4];
        CornersOf(stroke, kStyle_strokeCornerRadiusTop, radii);
        StrokeRoundRect(canvas, StrokePathRect(rect, width), color, float(width), radii, mask, nullptr);
    } else if (v->GetType() == kStyleRect && v->GetRect()) {
        PaintFourSides(canvas, scene, rect, stroke, *v->GetRect());
    } else if (v->GetType() == kStyleUrl && depth < kMaxElementDepth) {
        oxPaintElement* e = g_resolver->Resolve(scene, *v);
        if (!e) return;
        if (e->GetPaintKind() == oxPaintElement::kPen) {
            PaintStrokeGroup(canvas, scene, rect, e->GetStrokeGroup(), depth + 1);
        } else if (e->GetPaintKind() == oxPaintElement::kReliefPen) {
            e->PaintRelief(canvas, rect, stroke);
        }
    }
}

// The shadow or bevel of a group, as its resolved shadow record would hold it.
void ShadowOf(const oxStyleGroup* group, bool bevel, oxShadowStyle* out) {
    const int color = bevel ? kStyle_bevelColor : kStyle_shadowColor;
    out->kind = bevel ? oxShadowStyle::kBevel : oxShadowStyle::kShadow;
    const oxStyleValue* c = group->Member(color);
    out->color = c ? c->GetColor() : 0xFF000000u;
    out->radius = IntOf(group, bevel ? kStyle_bevelRadius : kStyle_shadowRadius);
    out->opacity = float(IntOf(group, bevel ? kStyle_bevelOpacity : kStyle_shadowOpacity)) * 0.01f;
    out->offset = POINT{IntOf(group, bevel ? kStyle_bevelLeft : kStyle_shadowLeft),
                        IntOf(group, bevel ? kStyle_bevelTop : kStyle_shadowTop)};
    if (!bevel) {
        out->keyedOnAlpha = KeywordOf(group, kStyle_shadowKeying) == kKeywordAlpha ? 1 : 0;
        if (group->IsSet(kStyle_shadowFillCenter))
            out->fillCenter = ParseBool(group->Member(kStyle_shadowFillCenter)->GetText()) ? 1 : 0;
    }
}

// A layer mask: the value painted as a fill with the box's fill group.
class FillMask : public oxLayerMaskSource {
public:
    // `value` belongs to the fill group, which outlives the mask.
    FillMask(oxBoxScene* scene, oxFillGroup* fill, const oxStyleValue* value)
        : scene_(scene), fill_(fill), value_(value) {}
    void PaintMask(oxCanvas* canvas, const oxCanvasRect& rect) override {
        if (!value_) return;
        if (IsColorValue(*value_)) {
            if (uint32_t c = ResolveColorValue(*value_, LibraryOf(scene_))) FillRoundRect(canvas, rect, c, 0.0f);
        } else if (oxPaintElement* e = g_resolver->Resolve(scene_, *value_)) {
            PaintBrushElement(canvas, scene_, rect, e, fill_, nullptr, 0);
        }
    }

private:
    oxBoxScene* scene_;
    oxFillGroup* fill_;
    const oxStyleValue* value_;
};

} // namespace

void oxBoxPainter::SetResolver(oxPaintResolver* resolver) {
    g_resolver = resolver ? resolver : &g_defaultResolver;
}

void oxBoxPainter::ResetReports() {
    g_reported.clear();
}

uint32_t oxBoxPainter::StrokeMask(const oxStyleValue& pattern) {
    if (pattern.GetType() == kStyleColor) return uint32_t(pattern.GetValue());
    if (pattern.GetType() != kStyleKeyword) return 0xFFFFFFFFu;
    switch (pattern.GetValue()) {
    case kKeywordDotted:
        return 0xAAAAAAAAu;
    case kKeywordMediumDotted:
        return 0xCCCCCCCCu;
    case kKeywordLargeDotted:
        return 0xF0F0F0F0u;
    case kKeywordDotDash:
        return 0x18FF18FFu;
    default:
        return 0xFFFFFFFFu;
    }
}

oxColorTransform* oxBoxPainter::BuildBoxColorTransform(oxBox* box, bool withAncestors) {
    oxColorTransform* result = nullptr;
    for (oxBox* b = box; b; b = withAncestors ? b->GetParent() : nullptr) {
        oxBoxStyle* style = b->GetStyle();
        oxColorGroup* group = style ? style->GetColorGroup() : nullptr;
        if (!group || !group->IsActive()) continue;
        if (!result && !(result = new (std::nothrow) oxColorTransform)) return nullptr;
        result->Accumulate(LibraryOf(b->GetScene()), group->Member(kStyle_colorAdd));
    }
    return result;
}

void oxBoxPainter::BeginBoxPaint(oxCanvas* canvas, oxBox* box, const oxPoint& offset, const oxPoint& size) {
    if (!canvas || !box) return;
    oxBoxStyle* style = box->GetStyle();
    oxColorGroup* color = style ? style->GetColorGroup() : nullptr;
    if (color && color->IsActive()) {
        // The canvas composes the new transform with the one already on its stack.
        canvas->PushColorTransform(new (std::nothrow)
                                       oxColorTransform(LibraryOf(box->GetScene()), color->Member(kStyle_colorAdd)));
    }
    canvas->PushMatrix();
    canvas->PushClip();
    canvas->OffsetOrigin(float(offset.x), float(offset.y));
    oxTextGroup* text = style ? style->GetTextGroup() : nullptr;
    if (text && text->IsSet(kStyle_textHighlightString))
        canvas->PushStyleString(text->Member(kStyle_textHighlightString)->GetText());
    oxTransformGroup* transform = style ? style->GetTransformGroup() : nullptr;
    if (!transform) return;
    const float rotation = transform->IsSet(kStyle_rotation) ? float(IntOf(transform, kStyle_rotation)) : 0.0f;
    const float scale = transform->IsSet(kStyle_scale) ? float(IntOf(transform, kStyle_scale)) * 0.01f : 1.0f;
    if (rotation == 0.0f && scale == 1.0f) return;
    // Rotation and scale turn about the box's centre; the current translation is kept.
    const float cx = float(size.x / 2), cy = float(size.y / 2);
    canvas->OffsetOrigin(cx, cy);
    oxMatrix local;
    if (scale != 1.0f) local.Scale(scale, scale, 1.0f);
    if (rotation != 0.0f) local.RotateZ(rotation * 3.14159265f / 180.0f);
    oxMatrix combined;
    oxMatrix::Multiply(combined, local, canvas->GetTransform());
    canvas->SetTransform(combined);
    canvas->OffsetOrigin(-cx, -cy);
}

void oxBoxPainter::EndBoxPaint(oxCanvas* canvas, oxBox* box) {
    if (!canvas || !box) return;
    oxBoxStyle* style = box->GetStyle();
    oxColorGroup* color = style ? style->GetColorGroup() : nullptr;
    if (color && color->IsActive()) canvas->PopColorTransform();
    oxTextGroup* text = style ? style->GetTextGroup() : nullptr;
    if (text && text->IsSet(kStyle_textHighlightString)) canvas->PopStyleString();
    canvas->PopMatrix();
    canvas->PopClip();
}

oxRect oxBoxPainter::GetVisibleBoxRect(oxBox* box) {
    return box ? box->GetVisibleRect() : oxRect{0, 0, 0, 0};
}

void oxBoxPainter::PaintBoxShadow(oxCanvas* canvas, const oxCanvasRect& rect, oxBoxStyle* style) {
    oxShadowGroup* group = style ? style->GetShadowGroup() : nullptr;
    if (!canvas || !canvas->HasTarget() || !group) return;
    oxShadowStyle shadow;
    ShadowOf(group, false, &shadow);
    // The fill's corners: where they are round, the shadow shows past them.
    float radii[4];
    CornersOf(style->GetFillGroup(), kStyle_fillCornerRadiusTop, radii);
    if (!shadow.keyedOnAlpha) shadow.Paint(canvas, rect, radii);
}

void oxBoxPainter::PaintBoxBevel(oxCanvas* canvas, const oxCanvasRect& rect, oxBoxStyle* style) {
    oxBevelGroup* group = style ? style->GetBevelGroup() : nullptr;
    if (!canvas || !canvas->HasTarget() || !group) return;
    oxShadowStyle bevel;
    ShadowOf(group, true, &bevel);
    oxCanvasRect inner = rect;
    if (oxStrokeGroup* stroke = style->GetStrokeGroup()) {
        const int32_t w = IntOf(stroke, kStyle_strokeWidth);
        inner = oxCanvasRect{rect.x + w, rect.y + w, rect.width - 2 * w, rect.height - 2 * w};
    }
    float radii[4];
    CornersOf(group, kStyle_bevelCornerRadiusTop, radii);
    bevel.Paint(canvas, inner, radii);
}

void oxBoxPainter::PaintFillGroup(oxCanvas* canvas, oxBoxScene* scene, const oxCanvasRect& rect, oxFillGroup* fill) {
    if (!canvas || !canvas->HasTarget() || !fill || rect.width <= 0 || rect.height <= 0) return;
    const oxStyleValue* v = fill->Member(kStyle_fill);
    if (!v) return;
    if (v->GetType() == kStyleUrl) {
        oxPaintElement* element = nullptr;
        if (const oxDibBitmap* image = ImageOfGroup(scene, fill, &element)) {
            PaintImageOfGroup(canvas, rect, image, fill);
        } else if (element && element->GetPaintKind() != oxPaintElement::kImage) {
            PaintBrushElement(canvas, scene, rect, element, fill, nullptr, 0);
        }
    } else {
        FillColorOfGroup(canvas, scene, rect, fill);
    }
}

void oxBoxPainter::PaintBoxFill(oxCanvas* canvas, oxBoxScene* scene, const oxCanvasRect& rect, oxBoxStyle* style) {
    if (style) PaintFillGroup(canvas, scene, rect, style->GetFillGroup());
}

void oxBoxPainter::PaintBoxStroke(oxCanvas* canvas, oxBoxScene* scene, const oxCanvasRect& rect, oxBoxStyle* style) {
    if (!canvas || !canvas->HasTarget() || !style) return;
    PaintStrokeGroup(canvas, scene, rect, style->GetStrokeGroup(), 0);
}

const oxDibBitmap* oxBoxPainter::GetBoxFillBitmap(oxBoxStyle* style, oxBoxScene* scene) {
    oxPaintElement* element = nullptr;
    return style ? ImageOfGroup(scene, style->GetFillGroup(), &element) : nullptr;
}

oxCanvas* oxBoxPainter::CreateBoxLayer(const oxPoint& size) {
    return ::CreateBoxLayer(size.x, size.y);
}

void oxBoxPainter::CompositeBoxLayer(oxCanvas* layer, oxCanvas* destination, oxBoxScene* scene, oxBoxStyle* style) {
    oxLayerComposite how;
    if (!style) {
        ::CompositeBoxLayer(layer, destination, how);
        return;
    }
    if (oxColorGroup* color = style->GetColorGroup()) {
        how.flip = AxisOf(KeywordOf(color, kStyle_flip));
        how.blur = color->GetBlurLevel();
        if (color->IsSet(kStyle_opacity)) how.opacity = IntOf(color, kStyle_opacity);
    }
    oxFillGroup* fill = style->GetFillGroup();
    const oxStyleValue* mask = fill ? fill->Member(kStyle_mask) : nullptr;
    if (mask && mask->GetType() == kStyleKeyword && mask->GetValue() == kKeywordAuto) mask = fill->Member(kStyle_fill);
    FillMask maskSource(scene, fill, mask);
    if (mask && fill->IsSet(kStyle_mask) && !mask->IsNull()) how.mask = &maskSource;
    oxShadowStyle shadow;
    if (oxShadowGroup* group = style->GetShadowGroup()) {
        ShadowOf(group, false, &shadow);
        if (shadow.keyedOnAlpha) how.alphaShadow = &shadow;
    }
    ::CompositeBoxLayer(layer, destination, how);
}

void oxBoxPainter::FinishBoxLayer(oxCanvas* layer, oxCanvas* destination, oxBoxScene* scene, oxBoxStyle* style) {
    if (!layer) return;
    CompositeBoxLayer(layer, destination, scene, style);
    layer->EndBatch();
    delete layer;
}

bool oxBoxFillValuePainter::GetSolidBrush(const oxStyleValue& value, uint32_t* argb, float radii[4]) {
    oxFillGroup* fill = style_ ? style_->GetFillGroup() : nullptr;
    if (IsColorValue(value)) {
        *argb = ResolveColorValue(value, LibraryOf(scene_));
        CornersOf(fill, kStyle_fillCornerRadiusTop, radii);
        return true;
    }
    if (value.GetType() != kStyleUrl) return false;
    oxPaintElement* e = g_resolver->Resolve(scene_, value);
    if (!e || e->GetPaintKind() != oxPaintElement::kSolidBrush || !e->GetFillGroup()) return false;
    const oxStyleValue* c = e->GetFillGroup()->Member(kStyle_fill);
    *argb = c ? ResolveColorValue(*c, LibraryOf(scene_)) : 0;
    // The box's own corners, when it sets any, round the brush as they round a colour.
    const bool boxSetsCorners = AnyCornerSet(fill, kStyle_fillCornerRadiusTop);
    CornersOf(boxSetsCorners ? fill : e->GetFillGroup(), kStyle_fillCornerRadiusTop, radii);
    return true;
}

void oxBoxFillValuePainter::PaintBrush(oxCanvas* canvas, const oxStyleValue& value, const oxCanvasRect& rect) {
    if (value.GetType() != kStyleUrl) return;
    oxPaintElement* e = g_resolver->Resolve(scene_, value);
    if (!e) {
        ReportMissingImage(value);
        return;
    }
    oxFillGroup* fill = style_ ? style_->GetFillGroup() : nullptr;
    // A gradient takes the box's corners when the fill group sets any, else none.
    float corners[4] = {0, 0, 0, 0};
    if (AnyCornerSet(fill, kStyle_fillCornerRadiusTop)) CornersOf(fill, kStyle_fillCornerRadiusTop, corners);
    PaintBrushElement(canvas, scene_, rect, e, fill, corners, 0);
}

namespace {

oxCanvasRect ToCanvasRect(const oxRect& r) {
    return oxCanvasRect{r.x, r.y, r.width, r.height};
}

// The box paint pass's canvas and painter steps.
class PainterServices : public oxBoxPaintServices {
public:
    bool GetClipRect(oxCanvas* canvas, oxRect* out) override {
        if (!canvas || !canvas->HasTarget()) return false;
        const RECT c = canvas->GetLocalClipBounds();
        *out = oxRect{c.left, c.top, c.right - c.left, c.bottom - c.top};
        return true;
    }
    void OffsetOrigin(oxCanvas* canvas, int32_t dx, int32_t dy) override {
        if (canvas) canvas->OffsetOrigin(float(dx), float(dy));
    }
    void PushClip(oxCanvas* canvas) override {
        if (canvas) canvas->PushClip();
    }
    void PopClip(oxCanvas* canvas) override {
        if (canvas) canvas->PopClip();
    }
    void IntersectClip(oxCanvas* canvas, const oxRect& rect) override {
        if (canvas) canvas->IntersectClip(ToCanvasRect(rect));
    }
    void PushMatrix(oxCanvas* canvas) override {
        if (canvas) canvas->PushMatrix();
    }
    void PopMatrix(oxCanvas* canvas) override {
        if (canvas) canvas->PopMatrix();
    }
    void BeginBoxPaint(oxCanvas* canvas, oxBox* box) override {
        if (!box) return;
        const oxRect r = box->GetBoxRect();
        oxPoint offset{r.x, r.y};
        // A window's or popup's box stands at its frame's origin; a box with a frame of its own is
        // painted, like any other, on a canvas that stands at its parent.
        if (box->TestChangeFlags(kChangeFramed) && !box->HasSideTableEntry(kHasFrame)) {
            const oxPoint p = box->GetFramePosition();
            offset = oxPoint{-p.x, -p.y};
        }
        oxBoxPainter::BeginBoxPaint(canvas, box, offset, oxPoint{r.width, r.height});
    }
    void EndBoxPaint(oxCanvas* canvas, oxBox* box) override { oxBoxPainter::EndBoxPaint(canvas, box); }
    bool GetShadowExtents(oxBoxStyle* style, int32_t out[4]) override {
        oxShadowGroup* group = style ? style->GetShadowGroup() : nullptr;
        if (!group) return false;
        oxShadowStyle shadow;
        ShadowOf(group, false, &shadow);
        const RECT o = shadow.GetOutsets();
        out[0] = o.left, out[1] = o.top, out[2] = o.right, out[3] = o.bottom;
        return true;
    }
    void PaintBoxShadow(oxCanvas* canvas, oxBox*, const oxRect& rect, oxBoxStyle* style) override {
        oxBoxPainter::PaintBoxShadow(canvas, ToCanvasRect(rect), style);
    }
    void PaintBoxFill(oxCanvas* canvas, oxBoxScene* scene, const oxRect& rect, oxBoxStyle* style) override {
        oxBoxPainter::PaintBoxFill(canvas, scene, ToCanvasRect(rect), style);
    }
    void PaintBoxFillCrossFade(oxCanvas* canvas, oxBoxScene* scene, const oxRect& rect, oxBoxStyle* style,
                               oxFillCrossFade* fade) override {
        if (!style) return;
        oxBoxFillValuePainter painter(scene, style);
        fade->Paint(canvas, &painter, ToCanvasRect(rect));
    }
    int32_t StepFillAnimation(oxBoxScene* scene, oxBoxStyle* style, bool advance) override {
        oxPaintElement* element = nullptr;
        if (!style || !ImageOfGroup(scene, style->GetFillGroup(), &element) || !element) return -1;
        if (advance && element->GetAnimationDelay() != -1) element->AdvanceAnimation();
        return element->GetAnimationDelay();
    }
    void PaintBoxStroke(oxCanvas* canvas, oxBoxScene* scene, const oxRect& rect, oxBoxStyle* style) override {
        oxBoxPainter::PaintBoxStroke(canvas, scene, ToCanvasRect(rect), style);
    }
    oxCanvas* CreateBoxLayerCanvas(oxBox*, int32_t width, int32_t height) override {
        return ::CreateBoxLayer(width, height);
    }
    void CompositeBoxLayerCanvas(oxCanvas* outer, oxCanvas* layer, oxBox* box) override {
        oxBoxPainter::FinishBoxLayer(layer, outer, box ? box->GetScene() : nullptr, box ? box->GetStyle() : nullptr);
    }
    bool PrepareSnapshotCanvas(oxCanvas* snapshot, int32_t width, int32_t height, bool transparent) override {
        if (!snapshot) return false;
        snapshot->SetSize(width, height);
        if (!snapshot->HasTarget()) return false;
        snapshot->BeginBatch();
        ClearCanvas(snapshot);
        if (transparent) snapshot->flags |= 1;
        return true;
    }
    void FinishSnapshotCanvas(oxCanvas* outer, oxCanvas* snapshot, oxBox* box, bool composite) override {
        if (!snapshot || !box) return;
        oxBoxStyle* style = box->GetStyle();
        if (composite) oxBoxPainter::CompositeBoxLayer(snapshot, outer, box->GetScene(), style);
        oxColorGroup* color = style ? style->GetColorGroup() : nullptr;
        if (color && KeywordOf(color, kStyle_flip) == kKeywordX) {
            oxPixelBuffer pixels = snapshot->Target();
            MirrorPixelBufferHorizontally(pixels);
        }
        snapshot->EndBatch();
    }
    void DrawCanvas(oxCanvas* into, oxCanvas* from, const oxRect& to, const oxRect* fromRect) override {
        if (!into) return;
        const oxCanvasRect d = ToCanvasRect(to);
        const oxCanvasRect source = fromRect ? ToCanvasRect(*fromRect) : oxCanvasRect{};
        into->DrawCanvas(from, &d, fromRect ? &source : nullptr);
    }
};

PainterServices g_services;

} // namespace

void oxBoxPainter::InstallPaintServices() {
    oxSetBoxPaintServices(&g_services);
}
