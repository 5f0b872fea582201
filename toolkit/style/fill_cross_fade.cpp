#include "toolkit/style/fill_cross_fade.h"

#include <new>

#include "graphics/paint/canvas.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/raster/blitter.h"
#include "toolkit/style/color.h"

namespace {

// A colour's alpha byte becomes the global alpha and its RGB the fill colour, through the canvas's
// colour transform.
void FillSolid(oxCanvas* canvas, const oxCanvasRect& r, uint32_t argb, const float radii[4]) {
    const uint32_t c = canvas->ApplyColorTransform(argb);
    canvas->SetAlpha(int32_t(c >> 24));
    canvas->SetColor(c & 0x00FFFFFF);
    canvas->RoundRectRadii(float(r.x), float(r.y), float(r.x) + float(r.width), float(r.y) + float(r.height), radii[0],
                           radii[1], radii[2], radii[3], 0, nullptr);
}

bool SameRadii(const float a[4], const float b[4]) {
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

int32_t AlphaOf(float weight) {
    return weight > 0.0f ? (weight < 1.0f ? int32_t(weight * 255.0f) : 255) : 0;
}

} // namespace

oxFillCrossFade::~oxFillCrossFade() {
    delete image_;
}

void oxFillCrossFade::SetImage(oxDibBitmap* image) {
    if (image_ && image && image->valid && image->pixels.HasPixels()) {
        const int32_t alpha = AlphaOf(progress);
        if (progress < 0.5f) {
            oxCanvas over;
            if (over.AttachTarget(image->pixels)) {
                over.SetAlpha(alpha);
                over.DrawImage(image_, nullptr, nullptr);
            }
        } else {
            auto* mixed = new (std::nothrow) oxDibBitmap(image->width, image->height, 32, true, false);
            oxCanvas into;
            if (mixed && mixed->valid && into.AttachTarget(mixed->pixels)) {
                oxBlitter().FillRect(mixed->pixels, nullptr, 0);
                into.DrawImage(image_, nullptr, nullptr);
                into.SetAlpha(alpha);
                into.DrawImage(image, nullptr, nullptr);
                delete image;
                image = mixed;
            } else {
                delete mixed;
            }
        }
    }
    delete image_;
    image_ = image;
}

void oxFillCrossFade::PaintValue(oxCanvas* canvas, oxFillValuePainter* painter, const oxStyleValue& value,
                                 const oxCanvasRect& rect, float weight) {
    uint32_t argb = 0;
    float radii[4] = {0, 0, 0, 0};
    if (painter->GetSolidBrush(value, &argb, radii)) {
        const uint32_t alpha = uint32_t(float(argb >> 24) * weight);
        FillSolid(canvas, rect, (argb & 0x00FFFFFF) | alpha << 24, radii);
    } else {
        painter->PaintBrush(canvas, value, rect);
    }
}

void oxFillCrossFade::Paint(oxCanvas* canvas, oxFillValuePainter* painter, const oxCanvasRect& rect) {
    if (!canvas || !painter || rect.width <= 0 || rect.height <= 0) return;
    const float t = progress;
    const bool early = t < 0.5f;
    const oxStyleValue& nearValue = early ? from_ : to_;
    const oxStyleValue& farValue = early ? to_ : from_;
    const float w = early ? t : 1.0f - t;
    const int32_t savedAlpha = canvas->Alpha();

    uint32_t nearColour = 0, farColour = 0;
    float nearRadii[4] = {0, 0, 0, 0}, farRadii[4] = {0, 0, 0, 0};
    bool mixed = false;
    if (early && image_) {
        canvas->DrawImage(image_, &rect, nullptr);
    } else if (painter->GetSolidBrush(nearValue, &nearColour, nearRadii)) {
        if (!image_ && painter->GetSolidBrush(farValue, &farColour, farRadii) && SameRadii(nearRadii, farRadii)) {
            FillSolid(canvas, rect, LerpColor(nearColour, farColour, w), nearRadii);
            mixed = true;
        } else {
            FillSolid(canvas, rect, nearColour, nearRadii);
        }
    } else {
        painter->PaintBrush(canvas, nearValue, rect);
    }

    if (w > 0.0f && !mixed) {
        canvas->SetAlpha(AlphaOf(w));
        if (!early && image_) {
            canvas->DrawImage(image_, &rect, nullptr);
        } else {
            PaintValue(canvas, painter, farValue, rect, w);
        }
    }
    canvas->SetAlpha(savedAlpha);
}

oxDibBitmap* oxFillCrossFade::RenderToBitmap(oxFillValuePainter* painter, const oxCanvasRect& rect) {
    if (!painter || rect.width <= 0 || rect.height <= 0) return nullptr;
    auto* bitmap = new (std::nothrow) oxDibBitmap(rect.width, rect.height, 32, true, false);
    oxCanvas canvas;
    if (!bitmap || !bitmap->valid || !canvas.AttachTarget(bitmap->pixels)) {
        delete bitmap;
        return nullptr;
    }
    oxBlitter().FillRect(bitmap->pixels, nullptr, 0);
    Paint(&canvas, painter, oxCanvasRect{0, 0, rect.width, rect.height});
    return bitmap;
}
