#pragma once
// oxDeckBox: the box of the `deck` tag, which shows one child at a time through the deck layout:
// the one at its top index. A deck that is given no index shows its last child once in a scene,
// and inserting or removing children before the top child keeps that same child on top.
#include "toolkit/core/box.h"

class oxDeckBox : public oxBox {
public:
    explicit oxDeckBox(oxAtom tag) : oxBox(tag) {}

    oxAtom GetBoxType() const override { return kAtomDeck; }
    const WCHAR* GetAttribute(oxAtom attribute) override;
    int32_t SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) override;
    void OnSceneAttached() override;
    void InsertChildrenAt(int index, oxBox* const* children, int count, const WCHAR* partName, bool expand) override;
    oxBox* RemoveChildAt(int index, bool expand) override;

    int32_t GetTopIndex() const { return topIndex_; }
    // Shows the child at `index` (none when out of range) and lays the deck out again.
    void SetTopIndex(int32_t index);

private:
    int32_t topIndex_ = -1;
};
