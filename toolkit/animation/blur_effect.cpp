#include "toolkit/animation/blur_effect.h"

#include <new>

#include "graphics/effects/pixel_effects.h"
#include "toolkit/animation/effect_pixels_internal.h"

namespace {

// A bitmap of the picture's depth holding `from` converted. It takes the picture's own 16-bit
// layout rather than the screen's: on the device the two agree, and a 16-bit picture shown on a
// 32-bit screen keeps its colours. Null when it cannot be made.
oxDibBitmap* Converted(const oxPixelBuffer& from, int32_t width, int32_t height, const oxPixelBuffer& like) {
    auto* dib = new (std::nothrow) oxDibBitmap(width, height, like.bpp, false, false);
    if (dib && dib->valid && like.bpp == 16) dib->pixels.layout = dib->layout = like.layout;
    if (!dib || !dib->valid || !ConvertPixels(dib->pixels, from)) {
        delete dib;
        return nullptr;
    }
    return dib;
}

// A 32-bit copy of the picture blurred inside its one-pixel border, then taken to the picture's
// depth. Null when any step fails.
oxDibBitmap* Blurred(const oxPixelBuffer& picture, int32_t width, int32_t height, int32_t radius) {
    oxPixelBuffer wide;
    wide.bpp = 32;
    std::unique_ptr<oxDibBitmap> dib(Converted(picture, width, height, wide));
    if (!dib) return nullptr;
    if (width > 2 && height > 2) {
        const RECT inner{1, 1, width - 1, height - 1};
        oxPixelBuffer view;
        view.InitSubRect(dib->pixels, &inner);
        ExpBlur(view, nullptr, float(radius), true, true);
    }
    if (picture.bpp == 32) return dib.release();
    return Converted(dib->pixels, width, height, picture);
}

} // namespace

void oxBlurEffect::FreeImages() {
    work_.reset();
    blurredSource_.reset();
    blurredTarget_.reset();
}

bool oxBlurEffect::Start(const oxPixelBuffer& source, const oxPixelBuffer& target, HWND window, bool flag) {
    FreeImages();
    Reset();
    if (!Begin(source, target, window, flag)) return false;
    if (!source.HasPixels() || !target.HasPixels()) return false;
    const int32_t w = source.width, h = target.height;
    const RECT part{0, 0, w, h};
    oxPixelBuffer targetPart;
    targetPart.InitSubRect(target, &part);
    blurredSource_.reset(Blurred(source, w, h, radius_));
    blurredTarget_.reset(Blurred(targetPart, w, h, radius_));
    work_.reset(Converted(source, w, source.height, source));
    if (!blurredSource_ || !blurredTarget_ || !work_) {
        FreeImages();
        Reset();
        return false;
    }
    return true;
}

bool oxBlurEffect::RenderFrame(float a) {
    if (!blurredSource_) return false;
    surface_.BeginBatch();
    oxEffectViews views(surface_.Target(), source_, target_);
    oxPixelBuffer& surface = views.surface;
    oxPixelBuffer& source = work_->pixels;
    oxPixelBuffer& blurredTarget = blurredTarget_->pixels;
    const int32_t rows = (frames_ & 1) + 1;
    // The source a step blurrier; in the second half the blurred target a step sharper.
    CrossFade(source, source, blurredSource_->pixels, int32_t(a * 128.0f), rows);
    const float k = a > 0.5f ? (a - 0.5f) * 2.0f * 128.0f : 0.0f;
    CrossFade(blurredTarget, blurredTarget, target_, int32_t(k), rows);
    CrossFade(surface, source, blurredTarget, int32_t(double(a) * 256.0), rows);
    SetWholeItem();
    const bool drawn = DrawProgress(a, false);
    surface_.EndBatch();
    return drawn;
}

bool oxBlurEffect::Finish() {
    FreeImages();
    Reset();
    return DrawFinalFrame();
}
