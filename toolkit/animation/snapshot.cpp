#include "toolkit/animation/snapshot.h"

#include <bit>
#include <cmath>
#include <map>

#include "graphics/paint/box_drawing.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/pixels/number_utils.h"
#include "graphics/pixels/pixel_format.h"
#include "graphics/raster/blitter.h"
#include "toolkit/animation/animation_internal.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/layout.h"
#include "toolkit/library/bitmap_element.h"

namespace {

using Registry = std::map<const oxBox*, oxSnapshot*>;

Registry& Layer(int layer) {
    static Registry layers[2];
    return layers[layer ? 1 : 0];
}

// What the box paint pass asks of the registry.
class PaintRegistry : public oxBoxSnapshotRegistry {
public:
    bool FindSnapshot(const oxBox* box, int layer, oxCanvas** canvas, bool* transparent) override {
        oxSnapshot* snapshot = oxFindBoxSnapshot(box, layer);
        if (!snapshot) return false;
        *canvas = snapshot->GetCanvas();
        *transparent = snapshot->transparent;
        return true;
    }
    void ForgetBox(const oxBox* box) override {
        for (int layer : {0, 1})
            oxRemoveBoxSnapshot(box, layer);
        oxForgetTransitionTarget(box);
    }
};

// The picture of the last snapshot that went, kept for the next capture of its size: transitions
// capture the same areas again and again, and a capture writes every pixel, so the picture needs
// neither a new allocation nor clearing. Left to the process's end on purpose.
oxDibBitmap* sparePicture = nullptr;
// Better still, the whole canvas of the last capture that nothing drew on, with its picture:
// making a canvas and attaching a target to it costs a tenth of the copy. Left as well.
oxCanvas* spareCanvas = nullptr;

bool TakeSparePicture(oxCanvas* canvas, int32_t width, int32_t height) {
    if (!sparePicture || canvas->HasTarget()) return false;
    const oxPixelBuffer& p = sparePicture->pixels;
    if (p.width != width || p.height != height || p.bpp != 32 || !canvas->AdoptBitmap(sparePicture)) return false;
    sparePicture = nullptr;
    return true;
}

// Keeps the canvas whole when it is as it was made, else its picture alone.
void KeepSpare(std::unique_ptr<oxCanvas>& canvas, bool plain) {
    if (!canvas) return;
    if (plain) {
        delete spareCanvas;
        spareCanvas = canvas.release();
        return;
    }
    const oxDibBitmap* owned = canvas->OwnedBitmap();
    if (!owned || !owned->valid || owned->pixels.bpp != 32) return;
    delete sparePicture;
    sparePicture = canvas->DetachBitmap();
}

std::unique_ptr<oxCanvas> TakeSpareCanvas() {
    std::unique_ptr<oxCanvas> canvas(spareCanvas);
    spareCanvas = nullptr;
    return canvas ? std::move(canvas) : std::make_unique<oxCanvas>();
}

oxRect FrameRect(oxBox* box) {
    const oxPoint at = box->GetFramePosition();
    const oxPoint size = box->GetPacked(1);
    return {at.x, at.y, size.x, size.y};
}

} // namespace

void oxExpandOpaque16(oxPixelBuffer& destination, const oxPixelBuffer& source) {
    SetPixelFormatForLayout(source.layout);
    const uint32_t masks[3] = {g_pixelFormat.red, g_pixelFormat.green, g_pixelFormat.blue};
    int shifts[3], bits[3];
    for (int i = 0; i < 3; ++i) {
        shifts[i] = std::countr_zero(masks[i]);
        bits[i] = std::popcount(masks[i]);
    }
    auto channel = [&](uint32_t p, int i) {
        const uint32_t v = (p & masks[i]) >> shifts[i];
        return (v << (8 - bits[i])) | (v >> (2 * bits[i] - 8));
    };
    for (int32_t y = 0; y < source.height; ++y) {
        const uint16_t* from = source.GetRow16(y);
        uint32_t* to = destination.GetRow32(y);
        for (int32_t x = 0; x < source.width; ++x)
            to[x] = 0xFF000000u | channel(from[x], 0) << 16 | channel(from[x], 1) << 8 | channel(from[x], 2);
    }
}

oxSnapshot::oxSnapshot() : canvas_(std::make_unique<oxCanvas>()) {}

oxSnapshot::oxSnapshot(std::unique_ptr<oxCanvas> canvas) : canvas_(std::move(canvas)) {}

oxSnapshot::oxSnapshot(oxBox* box) {
    if (!box) return;
    rect_ = box->GetBoxRect();
    sourceBox_ = box;
    canvas_ = std::make_unique<oxCanvas>();
    canvas_->SetSize(rect_.width, rect_.height);
}

oxSnapshot::~oxSnapshot() {
    KeepSpare(canvas_, plainCanvas_);
}

ULONG oxSnapshot::AddRef() {
    return ++refs_;
}

