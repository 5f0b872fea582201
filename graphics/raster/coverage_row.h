#pragma once
// One pixel row of anti-aliasing coverage, accumulated sub-scanline by sub-scanline by the polygon
// filler. Coverage is one byte per pixel (255 = fully covered); the 2^n sub-scanlines of a fully
// covered pixel add up to exactly 255, so whole groups of four bytes can be added as one word
// without carries crossing bytes.
#include <cstdint>

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
    void AddSpan(int32_t subline, int32_t x0, int32_t x1);
    // Zeroes the touched groups and resets the touched range.
    void Clear();

    const uint8_t* Bytes() const { return m_bytes; }
    uint8_t* Bytes() { return m_bytes; }
    int32_t Width() const { return m_width; }
    bool Touched() const { return m_highGroup >= m_lowGroup && m_lowGroup < m_width; }
    int32_t LowGroup() const { return m_lowGroup; }   // lowest touched 4-pixel group
    int32_t HighGroup() const { return m_highGroup; } // highest touched 4-pixel group

private:
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
