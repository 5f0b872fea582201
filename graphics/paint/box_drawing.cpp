#include "graphics/paint/box_drawing.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "graphics/effects/pixel_effects.h"
#include "graphics/image/frame_list.h"
#include "graphics/image/image_decoder.h"
#include "graphics/paint/shadow_style.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/raster/blitter.h"

namespace {

bool Usable(const oxCanvas* canvas) {
    return canvas && canvas->HasTarget();
}

bool UsableImage(const oxDibBitmap* image) {
    return image && image->valid && image->pixels.HasPixels();
}

bool AnyRadius(const float radii[4]) {
    return radii && (radii[0] != 0.0f || radii[1] != 0.0f || radii[2] != 0.0f || radii[3] != 0.0f);
}

// Fills the rectangle in the current colour or texture: round corners when any radius is set.
void FillShape(oxCanvas* canvas, const oxCanvasRect& r, const float radii[4]) {
    const float l = float(r.x), t = float(r.y), rr = float(r.x) + float(r.width), b = float(r.y) + float(r.height);
    if (AnyRadius(radii)) {
        canvas->RoundRectRadii(l, t, rr, b, radii[0], radii[1], radii[2], radii[3], 0, nullptr);
    } else {
        canvas->Rect(l, t, rr, b, 0);
    }
}

// A colour through the canvas transform: its alpha byte becomes the global alpha, its RGB the fill colour.
void UseFillColor(oxCanvas* canvas, uint32_t argb) {
    const uint32_t c = canvas->ApplyColorTransform(argb);
    canvas->SetAlpha(int32_t(c >> 24));
    canvas->SetColor(c & 0x00FFFFFFu);
}

// The modulo kept non-negative, so an origin left of the rectangle tiles the same way.
int32_t PositiveMod(int32_t v, int32_t m) {
    const int32_t r = v % m;
    return r < 0 ? r + m : r;
}

// The first tile start at or after `start` (stepping by `step`) whose tile reaches past `edge`.
int64_t FirstTileReaching(int64_t start, int32_t step, int64_t edge) {
    if (start + step > edge) return start;
    return start + (edge - start) / step * step;
}

} // namespace

void FillRoundRect(oxCanvas* canvas, const oxCanvasRect& rect, uint32_t argb, float radius) {
    const float r = float(int32_t(radius));
    const float radii[4] = {r, r, r, r};
    FillRoundRectRadii(canvas, rect, argb, radii);
}

void FillRoundRectRadii(oxCanvas* canvas, const oxCanvasRect& rect, uint32_t argb, const float radii[4]) {
    if (!Usable(canvas)) return;
    const int32_t saved = canvas->Alpha();
    UseFillColor(canvas, argb);
    FillShape(canvas, rect, radii);
    canvas->SetAlpha(saved);
}

void StrokeRoundRect(oxCanvas* canvas, const oxCanvasRect& rect, uint32_t argb, float width, const float radii[4],
                     uint32_t mask, const uint8_t* sides) {
    if (!Usable(canvas)) return;
    const uint32_t c = canvas->ApplyColorTransform(argb);
    const int32_t savedAlpha = canvas->Alpha();
    const intptr_t savedGrid = canvas->GetOption(kOptionGridFit);
    const int32_t savedJoin = canvas->LineJoin(), savedCap = canvas->LineCap();
    canvas->SetAlpha(int32_t(c >> 24));
    canvas->SetStrokeColor(c & 0x00FFFFFFu);
    canvas->SetLineWidth(width * 0.5f);
    canvas->SetOption(kOptionLinePattern, intptr_t(uint32_t(~mask)));
    canvas->SetGridFit(true);
    canvas->SetLineJoin(1);
    canvas->SetLineCap(1);
    const int32_t w = int32_t(width);
    const float l = float(rect.x), t = float(rect.y);
    const float r = float(rect.x) + float(rect.width) - width, b = float(rect.y) + float(rect.height) - width;
    if (sides || AnyRadius(radii)) {
        static const float kNone[4] = {0, 0, 0, 0};
        const float* k = radii ? radii : kNone;
        canvas->RoundRectRadii(l, t, r, b, k[0], k[1], k[2], k[3], 1, sides);
    } else {
        canvas->FillRectI(RECT{rect.x, rect.y, rect.x + rect.width - w, rect.y + rect.height - w}, 1);
    }
    canvas->SetLineJoin(savedJoin);
    canvas->SetLineCap(savedCap);
    canvas->SetAlpha(savedAlpha);
    canvas->SetGridFit(savedGrid != 0);
    canvas->SetOption(kOptionLinePattern, 0);
}

