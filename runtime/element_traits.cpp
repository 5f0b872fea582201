#include "runtime/element_traits.h"

#include <cstdint>

namespace NUBO {

namespace {

int CompareWords(void* a, void* b) {
    auto x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
    return x < y ? -1 : x > y ? 1 : 0;
}

} // namespace

int TDynamicTraits::CompareElements(void* a, void* b) const {
    return CompareWords(a, b);
}

const TDynamicTraits& TDynamicTraits::Instance() {
    static const TDynamicTraits traits;
    return traits;
}

int TDynamicKeyTraits::CompareElements(void* a, void* b) const {
    return CompareWords(a, b);
}

unsigned TDynamicKeyTraits::HashKey(void* key) const {
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(key));
}

const TDynamicKeyTraits& TDynamicKeyTraits::Instance() {
    static const TDynamicKeyTraits traits;
    return traits;
}

} // namespace NUBO
