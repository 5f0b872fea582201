// State, options, target and copies of the graphics context; drawing is in
// graphics_context_draw.cpp and the shapes in shapes.cpp.
#include "graphics/paint/graphics_context.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "graphics/pixels/dib_bitmap.h"
#include "graphics/pixels/display_format.h"
#include "graphics/pixels/pixel_fill.h"
#include "graphics/pixels/pixel_format.h"
#include "graphics/pixels/raster_rect.h"

namespace {

// A colour component as a byte: 16.16 rounded to nearest, below 0 gives 0, 1.0 or more 255.
uint32_t ComponentByte(float v) {
    const double f = std::floor(double(v) * 65536.0 + 0.5);
    if (!(f >= 0.0)) return 0;
    if (f >= 65536.0) return 255;
    return static_cast<uint32_t>(f) >> 8;
}

uint32_t PackColor(const float* c) {
    return 0xFF000000u | ComponentByte(c[0]) << 16 | ComponentByte(c[1]) << 8 | ComponentByte(c[2]);
}

void UnpackColor(uint32_t rgb, float* c) {
    c[0] = float((rgb >> 16) & 0xFF) * (1.0f / 255);
    c[1] = float((rgb >> 8) & 0xFF) * (1.0f / 255);
    c[2] = float(rgb & 0xFF) * (1.0f / 255);
}

} // namespace

oxGraphicsContext::oxGraphicsContext() : m_rasterizer(this) {
    m_stroker.SetFiller(&m_filler);
    m_filler.SetQuality(m_samples);
    m_rasterizer.SetAntialias(true);
    m_rasterizer.SetColor(0);
    m_rasterizer.m_target = &m_rasterTarget;
    m_enabled = true;
}

oxGraphicsContext::~oxGraphicsContext() {
    ReleaseTarget();
    delete m_clipRect;
    m_stroker.Detach();
}

void oxGraphicsContext::SetOption(int id, intptr_t value) {
    switch (id) {
    case kOptionUseSourceAlpha:
        m_filler.SetUseSourceAlpha(value != 0);
        break;
    case kOptionTextureBitmap:
        m_filler.SetTextureMode(oxPolygonFiller::kTextureBitmap);
        break;
    case kOptionLinearGradient:
        m_filler.SetTextureMode(value ? oxPolygonFiller::kLinearGradient : oxPolygonFiller::kTextureBitmap);
        break;
    case kOptionRadialGradient:
        m_filler.SetTextureMode(value ? oxPolygonFiller::kRadialGradient : oxPolygonFiller::kTextureBitmap);
        break;
    case kOptionGridFit:
        m_gridFit = value != 0;
        break;
    case kOptionLinePattern:
        m_pattern = static_cast<uint32_t>(value);
        break;
    case kOptionColorTransform:
        m_filler.SetColorTransform(value == 1);
        break;
    case kOptionAlphaTable:
    case kOptionRedTable:
    case kOptionGreenTable:
    case kOptionBlueTable:
        m_filler.SetTransferTable(id - kOptionAlphaTable, reinterpret_cast<const uint8_t*>(value));
        break;
    case kOptionSnapVertical:
        m_snapVertical = static_cast<uint8_t>(value);
        break;
    default:
        break;
    }
}

intptr_t oxGraphicsContext::GetOption(int id) {
    switch (id) {
    case kOptionGridFit:
        return m_gridFit;
    case kOptionLinePattern:
        return m_rasterizer.m_gapMask;
    case kOptionSnapVertical:
        return m_snapVertical;
    default:
        return 0;
    }
}

void oxGraphicsContext::SetFloatOption(int id, float value) {
    if (id == kOptionCoverageCurve) {
        m_filler.SetCoverageCurve(value);
    } else if (id == kOptionSaturation) {
        const float s = value * 256.0f;
        m_filler.SetSaturation(std::isfinite(s) ? static_cast<int32_t>(std::clamp(s, -1.0e9f, 1.0e9f)) : 256);
    } else if (id == kOptionSnapShift) {
        m_snapShift = value;
    }
}

float oxGraphicsContext::GetFloatOption(int id) {
    if (id == kOptionCoverageCurve) return m_filler.CoverageCurve();
    if (id == kOptionSnapShift) return m_snapShift;
    return 0.0f;
}

void oxGraphicsContext::SetColor(uint32_t rgb) {
    m_fillColor = rgb | 0xFF000000u;
    UnpackColor(rgb, m_fill);
}

void oxGraphicsContext::SetStrokeColor(uint32_t rgb) {
    m_strokeColor = rgb | 0xFF000000u;
    UnpackColor(rgb, m_stroke);
}

void oxGraphicsContext::SetFillColorF(float r, float g, float b) {
    m_fill[0] = r, m_fill[1] = g, m_fill[2] = b;
    m_fillColor = PackColor(m_fill);
}

