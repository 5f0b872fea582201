#include "graphics/raster/coverage_row.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

oxCoverageRow::~oxCoverageRow() {
    std::free(m_bytes);
}

bool oxCoverageRow::Setup(int32_t width, int32_t fractionBits, int32_t n) {
    if (width < 0) width = 0;
    m_fractionBits = fractionBits;
    m_n = n;
    m_full = 256u >> n;
    m_subMask = (1 << n) - 1;
    m_xLimit = ((width + 3) & ~3) << fractionBits;
    m_width = width;
    m_clearLimit = (width + 4) & ~3;
    m_lowGroup = width;
    m_highGroup = 0;
    const int32_t size = (width & ~3) + 12;
    // Aligned and padded to whole 16-byte blocks past the last byte, which AddSpan reads and writes
    // back whole; that also leaves the reader four spare bytes to take whole words at the last group.
    const size_t capacity = ((static_cast<size_t>(size) + 15) & ~size_t(15)) + 16;
    uint8_t* bytes = static_cast<uint8_t*>(std::aligned_alloc(16, capacity));
    if (bytes) std::memset(bytes, 0, capacity);
    std::free(m_bytes);
    m_bytes = bytes;
    m_size = bytes ? size : 0;
    return m_size == size;
}

void oxCoverageRow::AddCovered(int32_t p0, int32_t p1) {
    p0 = std::max(p0, 0);
    p1 = std::min(p1, m_size);
    if (p1 <= p0) return;
    m_lowGroup = std::min(m_lowGroup, p0 >> 2);
    m_highGroup = std::max(m_highGroup, (p1 - 1) >> 2);
    typedef uint8_t Bytes16 __attribute__((vector_size(16), may_alias));
    int32_t x = p0;
    for (; x + 16 <= p1; x += 16) {
        Bytes16 w;
        std::memcpy(&w, m_bytes + x, 16);
        w += 255;
        std::memcpy(m_bytes + x, &w, 16);
    }
    for (; x < p1; ++x)
        m_bytes[x] = static_cast<uint8_t>(m_bytes[x] + 255);
}

void oxCoverageRow::Clear() {
    if (m_highGroup >= m_lowGroup && m_size > 0) {
        const int32_t from = 4 * m_lowGroup;
        const int32_t to = std::min(m_clearLimit, 4 * (m_highGroup + 3));
        if (to > from) std::memset(m_bytes + from, 0, static_cast<size_t>(to - from));
    }
    m_lowGroup = m_width;
    m_highGroup = 0;
}
