#pragma once
// oxHandleBox: the box of the `handle` tag, a grip that a drag uses to resize its target box or to
// move the split between its target and the next box. Its `transform` attribute picks the transform
// object that decides, on hover, which sides of the target are grabbed and the cursor, records the
// geometry when the button goes down and applies the pointer's travel on every drag.
#include <cstdint>

#include "runtime/ref_ptr.h"
#include "toolkit/core/box.h"

class oxHandleBox;

// What a handle's drag does; the base does nothing but choose the grabbed sides.
class oxHandleTransform {
public:
    explicit oxHandleTransform(oxHandleBox* handle) : handle_(handle) {}
    virtual ~oxHandleTransform() = default;
    oxHandleTransform(const oxHandleTransform&) = delete;
    oxHandleTransform& operator=(const oxHandleTransform&) = delete;

    virtual void Drag(int32_t dx, int32_t dy) { (void)dx, (void)dy; }
    virtual void ChooseCursor(bool nearTop, bool nearRight, bool nearBottom, bool nearLeft);
    // The sides of the target near the press point, the direction and the cursor.
    virtual void Hover();
    // The target's geometry when the button goes down.
    virtual void Start();

    oxAtom GetDirection() const { return direction_; }
    int32_t GetCursor() const { return cursor_; }

protected:
    oxHandleBox* handle_;
    oxAtom direction_ = 0;
    int32_t fixedVertical_ = 1;   // 1 top, 3 bottom
    int32_t positionedV_ = 1;     // 1 by top, 3 by bottom, 5 by both
    int32_t fixedHorizontal_ = 4; // 4 left, 2 right
    int32_t positionedH_ = 4;     // 4 by left, 2 by right, 5 by both
    int32_t cursor_ = 0;
    oxRect start_;
    int32_t right0_ = 0, bottom0_ = 0;
};

// Resizes the target by its grabbed sides.
class oxHandleScaler : public oxHandleTransform {
public:
    using oxHandleTransform::oxHandleTransform;
    void Drag(int32_t dx, int32_t dy) override;
    void ChooseCursor(bool nearTop, bool nearRight, bool nearBottom, bool nearLeft) override;
};

// Moves the split between the target and the next box: axis "x" shares heights, "y" widths.
class oxHandleSplitter : public oxHandleTransform {
public:
    using oxHandleTransform::oxHandleTransform;
    void Drag(int32_t dx, int32_t dy) override;
    void ChooseCursor(bool nearTop, bool nearRight, bool nearBottom, bool nearLeft) override;
    void Start() override;

private:
    void NudgeColumn(oxBox* target, bool heights, int32_t d);
    oxRect next0_;
    int32_t nextPadding_ = 0, nextMinimum_ = 0;
    int32_t padding_ = 0, minimum_ = 0;
};

class oxHandleBox : public oxBox {
public:
    explicit oxHandleBox(oxAtom tag) : oxBox(tag) {}
    ~oxHandleBox() override;

    oxAtom GetBoxType() const override { return kAtomHandle; }
    int32_t SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) override;
    int32_t HandleEvent(oxEvent* event) override;

    // The cursor keyword the transform chose; 0 without a transform.
    int32_t GetDefaultCursor() override { return transform_ ? transform_->GetCursor() : 0; }
    oxAtom GetTransformType() const { return transformType_; }
    oxHandleTransform* GetTransform() const { return transform_; }
    oxAtom GetAxis() const { return axis_; }

    // The box set by script, else the part named by the `target` (`next`) attribute, else the
    // nearest box up the tree that owns a native frame; null when none.
    oxBox* GetTarget() { return Resolve(target_, kAtomTarget); }
    oxBox* GetNext() { return Resolve(next_, kAtomNext); }
    void SetTarget(oxBox* box) { target_ = NUBO::RefPtr<oxBox>::ref(box); }
    void SetNext(oxBox* box) { next_ = NUBO::RefPtr<oxBox>::ref(box); }
    oxBox* GetReferenceBox() const { return reference_.get(); }
    void SetReferenceBox(oxBox* box) { reference_ = NUBO::RefPtr<oxBox>::ref(box); }
    // The box whose children the split group is found among. Differs on purpose: the parent at
    // each use, not the one at first use, so a handle moved elsewhere holds no box that is gone.
    oxBox* GetGroupParent() const { return GetParent(); }

    // Where the pointer was over the handle, in frame coordinates.
    oxPoint pressPoint;

private:
    oxBox* Resolve(const NUBO::RefPtr<oxBox>& set, oxAtom attribute);

    NUBO::RefPtr<oxBox> target_, next_, reference_;
    oxHandleTransform* transform_ = nullptr; // owned
    oxAtom axis_ = 0;
    oxAtom transformType_ = 0;
};

// Makes the box factory build handle boxes for the `handle` kind.
void oxRegisterHandleBoxKind();
