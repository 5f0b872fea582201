#include "toolkit/widgets/range_box.h"

#include <algorithm>
#include <new>

#include "toolkit/base/atoms.h"
#include "toolkit/base/number_text.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/scene.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/widgets/frame_input.h"

namespace {

int32_t ParseNumber(const WCHAR* text) {
    int32_t n = 0;
    if (text) ParseDecimalInt(text, &n, 0);
    return n;
}

// float to int, truncating toward zero; NaN gives 0 and values beyond 32 bits saturate.
int32_t Truncate(float v) {
    if (!(v == v)) return 0;
    if (v >= 2147483520.0f) return INT32_MAX;
    if (v <= -2147483648.0f) return INT32_MIN;
    return int32_t(v);
}

// Positions computed past 32 bits stop at its ends, so a step beyond the range still cuts to it.
int32_t Saturate(int64_t v) {
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

bool IsThumb(oxReferenced* target) {
    auto* box = dynamic_cast<oxBox*>(target);
    if (!box) return false;
    return box->GetTag() == kAtomThumb || (box->GetParent() && box->GetParent()->GetTag() == kAtomThumb);
}

oxBox* MakeRangeBox(oxAtom tag) {
    return new (std::nothrow) oxRangeBox(tag);
}

} // namespace

void oxRegisterRangeBoxKind() {
    oxBoxFactory::RegisterKind(kAtomRange, &MakeRangeBox);
}

const WCHAR* oxRangeBox::GetAttribute(oxAtom attribute) {
    // One process-wide buffer, as callers copy the text at once.
    static WCHAR buffer[12];
    switch (attribute) {
    case kAtomMax:
    case kAtomMin:
    case kAtomScale:
        IntToText(attribute == kAtomMax ? max_ : attribute == kAtomMin ? min_ : scale_, buffer, 12, 10);
        return buffer;
    case kAtomReversed:
        return reversed_ ? u"true" : u"false";
    case kAtomRtl:
        return rightToLeft_ ? u"true" : u"false";
    default:
        return oxControlBox::GetAttribute(attribute);
    }
}

int32_t oxRangeBox::SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) {
    switch (attribute) {
    case kAtomAxis:
        axis_ = oxAtoms::Intern(value);
        break;
    case kAtomMax:
        max_ = ParseNumber(value);
        break;
    case kAtomMin:
        min_ = ParseNumber(value);
        break;
    case kAtomScale:
        scale_ = ParseNumber(value);
        break;
    case kAtomReversed: {
        const bool on = ParseBool(value);
        const bool turned = on && !reversed_;
        reversed_ = on;
        // The value stays what it was: the position moves to the other end.
        if (turned) SetPosition(Saturate(int64_t(max_) + min_ - position_));
        break;
    }
    case kAtomValue:
        SetValue(value);
        return 0;
    case kAtomRtl:
        rightToLeft_ = ParseBool(value);
        break;
    default:
        break;
    }
    return oxControlBox::SetAttribute(attribute, value, notify, forced);
}

void oxRangeBox::SetValue(const WCHAR* text) {
    const int64_t v = ParseNumber(text);
    SetPosition(Saturate(reversed_ ? int64_t(max_) - v + min_ : v));
}

void oxRangeBox::MoveBy(int32_t delta) {
    SetPosition(Saturate(int64_t(position_) + delta));
}

void oxRangeBox::Page(int32_t count) {
    SetPosition(Saturate(int64_t(position_) + int64_t(count) * GetPageSize()));
}

void oxRangeBox::SetPosition(int32_t n) {
    // Differs on purpose: the floor is `min`, not 0, so a range reaching below zero can get there;
    // for ranges from 0 up the two agree.
    n = std::min(std::max(n, min_), max_);
    if (n == position_) return;
    position_ = n;
    WriteValue();
    RequestLayout();
    RequestRepaint();
}

