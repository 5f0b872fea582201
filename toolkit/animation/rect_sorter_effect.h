#pragma once
// oxRectSorterEffect: animates a rearrangement of rectangles (the rows of a list after a sort, an
// insertion or a removal). Items of the two snapshots are matched by the box they belong to: those
// in both move from their old place to their new one, new ones fade in, gone ones fade out (or,
// zoomed, grow and shrink about their centres), and unchanged ones stay put.
#include <cstdint>
#include <vector>

#include "toolkit/animation/transition_effect.h"
#include "toolkit/base/rect.h"

struct oxSnapshotRectItem;

class oxRectSorterEffect : public oxTransitionEffect {
public:
    enum Kind : int32_t { kMoving = 0, kAppearing = 1, kDisappearing = 2, kUnchanged = 3 };
    struct Item {
        oxPoint from;
        oxRect rect;
        int32_t kind = kMoving;
        uint8_t flag = 0;
    };

    explicit oxRectSorterEffect(bool zoom = false) : zoom_(zoom) {}
    ~oxRectSorterEffect() override = default;

    // Items are matched by their boxes, in any order. With an area of positive size only items
    // overlapping it are kept.
    void BuildItems(const std::vector<oxSnapshotRectItem>& from, const std::vector<oxSnapshotRectItem>& to);
    bool RenderFrame(float a) override;
    const char* GetName() const override { return "Rectangle Sorter"; }

    void SetSortArea(const oxRect& area) { sortArea_ = area; }
    void SetFillColor(uint32_t argb) { fillColor_ = argb; }
    const std::vector<Item>& Items() const { return items_; }
    // Where a moving item stands at progress a.
    static oxPoint PositionAt(const Item& item, float a);

private:
    void DrawItem(const Item& item, float a);
    void Fill(const oxRect& r);

    std::vector<Item> items_;
    oxRect sortArea_{};
    uint32_t fillColor_ = 0;
    float lastProgress_ = 0.0f;
    bool hasFlagged_ = false;
    bool zoom_ = false;
};
