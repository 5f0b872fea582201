#include "toolkit/base/list_text.h"

#include "platform/crt/wide.h"

std::vector<NUBO::TWString> SplitListText(const WCHAR* text, int length) {
    std::vector<NUBO::TWString> items;
    if (!text || length < 0) return items;
    const WCHAR* end = text + length;
    for (const WCHAR* at = text; at <= end;) {
        const WCHAR* comma = at;
        while (comma < end && *comma != u',')
            ++comma;
        const WCHAR* from = at;
        const WCHAR* to = comma;
        while (from < to && iswspace(*from))
            ++from;
        while (to > from && iswspace(to[-1]))
            --to;
        items.emplace_back(from, int(to - from));
        at = comma + 1;
    }
    return items;
}
