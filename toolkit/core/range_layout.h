#pragma once
// oxRangeLayout: places the thumb of a range box (a slider or scroll bar) along its track by the
// range's value; the other children get no size. It paints the "numerator" and "paging" parts of
// the track under the children. A range never grows and never scrolls.
#include "toolkit/core/layout.h"

// What the layout reads of a range box. The range box kind answers it; a plain box of type "range"
// is read from its attributes `min`, `max`, `scale` (or `pageNumRows`), `value` and `reversed`.
class oxRangeSource {
public:
    virtual int32_t GetRangeMinimum() const = 0;
    virtual int32_t GetRangeMaximum() const = 0;
    virtual int32_t GetRangePageSize() const = 0;
    virtual int32_t GetRangeValue() const = 0;
    virtual bool IsRangeReversed() const = 0;
    // 0 none, +1 towards the end, -1 towards the start.
    virtual int32_t GetPagingDirection() const = 0;
    // The thumb's {offset, length} along the track as the range itself places it.
    virtual oxPoint GetThumbPlacement() const = 0;

protected:
    ~oxRangeSource() = default;
};

struct oxRangeValues {
    int32_t minimum = 0, maximum = 0, pageSize = 0, value = 0;
    bool reversed = false;
    int32_t paging = 0;
    const oxRangeSource* source = nullptr; // the range box kind, which places the thumb itself
};

class oxRangeLayout : public oxLayout {
public:
    oxAtom GetLayoutType() const override { return kAtomRange; }
    oxLayout* CreateInstance() const override;
    void Layout(oxPlacementRecord* placement, oxBox* box) override;
    void PaintChildren(oxCanvas* canvas, oxBox* box) override;
    oxBox* HitTest(const oxPoint& point, oxBox* box) override;

    static oxRangeValues ReadRange(oxBox* box);
    // The thumb's {offset, length} along a track; saturated, so any range values give a thumb
    // inside 32 bits.
    static oxPoint ThumbOnTrack(const oxRangeValues& range, int32_t track, int32_t minLength, bool reverse);
    // The thumb of the range box kind where it says, lengthened to `minLength`; else ThumbOnTrack.
    static oxPoint PlaceThumb(const oxRangeValues& range, int32_t track, int32_t minLength, bool reverse);

private:
    // Paints the shadow and fill of a part's style over the track between two coordinates.
    static void PaintTrackPart(oxCanvas* canvas, oxBox* box, oxAtom part, int32_t from, int32_t to);
};