void oxGraphicsContext::SetStrokeColorF(float r, float g, float b) {
    m_stroke[0] = r, m_stroke[1] = g, m_stroke[2] = b;
    m_strokeColor = PackColor(m_stroke);
}

void oxGraphicsContext::SetClearColor(float r, float g, float b) {
    float c[3] = {r, g, b};
    if (r <= -1.0f && g <= -1.0f && b <= -1.0f) {
        m_clearAlpha = 0xFF000000u;
        for (float& v : c)
            v = -(v + 1.0f);
    } else {
        m_clearAlpha = 0;
    }
    for (int k = 0; k < 3; ++k)
        m_clear[k] = std::min(c[k], 0.99609375f);
}

void oxGraphicsContext::SetAlpha(int32_t alpha) {
    m_alpha = std::min(alpha, 256);
    m_rasterizer.SetAlpha(m_alpha);
    m_filler.SetOpacity(m_alpha);
}

void oxGraphicsContext::SetAntialias(int samples) {
    m_samples = samples <= 1 ? 0 : samples == 2 ? 2 : samples == 4 ? 4 : 8;
    m_filler.SetQuality(m_samples);
    m_rasterizer.SetAntialias(m_samples != 0);
}

void oxGraphicsContext::ResetTransform() {
    m_transform = oxMatrix{};
    m_transformChanged = 1;
}

void oxGraphicsContext::Translate3(float dx, float dy, float dz) {
    m_transform.Translate(dx, dy, dz);
    m_transformChanged = 1;
}

void oxGraphicsContext::Scale(float sx, float sy) {
    m_transform.Scale(sx, sy, 1.0f);
    m_transformChanged = 1;
}

void oxGraphicsContext::Rotate(float radians) {
    m_transform.RotateZ(radians);
    m_transformChanged = 1;
}

void oxGraphicsContext::SetTransform(const oxMatrix& m) {
    m_transform = m;
    m_transformChanged = 1;
}

void oxGraphicsContext::ResetTextureTransform() {
    m_textureTransform = oxMatrix{};
    m_combinedChanged = 1;
}

void oxGraphicsContext::TranslateTexture(float dx, float dy) {
    m_textureTransform.Translate(dx, dy, 0.0f);
    m_combinedChanged = 1;
}

void oxGraphicsContext::SetTextureTransform(const oxMatrix& m) {
    m_textureTransform = m;
    m_combinedChanged = 1;
}

void oxGraphicsContext::SetTextureImage(const oxPixelBuffer* image) {
    if (!image) {
        m_textureMapping = 0;
        return;
    }
    m_texture = *image;
    const float w = float(image->width), h = float(image->height);
    const float points[9] = {0, 0, 0, w, 0, 0, w, h, 0};
    const float coords[9] = {0, 0, 0, 1, 0, 0, 1, 1, 0};
    std::memcpy(m_refPoints, points, sizeof points);
    std::memcpy(m_refCoords, coords, sizeof coords);
    m_textureMapping = 1;
    m_combinedChanged = 1;
}

void oxGraphicsContext::SetFillImage(const oxPixelBuffer* image) {
    m_fillImage = image ? *image : oxPixelBuffer{};
}

void oxGraphicsContext::SetClipRect(const RECT* rect) {
    if (!rect) {
        delete m_clipRect;
        m_clipRect = nullptr;
        return;
    }
    if (!m_clipRect) m_clipRect = new (std::nothrow) RECT;
    if (m_clipRect) *m_clipRect = *rect;
}

RECT oxGraphicsContext::GetClippedTargetRect() const {
    RECT r = m_clipBounds;
    if (m_clipRect && !IntersectRECT(&m_clipBounds, m_clipRect, &r)) r = RECT{0, 0, 0, 0};
    return r;
}

void oxGraphicsContext::SetClipBounds(const RECT* rect) {
    const RECT whole{0, 0, m_target.valid ? m_target.width : 0, m_target.valid ? m_target.height : 0};
    RECT r = whole;
    if (rect && !IntersectRECT(rect, &whole, &r)) r = RECT{0, 0, 0, 0};
    m_clipBounds = r;
    m_filler.SetClip(r);
    m_rasterizer.m_clip = r;
}

int oxGraphicsContext::SetSize(int32_t width, int32_t height, int32_t bpp) {
    width = std::max(width, 2);
    height = std::max(height, 2);
    const int32_t depth = (bpp == 0 ? GetScreenDepth() : bpp) == 16 ? 16 : 32;
    if (m_bitmap && m_target.valid && m_target.width == width && m_target.height == height && m_target.bpp == depth)
        return 1;
    ReleaseTarget();
    // A 16-bit target takes the screen's own 16-bit layout when the screen is 16-bit.
    const int32_t createBpp = depth == 16 && GetScreenDepth() == 16 ? 0 : depth;
    oxDibBitmap* bitmap = new (std::nothrow) oxDibBitmap(width, height, createBpp, true, true);
    if (!bitmap) return 0;
    if (!bitmap->valid || !AttachTarget(bitmap->pixels)) {
        delete bitmap;
        return 0;
    }
    m_bitmap = bitmap;
    return 1;
}

