#pragma once
// The data script classes: DataBinding (the script face of a binding element), Selection (of a
// list's selection model) and SelectionData (one selected data row: its value and collection).
#include <cstdint>

#include "platform/com/variant.h"
#include "runtime/script_object.h"

class oxBindingElement;
class oxBox;

// A new SelectionData over a value and the collection it came from (may be null), with one
// reference, in `out`.
int32_t CreateSelectionData(const VARIANT& value, NUBO::XObject* collection, NUBO::XObject** out);
// The DataBinding object of a binding (a new reference), through the wrapper cache of the box's
// scene; null when there is none.
NUBO::XObject* DataBindingObjectOf(oxBox* box, oxBindingElement* binding);
