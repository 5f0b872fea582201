#pragma once
// oxZOrderList: a box's children kept sorted by their `zIndex` for painting and hit order, with the
// index of the first child at or above zero (the boundary between the children painted under the
// box's content and those over it). Children with equal `zIndex` keep the order they came in. The
// list holds no references: its owner removes a child before the child goes.
#include <cstdint>

#include "runtime/ptr_vector.h"

class oxBox;

class oxZOrderList {
public:
    explicit oxZOrderList(oxBox* owner) : owner_(owner) {}
    oxZOrderList(const oxZOrderList&) = delete;
    oxZOrderList& operator=(const oxZOrderList&) = delete;
    virtual ~oxZOrderList() = default;

    int32_t IndexOf(const oxBox* child) const;
    // After the last child whose `zIndex` is at most the new one's; false when memory ran out.
    bool Insert(oxBox* child);
    void Remove(oxBox* child);
    // The children that are neither hidden, collapsed nor excluded.
    int32_t CountShown() const;
    oxBox* At(int32_t index) const;
    int32_t GetCount() const { return int32_t(children_.size()); }
    // The index of the first child with a `zIndex` of 0 or more; -1 when there is none.
    int32_t GetBoundary() const { return boundary_; }
    oxBox* GetOwner() const { return owner_; }

private:
    oxBox* owner_;
    NUBO::PtrVector<oxBox*> children_;
    int32_t boundary_ = -1;
    int32_t busy_ = 0;
};
