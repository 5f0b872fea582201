#pragma once
// oxSnapshot: a counted picture of a box (a canvas, the rectangle it covers) with the rectangle
// and image items that the morphing transitions animate; and the registry that gives a box its
// source snapshot (layer 1, drawn over it) and its target snapshot (layer 0, painted into).
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/paint/canvas.h"
#include "platform/types.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/rect.h"
#include "toolkit/base/referenced.h"
#include "toolkit/core/grid_services.h"

class oxBitmapElement;
class oxBox;
class oxPixelBuffer;

struct oxSnapshotRectItem {
    oxRect rect;
    oxBox* box = nullptr; // not counted
    uint32_t state = 0;
};

class oxSnapshot;

// A picture of another snapshot and the rectangle it takes. The snapshot is not counted (items of
// two snapshots naming each other would keep both alive); the item only hears whether it still
// stands, so a picture that went away draws nothing instead of being read after it was freed.
struct oxSnapshotImageItem {
    const oxSnapshot* source = nullptr;
    std::weak_ptr<const int> alive;
    oxRect rect;

    // The source's picture, or null once it is gone or has none.
    const oxPixelBuffer* Picture() const;
};

// Counted as the box tree counts its objects, so that a drag record can hold one as its image.
class oxSnapshot : public oxReferenced {
public:
    // Empty, with a canvas that has no picture yet.
    oxSnapshot();
    // A cleared canvas of the box's size covering its rectangle; a null box leaves no canvas.
    explicit oxSnapshot(oxBox* box);
    virtual ~oxSnapshot();
    oxSnapshot(const oxSnapshot&) = delete;
    oxSnapshot& operator=(const oxSnapshot&) = delete;

    ULONG AddRef() override;
    ULONG Release() override;

    // Copies the part of `r` (frame coordinates) that lies on the frame box `frameRect` from the
    // frame's canvas; the picture starts at that part's corner.
    void CaptureRegion(const oxCanvas* frameCanvas, const oxRect* frameRect, const oxRect& r);
    // A rounded rectangle of the colour over `rect`, or over the whole picture when null.
    void Fill(uint32_t argb, const oxRect* rect, int32_t radius);
    void Clear();
    // The bitmap element's current frame, unscaled, as the whole picture.
    void CopyFromBitmap(oxBitmapElement* bitmap);
    // The picture scaled into a new snapshot of `size`; a side of 0 or less follows the aspect.
    // Null when there is no picture or both sides are 0 or less. The caller takes the reference.
    oxSnapshot* Thumbnail(const oxPoint& size) const;

    // Items: the box's rectangle in its frame, relative to `reference`'s frame position when given.
    void AddBoxRectItem(oxBox* reference, oxBox* box);
    // Every box of `root`'s subtree (root included, collapsed subtrees left out) of the tag; any
    // tag when the atom is 0.
    void AddBoxRectItemsByTag(oxBox* reference, oxBox* root, oxAtom tag);
    // The rectangles the box's layout gives for a row transition, in the box's own coordinates.
    void AddBoxRectItemsFromView(oxBox* box);
    // Layout items as rect items: parts that stay put (flag 1) are drawn over the rows that move.
    void AddLayoutItems(const oxSnapshotItemList& items);
    void CopyRectItems(const oxSnapshot* other);
    void ClearRectItems();
    // Every rect item to a random place within half the box's size either way of its origin.
    void ScatterRectItems(oxBox* box);
    void AddImageMorphItem(const oxSnapshot* other, int32_t x, int32_t y, int32_t width, int32_t height);
    void SetItems(std::unique_ptr<std::vector<oxSnapshotRectItem>> items);
    // Drops the picture and the items; the object lives until its last reference goes.
    void Destroy();

    // Whoever is handed the canvas may change its state, so it is not kept for a later capture.
    oxCanvas* GetCanvas() const {
        plainCanvas_ = false;
        return canvas_.get();
    }
    // The picture, or null without one.
    const oxPixelBuffer* GetPicture() const;
    const oxRect& GetRect() const { return rect_; }
    oxBox* GetSourceBox() const { return sourceBox_; }
    bool transparent = false;
    const std::vector<oxSnapshotRectItem>* GetRectItems() const { return rectItems_.get(); }
    const std::vector<oxSnapshotImageItem>* GetImageItems() const { return imageItems_.get(); }

private:
    friend oxSnapshot* oxTakeBoxSnapshot(oxBox* box, const oxCanvas* frameCanvas);
    // Empty, over `canvas`, which nothing has drawn on (its picture may hold anything).
    explicit oxSnapshot(std::unique_ptr<oxCanvas> canvas);
    std::vector<oxSnapshotRectItem>& RectItems();

    ULONG refs_ = 0;
    std::unique_ptr<oxCanvas> canvas_;
    // Nothing has drawn on the canvas or been handed it: only captures wrote its pixels.
    mutable bool plainCanvas_ = true;
    oxRect rect_{};
    oxBox* sourceBox_ = nullptr;
    std::unique_ptr<std::vector<oxSnapshotRectItem>> rectItems_;
    std::unique_ptr<std::vector<oxSnapshotImageItem>> imageItems_;
    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0); // gone with the snapshot
};

// Captures the box as its frame's canvas shows it: the box rectangle in the frame grown by the
// paint outsets, clipped to the frame's root box. The caller takes the reference; null for a null
// box or canvas.
oxSnapshot* oxTakeBoxSnapshot(oxBox* box, const oxCanvas* frameCanvas);

// The registry: layer 1 holds a box's source snapshot, layer 0 its target snapshot. Each entry
// holds a reference.
oxSnapshot* oxFindBoxSnapshot(const oxBox* box, int layer);
void oxSetBoxSnapshot(oxBox* box, oxSnapshot* snapshot, int layer);
void oxRemoveBoxSnapshot(const oxBox* box, int layer);
