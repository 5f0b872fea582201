#include "graphics/paint/canvas.h"

#include <cmath>
#include <memory>
#include <new>

#include "graphics/pixels/dib_bitmap.h"
#include "graphics/pixels/raster_rect.h"
#include "graphics/raster/blitter.h"
#include "platform/win/debug_output.h"

namespace {

constexpr const char16_t* kMatrixUnderflow = u"################################ Matrix stack undeflow\n";

// Bounds of mapped corners, to whole pixels; coordinates beyond what a RECT holds are held at its edge.
int32_t ToPixel(float v) {
    if (!(v > -1e9f)) return v != v ? 0 : -1000000000;
    if (v > 1e9f) return 1000000000;
    return int32_t(std::floor(v + 0.5f));
}

RECT MappedBounds(const oxMatrix& m, float left, float top, float right, float bottom) {
    const float corners[8] = {left, top, right, top, right, bottom, left, bottom};
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (int i = 0; i < 4; ++i) {
        float p[3] = {corners[2 * i], corners[2 * i + 1], 0.0f};
        m.TransformVector(p, true);
        if (i == 0 || p[0] < minX) minX = p[0];
        if (i == 0 || p[0] > maxX) maxX = p[0];
        if (i == 0 || p[1] < minY) minY = p[1];
        if (i == 0 || p[1] > maxY) maxY = p[1];
    }
    return RECT{ToPixel(minX), ToPixel(minY), ToPixel(maxX), ToPixel(maxY)};
}

} // namespace

oxCanvas::oxCanvas() = default;

oxCanvas::oxCanvas(int32_t width, int32_t height) {
    SetSize(width, height);
}

oxCanvas::~oxCanvas() = default;

void oxCanvas::ClearTransparent() {
    oxPixelBuffer target = Target();
    oxBlitter().FillRect(target, nullptr, 0);
}

void oxCanvas::SetSize(int32_t width, int32_t height) {
    if (OwnedBitmap() && Target().valid && Target().width == width && Target().height == height) return;
    ReleaseTarget();
    // A new bitmap's pixels come zeroed, which is transparent: no second clearing pass.
    oxGraphicsContext::SetSize(width, height, 32);
}

void oxCanvas::PushColorTransform(oxCanvasColorTransform* transform) {
    if (!transform) return;
    std::unique_ptr<oxCanvasColorTransform> owned(transform);
    if (!m_colorTransforms.empty()) owned->ComposeWith(*m_colorTransforms.back());
    m_colorTransforms.push_back(std::move(owned));
}

void oxCanvas::PopColorTransform() {
    if (!m_colorTransforms.empty()) m_colorTransforms.pop_back();
}

oxCanvasColorTransform* oxCanvas::TopColorTransform() const {
    return m_colorTransforms.empty() ? nullptr : m_colorTransforms.back().get();
}

uint32_t oxCanvas::ApplyColorTransform(uint32_t argb) const {
    oxCanvasColorTransform* top = TopColorTransform();
    return top ? top->TransformPixel(argb) : argb;
}

void oxCanvas::PushMatrix() {
    m_matrices.push_back(GetTransform());
}

void oxCanvas::PopMatrix() {
    if (m_matrices.empty()) {
        OutputDebugStringW(kMatrixUnderflow);
        return;
    }
    SetTransform(m_matrices.back());
    m_matrices.pop_back();
}

void oxCanvas::PushClip() {
    m_clips.push_back(ClipBounds());
}

void oxCanvas::PopClip() {
    if (m_clips.empty()) return;
    const RECT r = m_clips.back();
    m_clips.pop_back();
    SetClipBounds(&r);
}

void oxCanvas::PushStyleString(const char16_t* text) {
    if (text) m_styleStrings.emplace_back(text);
}

void oxCanvas::PopStyleString() {
    if (!m_styleStrings.empty()) m_styleStrings.pop_back();
    if (m_styleStrings.empty()) m_styleStrings.shrink_to_fit();
}

const char16_t* oxCanvas::PeekStyleString() const {
    return m_styleStrings.empty() ? nullptr : m_styleStrings.back().c_str();
}

void oxCanvas::ResetClip() {
    SetClipBounds(nullptr);
}

