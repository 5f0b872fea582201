#include "graphics/paint/shadow_style.h"

#include <cmath>
#include <new>

#include "graphics/effects/drop_shadow.h"
#include "graphics/paint/canvas.h"
#include "graphics/raster/blitter.h"

namespace {

float ClampOpacity(float v) {
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; // NaN gives 0
}

int32_t TruncRadius(float r) {
    if (!(r > -2e9f)) return r != r ? 0 : -2000000000;
    return r >= 2e9f ? 2000000000 : int32_t(r);
}

} // namespace

oxShadowStyle::oxShadowStyle(int32_t kind_, uint32_t color_, int32_t radius_, float opacity_, const POINT* offset_)
    : color(color_), radius(radius_), opacity(opacity_), kind(kind_) {
    if (offset_) offset = *offset_;
}

oxShadowStyle::~oxShadowStyle() {
    delete m_dropShadow;
}

oxShadowStyle* oxShadowStyle::Clone() const {
    return new (std::nothrow) oxShadowStyle(kind, color, radius, opacity, &offset);
}

oxDropShadow* oxShadowStyle::EnsureDropShadow() {
    if (!m_dropShadow) m_dropShadow = new (std::nothrow) oxDropShadow;
    return m_dropShadow;
}

void oxShadowStyle::SetColor(uint32_t argb) {
    color = argb;
    if (m_dropShadow) m_dropShadow->color = argb;
}

void oxShadowStyle::SetRadius(float r) {
    const int32_t whole = TruncRadius(r);
    if (whole == radius) return;
    radius = whole;
    if (m_dropShadow) {
        m_dropShadow->SetRadius(whole);
        m_dropShadow->offsetX = offset.x;
        m_dropShadow->offsetY = offset.y;
    }
}

void oxShadowStyle::SetOpacity(float o) {
    if (o == opacity) return;
    opacity = o;
    if (m_dropShadow) m_dropShadow->opacity = ClampOpacity(o);
}

void oxShadowStyle::SetOffset(const POINT& o) {
    if (o.x == offset.x && o.y == offset.y) return;
    offset = o;
    if (m_dropShadow) {
        m_dropShadow->offsetX = o.x;
        m_dropShadow->offsetY = o.y;
    }
}

void oxShadowStyle::SetFillCenter(int32_t word) {
    fillCenter = word;
    if (m_dropShadow) m_dropShadow->fillCenter = word ? 1 : 0;
}

RECT oxShadowStyle::GetOutsets() const {
    if (kind != kShadow || radius <= 0 || !(opacity > 0.0f)) return RECT{0, 0, 0, 0};
    auto atLeast0 = [](int64_t v) { return v < 0 ? 0 : v > INT32_MAX ? INT32_MAX : int32_t(v); };
    const int64_t r2 = 2 * int64_t(radius);
    return RECT{atLeast0(r2 - offset.x), atLeast0(r2 - offset.y), atLeast0(offset.x + r2), atLeast0(offset.y + r2)};
}

void oxShadowStyle::Paint(oxCanvas* canvas, const oxCanvasRect& rect, const float* radii) {
    if (!canvas || !canvas->HasTarget() || rect.width <= 0 || rect.height <= 0) return;
    oxDropShadow* shadow = EnsureDropShadow();
    if (!shadow || !shadow->SetRadius(radius)) return;
    shadow->offsetX = offset.x;
    shadow->offsetY = offset.y;
    shadow->opacity = ClampOpacity(opacity);
    shadow->fillCenter = fillCenter ? 1 : 0;
    shadow->color = canvas->ApplyColorTransform(color);
    // FIXME: the drop shadow is drawn unrotated; a rotated or scaled box gets its shadow moved only.

    const POINT origin = canvas->GetOrigin();
    const RECT r{rect.x + origin.x, rect.y + origin.y, rect.x + origin.x + rect.width, rect.y + origin.y + rect.height};
    const RECT clip = canvas->GetClippedTargetRect();
    oxPixelBuffer target = canvas->Target();

    const bool rounded = radii && (radii[0] > 0 || radii[1] > 0 || radii[2] > 0 || radii[3] > 0);
    if (kind == kShadow) {
        // Differs: a box with round corners keeps its shadow in the corners that its fill leaves
        // open, where the bare rectangle's shadow would leave a notch of background.
        if (rounded)
            shadow->DrawOuterRounded(target, &r, &clip, radii);
        else
            shadow->DrawOuter(target, &r, &clip);
        return;
    }
    if (!rounded) {
        shadow->DrawInner(target, &r, &clip);
        return;
    }
    // A rounded bevel: the inner shadow is drawn apart and cut to the rounded shape on its way in.
    oxGraphicsContext drawn, shape;
    if (!drawn.SetSize(rect.width, rect.height, 32) || !shape.SetSize(rect.width, rect.height, 32)) return;
    oxPixelBuffer drawnTarget = drawn.Target(), shapeTarget = shape.Target();
    oxBlitter blitter;
    blitter.FillRect(drawnTarget, nullptr, 0);
    blitter.FillRect(shapeTarget, nullptr, 0);
    shape.SetColor(0x000000);
    shape.RoundRectRadii(0, 0, float(rect.width), float(rect.height), radii[0], radii[1], radii[2], radii[3], 0,
                         nullptr);
    drawn.SetFillImage(&shapeTarget);
    const RECT local{0, 0, rect.width, rect.height};
    shadow->DrawInner(drawnTarget, &local, &local);
    CompositeWithMask(&clip, target, &r, drawnTarget, &local, shapeTarget, &local, true);
}