oxCanvasRect StrokePathRect(const oxCanvasRect& box, int32_t width) {
    return oxCanvasRect{box.x, box.y, box.width + (box.width > 0 ? width - 1 : width),
                        box.height + (box.height > 0 ? width - 1 : width)};
}

void DrawResourceImage(oxCanvas* canvas, const oxCanvasRect& rect, const oxDibBitmap* image, oxFillAxis size) {
    if (!Usable(canvas) || !UsableImage(image)) return;
    oxCanvasRect r = rect;
    if (size == kFillAxisCenter && image->height < r.height) {
        r.y += (r.height - image->height) / 2;
        r.height = image->height;
    }
    canvas->DrawImage(image, &r, nullptr);
}

void PaintImageFill(oxCanvas* canvas, const oxCanvasRect& rect, const oxDibBitmap* image, oxFillAxis size,
                    oxFillAxis repeat, POINT origin) {
    if (!Usable(canvas) || rect.width <= 0 || rect.height <= 0 || !UsableImage(image)) return;
    const int32_t w = image->width, h = image->height;
    if (repeat == kFillAxisBoth || repeat == kFillAxisX || repeat == kFillAxisY) {
        const RECT savedClip = canvas->ClipBounds();
        canvas->IntersectClip(rect);
        // Tiles wholly outside the clip are not drawn, so a small image over a large box costs only
        // what shows.
        const RECT visible = canvas->GetLocalClipBounds();
        const int64_t right = std::min<int64_t>(int64_t(rect.x) + rect.width, visible.right);
        const int64_t bottom = std::min<int64_t>(int64_t(rect.y) + rect.height, visible.bottom);
        int64_t startX = origin.x ? int64_t(rect.x) - (w - PositiveMod(origin.x, w)) : rect.x;
        int64_t startY = origin.y ? int64_t(rect.y) - (h - PositiveMod(origin.y, h)) : rect.y;
        if (repeat != kFillAxisY) startX = FirstTileReaching(startX, w, visible.left);
        if (repeat != kFillAxisX) startY = FirstTileReaching(startY, h, visible.top);
        if (repeat == kFillAxisBoth) {
            for (int64_t ty = startY; ty < bottom; ty += h)
                for (int64_t tx = startX; tx < right; tx += w) {
                    const oxCanvasRect tile{int32_t(tx), int32_t(ty), w, h};
                    canvas->DrawImage(image, &tile, nullptr);
                }
        } else if (repeat == kFillAxisX) {
            const int32_t th = size == kFillAxisY ? rect.height : h;
            for (int64_t tx = startX; tx < right; tx += w) {
                const oxCanvasRect tile{int32_t(tx), rect.y, w, th};
                canvas->DrawImage(image, &tile, nullptr);
            }
        } else {
            const int32_t tw = size == kFillAxisX ? rect.width : w;
            for (int64_t ty = startY; ty < bottom; ty += h) {
                const oxCanvasRect tile{rect.x, int32_t(ty), tw, h};
                canvas->DrawImage(image, &tile, nullptr);
            }
        }
        canvas->SetClipBounds(&savedClip);
        return;
    }
    oxCanvasRect r = rect;
    if (size == kFillAxisNone) {
        r.width = w;
        r.height = h;
    } else if (size == kFillAxisX) {
        r.height = h;
    } else if (size == kFillAxisY) {
        r.width = w;
    }
    canvas->DrawImage(image, &r, nullptr);
}