void oxRangeBox::WriteValue() {
    const int64_t v = reversed_ ? int64_t(max_) + min_ - position_ : position_;
    WCHAR text[12];
    IntToText(Saturate(v), text, 12, 10);
    oxControlBox::SetValue(text);
    if (!TestChangeFlags(kChangeAttached)) return;
    oxNotificationEvent modified(kAtomModified, this);
    if (oxControlSite* site = GetControlSite(this))
        site->DispatchEvent(&modified);
    else if (auto* scene = dynamic_cast<oxScene*>(GetScene()))
        scene->DispatchEvent(&modified);
}

int32_t oxRangeBox::GetPageSize() {
    const WCHAR* rows = oxBox::GetAttribute(kAtomPageNumRows);
    return rows ? ParseNumber(rows) : scale_;
}

int32_t oxRangeBox::TrackLength() const {
    const int orient = const_cast<oxRangeBox*>(this)->GetOrientation();
    const oxPoint size = GetPacked(1);
    return orient == kKeywordHorizontal ? size.x : orient == kKeywordVertical ? size.y : 0;
}

int32_t oxRangeBox::ThumbLengthFor(int32_t extent) const {
    const float whole = float(int64_t(max_) + extent - min_);
    // An empty range gets a thumb as long as the track.
    if (whole == 0.0f) return TrackLength();
    return Truncate(float(extent) / whole * float(TrackLength()));
}

int32_t oxRangeBox::GetThumbOffset() const {
    const float span = float(int64_t(max_) - min_);
    // An empty range keeps its thumb at the start.
    if (span == 0.0f) return 0;
    const float track = float(TrackLength());
    return Truncate((track - float(GetThumbLength())) * (float(int64_t(position_) - min_) / span));
}

int32_t oxRangeBox::PixelsToTicks(int32_t pixels) const {
    const float free = float(int64_t(TrackLength()) - GetThumbLength());
    // A thumb filling the track cannot move.
    if (free == 0.0f) return 0;
    return Truncate(float(int64_t(max_) - min_) * (float(pixels) / free));
}

int32_t oxRangeBox::HandleEvent(oxEvent* event) {
    const oxAtom type = event ? event->GetType() : 0;
    auto* mouse = dynamic_cast<oxMouseEvent*>(event);
    if (mouse && !IsEffectivelyDisabled()) {
        const int orient = GetOrientation();
        const bool vertical = orient == kKeywordVertical, horizontal = orient == kKeywordHorizontal;
        oxReferenced* target = event->GetTarget();
        if (type == kAtomMouseUp) {
            pagingDirection_ = 0;
            RequestRepaint();
        } else if (type == kAtomMouseDrag && IsThumb(target)) {
            const oxPoint& p = mouse->framePoint;
            int64_t delta = horizontal ? int64_t(p.x) - dragStart_.x : vertical ? int64_t(p.y) - dragStart_.y : 0;
            if (rightToLeft_) delta = -delta;
            SetPosition(Saturate(int64_t(PixelsToTicks(Saturate(delta))) + dragStartPosition_));
        } else if ((type == kAtomMousePress || type == kAtomMouseDown) && target == static_cast<oxReferenced*>(this)) {
            const oxPoint at = mouse->GetBoxPosition();
            const int32_t ticks = PixelsToTicks(vertical ? at.y : at.x);
            // Differs on purpose: the press counts from `min`, as the position does, so that a range
            // not starting at 0 pages towards the side that was pressed.
            const int64_t t = rightToLeft_ ? int64_t(max_) - ticks : int64_t(min_) + ticks;
            oxBox* thumb = GetFirstChild(false);
            if (thumb && thumb->GetBoxRect().Contains(at)) {
                pagingDirection_ = 0;
                if (oxInputScene* scene = GetInputScene(this))
                    if (oxFrameInput* input = scene->GetFrameInput()) input->SetPressedBox(nullptr);
            } else if (t < position_) {
                pagingDirection_ = -1;
                Page(-1);
            } else {
                pagingDirection_ = 1;
                Page(1);
            }
        } else if (type == kAtomMouseDown && IsThumb(target)) {
            dragStart_ = mouse->framePoint;
            dragStartPosition_ = position_;
        }
    }
    return oxControlBox::HandleEvent(event);
}
