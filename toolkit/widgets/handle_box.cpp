#include "toolkit/widgets/handle_box.h"

#include <algorithm>
#include <new>

#include "toolkit/base/atoms.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/event.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"
#include "toolkit/widgets/frame_input.h"

namespace {

constexpr int32_t kMargin = 30; // how near an edge the pointer grabs it

oxBox* MakeHandleBox(oxAtom tag) {
    return new (std::nothrow) oxHandleBox(tag);
}

int32_t StyleInt(oxBox* box, int propertyId) {
    oxStyleValue v;
    box->GetStyleValue(propertyId, &v);
    return v.GetType() == kStyleKeyword ? 0 : v.GetInt();
}

int32_t Flex(oxBox* box) {
    return StyleInt(box, kStyle_flex);
}

// The box's own `flex`, not an inherited one.
void SetFlex(oxBox* box, int32_t n) {
    box->SetStyleValue(kStyle_flex, oxStyleValue(n, kStyleNumber), 0);
}

int32_t Clamp(int64_t v) {
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Padding across the axis the split shares: top + bottom for heights, left + right for widths.
int32_t PaddingSum(oxBox* box, bool heights) {
    const oxRect p = box->GetPadding(); // {left, top, right, bottom}
    return Clamp(heights ? int64_t(p.y) + p.height : int64_t(p.x) + p.width);
}

int32_t Minimum(oxBox* box, bool heights) {
    return Clamp(int64_t(StyleInt(box, heights ? kStyle_minHeight : kStyle_minWidth)) + PaddingSum(box, heights));
}

int32_t Length(const oxRect& r, bool heights) {
    return heights ? r.height : r.width;
}

// A length along the shared axis: as `flex` when the box has one, else as its height (width) less
// its padding.
void SetLength(oxBox* box, bool heights, int32_t length) {
    if (Flex(box) != 0) {
        SetFlex(box, length);
        return;
    }
    const int32_t v = Clamp(int64_t(length) - PaddingSum(box, heights));
    heights ? box->SetHeight(v) : box->SetWidth(v);
}

bool IsHandle(oxBox* box) {
    return box->GetBoxType() == kAtomHandle;
}

// The first box of the split group: the target of the first split handle among the children of
// `parent`, looking down the first shown child while there is none.
oxBox* GroupStart(oxBox* parent) {
    for (oxBox* b = parent; b;) {
        oxBox* descend = nullptr;
        for (int i = 0, n = b->GetChildCount(); i < n; ++i) {
            auto* handle = dynamic_cast<oxHandleBox*>(b->GetChildAt(i, false));
            if (handle && handle->GetTransformType() == kAtomSplit) return handle->GetTarget();
        }
        for (int i = 0, n = b->GetChildCount(); i < n && !descend; ++i)
            if (!b->GetChildAt(i, false)->IsCollapsed()) descend = b->GetChildAt(i, false);
        b = descend;
    }
    return nullptr;
}

// After a handle comes its next box, after any other box its next sibling. Bounded by the boxes
// under the group's parent, so a next box that points back cannot loop.
template <class Fn> void WalkGroup(oxBox* parent, Fn fn) {
    int budget = 0;
    for (int i = 0, n = parent ? parent->GetChildCount() : 0; i < n; ++i)
        budget += 1 + parent->GetChildAt(i, false)->GetChildCount();
    for (oxBox* b = GroupStart(parent); b && budget-- > 0;) {
        fn(b);
        auto* handle = dynamic_cast<oxHandleBox*>(b);
        if (handle)
            b = handle->GetNext();
        else
            b = b->GetParent() ? b->GetParent()->GetChildAt(b->GetIndex() + 1, false) : nullptr;
    }
}

// Every box of the group but handles, the target and the next box keeps its current length.
void FreezeOthers(oxBox* parent, oxBox* target, oxBox* next, bool heights) {
    WalkGroup(parent, [&](oxBox* b) {
        if (IsHandle(b) || b == target || b == next) return;
        const int32_t length = Length(b->GetBoxRect(), heights);
        if (Flex(b) != 0)
            SetFlex(b, length);
        else
            heights ? b->SetHeight(length) : b->SetWidth(length);
    });
}

} // namespace

void oxRegisterHandleBoxKind() {
    oxBoxFactory::RegisterKind(kAtomHandle, &MakeHandleBox);
}

// Transforms.

void oxHandleTransform::ChooseCursor(bool, bool, bool, bool) {
    cursor_ = 0;
}

void oxHandleTransform::Hover() {
    oxBox* target = handle_->GetTarget();
    if (!target) return;
    const oxPoint at = target->GetFramePosition(), size = target->GetPacked(1);
    const oxPoint p = handle_->pressPoint;
    const bool nearLeft = int64_t(p.x) <= int64_t(at.x) + kMargin;
    const bool nearTop = int64_t(p.y) <= int64_t(at.y) + kMargin;
    const bool nearRight = int64_t(p.x) >= int64_t(at.x) + size.x - kMargin;
    const bool nearBottom = int64_t(p.y) >= int64_t(at.y) + size.y - kMargin;
    fixedHorizontal_ = nearLeft ? 2 : 4;
    fixedVertical_ = nearTop ? 3 : 1;
    if (handle_->GetAxis())
        direction_ = handle_->GetAxis();
    else if ((nearLeft || nearRight) && (nearTop || nearBottom))
        direction_ = kAtomBoth;
    else if (nearLeft || nearRight)
        direction_ = kAtomX;
    else if (nearTop || nearBottom)
        direction_ = kAtomY;
    ChooseCursor(nearTop, nearRight, nearBottom, nearLeft);
}

void oxHandleTransform::Start() {
    oxBox* target = handle_->GetTarget();
    if (!target) return;
    target->ResolveStyle();
    start_ = target->GetBoxRect();
    right0_ = StyleInt(target, kStyle_right);
    bottom0_ = StyleInt(target, kStyle_bottom);
    positionedV_ = 1;
    positionedH_ = 4;
    target->GetEdgeAnchoring(&positionedV_, &positionedH_);
}

void oxHandleScaler::ChooseCursor(bool nearTop, bool, bool, bool nearLeft) {
    if (direction_ == kAtomBoth)
        cursor_ = nearLeft == nearTop ? kKeywordNwResize : kKeywordNeResize;
    else if (direction_ == kAtomX)
        cursor_ = nearLeft ? kKeywordWResize : kKeywordEResize;
    else if (direction_ == kAtomY)
        cursor_ = nearTop ? kKeywordNResize : kKeywordSResize;
    else
        cursor_ = 0;
}

void oxHandleScaler::Drag(int32_t dx, int32_t dy) {
    oxBox* target = handle_->GetTarget();
    if (!target) return;
    if (direction_ == kAtomX || direction_ == kAtomBoth) {
        const bool fixedLeft = fixedHorizontal_ == 4;
        if (positionedH_ == 5) {
            fixedLeft ? target->SetRight(Clamp(int64_t(right0_) - dx)) : target->SetLeft(Clamp(int64_t(start_.x) + dx));
        } else if (positionedH_ == fixedHorizontal_) {
            target->SetWidth(Clamp(fixedLeft ? int64_t(start_.width) + dx : int64_t(start_.width) - dx));
        } else if (fixedLeft) {
            target->SetWidth(Clamp(int64_t(start_.width) + dx));
            target->SetRight(Clamp(int64_t(right0_) - dx));
        } else {
            target->SetWidth(Clamp(int64_t(start_.width) - dx));
            target->SetLeft(Clamp(int64_t(start_.x) + dx));
        }
    }
    if (direction_ == kAtomY || direction_ == kAtomBoth) {
        const bool fixedTop = fixedVertical_ == 1;
        if (positionedV_ == 5) {
            fixedTop ? target->SetBottom(Clamp(int64_t(bottom0_) - dy)) : target->SetTop(Clamp(int64_t(start_.y) + dy));
        } else if (positionedV_ == fixedVertical_) {
            target->SetHeight(Clamp(fixedTop ? int64_t(start_.height) + dy : int64_t(start_.height) - dy));
        } else if (fixedTop) {
            target->SetHeight(Clamp(int64_t(start_.height) + dy));
            target->SetBottom(Clamp(int64_t(bottom0_) - dy));
        } else {
            target->SetHeight(Clamp(int64_t(start_.height) - dy));
            target->SetTop(Clamp(int64_t(start_.y) + dy));
        }
    }
    target->RequestLayout();
}

void oxHandleSplitter::ChooseCursor(bool, bool, bool, bool) {
    cursor_ = direction_ == kAtomX ? kKeywordSplitterv : direction_ == kAtomY ? kKeywordSplitterh : 0;
}

void oxHandleSplitter::Start() {
    oxBox* target = handle_->GetTarget();
    oxBox* next = handle_->GetNext();
    if (!target) return;
    const bool heights = handle_->GetAxis() != kAtomY;
    start_ = target->GetBoxRect();
    minimum_ = Minimum(target, heights);
    padding_ = PaddingSum(target, heights);
    if (next) {
        next0_ = next->GetBoxRect();
        nextMinimum_ = Minimum(next, heights);
        nextPadding_ = PaddingSum(next, heights);
    }
}

void oxHandleSplitter::Drag(int32_t dx, int32_t dy) {
    oxBox* target = handle_->GetTarget();
    if (!target) return;
    const oxAtom axis = handle_->GetAxis();
    if (axis != kAtomX && axis != kAtomY) return;
    const bool heights = axis == kAtomX;
    const int32_t d = heights ? dy : dx;
    oxBox* parent = handle_->GetGroupParent();
    oxBox* grand = parent ? parent->GetParent() : nullptr;
    if (grand && ParseBool(grand->GetAttribute(kAtomNudgeAllColumns))) {
        NudgeColumn(target, heights, d);
        return;
    }
    oxBox* next = handle_->GetNext();
    if (!next) return;
    const int64_t length0 = Length(start_, heights), next0 = Length(next0_, heights);
    if (next0 - d < nextMinimum_) {
        SetLength(next, heights, nextMinimum_);
        SetLength(target, heights, Clamp(length0 + next0 - nextMinimum_));
    } else if (length0 + d < minimum_) {
        SetLength(target, heights, minimum_);
        SetLength(next, heights, Clamp(length0 + next0 - minimum_));
    } else {
        SetLength(target, heights, Clamp(length0 + d));
        SetLength(next, heights, Clamp(next0 - d));
    }
    FreezeOthers(parent, target, next, heights);
    target->RequestLayout();
    handle_->RequestLayout();
}

void oxHandleSplitter::NudgeColumn(oxBox* target, bool heights, int32_t d) {
    oxBox* parent = handle_->GetGroupParent();
    WalkGroup(parent, [](oxBox* b) {
        if (Flex(b) != 0) SetFlex(b, 0);
    });
    const int32_t length = Length(target->GetBoxRect(), heights);
    if (d < 0) d = length <= minimum_ ? 0 : Clamp(std::max<int64_t>(d, int64_t(minimum_) - length));
    if (d != 0) {
        const int32_t v = Clamp(int64_t(length) + d - padding_);
        heights ? target->SetHeight(v) : target->SetWidth(v);
        // The next drag is measured from the new edge.
        (heights ? handle_->pressPoint.y : handle_->pressPoint.x) += d;
    }
    FreezeOthers(parent, target, nullptr, heights);
    target->RequestLayout();
    handle_->RequestLayout();
}

// The handle.

oxHandleBox::~oxHandleBox() {
    delete transform_;
}

oxBox* oxHandleBox::Resolve(const NUBO::RefPtr<oxBox>& set, oxAtom attribute) {
    if (set) return set.get();
    if (const WCHAR* name = GetAttribute(attribute))
        if (oxBox* part = GetSpecialPart(oxAtoms::Intern(name))) return part;
    return FindFrameBox();
}

int32_t oxHandleBox::SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) {
    if (attribute == kAtomAxis) {
        axis_ = oxAtoms::Intern(value);
    } else if (attribute == kAtomTransform) {
        delete transform_;
        transform_ = nullptr;
        transformType_ = oxAtoms::Intern(value);
        if (transformType_ == kAtomScale)
            transform_ = new (std::nothrow) oxHandleScaler(this);
        else if (transformType_ == kAtomSplit)
            transform_ = new (std::nothrow) oxHandleSplitter(this);
        else if (transformType_ == kAtomTranslate || transformType_ == kAtomRotate)
            transform_ = new (std::nothrow) oxHandleTransform(this);
    }
    return oxBox::SetAttribute(attribute, value, notify, forced);
}

int32_t oxHandleBox::HandleEvent(oxEvent* event) {
    const int32_t result = oxBox::HandleEvent(event);
    if (!event || (event->GetFlags() & kEventDefaultPrevented) || IsEffectivelyDisabled() || !transform_) return result;
    auto* mouse = dynamic_cast<oxMouseEvent*>(event);
    if (!mouse) return result;
    NUBO::RefPtr<oxBox> keep = NUBO::RefPtr<oxBox>::ref(this); // layouts and style writes may run handlers
    const oxAtom type = event->GetType();
    if (type == kAtomMouseMove && !(GetStateFlags() & kStatePressed)) {
        pressPoint = mouse->framePoint;
        transform_->Hover();
        // The grabbed sides may have changed while the pointer stayed on the handle.
        if (oxInputScene* scene = GetInputScene(this))
            if (oxFrameInput* input = scene->GetFrameInput()) input->ShowCursor();
    } else if (type == kAtomMouseDown) {
        transform_->Start();
    } else if (type == kAtomMouseDrag) {
        transform_->Drag(Clamp(int64_t(mouse->framePoint.x) - pressPoint.x),
                         Clamp(int64_t(mouse->framePoint.y) - pressPoint.y));
    }
    return result;
}