void PaintNineSlice(oxCanvas* canvas, const oxCanvasRect& rect, const oxDibBitmap* image, const RECT& slices,
                    oxFillAxis size) {
    if (!Usable(canvas) || rect.width <= 0 || rect.height <= 0 || !UsableImage(image)) return;
    const int32_t W = image->width, H = image->height;
    // Slices beyond the image are cut to it, so no piece reads outside the picture.
    const int32_t l = std::clamp<int32_t>(slices.left, 0, W), r = std::clamp<int32_t>(slices.right, 0, W - l);
    const int32_t t = std::clamp<int32_t>(slices.top, 0, H), b = std::clamp<int32_t>(slices.bottom, 0, H - t);
    const int32_t x = rect.x, y = rect.y, width = rect.width, height = rect.height;
    const int32_t mw = std::max(0, width - l - r), mh = std::max(0, height - t - b);
    const int32_t sw = W - l - r, sh = H - t - b;
    auto piece = [&](int32_t sx, int32_t sy, int32_t sW, int32_t sH, int32_t dx, int32_t dy, int32_t dW, int32_t dH) {
        if (sW <= 0 || sH <= 0 || dW <= 0 || dH <= 0) return;
        const oxCanvasRect source{sx, sy, sW, sH}, destination{dx, dy, dW, dH};
        canvas->DrawImage(image, &destination, &source);
    };
    piece(0, 0, l, t, x, y, l, t);
    piece(l, 0, sw, t, x + l, y, mw, t);
    piece(W - r, 0, r, t, x + width - r, y, r, t);
    piece(0, t, l, sh, x, y + t, l, mh);
    piece(W - r, t, r, sh, x + width - r, y + t, r, mh);
    piece(0, H - b, l, b, x, y + height - b, l, b);
    piece(l, H - b, sw, b, x + l, y + height - b, mw, b);
    piece(W - r, H - b, r, b, x + width - r, y + height - b, r, b);
    if (size != kFillAxisNone) {
        piece(l, t, sw, sh, x + l, y + t, size == kFillAxisY ? sw : mw, size == kFillAxisX ? sh : mh);
    }
}

bool BuildLinearGradient(oxDibBitmap* ramp, const uint32_t* stops, int count, const oxCanvasRect& rect, float fromX,
                         float fromY, float toX, float toY, oxGradientFill* out) {
    if (!UsableImage(ramp) || ramp->bpp != 32 || !stops || count < 1 || !out) return false;
    const int32_t n = ramp->width;
    uint32_t* row = ramp->pixels.GetRow32(0);
    for (int32_t i = 0; i < n; ++i) {
        const float pos = n > 1 ? float(i) * float(count - 1) / float(n - 1) : 0.0f;
        const int a = std::min(int(pos), count - 1), b = std::min(a + 1, count - 1);
        const float f = pos - float(a);
        uint32_t c = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const float va = float((stops[a] >> shift) & 0xFF), vb = float((stops[b] >> shift) & 0xFF);
            c |= uint32_t(va + (vb - va) * f + 0.5f) << shift;
        }
        const uint32_t alpha = c >> 24;
        for (int shift = 0; shift < 24; shift += 8)
            c = (c & ~(0xFFu << shift)) | (((c >> shift) & 0xFF) * alpha / 255) << shift;
        row[i] = c;
    }
    const float ax = float(rect.x) + fromX * float(rect.width), ay = float(rect.y) + fromY * float(rect.height);
    const float dx = (toX - fromX) * float(rect.width), dy = (toY - fromY) * float(rect.height);
    const float length = std::sqrt(dx * dx + dy * dy);
    if (!(length > 0.0f)) return false;
    out->ramp = &ramp->pixels;
    out->radial = false;
    out->matrix = oxMatrix();
    out->matrix.Scale(length / float(n), length, 1.0f);
    out->matrix.RotateZ(-std::atan2(dy, dx)); // RotateZ turns from +x towards -y
    out->matrix.Translate(ax, ay, 0.0f);
    out->opaque = true;
    for (int i = 0; i < count; ++i)
        if ((stops[i] >> 24) != 0xFF) out->opaque = false;
    return true;
}

