#pragma once
// oxRangeBox: the box of the `range` tag, a slider or scroll bar whose whole-number position lies
// between `min` and `max`. Its `thumb` child follows drags, a press on the track pages, and every
// change of position is written to `value` (counted from the other end when reversed) and raises
// "modified". The range layout places the thumb where this box says.
#include <cstdint>

#include "toolkit/core/range_layout.h"
#include "toolkit/widgets/control_box.h"

class oxRangeBox : public oxControlBox, public oxRangeSource {
public:
    explicit oxRangeBox(oxAtom tag) : oxControlBox(tag) {}

    oxAtom GetBoxType() const override { return kAtomRange; }
    const WCHAR* GetAttribute(oxAtom attribute) override;
    int32_t SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) override;
    // The value text, counted from `max` down when reversed.
    void SetValue(const WCHAR* text) override;
    int32_t HandleEvent(oxEvent* event) override;

    // Keeps the position within the range; a change is written to `value`, announced and laid out.
    void SetPosition(int32_t n);
    void MoveBy(int32_t delta);
    void Page(int32_t count);
    int32_t GetPosition() const { return position_; }
    // `pageNumRows` when set, else `scale`.
    int32_t GetPageSize();
    int32_t GetThumbOffset() const;
    int32_t GetThumbLength() const { return ThumbLengthFor(scale_); }
    // Positions a pixel distance along the track stands for.
    int32_t PixelsToTicks(int32_t pixels) const;
    // -1, 0 or +1: the way the track was last pressed, until the button goes up.
    int32_t GetPagingDirection() const override { return pagingDirection_; }
    oxAtom GetAxis() const { return axis_; }
    int32_t GetMinimum() const { return min_; }
    int32_t GetMaximum() const { return max_; }

    // oxRangeSource.
    int32_t GetRangeMinimum() const override { return min_; }
    int32_t GetRangeMaximum() const override { return max_; }
    int32_t GetRangePageSize() const override { return scale_; }
    int32_t GetRangeValue() const override { return position_; }
    // The position already counts the reversal.
    bool IsRangeReversed() const override { return false; }
    oxPoint GetThumbPlacement() const override { return {GetThumbOffset(), GetThumbLength()}; }

private:
    // The box's length along its orientation; 0 for one that is neither across nor down.
    int32_t TrackLength() const;
    int32_t ThumbLengthFor(int32_t extent) const;
    void WriteValue();

    oxAtom axis_ = 0;
    int32_t min_ = 0;
    int32_t max_ = 0;
    int32_t scale_ = 0;
    int32_t position_ = 0;
    bool reversed_ = false;
    oxPoint dragStart_;
    int32_t dragStartPosition_ = 0;
    int32_t pagingDirection_ = 0;
    bool rightToLeft_ = false;
};

// Makes the box factory build range boxes for the `range` kind.
void oxRegisterRangeBoxKind();
