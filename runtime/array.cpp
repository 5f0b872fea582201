#include "runtime/array.h"

#include <cstring>

#include "runtime/node_blocks_internal.h"

namespace NUBO {

TArray::~TArray() {
    SetSize(0);
}

void TArray::DestroyFrom(size_t first) {
    for (size_t i = first; i < count_; ++i)
        traits_->DestroyElement(data_[i]);
}

int TArray::Grow(size_t n) {
    size_t step = growBy_;
    if (step == 0) {
        step = count_ / 8;
        if (step < 4) step = 4;
        if (step > 1024) step = 1024;
    }
    size_t capacity;
    if (!data_) {
        capacity = n > growBy_ ? n : growBy_; // an automatic array's first block is exactly n
    } else {
        capacity = capacity_ + step;
        if (capacity < n) capacity = n;
    }
    if (capacity > static_cast<size_t>(-1) / sizeof(void*)) return 0;
    void** block = static_cast<void**>(ContainerAlloc(capacity * sizeof(void*)));
    if (!block) return 0;
    if (count_) std::memcpy(block, data_, count_ * sizeof(void*));
    ContainerFree(data_);
    data_ = block;
    capacity_ = capacity;
    return 1;
}

int TArray::SetSize(size_t n, int growBy) {
    if (growBy >= 0) growBy_ = static_cast<size_t>(growBy);
    if (n == 0) {
        DestroyFrom(0);
        ContainerFree(data_);
        data_ = nullptr;
        count_ = capacity_ = 0;
        return 1;
    }
    if (n > capacity_ && !Grow(n)) return 0;
    if (n > count_) {
        std::memset(data_ + count_, 0, (n - count_) * sizeof(void*));
    } else {
        DestroyFrom(n);
    }
    count_ = n;
    return 1;
}

int TArray::Add(void* value) {
    if (!SetSize(count_ + 1)) return 0;
    data_[count_ - 1] = traits_->CopyElement(value);
    return 1;
}

void TArray::SetAt(size_t i, void* value) {
    void* copy = traits_->CopyElement(value);
    traits_->DestroyElement(data_[i]);
    data_[i] = copy;
}

} // namespace NUBO
