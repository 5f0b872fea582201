#pragma once
// An array of owned BSTR copies: adding copies the text, dropping an element frees it.
#include "runtime/array.h"

namespace NUBO {

class TBstrCompTraits final : public TElementTraits {
public:
    void* CopyElement(void* value) const override;
    void DestroyElement(void* value) const override;
    // Case-sensitive; a null text compares by the other's length.
    int CompareElements(void* a, void* b) const override;

    static const TBstrCompTraits& Instance();
};

template <class Traits> class TBstrArrayT : public TArray {
public:
    TBstrArrayT() : TArray(Traits::Instance()) {}
};

} // namespace NUBO
