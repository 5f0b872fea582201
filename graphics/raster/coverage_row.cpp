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
    // Four spare bytes past the slack let the reader take whole words at the last group.
    uint8_t* bytes = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size) + 4, 1));
    std::free(m_bytes);
    m_bytes = bytes;
    m_size = bytes ? size : 0;
    return m_size == size;
}

void oxCoverageRow::AddSpan(int32_t subline, int32_t x0, int32_t x1) {
    if (m_size == 0) return;
    x0 = std::max(x0, 0);
    x1 = std::min(x1, m_xLimit);
    if (x1 <= x0) return;
    const int32_t last = m_size - 1;
    const int32_t p0 = std::min(x0 >> m_fractionBits, last);
    const int32_t p1 = std::min(x1 >> m_fractionBits, last);
    m_lowGroup = std::min(m_lowGroup, p0 >> 2);
    m_highGroup = std::max(m_highGroup, p1 >> 2);

    const uint32_t full = ((subline + 1) & m_subMask) ? m_full : m_full - 1;
    const int32_t byteShift = m_fractionBits - 8;
    const uint32_t f0 = static_cast<uint32_t>(x0 >> byteShift) & 0xFF;
    const uint32_t f1 = static_cast<uint32_t>(x1 >> byteShift) & 0xFF;
    uint8_t* b = m_bytes;

    if (p0 == p1) {
        b[p0] = static_cast<uint8_t>(b[p0] + (((f1 * (255 - f0)) / 256) >> m_n));
        return;
    }
    b[p0] = static_cast<uint8_t>(b[p0] + ((255 - f0) >> m_n));
    int32_t i = p0 + 1;
    // Sixteen bytes an add: no byte passes 255, so lanes never carry into each other. The blocks
    // are aligned, so that every sub-scanline reads back whole blocks the one before it stored.
    typedef uint8_t Bytes16 __attribute__((vector_size(16), may_alias));
    Bytes16 add;
    std::memset(&add, static_cast<int>(full), sizeof add);
    if (p1 - i >= 32) {
        for (; (reinterpret_cast<uintptr_t>(b + i) & 15) != 0; ++i)
            b[i] = static_cast<uint8_t>(b[i] + full);
    }
    for (; i + 16 <= p1; i += 16) {
        Bytes16 w;
        std::memcpy(&w, b + i, 16);
        w += add;
        std::memcpy(b + i, &w, 16);
    }
    for (; i < p1; ++i)
        b[i] = static_cast<uint8_t>(b[i] + full);
    b[p1] = static_cast<uint8_t>(b[p1] + (f1 >> m_n));
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
