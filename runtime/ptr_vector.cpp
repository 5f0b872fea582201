#include "runtime/ptr_vector.h"

namespace NUBO {

size_t PtrVectorGrowth(size_t capacity, size_t needed, size_t elementSize) {
    const size_t limit = static_cast<size_t>(-1) / elementSize;
    size_t grown = capacity <= limit - capacity / 2 ? capacity + capacity / 2 : limit;
    if (grown < needed) grown = needed;
    return grown > limit ? 0 : grown;
}

} // namespace NUBO
