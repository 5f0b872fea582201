#include "toolkit/base/qualified_name.h"

#include "platform/crt/wide.h"
#include "runtime/wide_string.h"

void oxQualifiedName::Parse(const WCHAR* text) {
    if (!text) {
        text_.Release();
        prefix_ = name_ = 0;
        return;
    }
    const WCHAR* local = text;
    if (const WCHAR* colon = wcschr(text, u':'); colon && colon[1]) {
        bool alnum = true;
        for (const WCHAR* p = text; p != colon && alnum; ++p)
            alnum = iswalnum(*p) != 0;
        if (alnum) {
            WCHAR prefix[oxAtoms::kLookupUnits];
            size_t n = 0;
            for (; text + n != colon && n < oxAtoms::kLookupUnits - 1; ++n)
                prefix[n] = text[n];
            prefix[n] = 0;
            prefix_ = oxAtoms::Intern(prefix);
            local = colon + 1;
        }
    }
    name_ = oxAtoms::Intern(local);
    text_ = oxSharedString(local);
}

void oxQualifiedName::ToString(NUBO::TWString& out) const {
    if (prefix_) {
        WCHAR prefix[256];
        if (!oxAtoms::GetName(prefix_, prefix, 256)) prefix[0] = 0;
        out = prefix;
        out += u':';
        out += text_.GetString();
    } else {
        out = text_.GetString();
    }
}
