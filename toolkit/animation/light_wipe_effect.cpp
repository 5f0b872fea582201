#include "toolkit/animation/light_wipe_effect.h"

#include <algorithm>
#include <cmath>

#include "graphics/pixels/number_utils.h"
#include "toolkit/animation/effect_pixels_internal.h"

namespace {

int32_t Nearest(double v) {
    return int32_t(std::floor(v + 0.5));
}

// Pixel (x, y) of a picture, taken from its nearest edge when the point lies outside it.
template <typename Pixel> uint32_t SampleClamped(const oxPixelBuffer& p, double x, double y) {
    const int32_t px = std::clamp(Nearest(x - 0.5), 0, p.width - 1), py = std::clamp(Nearest(y - 0.5), 0, p.height - 1);
    return reinterpret_cast<const Pixel*>(p.GetRow8(py))[px];
}

// Each field's lowest bit, so that halving two pixels and adding them leaves no bit in a
// neighbouring field (with 6-bit green the bit at the green shift is not its lowest).
uint32_t LowBits16() {
    const uint32_t r = g_pixelFormat.red, g = g_pixelFormat.green, b = g_pixelFormat.blue;
    return (r & (~r + 1)) | (g & (~g + 1)) | (b & (~b + 1));
}

} // namespace

oxLightWipeEffect::oxLightWipeEffect() : angle_(float(Random()) * 0.0054933317f) {}

bool oxLightWipeEffect::Start(const oxPixelBuffer& source, const oxPixelBuffer& target, HWND window, bool flag) {
    prepared_ = false;
    (void)flag;
    return Begin(source, target, window, true);
}

template <typename Pixel>
void oxLightWipeEffect::Draw(oxPixelBuffer& surface, const oxPixelBuffer& source, const oxPixelBuffer& target) {
    const double cosT = rotation_[0], sinT = rotation_[1];
    // The two edge lines, sampled from the target across the band's edges.
    const int32_t n = int32_t(std::sqrt(double(width_) * width_ + double(height_) * height_));
    const int32_t half = n >> 1;
    plus_.resize(size_t(std::max(n, 1)));
    minus_.resize(size_t(std::max(n, 1)));
    const double px = cx_ + position_ * direction_[0], py = cy_ + position_ * direction_[1];
    const double mx = cx_ - position_ * direction_[0], my = cy_ - position_ * direction_[1];
    for (int32_t i = 0; i < n; ++i) {
        const double k = i - half;
        plus_[i] = SampleClamped<Pixel>(target, px + k * sinT, py + k * cosT);
        minus_[i] = SampleClamped<Pixel>(target, mx + k * sinT, my + k * cosT);
    }
    const uint32_t keep = sizeof(Pixel) == 4 ? 0x7F7F7F7Fu : (~LowBits16() & 0xFFFFu) >> 1;
    const float position = position_;
    const float c = rotation_[0], s = rotation_[1];
    for (int32_t y = 0; y < height_; ++y) {
        Pixel* out = reinterpret_cast<Pixel*>(surface.GetRow8(y));
        const Pixel* from = reinterpret_cast<const Pixel*>(source.GetRow8(y));
        const Pixel* to = reinterpret_cast<const Pixel*>(target.GetRow8(y));
        // Distances along (u) and across (v) the wipe direction, stepped along the row.
        float u = float(-cx_) * c - float(y - cy_) * s;
        float v = float(-cx_) * s + float(y - cy_) * c;
        for (int32_t x = 0; x < width_; ++x, u += c, v += s) {
            if (std::fabs(u) < position) {
                out[x] = to[x];
                continue;
            }
            const int32_t k = Nearest(double(position) * double(v) / double(u));
            const uint32_t edge =
                u > 0 ? plus_[std::clamp(half + k, 0, n - 1)] : minus_[std::clamp(half - k, 0, n - 1)];
            out[x] = Pixel(((uint32_t(from[x]) >> 1) & keep) + ((edge >> 1) & keep));
        }
    }
}

bool oxLightWipeEffect::RenderFrame(float a) {
    surface_.BeginBatch();
    oxEffectViews views(surface_.Target(), source_, target_);
    oxPixelBuffer &surface = views.surface, &source = views.source, &target = views.target;
    if (!views.Fit()) {
        surface_.EndBatch();
        return false;
    }
    width_ = surface.width;
    height_ = surface.height;
    if (!prepared_) {
        cx_ = int32_t((width_ - 1) * 0.5);
        cy_ = int32_t((height_ - 1) * 0.5);
        const double theta = double(angle_) * 0.017453292519943295;
        const float c = float(std::cos(theta)), s = float(std::sin(theta));
        rotation_[0] = c, rotation_[1] = s, rotation_[2] = -s, rotation_[3] = c;
        direction_[0] = c, direction_[1] = -s;
        extent_ =
            float(std::max(std::fabs(cx_ * double(c) - cy_ * double(s)), std::fabs(cx_ * double(c) + cy_ * double(s))));
        prepared_ = true;
    }
    position_ = float(0.99 * double(a) * double(extent_) + 0.01);
    if (surface.bpp == 32) {
        Draw<uint32_t>(surface, source, target);
    } else {
        SetPixelFormatForLayout(surface.layout);
        Draw<uint16_t>(surface, source, target);
    }
    const bool drawn = DrawProgress(a, false);
    surface_.EndBatch();
    return drawn;
}