void PaintGradient(oxCanvas* canvas, const oxCanvasRect& rect, const oxGradientFill& gradient, const float radii[4]) {
    if (!Usable(canvas) || !gradient.ramp || !gradient.ramp->HasPixels()) return;
    oxCanvasColorTransform* transform = canvas->TopColorTransform();
    canvas->SetOption(gradient.radial ? kOptionRadialGradient : kOptionLinearGradient, 1);
    canvas->SetTextureImage(gradient.ramp);
    if (!gradient.opaque || transform) canvas->SetOption(kOptionUseSourceAlpha, 1);
    const oxMatrix saved = canvas->GetTextureTransform();
    canvas->SetTextureTransform(gradient.matrix);
    if (transform) transform->ApplyToCanvas(canvas);
    FillShape(canvas, rect, gradient.hasRadii ? gradient.radii : radii);
    if (transform) transform->RemoveFromCanvas(canvas);
    canvas->SetTextureTransform(saved);
    canvas->DisableTextureMapping();
    canvas->SetOption(kOptionTextureBitmap, 1);
    canvas->SetOption(kOptionUseSourceAlpha, 0);
}

void PaintGradientRadius(oxCanvas* canvas, const oxCanvasRect& rect, const oxGradientFill& gradient,
                         const float* radius) {
    const float r = radius ? *radius : 0.0f;
    const float radii[4] = {r, r, r, r};
    PaintGradient(canvas, rect, gradient, radii);
}

void PaintRelief(oxCanvas* canvas, const oxCanvasRect& rect, uint32_t light, uint32_t dark, int32_t thickness) {
    if (!Usable(canvas)) return;
    const int32_t grow = thickness > 1 ? thickness / 2 : 0;
    const float ol = float(rect.x - grow), ot = float(rect.y - grow);
    const float orr = float(rect.x + rect.width + grow), ob = float(rect.y + rect.height + grow);
    const float il = ol + float(thickness), it = ot + float(thickness);
    const float ir = orr - float(thickness), ib = ob - float(thickness);
    const int32_t saved = canvas->Alpha();
    const float darkBand[12] = {orr, ot, orr, ob, ol, ob, il, ib, ir, ib, ir, it};
    UseFillColor(canvas, dark);
    canvas->FillPath(6, darkBand, 2, nullptr);
    const float lightBand[12] = {orr, ot, ol, ot, ol, ob, il, ib, il, it, ir, it};
    UseFillColor(canvas, light);
    canvas->FillPath(6, lightBand, 2, nullptr);
    canvas->SetAlpha(saved);
}