ULONG oxSnapshot::Release() {
    if (refs_ > 1) return --refs_;
    refs_ = 0xC0000001u; // being destroyed: a reference taken during teardown cannot bring it back
    delete this;
    return 0;
}

const oxPixelBuffer* oxSnapshot::GetPicture() const {
    return canvas_ && canvas_->HasTarget() ? &canvas_->Target() : nullptr;
}

void oxSnapshot::CaptureRegion(const oxCanvas* frameCanvas, const oxRect* frameRect, const oxRect& r) {
    if (!canvas_) return;
    rect_ = r;
    oxRect c = r;
    c.Intersect(frameRect ? *frameRect : oxRect{});
    if (c.width <= 0 || c.height <= 0) {
        canvas_->ReleaseTarget();
        return;
    }
    if (!TakeSparePicture(canvas_.get(), c.width, c.height)) canvas_->SetSize(c.width, c.height);
    if (!canvas_->HasTarget()) return;
    // The frame's pixels converted as they stand rather than drawn over the cleared picture: a
    // frame canvas that paints onto a window surface owns no bitmap to draw from.
    oxPixelBuffer destination = canvas_->Target();
    const RECT from{c.x, c.y, c.x + c.width, c.y + c.height};
    oxPixelBuffer region;
    if (frameCanvas && frameCanvas->HasTarget()) region.InitSubRect(frameCanvas->Target(), &from);
    if (!region.HasPixels()) {
        // A reused picture still shows an earlier capture: nothing to copy leaves it clear.
        oxBlitter().FillRect(destination, nullptr, 0);
        return;
    }
    if (region.bpp == 16)
        oxExpandOpaque16(destination, region);
    else
        ConvertPixels(destination, region);
}

void oxSnapshot::Fill(uint32_t argb, const oxRect* rect, int32_t radius) {
    if (!canvas_ || !canvas_->HasTarget()) return;
    plainCanvas_ = false;
    const oxCanvasRect whole{0, 0, canvas_->Target().width, canvas_->Target().height};
    const oxCanvasRect r = rect ? oxCanvasRect{rect->x, rect->y, rect->width, rect->height} : whole;
    FillRoundRect(canvas_.get(), r, argb, float(radius));
}

void oxSnapshot::CopyFromBitmap(oxBitmapElement* bitmap) {
    oxDibBitmap* frame = bitmap ? bitmap->GetFrame(-1) : nullptr;
    if (!canvas_ || !frame || !frame->valid || !frame->pixels.HasPixels()) return;
    plainCanvas_ = false;
    canvas_->SetSize(frame->pixels.width, frame->pixels.height);
    if (!canvas_->HasTarget()) return;
    oxPixelBuffer destination = canvas_->Target();
    oxBlitter().DrawImage(destination, nullptr, frame->pixels, nullptr, false, false);
}

void oxSnapshot::ScatterRectItems(oxBox* box) {
    if (!box || !rectItems_) return;
    const oxPoint size = box->GetPacked(1);
    auto random = [] { return float(Random()) * (1.0f / 32767.0f); };
    for (oxSnapshotRectItem& item : *rectItems_) {
        item.rect.x = int32_t(float(size.x) * random() - float(size.x / 2));
        item.rect.y = int32_t(float(size.y) * random() - float(size.y / 2));
    }
}

void oxSnapshot::Clear() {
    if (!canvas_ || !canvas_->HasTarget()) return;
    plainCanvas_ = false;
    ClearCanvas(canvas_.get());
}

oxSnapshot* oxSnapshot::Thumbnail(const oxPoint& size) const {
    const oxPixelBuffer* picture = GetPicture();
    if (!picture || (size.x <= 0 && size.y <= 0) || picture->width <= 0 || picture->height <= 0) return nullptr;
    const float aspect = float(picture->width) / float(picture->height);
    int32_t w = size.x, h = size.y;
    oxRect place{0, 0, w, h};
    if (w <= 0) {
        w = int32_t(std::trunc(float(h) * aspect));
        place = {0, 0, w, h};
    } else if (h <= 0) {
        h = int32_t(std::trunc(float(w) / aspect));
        place = {0, 0, w, h};
    } else {
        oxRect fitted{0, 0, picture->width, picture->height};
        fitted.ScaleToFit(oxRect{0, 0, w, h});
        place = {w / 2 - fitted.width / 2, h / 2 - fitted.height / 2, fitted.width, fitted.height};
    }
    if (w <= 0 || h <= 0) return nullptr;
    auto* thumb = new oxSnapshot();
    thumb->canvas_->SetSize(w, h);
    if (thumb->canvas_->HasTarget() && place.width > 0 && place.height > 0) {
        oxPixelBuffer destination = thumb->canvas_->Target();
        const RECT to{place.x, place.y, place.x + place.width, place.y + place.height};
        const RECT from{0, 0, picture->width, picture->height};
        // Scaled as a copy: a blend over the cleared picture would only lose alpha and colour.
        if (!StretchCopy(destination, to, *picture, from))
            oxBlitter().DrawImage(destination, &to, *picture, &from, false, false);
    }
    thumb->AddRef();
    return thumb;
}

