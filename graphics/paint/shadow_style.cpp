#include "graphics/paint/shadow_style.h"

#include <algorithm>
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

namespace {

// Draws the shadow of the box at `r` into `target` within `clip`, all in the target's pixels.
void DrawShadow(oxDropShadow* shadow, int32_t kind, oxPixelBuffer target, const RECT& r, const RECT& clip,
                const float* radii) {
    const bool rounded = radii && (radii[0] > 0 || radii[1] > 0 || radii[2] > 0 || radii[3] > 0);
    if (kind == oxShadowStyle::kShadow) {
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
    const int32_t width = r.right - r.left, height = r.bottom - r.top;
    oxGraphicsContext drawn, shape;
    if (!drawn.SetSize(width, height, 32) || !shape.SetSize(width, height, 32)) return;
    oxPixelBuffer drawnTarget = drawn.Target(), shapeTarget = shape.Target();
    oxBlitter blitter;
    blitter.FillRect(drawnTarget, nullptr, 0);
    blitter.FillRect(shapeTarget, nullptr, 0);
    shape.SetColor(0x000000);
    shape.RoundRectRadii(0, 0, float(width), float(height), radii[0], radii[1], radii[2], radii[3], 0, nullptr);
    drawn.SetFillImage(&shapeTarget);
    const RECT local{0, 0, width, height};
    shadow->DrawInner(drawnTarget, &local, &local);
    CompositeWithMask(&clip, target, &r, drawnTarget, &local, shapeTarget, &local, true);
}

bool MovesOnly(const oxMatrix& m) {
    return m.m[0] == 1.0f && m.m[1] == 0.0f && m.m[3] == 0.0f && m.m[4] == 1.0f;
}

} // namespace

void oxShadowStyle::Paint(oxCanvas* canvas, const oxCanvasRect& rect, const float* radii) {
    if (!canvas || !canvas->HasTarget() || rect.width <= 0 || rect.height <= 0) return;
    oxDropShadow* shadow = EnsureDropShadow();
    if (!shadow || !shadow->SetRadius(radius)) return;
    shadow->offsetX = offset.x;
    shadow->offsetY = offset.y;
    shadow->opacity = ClampOpacity(opacity);
    shadow->fillCenter = fillCenter ? 1 : 0;
    shadow->color = canvas->ApplyColorTransform(color);

    if (MovesOnly(canvas->GetTransform())) {
        const POINT origin = canvas->GetOrigin();
        const RECT r{rect.x + origin.x, rect.y + origin.y, rect.x + origin.x + rect.width,
                     rect.y + origin.y + rect.height};
        DrawShadow(shadow, kind, canvas->Target(), r, canvas->GetClippedTargetRect(), radii);
        return;
    }
    // A rotated or scaled box: its shadow is drawn upright into a picture of the part in view, which
    // then goes onto the canvas through the same transform as the box.
    const int64_t reach = kind == kShadow ? 3 * int64_t(radius) : 0;
    const int64_t boxRight = int64_t(rect.x) + rect.width, boxBottom = int64_t(rect.y) + rect.height;
    const int64_t dx = kind == kShadow ? offset.x : 0, dy = kind == kShadow ? offset.y : 0;
    const RECT view = canvas->GetLocalClipBounds();
    const int64_t left = std::max<int64_t>(std::min<int64_t>(rect.x, rect.x + dx - reach), view.left);
    const int64_t top = std::max<int64_t>(std::min<int64_t>(rect.y, rect.y + dy - reach), view.top);
    const int64_t right = std::min<int64_t>(std::max(boxRight, boxRight + dx + reach), view.right);
    const int64_t bottom = std::min<int64_t>(std::max(boxBottom, boxBottom + dy + reach), view.bottom);
    if (right <= left || bottom <= top) return;
    // Shrunk far below a quarter, the picture in the box's pixels would dwarf the target it lands on.
    const int64_t area = int64_t(canvas->Target().width) * canvas->Target().height;
    const int64_t most = 16 * std::max<int64_t>(area, 4096);
    if (right - left > most || bottom - top > most || (right - left) * (bottom - top) > most) return;
    // The box in the picture's pixels. A box reaching far out of view is cut where its corners and
    // offset no longer reach into the picture, which keeps the drawing's stretches in range.
    const int64_t pad = std::min<int64_t>(4 * reach + std::abs(dx) + std::abs(dy) + 2, int64_t(1) << 28);
    const int64_t far = std::max(right - left, bottom - top) + pad;
    auto inPicture = [pad, far](int64_t v) { return int32_t(std::clamp<int64_t>(v, -pad, far)); };
    const RECT r{inPicture(rect.x - left), inPicture(rect.y - top), inPicture(boxRight - left),
                 inPicture(boxBottom - top)};
    const RECT whole{0, 0, int32_t(right - left), int32_t(bottom - top)};
    oxGraphicsContext picture;
    if (!picture.SetSize(whole.right, whole.bottom, 32)) return;
    oxPixelBuffer drawn = picture.Target();
    oxBlitter().FillRect(drawn, nullptr, 0);
    DrawShadow(shadow, kind, drawn, r, whole, radii);
    // The shadow's colour went through the colour transform already; the picture is drawn as it is.
    oxPixelBuffer part;
    part.InitSubRect(drawn, &whole);
    if (!part.HasPixels()) return;
    canvas->SetOption(kOptionUseSourceAlpha, 1);
    canvas->SetTextureImage(&part);
    canvas->DrawImageRect(RECT{int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)});
    canvas->SetOption(kOptionUseSourceAlpha, 0);
    canvas->SetTextureImage(nullptr);
}
