#pragma once
// The grid's listener on the first cell of each row: a change of the cell's `expanded` state opens
// or closes the row's nested rows. Counted: the layout and every cell it listens to hold it; the
// layout detaches itself when it goes, so cells that outlive it reach nothing.
#include "toolkit/core/box.h"

class oxGridLayout;

class oxGridRowListener final : public oxChangeListener {
public:
    // `enable`: collapsing first asks an enclosing select box to move its selection out.
    oxGridRowListener(oxGridLayout* layout, bool enable) : layout_(layout), enable_(enable) {}
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        if (--refs_ != 0) return refs_;
        refs_ = oxBox::kDeletingCount;
        delete this;
        return 0;
    }
    void OnAttributeChanged(oxBox* box, oxAtom attribute) override;
    void OnStyleChanged(oxBox* box, int propertyId) override { (void)box, (void)propertyId; }
    void Detach() { layout_ = nullptr; }
    bool IsEnabled() const { return enable_; }

private:
    oxGridLayout* layout_;
    bool enable_;
    uint32_t refs_ = 1;
};