void StrokeMultiColor(oxCanvas* canvas, const oxCanvasRect& box, const uint32_t colors[4], const uint8_t sides[4],
                      float width, const float radii[4], uint32_t mask) {
    if (!Usable(canvas) || !(width > 0.0f) || !sides) return;
    enum { L = 0, T = 1, R = 2, B = 3 };
    const bool set[4] = {sides[L] != 0, sides[T] != 0, sides[R] != 0, sides[B] != 0};
    const int32_t w = int32_t(width), h = w / 2;
    const int32_t x1 = box.x - h, y1 = box.y - h, w1 = box.width + 2 * h, h1 = box.height + 2 * h;
    const float x2 = float(box.x - w), y2 = float(box.y - w);
    const int32_t w2 = box.width + 2 * w, h2 = box.height + 2 * w;
    // Differs from a one-pixel margin: two, so the filtered outer edge of the stroke never samples
    // past the map, where the texture would wrap round to the far side's colour.
    const int32_t margin = 2;
    const int32_t mapW = w1 + 2 * margin, mapH = h1 + 2 * margin;
    if (mapW <= 0 || mapH <= 0) return;

    std::unique_ptr<oxGraphicsContext> map(new (std::nothrow) oxGraphicsContext);
    if (!map || !map->SetSize(mapW, mapH, 32)) return; // no map: the stroke is left out
    {
        oxPixelBuffer target = map->Target();
        oxBlitter().FillRect(target, nullptr, 0);
    }
    map->Translate(float(-(x1 - margin)), float(-(y1 - margin)));

    const int32_t P = int32_t(0.86f * width);
    auto k = [](float r) { return int32_t(r * 0.5853f * 0.5f); };
    int32_t xL = x1 + P + k(std::max(radii[0], radii[3])) + 20;
    int32_t xR = x1 + w1 - P - k(std::max(radii[1], radii[2])) - 20;
    int32_t yT = y1 + P + k(std::max(radii[0], radii[1])) + 20;
    int32_t yB = y1 + h1 - P - k(std::max(radii[3], radii[2])) - 20;
    if (xR < xL) xL = xR = x1 - margin + mapW / 2;
    if (yB < yT) yT = yB = y1 - margin + mapH / 2;

    // Map rows and columns of each side's region, in the map's own pixels.
    const int32_t ox = x1 - margin, oy = y1 - margin;
    const float ax = x2 + float(w2 / 2), topApexY = y2 + float(w2 / 2), bottomApexY = y2 + float(h2) - float(w2 / 2);
    const float ay = y2 + float(h2 / 2), rightApexX = x2 + float(w2) - float(h2 / 2), leftApexX = x2 + float(h2 / 2);
    struct Side {
        int index;
        RECT clip;
        float a[2], b[2], apex[2];
        int neighbourA, neighbourB;
        bool vertical; // squared ends run along x
    };
    const Side order[4] = {
        {T, {0, 0, mapW, yT - oy}, {x2 - 0.5f, y2}, {x2 + float(w2) + 0.5f, y2}, {ax, topApexY}, L, R, false},
        {B,
         {0, yB - oy, mapW, mapH},
         {x2 - 0.5f, y2 + float(h2)},
         {x2 + float(w2) + 0.5f, y2 + float(h2)},
         {ax, bottomApexY},
         L,
         R,
         false},
        {R,
         {xR - ox, 0, mapW, mapH},
         {x2 + float(w2), y2},
         {x2 + float(w2), y2 + float(h2)},
         {rightApexX, ay},
         T,
         B,
         true},
        {L, {0, 0, xL - ox, mapH}, {x2, y2 + float(h2)}, {x2, y2}, {leftApexX, ay}, B, T, true},
    };
    for (const Side& s : order) {
        if (!set[s.index] || colors[s.index] == 0) continue;
        float pts[12];
        int n = 0;
        auto add = [&](float px, float py) {
            pts[n * 2] = px;
            pts[n * 2 + 1] = py;
            ++n;
        };
        // A squared end runs straight in to the apex's depth before turning to the apex.
        add(s.a[0], s.a[1]);
        add(s.b[0], s.b[1]);
        if (!set[s.neighbourB]) s.vertical ? add(s.apex[0], s.b[1]) : add(s.b[0], s.apex[1]);
        add(s.apex[0], s.apex[1]);
        if (!set[s.neighbourA]) s.vertical ? add(s.apex[0], s.a[1]) : add(s.a[0], s.apex[1]);
        const uint32_t c = canvas->ApplyColorTransform(colors[s.index]);
        map->SetClipRect(&s.clip);
        map->SetAlpha(int32_t(c >> 24));
        map->SetColor(c & 0x00FFFFFFu);
        map->FillPath(n, pts, 2, nullptr);
    }

    const oxMatrix savedTexture = canvas->GetTextureTransform();
    canvas->SetOption(kOptionUseSourceAlpha, 1);
    canvas->ResetTextureTransform();
    canvas->SetTextureImage(&map->Target());
    canvas->TranslateTexture(float(ox), float(oy));
    // Differs from growing the box by twice the half width: for an even width that put the right and
    // bottom sides one pixel further out than the left and top ones.
    StrokeRoundRect(canvas, StrokePathRect(box, w), 0xFFFFFFFFu, width, radii, mask, sides);
    map.reset();
    canvas->SetTextureImage(nullptr);
    canvas->SetOption(kOptionUseSourceAlpha, 0);
    canvas->SetTextureTransform(savedTexture);
}

oxCanvas* CreateBoxLayer(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return nullptr;
    auto* layer = new (std::nothrow) oxCanvas(width, height);
    if (!layer) return nullptr;
    if (!layer->HasTarget()) {
        delete layer;
        return nullptr;
    }
    layer->flags |= 1;
    layer->BeginBatch();
    return layer;
}

