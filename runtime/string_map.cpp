#include "runtime/string_map.h"

#include "platform/crt/wide.h"

namespace NUBO {

oxStringKey::oxStringKey(const WCHAR* s) : text(s ? s : u""), length(static_cast<int>(wcslen(text))) {}

int oxStringKeyTraits::Compare(const Key& a, Arg b) {
    const WCHAR* x = a.GetString();
    int n = a.GetLength() < b.length ? a.GetLength() : b.length;
    for (int i = 0; i < n; ++i) {
        if (x[i] != b.text[i]) return int(x[i]) - int(b.text[i]);
    }
    return a.GetLength() - b.length;
}

} // namespace NUBO
