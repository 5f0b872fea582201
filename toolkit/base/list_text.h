#pragma once
// Comma-separated lists in attribute texts ("a, b,c"), as `inherits` lists are written.
#include <vector>

#include "platform/types.h"
#include "runtime/wide_string.h"

// The items of the list with the white space around each cut off. Empty items are kept, so an
// empty text or a trailing comma gives an empty item.
std::vector<NUBO::TWString> SplitListText(const WCHAR* text, int length);
