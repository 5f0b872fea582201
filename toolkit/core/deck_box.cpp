#include "toolkit/core/deck_box.h"

#include "toolkit/base/number_text.h"
#include "toolkit/core/layout.h"

const WCHAR* oxDeckBox::GetAttribute(oxAtom attribute) {
    if (attribute != kAtomTopIndex) return oxBox::GetAttribute(attribute);
    // One process-wide buffer, as callers copy the text at once.
    static WCHAR buffer[12];
    IntToText(topIndex_, buffer, 12, 10);
    return buffer;
}

int32_t oxDeckBox::SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) {
    if (attribute != kAtomTopIndex) return oxBox::SetAttribute(attribute, value, notify, forced);
    int32_t n = 0;
    if (value) ParseDecimalInt(value, &n, 0);
    SetTopIndex(n);
    return 0;
}

void oxDeckBox::SetTopIndex(int32_t index) {
    topIndex_ = index;
    if (oxLayout* layout = GetLayoutIfMade()) layout->ClearValidity();
    RequestLayout();
}

void oxDeckBox::OnSceneAttached() {
    oxBox::OnSceneAttached();
    if (topIndex_ == -1) SetTopIndex(GetChildCount() - 1);
}

void oxDeckBox::InsertChildrenAt(int index, oxBox* const* children, int count, const WCHAR* partName, bool expand) {
    // An index past the end appends, which never moves the top child.
    const int at = index < 0 || index > GetChildCount() ? GetChildCount() : index;
    if (count > 0 && at <= topIndex_ && TestChangeFlags(kChangeAttached)) topIndex_ += count;
    oxBox::InsertChildrenAt(index, children, count, partName, expand);
}

oxBox* oxDeckBox::RemoveChildAt(int index, bool expand) {
    if (index >= 0 && index < GetChildCount() && index < topIndex_) --topIndex_;
    return oxBox::RemoveChildAt(index, expand);
}
