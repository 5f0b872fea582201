#pragma once
// A resource reference as markup and styles write it: a library URI, '#', and the resource's id.
// An empty library part means the library the reference stands in (and, depth-first, its imports).
#include "platform/types.h"
#include "runtime/wide_string.h"
#include "toolkit/base/atoms.h"

class oxUri;

struct oxResourceReference {
    // The library part in the form libraries keep their URIs (see NormalizeLibraryUri); empty
    // when the reference names no library.
    NUBO::TWString library;
    // The interned id; 0 when the reference has none.
    oxAtom id = 0;

    // Splits a parsed URI; the id is interned.
    void Set(const oxUri& uri);
};

// The form in which a library keeps its URI: a `file` URI becomes its path; outside the `box`
// scheme every '/' becomes '\'.
NUBO::TWString NormalizeLibraryUri(const WCHAR* uri);
