#pragma once
// The toolkit's 16-bucket map keyed by text, case-sensitive: the bucket is the low 4 bits of
// h = h * 33 + unit over the key's units, and within a bucket keys stand in ascending unit order.
// Enumerations of dictionaries and binding maps follow this order.
#include "runtime/hash_map.h"
#include "runtime/wide_string.h"

namespace NUBO {

// A key to look up: a TWString or zero-terminated text, without copying it.
struct oxStringKey {
    oxStringKey(const TWString& s) : text(s.GetString()), length(s.GetLength()) {}
    oxStringKey(const WCHAR* s);
    const WCHAR* text;
    int length;
};

struct oxStringKeyTraits {
    using Key = TWString;
    using Arg = oxStringKey;
    static unsigned Hash(Arg key) { return oxTextHash(key.text, static_cast<size_t>(key.length)); }
    static int Compare(const Key& a, Arg b);
    static Key Store(Arg key) { return TWString(key.text, key.length); }
    static Arg View(const Key& key) { return oxStringKey(key); }
};

template <class V = void*> using oxStringMap = oxHashMap<oxStringKeyTraits, V>;

} // namespace NUBO
