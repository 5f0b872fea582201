#pragma once
// One pixel row of anti-aliasing coverage, accumulated sub-scanline by sub-scanline by the polygon
// filler. Coverage is one byte per pixel (255 = fully covered); the 2^n sub-scanlines of a fully
// covered pixel add up to exactly 255, so whole groups of four bytes can be added as one word
// without carries crossing bytes.
#include <algorithm>
#include <cstdint>
#include <cstring>

class oxCoverageRow {
public:
    oxCoverageRow() = default;
    virtual ~oxCoverageRow();
    oxCoverageRow(const oxCoverageRow&) = delete;
    oxCoverageRow& operator=(const oxCoverageRow&) = delete;

    // Sizes the row for `width` pixels, x coordinates with `fractionBits` fraction bits and 2^n
    // sub-scanlines per row. False when the byte array could not be had.
    bool Setup(int32_t width, int32_t fractionBits, int32_t n);
    // Adds the span [x0, x1) of sub-scanline `subline` (fixed point of the setup's fraction bits).
    // Inline: the filler calls it for every span of every sub-scanline.
    void AddSpan(int32_t subline, int32_t x0, int32_t x1);
    // Adds what AddSpan(subline, x0, x1) adds outside the whole pixels [p0, p1), which lie within
    // the span: the few pixels at its ends, one by one. Inline like AddSpan.
    void AddSpanEnds(int32_t subline, int32_t x0, int32_t p0, int32_t p1, int32_t x1);
    // Adds the full coverage of a row, 255, to pixels [p0, p1).
    void AddCovered(int32_t p0, int32_t p1);
    // Zeroes the touched groups and resets the touched range.
    void Clear();

    const uint8_t* Bytes() const { return m_bytes; }
    uint8_t* Bytes() { return m_bytes; }
    int32_t Width() const { return m_width; }
    bool Touched() const { return m_highGroup >= m_lowGroup && m_lowGroup < m_width; }
    int32_t LowGroup() const { return m_lowGroup; }   // lowest touched 4-pixel group
    int32_t HighGroup() const { return m_highGroup; } // highest touched 4-pixel group

private:
    // Clamps a span to the row, widens the touched groups to it and gives its end pixels; false when
    // nothing of it is left.
    bool Touch(int32_t& x0, int32_t& x1, int32_t& p0, int32_t& p1);

    int32_t m_fractionBits = 12;
    int32_t m_n = 0;
    uint32_t m_full = 256; // full coverage of one sub-scanline, 256 >> n
    int32_t m_subMask = 0; // (1 << n) - 1
    int32_t m_xLimit = 0;  // largest x, in the fixed point
    int32_t m_width = -1;
    int32_t m_clearLimit = 0;
    int32_t m_lowGroup = 0;
    int32_t m_highGroup = 0;
    uint8_t* m_bytes = nullptr;
    int32_t m_size = 0;
};

inline bool oxCoverageRow::Touch(int32_t& x0, int32_t& x1, int32_t& p0, int32_t& p1) {
    if (m_size == 0) return false;
    x0 = std::max(x0, 0);
    x1 = std::min(x1, m_xLimit);
    if (x1 <= x0) return false;
    const int32_t last = m_size - 1;
    p0 = std::min(x0 >> m_fractionBits, last);
    p1 = std::min(x1 >> m_fractionBits, last);
    m_lowGroup = std::min(m_lowGroup, p0 >> 2);
    m_highGroup = std::max(m_highGroup, p1 >> 2);
    return true;
}

inline void oxCoverageRow::AddSpanEnds(int32_t subline, int32_t x0, int32_t p0, int32_t p1, int32_t x1) {
    int32_t a, b;
    if (!Touch(x0, x1, a, b)) return;
    const uint32_t full = ((subline + 1) & m_subMask) ? m_full : m_full - 1;
    const int32_t byteShift = m_fractionBits - 8;
    uint8_t* const bytes = m_bytes;
    if (a < p0) {
        const uint32_t f0 = static_cast<uint32_t>(x0 >> byteShift) & 0xFF;
        bytes[a] = static_cast<uint8_t>(bytes[a] + (f0 == 0 ? full : (255 - f0) >> m_n));
        for (int32_t x = a + 1; x < p0; ++x)
            bytes[x] = static_cast<uint8_t>(bytes[x] + full);
    }
    if (b >= p1 && x1 > (p1 << m_fractionBits)) {
        for (int32_t x = p1; x < b; ++x)
            bytes[x] = static_cast<uint8_t>(bytes[x] + full);
        bytes[b] = static_cast<uint8_t>(bytes[b] + ((static_cast<uint32_t>(x1 >> byteShift) & 0xFF) >> m_n));
    }
}

inline void oxCoverageRow::AddSpan(int32_t subline, int32_t x0, int32_t x1) {
    int32_t p0, p1;
    if (!Touch(x0, x1, p0, p1)) return;

    const uint32_t full = ((subline + 1) & m_subMask) ? m_full : m_full - 1;
    const int32_t byteShift = m_fractionBits - 8;
    const uint32_t f0 = static_cast<uint32_t>(x0 >> byteShift) & 0xFF;
    const uint32_t f1 = static_cast<uint32_t>(x1 >> byteShift) & 0xFF;
    uint8_t* b = m_bytes;

    if (p0 == p1) {
        b[p0] = static_cast<uint8_t>(b[p0] + (((f1 * (255 - f0)) / 256) >> m_n));
        return;
    }
    // Differs from the plain (255 - fraction) >> n left part: a left end on a whole pixel counts the
    // full value, or a fully covered pixel there sums to 252 and is blended instead of written.
    const uint32_t left = f0 == 0 ? full : (255 - f0) >> m_n;
    b[p0] = static_cast<uint8_t>(b[p0] + left);
    const int32_t i = p0 + 1;
    if (i < p1) {
        // Sixteen bytes an add: no byte passes 255, so lanes never carry into each other. Only whole
        // aligned blocks are read and written, so that every sub-scanline reads back whole blocks the
        // one before it stored; the lanes outside [i, p1) of the end blocks add zero.
        typedef uint8_t Bytes16 __attribute__((vector_size(16), may_alias));
        alignas(16) static constexpr uint8_t kFrom[32] = {
            0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        Bytes16 add;
        std::memset(&add, static_cast<int>(full), sizeof add);
        int32_t block = i & ~15;
        const int32_t lastBlock = (p1 - 1) & ~15;
        Bytes16 lanes, w;
        std::memcpy(&lanes, kFrom + 16 - (i & 15), 16); // lanes >= i
        if (block == lastBlock) {
            Bytes16 before;
            std::memcpy(&before, kFrom + 16 - (p1 - block), 16); // lanes >= p1
            std::memcpy(&w, b + block, 16);
            w += add & lanes & ~before;
            std::memcpy(b + block, &w, 16);
            b[p1] = static_cast<uint8_t>(b[p1] + (f1 >> m_n));
            return;
        }
        std::memcpy(&w, b + block, 16);
        w += add & lanes;
        std::memcpy(b + block, &w, 16);
        for (block += 16; block < lastBlock; block += 16) {
            std::memcpy(&w, b + block, 16);
            w += add;
            std::memcpy(b + block, &w, 16);
        }
        Bytes16 before;
        std::memcpy(&before, kFrom + 16 - (p1 - block), 16);
        std::memcpy(&w, b + block, 16);
        w += add & ~before;
        std::memcpy(b + block, &w, 16);
    }
    b[p1] = static_cast<uint8_t>(b[p1] + (f1 >> m_n));
}