int oxGraphicsContext::AttachTarget(const oxPixelBuffer& target) {
    if (!target.valid) return 0;
    m_target = target;
    m_rasterTarget = target;
    m_filler.SetTarget(&m_target);
    m_rasterizer.m_target = &m_rasterTarget;
    SetClipBounds(nullptr);
    m_clipArea = (m_clipBounds.right - m_clipBounds.left) * (m_clipBounds.bottom - m_clipBounds.top);
    if (target.bpp == 16) SetPixelFormatForLayout(target.layout);
    return 1;
}

void oxGraphicsContext::ReleaseTarget() {
    if (m_dc && m_bitmap) m_bitmap->ReleaseDC();
    m_dc = nullptr;
    m_dcUses = 0;
    delete m_bitmap;
    m_bitmap = nullptr;
    m_target = oxPixelBuffer{};
    m_rasterTarget = oxPixelBuffer{};
    m_filler.SetTarget(nullptr);
    m_clipBounds = RECT{0, 0, 0, 0};
    m_rasterizer.m_clip = m_clipBounds;
}

oxDibBitmap* oxGraphicsContext::DetachBitmap() {
    oxDibBitmap* bitmap = m_bitmap;
    if (m_dc && bitmap) bitmap->ReleaseDC();
    m_dc = nullptr;
    m_dcUses = 0;
    m_bitmap = nullptr;
    ReleaseTarget();
    return bitmap;
}

int oxGraphicsContext::AdoptBitmap(oxDibBitmap* bitmap) {
    if (!bitmap || !bitmap->valid) return 0;
    ReleaseTarget();
    if (!AttachTarget(bitmap->pixels)) return 0;
    m_bitmap = bitmap;
    return 1;
}

HDC oxGraphicsContext::GetDC() {
    if (!m_bitmap) return nullptr;
    if (m_dcUses == 0) m_dc = m_bitmap->AcquireDC();
    if (!m_dc) return nullptr;
    ++m_dcUses;
    return m_dc;
}

void oxGraphicsContext::ReleaseDC() {
    if (m_dcUses == 0) return;
    if (--m_dcUses == 0 && m_bitmap) {
        m_bitmap->ReleaseDC();
        m_dc = nullptr;
    }
}

void oxGraphicsContext::Clear(const RECT* rect) {
    if (!m_target.HasPixels()) return;
    const RECT visible = GetClippedTargetRect();
    RECT r = visible;
    if (rect && !IntersectRECT(rect, &visible, &r)) return;
    if (IsRectEmpty(r)) return;
    const uint32_t rgb = PackColor(m_clear) & 0x00FFFFFFu;
    // One pattern for all rows, stored in whole blocks.
    oxFillPattern pattern;
    if (m_target.bpp == 32)
        pattern.Set32(rgb | m_clearAlpha);
    else if (m_target.bpp == 16)
        pattern.Set16(static_cast<uint16_t>(((rgb >> 19) & 31) << g_pixelFormat.redShift |
                                            ((rgb >> 11) & 31) << g_pixelFormat.greenShift |
                                            ((rgb >> 3) & 31) << g_pixelFormat.blueShift));
    for (int32_t y = r.top; y < r.bottom; ++y) {
        if (m_target.bpp == 32 || m_target.bpp == 16) {
            const size_t bytes = static_cast<size_t>(m_target.bpp / 8);
            FillPattern(m_target.GetRow8(y) + r.left * bytes, static_cast<size_t>(r.right - r.left) * bytes, pattern,
                        0);
        } else {
            std::memset(m_target.GetPixelAddress(r.left, y), 0,
                        static_cast<size_t>(r.right - r.left) * static_cast<size_t>(m_target.storageBpp / 8));
        }
    }
}

int oxGraphicsContext::CopyToDC(HDC dc) {
    if (!m_target.HasPixels()) return 1;
    const RECT source = GetClippedTargetRect();
    if (IsRectEmpty(source)) return 1;
    const RECT destination{source.left + m_originX, source.top + m_originY, source.right + m_originX,
                           source.bottom + m_originY};
    if (m_bitmap)
        m_bitmap->DrawTo(dc, &destination, &source);
    else
        BlitPixelBufferToDC(dc, m_target, destination, source);
    return 1;
}

int oxGraphicsContext::PaintToWindow(HWND window, bool centre) {
    oxWindowDC holder(window, false);
    if (!holder.dc()) return 1;
    const int32_t ox = m_originX, oy = m_originY;
    if (centre) {
        RECT client{};
        GetWindowClientRect(window, &client);
        m_originX = (client.left + client.right) / 2 - m_target.width / 2;
        m_originY = (client.top + client.bottom) / 2 - m_target.height / 2;
    }
    CopyToDC(holder.dc());
    m_originX = ox, m_originY = oy;
    return 1;
}