namespace {

// Every layer pixel that shows moves towards the mask pixel by the mask's alpha:
// m + ((l - m) x ma >> 8), alpha with green and red with blue as pairs of 8-bit fields.
void BlendTowardsMask(oxPixelBuffer& layer, const oxPixelBuffer& mask) {
    const int32_t w = std::min(layer.width, mask.width), h = std::min(layer.height, mask.height);
    for (int32_t y = 0; y < h; ++y) {
        uint32_t* l = layer.GetRow32(y);
        const uint32_t* m = mask.GetRow32(y);
        for (int32_t x = 0; x < w; ++x) {
            if ((l[x] >> 24) == 0) continue;
            const uint32_t mp = m[x], ma = mp >> 24, lp = l[x];
            uint32_t out = 0;
            for (uint32_t fieldMask : {0x00FF00FFu, 0xFF00FF00u}) {
                const int shift = fieldMask == 0xFF00FF00u ? 8 : 0;
                const uint32_t lf = (lp & fieldMask) >> shift, mf = (mp & fieldMask) >> shift;
                for (int half = 0; half < 32; half += 16) {
                    const int32_t lc = int32_t((lf >> half) & 0xFF), mc = int32_t((mf >> half) & 0xFF);
                    const int32_t c = mc + (((lc - mc) * int32_t(ma)) >> 8);
                    out |= uint32_t(c & 0xFF) << (half + shift);
                }
            }
            l[x] = out;
        }
    }
}

void PaintAlphaShadow(oxCanvas* layer, oxCanvas* destination, const oxShadowStyle& shadow) {
    const int32_t r = shadow.radius;
    std::unique_ptr<oxDibBitmap> mask(MakeShadowMask(layer->Target(), nullptr, r));
    if (!mask || !mask->valid) return;
    std::unique_ptr<oxDibBitmap> coloured(new (std::nothrow) oxDibBitmap(mask->width, mask->height, 32, true, false));
    if (!coloured || !coloured->valid) return;
    oxBlitter blitter;
    blitter.FillRect(coloured->pixels, nullptr, 0);
    blitter.DrawMask(coloured->pixels, nullptr, mask->pixels, nullptr, destination->ApplyColorTransform(shadow.color));
    const int32_t saved = destination->Alpha();
    destination->SetAlpha(int32_t(std::clamp(shadow.opacity, 0.0f, 1.0f) * 255.0f));
    const float dx = float(2 * (shadow.offset.x - r)), dy = float(2 * (shadow.offset.y - r));
    destination->OffsetOrigin(dx, dy);
    const oxCanvasRect at{0, 0, coloured->width, coloured->height};
    destination->DrawImage(coloured.get(), &at, nullptr);
    destination->OffsetOrigin(-dx, -dy);
    destination->SetAlpha(saved);
}

} // namespace

void CompositeBoxLayer(oxCanvas* layer, oxCanvas* destination, const oxLayerComposite& how) {
    if (!Usable(layer) || !Usable(destination) || !layer->OwnedBitmap()) return;
    oxDibBitmap* bitmap = layer->OwnedBitmap();
    oxPixelBuffer pixels = layer->Target();
    if (how.flip == kFillAxisBoth || how.flip == kFillAxisX) MirrorPixelBufferHorizontally(pixels);
    if (how.flip == kFillAxisBoth || how.flip == kFillAxisY) FlipVertical(pixels);
    if (how.blur > 0) {
        oxBlurContext context;
        if (context.Init(how.blur, std::max(pixels.width, pixels.height))) {
            oxBlitter().BlurBuffer(pixels, nullptr, float(how.blur), &context);
        }
    }
    const int32_t savedAlpha = destination->Alpha();
    destination->SetAlpha(how.opacity < 0 ? 255 : int32_t(255.0 * how.opacity * 0.01));
    if (how.mask) {
        oxCanvas maskCanvas(pixels.width, pixels.height);
        if (maskCanvas.HasTarget()) {
            how.mask->PaintMask(&maskCanvas, oxCanvasRect{0, 0, pixels.width, pixels.height});
            BlendTowardsMask(pixels, maskCanvas.Target());
        }
    }
    if (how.alphaShadow && how.alphaShadow->opacity > 0.0f) PaintAlphaShadow(layer, destination, *how.alphaShadow);
    const oxCanvasRect whole{0, 0, bitmap->width, bitmap->height};
    destination->DrawImage(bitmap, &whole, nullptr);
    destination->SetOption(kOptionUseSourceAlpha, 0);
    destination->DisableTextureMapping();
    destination->SetAlpha(savedAlpha);
}

