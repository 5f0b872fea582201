#pragma once
// The runtime library's growable array of pointer-sized elements, copied in and destroyed through its
// element traits. Growth steps by grow-by elements, or automatically by an eighth of the count.
#include <cstddef>

#include "runtime/element_traits.h"

namespace NUBO {

class TArray {
public:
    explicit TArray(const TElementTraits& traits = TDynamicTraits::Instance()) : traits_(&traits) {}
    TArray(const TArray&) = delete;
    TArray& operator=(const TArray&) = delete;
    ~TArray();

    // Makes the array hold n elements: new ones are 0, dropped ones are destroyed, and 0 frees the
    // storage. growBy -1 keeps the current step. 1, or 0 when memory ran out (the array is unchanged).
    int SetSize(size_t n, int growBy = -1);
    // Appends a copy of `value`; 1, or 0 when memory ran out.
    int Add(void* value);
    // Replaces element i (i < count) with a copy of `value`, destroying the old one.
    void SetAt(size_t i, void* value);

    size_t GetSize() const { return count_; }
    size_t GetCapacity() const { return capacity_; }
    void* GetAt(size_t i) const { return data_[i]; }
    void* const* GetData() const { return data_; }

private:
    int Grow(size_t n);
    void DestroyFrom(size_t first);

    const TElementTraits* traits_;
    void** data_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
    size_t growBy_ = 0;
};

class TPtrArray : public TArray {
public:
    TPtrArray() : TArray(TDynamicTraits::Instance()) {}
};

} // namespace NUBO
