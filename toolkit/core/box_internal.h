#pragma once
// Shared by the box's source files only.
#include "toolkit/core/box.h"

// The child array: one heap block with its header, or the shared empty array that stands for no
// children. Children are held without a count of the array's own.
struct alignas(oxBox*) oxBox::ChildArray {
    int32_t count;
    int32_t capacity;
    int32_t contentIndex; // where a gadget's content children start
    oxRect rect;          // the box's bounds when the block was made
    // The child pointers follow the header in the same block.
    oxBox** Items() { return reinterpret_cast<oxBox**>(this + 1); }
};

// "true" or "false" for an attribute that names a state of the box; null for other attributes.
const WCHAR* oxStateAttributeText(const oxBox* box, oxAtom attribute);

// Records an attribute's text from before a change (null: it had none) in the box's prior-value list.
void oxRecordPriorAttribute(oxBox* box, oxAtom atom, const WCHAR* text);

// Releases the box's scroll bars and forgets them.
void oxDropScrollbars(oxBox* box);