void oxCanvas::IntersectClip(const oxCanvasRect& rect) {
    const RECT mapped = MappedBounds(GetTransform(), float(rect.x), float(rect.y), float(rect.x) + float(rect.width),
                                     float(rect.y) + float(rect.height));
    RECT r{0, 0, 0, 0};
    if (!IsRectEmpty(mapped) && IntersectRECT(&mapped, &ClipBounds(), &r)) {
        SetClipBounds(&r);
    } else {
        // Nothing left to draw into; an empty rectangle keeps every engine's clip empty too.
        const RECT empty{0, 0, 0, 0};
        SetClipBounds(&empty);
    }
}

oxCanvasRect oxCanvas::MapRect(const oxCanvasRect& rect) const {
    const RECT r = MappedBounds(GetTransform(), float(rect.x), float(rect.y), float(rect.x) + float(rect.width),
                                float(rect.y) + float(rect.height));
    return oxCanvasRect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

RECT oxCanvas::GetLocalClipBounds() const {
    oxMatrix inverse;
    oxMatrix::Invert(GetTransform(), inverse);
    const RECT& c = ClipBounds();
    return MappedBounds(inverse, float(c.left), float(c.top), float(c.right), float(c.bottom));
}

POINT oxCanvas::GetOrigin() const {
    const oxMatrix& m = GetTransform();
    auto trunc = [](float v) { return v != v ? 0 : v >= 2e9f ? 2000000000 : v <= -2e9f ? -2000000000 : int32_t(v); };
    return POINT{trunc(m.m[9]), trunc(m.m[10])};
}

void oxCanvas::OffsetOrigin(float x, float y) {
    const POINT origin = GetOrigin();
    float p[3] = {x, y, 0.0f};
    GetTransform().TransformVector(p, true);
    Translate(p[0] - float(origin.x), p[1] - float(origin.y));
}

int oxCanvas::DrawImage(const oxDibBitmap* bitmap, const oxCanvasRect* destination, const oxCanvasRect* source) {
    if (!bitmap || !bitmap->valid || !bitmap->pixels.HasPixels() || !HasTarget()) return 0;
    const oxCanvasRect whole{0, 0, Target().width, Target().height};
    const oxCanvasRect image{0, 0, bitmap->pixels.width, bitmap->pixels.height};
    const oxCanvasRect& d = destination ? *destination : whole;
    const oxCanvasRect& s = source ? *source : image;
    if (d.width <= 0 || d.height <= 0 || s.width <= 0 || s.height <= 0) return 0;
    const RECT sourceRect{s.x, s.y, s.x + s.width, s.y + s.height};
    oxPixelBuffer view;
    view.InitSubRect(bitmap->pixels, &sourceRect);
    if (!view.HasPixels()) return 0;
    // The texture filler samples 32- and 8-bit pictures only: the drawn part of a 24-bit one (an RGB
    // PNG, a JPEG) is widened to opaque 32 bits, else it would draw nothing.
    std::unique_ptr<oxDibBitmap> wide;
    if (view.bpp == 24) {
        wide.reset(new (std::nothrow) oxDibBitmap(view.width, view.height, 32, true, false));
        if (!wide || !wide->valid || !ConvertPixels(wide->pixels, view)) return 0;
        view = wide->pixels;
    }

    SetOption(kOptionUseSourceAlpha, 1);
    SetTextureImage(&view);
    oxCanvasColorTransform* transform = TopColorTransform();
    if (transform) transform->ApplyToCanvas(this);
    DrawImageRect(RECT{d.x, d.y, d.x + d.width, d.y + d.height});
    if (transform) transform->RemoveFromCanvas(this);
    SetOption(kOptionUseSourceAlpha, 0);
    SetTextureImage(nullptr);
    return 1;
}

int oxCanvas::DrawCanvas(const oxCanvas* source, const oxCanvasRect* destination, const oxCanvasRect* sourceRect) {
    if (!source || !HasTarget() || !source->HasTarget() || !source->OwnedBitmap()) return 0;
    return DrawImage(source->OwnedBitmap(), destination, sourceRect);
}

void oxCanvas::ScrollRect(const oxCanvasRect& rect, POINT by) {
    if (!HasTarget() || rect.width <= 0 || rect.height <= 0) return;
    oxPixelBuffer target = Target();
    const RECT r{rect.x, rect.y, rect.x + rect.width, rect.y + rect.height};
    oxBlitter().Scroll(target, &r, by.x, by.y);
}
