#include "runtime/bstr_array.h"

#include "runtime/bstr_string.h"

namespace NUBO {

void* TBstrCompTraits::CopyElement(void* value) const {
    return AllocBstrCopy(static_cast<const WCHAR*>(value));
}

void TBstrCompTraits::DestroyElement(void* value) const {
    SysFreeString(static_cast<BSTR>(value));
}

int TBstrCompTraits::CompareElements(void* a, void* b) const {
    TBstr left;
    left.Attach(static_cast<BSTR>(a));
    int result = left.Compare(static_cast<const WCHAR*>(b));
    (void)left.Detach(); // the element stays owned by the array
    return result;
}

const TBstrCompTraits& TBstrCompTraits::Instance() {
    static const TBstrCompTraits traits;
    return traits;
}

} // namespace NUBO