std::vector<oxSnapshotRectItem>& oxSnapshot::RectItems() {
    if (!rectItems_) rectItems_ = std::make_unique<std::vector<oxSnapshotRectItem>>();
    return *rectItems_;
}

void oxSnapshot::AddBoxRectItem(oxBox* reference, oxBox* box) {
    if (!box) return;
    oxRect r = FrameRect(box);
    if (reference) {
        const oxPoint at = reference->GetFramePosition();
        r.x -= at.x;
        r.y -= at.y;
    }
    RectItems().push_back({r, box, 0});
}

void oxSnapshot::AddBoxRectItemsByTag(oxBox* reference, oxBox* root, oxAtom tag) {
    for (oxBox* b = root; b;) {
        const bool skip = b->IsCollapsed();
        if (!skip && (tag == 0 || b->GetTag() == tag)) AddBoxRectItem(reference, b);
        b = b->GetNextBox(root, skip, false);
    }
}

void oxSnapshot::AddBoxRectItemsFromView(oxBox* box) {
    oxLayout* layout = box ? box->GetLayout() : nullptr;
    if (!layout) return;
    oxSnapshotItemList items;
    layout->CollectSnapshotItems(&items);
    AddLayoutItems(items);
}

void oxSnapshot::AddLayoutItems(const oxSnapshotItemList& items) {
    std::vector<oxSnapshotRectItem>& list = RectItems();
    list.reserve(list.size() + items.size());
    for (const oxSnapshotItem& item : items)
        list.push_back({item.rect, item.box, uint32_t(item.flag & 0xFF)});
}

void oxSnapshot::CopyRectItems(const oxSnapshot* other) {
    if (!other || !other->rectItems_ || other == this) {
        if (other == this && rectItems_) {
            std::vector<oxSnapshotRectItem> copy = *rectItems_;
            rectItems_->insert(rectItems_->end(), copy.begin(), copy.end());
        }
        return;
    }
    RectItems().insert(RectItems().end(), other->rectItems_->begin(), other->rectItems_->end());
}

void oxSnapshot::ClearRectItems() {
    if (rectItems_) rectItems_->clear();
}

void oxSnapshot::AddImageMorphItem(const oxSnapshot* other, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!other) return;
    if (!imageItems_) imageItems_ = std::make_unique<std::vector<oxSnapshotImageItem>>();
    imageItems_->push_back({other, other->alive_, {x, y, width, height}});
}

const oxPixelBuffer* oxSnapshotImageItem::Picture() const {
    return source && !alive.expired() ? source->GetPicture() : nullptr;
}

void oxSnapshot::SetItems(std::unique_ptr<std::vector<oxSnapshotRectItem>> items) {
    rectItems_ = std::move(items);
}

void oxSnapshot::Destroy() {
    canvas_.reset();
    rectItems_.reset();
    imageItems_.reset();
}

oxSnapshot* oxTakeBoxSnapshot(oxBox* box, const oxCanvas* frameCanvas) {
    if (!box || !frameCanvas) return nullptr;
    oxBox* frameBox = box;
    while (frameBox->GetParent())
        frameBox = frameBox->GetParent();
    oxRect r = FrameRect(box);
    const int16_t* outsets = box->GetPaintOutsets();
    r.InflateBy(outsets[0], outsets[1], outsets[2], outsets[3]);
    const oxRect frame = FrameRect(frameBox);
    auto* snapshot = new oxSnapshot(TakeSpareCanvas());
    snapshot->AddRef();
    snapshot->CaptureRegion(frameCanvas, &frame, r);
    return snapshot;
}

void oxInstallSnapshotRegistry() {
    static PaintRegistry paintRegistry;
    oxSetBoxSnapshotRegistry(&paintRegistry);
}

oxSnapshot* oxFindBoxSnapshot(const oxBox* box, int layer) {
    Registry& map = Layer(layer);
    auto it = map.find(box);
    return it == map.end() ? nullptr : it->second;
}

void oxSetBoxSnapshot(oxBox* box, oxSnapshot* snapshot, int layer) {
    if (!box || !snapshot) return;
    oxInstallSnapshotRegistry();
    snapshot->AddRef();
    oxSnapshot*& slot = Layer(layer)[box];
    oxSnapshot* old = slot;
    slot = snapshot;
    if (old) old->Release();
}

void oxRemoveBoxSnapshot(const oxBox* box, int layer) {
    Registry& map = Layer(layer);
    auto it = map.find(box);
    if (it == map.end()) return;
    oxSnapshot* snapshot = it->second;
    map.erase(it);
    snapshot->Release();
}
