#include "platform/crt/wide.h"

size_t wcslen(const WCHAR* s) {
    const WCHAR* p = s;
    while (*p)
        ++p;
    return size_t(p - s);
}