void FinishBoxLayer(oxCanvas* layer, oxCanvas* destination, const oxLayerComposite& how) {
    if (!layer) return;
    CompositeBoxLayer(layer, destination, how);
    layer->EndBatch();
    delete layer;
}

void BeginFramePaint(oxCanvas* canvas, int32_t clientWidth, int32_t clientHeight, bool clear) {
    if (!canvas) return;
    canvas->SetClipRect(nullptr);
    if (clientWidth > 0 && clientHeight > 0) canvas->SetSize(int32_t((int64_t(clientWidth) + 1) & ~1), clientHeight);
    canvas->BeginBatch();
    if (clear) ClearCanvas(canvas);
}

void EndFramePaint(oxCanvas* canvas, HWND window, bool copy) {
    if (!canvas) return;
    if (canvas->HasTarget() && window && copy) {
        canvas->SetClipRect(nullptr);
        canvas->PaintToWindow(window, false);
    }
    canvas->EndBatch();
}

void BeginCanvasPaint(oxCanvas* canvas, int32_t width, int32_t height) {
    if (!canvas) return;
    canvas->SetSize(width, height);
    canvas->BeginBatch();
}

int ClearCanvas(oxCanvas* canvas) {
    if (!Usable(canvas)) return 0;
    canvas->SetClearColor(0, 0, 0);
    canvas->Clear(nullptr);
    return 1;
}

void MirrorPixelBufferHorizontally(oxPixelBuffer& buffer) {
    if (!buffer.HasPixels() || buffer.bpp != 32) return;
    for (int32_t y = 0; y < buffer.height; ++y) {
        uint32_t* row = buffer.GetRow32(y);
        std::reverse(row, row + buffer.width);
    }
}

void SetAlphaRect(oxDibBitmap* bitmap, const RECT* rect, float alpha) {
    if (!UsableImage(bitmap) || bitmap->bpp != 32) return;
    const uint32_t a = uint32_t(std::min(255.0f, std::max(0.0f, std::floor(alpha * 256.0f + 0.5f))));
    oxBlitter().FillAlpha(bitmap->pixels, rect, a << 24);
}

void SetCanvasAlphaRect(oxCanvas* canvas, const oxCanvasRect& rect, float alpha) {
    if (!Usable(canvas) || !canvas->OwnedBitmap()) return;
    const oxCanvasRect mapped = canvas->MapRect(rect);
    const RECT r{mapped.x, mapped.y, mapped.x + mapped.width, mapped.y + mapped.height};
    SetAlphaRect(canvas->OwnedBitmap(), &r, alpha);
}

oxDibBitmap* MakeOpaque32(oxDibBitmap* bitmap, oxFrameList* frames) {
    if (!UsableImage(bitmap) || !frames || frames->GetFrame(0) != bitmap) return nullptr;
    if (bitmap->bpp != 32) {
        oxDibBitmap* converted = ConvertDibDepth(bitmap, 32);
        if (!converted) return nullptr;
        // The conversion consumed the old bitmap; the list must not delete it again.
        frames->SetFrameImage(converted, 0);
        bitmap = converted;
    }
    if (!bitmap->premultiplied) SetAlphaRect(bitmap, nullptr, 1.0f);
    return bitmap;
}

int DecodeImageOpaque(void* data, size_t size, oxFrameList* frames) {
    const int result = DecodeImage(data, size, frames);
    if (result && frames->GetFrameCount() == 1) MakeOpaque32(frames->GetFrame(0), frames);
    return result;
}

void RectUnion(RECT& rect, const RECT* other) {
    if (!other) return;
    rect.left = std::min(rect.left, other->left);
    rect.top = std::min(rect.top, other->top);
    rect.right = std::max(rect.right, other->right);
    rect.bottom = std::max(rect.bottom, other->bottom);
}
