// The per-pixel ends of the rasteriser's lines: 2-D anti-aliased writers, depth-tested writers and
// shaded or textured writers, each for rows (y-major) and columns (x-major) on 32 and 16 bits per
// pixel. Anti-aliased coverage of a row comes from two samples of each line edge at the row's
// quarter points, so a row costs a handful of integer adds and two or three table lookups.
#include <algorithm>

#include "graphics/pixels/pixel_format.h"
#include "graphics/raster/rasterizer.h"
#include "graphics/raster/rasterizer_internal.h"

namespace {

int32_t Next(int32_t v) {
    return static_cast<int32_t>((static_cast<uint32_t>(v) + 0x10000u) & ~0xFFFFu);
}
int32_t Floor(int32_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(v) & ~0xFFFFu);
}

// Coverage (0..256) of the pixels that one row of an anti-aliased line touches.
struct RowCoverage {
    int32_t left, right, mid;
    int32_t cl, cr, cm; // cm < 0: no middle pixel
};

RowCoverage CoverRow(int32_t d, int32_t h, int32_t a) {
    const int32_t w = d - h - (a >> 2);
    const int32_t A = w - (a >> 1);
    const int32_t R = d + h - (a >> 2);
    const int32_t Q = R - (a >> 1);
    const int32_t B = (Next(A) - A) >> 9;
    const int32_t E = (Next(w) - w) >> 9;
    const int32_t D = (R - Floor(R)) >> 9;
    const int32_t G = (Q - Floor(Q)) >> 9;
    RowCoverage c;
    c.cm = -1;
    if (a <= 1) {
        c.left = w >> 16;
        c.right = Q >> 16;
        if (c.right == c.left + 1) {
            c.cl = B + E;
            c.cr = D + G;
        } else {
            c.cl = E;
            c.cr = G;
            c.mid = (c.left + c.right) >> 1;
            c.cm = std::min(256, (R - A) >> 8);
        }
    } else {
        c.left = A >> 16;
        c.right = R >> 16;
        if (c.right == c.left + 1) {
            c.cl = B + E;
            c.cr = D + G;
        } else {
            c.cl = B;
            c.cr = D;
            c.mid = (c.left + c.right) >> 1;
            c.cm = std::min(256, (Q - w) >> 8);
        }
    }
    return c;
}

// The first row counts only the part after the start, the last only the part before the end.
void ScaleEnds(RowCoverage& c, int32_t i, int32_t firstRow, int32_t lastRow, int32_t start, int32_t end) {
    if (i == firstRow) {
        const int32_t f = (Next(start) - start) >> 8;
        c.cl = (c.cl * f) >> 8;
        c.cr = (c.cr * f) >> 8;
        if (c.cm > 0) c.cm = (c.cm * f) >> 8;
    }
    if (i == lastRow) {
        const int32_t f = (end & 0xFFFF) >> 8;
        c.cl = (c.cl * f) >> 8;
        c.cr = (c.cr * f) >> 8;
        if (c.cm > 0) c.cm = (c.cm * f) >> 8;
    }
}

} // namespace

template <bool Rows, int Bpp> int oxRasterizer::FillLine(int32_t slope, int32_t start, int32_t end) {
    RECT b;
    if (!TargetBounds(b)) return 0;
    const int32_t clipStart = Rows ? b.top : b.left, clipEnd = Rows ? b.bottom : b.right;
    const int32_t minorLo = Rows ? b.left : b.top, minorHi = Rows ? b.right : b.bottom;
    const int32_t firstRow = start >> 16;
    const int32_t endRow = static_cast<int32_t>((static_cast<int64_t>(end) + 0x10000) >> 16);
    const int32_t i0 = std::max(firstRow, clipStart), i1 = std::min(clipEnd, endRow);
    if (i0 >= i1) return 0;
    const uint32_t color = m_color;
    const uint16_t color16 = Color16(color);
    const oxPixelBuffer& t = *m_target;
    auto plot = [&](int32_t minor, int32_t i, int32_t w32, int32_t w16, bool blend) {
        if (minor < minorLo || minor >= minorHi) return;
        const int32_t x = Rows ? minor : i, y = Rows ? i : minor;
        if (m_plot) {
            m_plot(x, y, w32, m_plotUser);
        } else if constexpr (Bpp == 32) {
            uint32_t& p = t.GetRow32(y)[x];
            p = blend ? RasterBlend32(color, p, w32) : color;
        } else {
            uint16_t& p = t.GetRow16(y)[x];
            p = blend ? RasterBlend16(color16, p, w16) : color16;
        }
    };
    int64_t d = static_cast<int64_t>(m_minorStart) + static_cast<int64_t>(slope) * (i0 - firstRow);
    for (int32_t i = i0; i < i1; ++i, d += slope) {
        if ((m_gapMask >> (i & 31)) & 1) continue;
        if (!m_antialias) {
            const int32_t minor = static_cast<int32_t>(d >> 16);
            if (m_alpha == 255)
                plot(minor, i, m_coverage[255], 0, false);
            else
                plot(minor, i, m_coverage[m_alpha], m_coverage5[m_alpha >> 3], true);
            continue;
        }
        RowCoverage c = CoverRow(static_cast<int32_t>(d), m_halfExtent, slope);
        ScaleEnds(c, i, firstRow, endRow - 1, start, end);
        plot(c.left, i, m_coverage[c.cl], m_coverage5[c.cl >> 3], true);
        plot(c.right, i, m_coverage[c.cr], m_coverage5[c.cr >> 3], true);
        if (c.cm > 0) plot(c.mid, i, m_coverage[c.cm], m_coverage5[c.cm >> 3], true);
    }
    return 1;
}

template <bool Rows, int Bpp>
int oxRasterizer::FillDepth(int32_t slope, int32_t start, int32_t end, int32_t minor, int32_t depth,
                            int32_t depthStep) {
    if (!m_target || !m_depthBuffer || end < start) return 0;
    const oxPixelBuffer& t = *m_target;
    const int32_t bias = Bpp == 32 ? 600 : 0;
    const uint32_t color = m_color;
    const uint16_t color16 = Color16(color);
    int32_t* const db = m_depthBuffer;
    const int32_t majorLimit = Rows ? t.height : t.width, minorLimit = Rows ? t.width : t.height;
    // Tests one pixel against its depth and writes it with weight w (out of 256, or 32 on 16 bpp).
    auto put = [&](int32_t m, int32_t i, int32_t dv, int32_t w, bool blend) {
        if (m < 0 || m >= minorLimit || i < 0 || i >= majorLimit) return;
        const int32_t x = Rows ? m : i, y = Rows ? i : m;
        int32_t& stored = db[y * t.width + x];
        if (dv < stored) return;
        if constexpr (Bpp == 32) {
            uint32_t& p = t.GetRow32(y)[x];
            p = blend ? RasterBlend32(color, p, w) : color;
        } else {
            uint16_t& p = t.GetRow16(y)[x];
            p = blend ? RasterBlend16(color16, p, w) : color16;
        }
        if (m_depthWrite) stored = dv;
    };
    int32_t row = start >> 16;
    if (!m_antialias) {
        const int32_t steps = ((end - start) >> 16) + 1;
        for (int32_t k = 0; k < steps; ++k, ++row, minor += slope, depth += depthStep)
            put(minor >> 16, row, depth + bias, 0, false);
        return 1;
    }
    const int32_t shift = Bpp == 32 ? 20 : 23;
    const uint8_t* const table = Bpp == 32 ? m_coverage : m_coverage5;
    const int32_t lastRow = end >> 16;
    auto partial = [&](int32_t c) {
        const int32_t f = minor & 0xFFFF, x = minor >> 16;
        put(x, row, depth + bias, table[(((0x10000 - f) >> 2) * (c >> 2)) >> shift], true);
        put(x + 1, row, depth + bias, table[((c >> 2) * (f >> 2)) >> shift], true);
        ++row;
        minor += slope;
        depth += depthStep;
    };
    partial(std::min(Next(start), end) - start);
    for (int32_t r = lastRow - row; r >= 1; --r) {
        if ((static_cast<uint32_t>(r) & m_gapMask) == 0) {
            const int32_t f = minor & 0xFFFF, x = minor >> 16;
            const int32_t wl = Bpp == 32 ? m_coverage[255 - (f >> 8)] : m_coverage5[31 - ((f >> 11) & 31)];
            const int32_t wr = Bpp == 32 ? m_coverage[f >> 8] : m_coverage5[(f >> 11) & 31];
            put(x, row, depth + bias, wl, true);
            put(x + 1, row, depth + bias, wr, true);
        }
        ++row;
        minor += slope;
        depth += depthStep;
    }
    if (row == lastRow) partial(end & 0xFFFF);
    return 1;
}

template <bool Rows, int Bpp> int oxRasterizer::FillShaded(int32_t slope, int32_t start, int32_t end, int32_t minor) {
    RECT b;
    if (!TargetBounds(b)) return 0;
    const int32_t clipStart = Rows ? b.top : b.left, clipEnd = Rows ? b.bottom : b.right;
    const int32_t minorLo = Rows ? b.left : b.top, minorHi = Rows ? b.right : b.bottom;
    const int32_t firstRow = start >> 16;
    const int32_t endRow = static_cast<int32_t>((static_cast<int64_t>(end) + 0x10000) >> 16);
    const int32_t i0 = std::max(firstRow, clipStart), i1 = std::min(clipEnd, endRow);
    if (i0 >= i1) return 0;
    const oxPixelBuffer& t = *m_target;
    const oxPixelBuffer* tex = m_texture && m_texture->HasPixels() && m_texture->bpp == 32 ? m_texture : nullptr;
    const int32_t bias = Bpp == 32 ? 600 : 0;
    const int64_t skipped = i0 - firstRow;
    int64_t v[3];
    for (int k = 0; k < 3; ++k)
        v[k] = m_shade[k] + static_cast<int64_t>(m_shadeStep[k]) * skipped;
    int64_t depth = m_depthStart + static_cast<int64_t>(m_depthStep) * skipped;
    int64_t pos = static_cast<int64_t>(minor) + static_cast<int64_t>(slope) * skipped;
    // The anti-aliased coverage takes the minor position where the line leaves the row.
    int64_t d = pos + ((static_cast<int64_t>(slope) * (Next(start) - start)) >> 16);

    auto colorOf = [&](bool useTexture) -> uint32_t {
        if (useTexture) {
            const int32_t tu = std::min<int32_t>((static_cast<int32_t>(v[0]) >> 17) & m_wrapU, tex->width - 1);
            const int32_t tv = std::min<int32_t>((static_cast<int32_t>(v[1]) >> 17) & m_wrapV, tex->height - 1);
            return tex->GetRow32(tv)[tu] & 0x00FFFFFFu;
        }
        uint32_t c = 0;
        for (int k = 0; k < 3; ++k)
            c = (c << 8) | static_cast<uint32_t>(std::clamp<int64_t>(v[k], 0, 0x1FFFFFF) >> 17);
        return c;
    };
    auto depthPasses = [&](int32_t x, int32_t y, int32_t dv) {
        return !m_depthBuffer || dv >= m_depthBuffer[y * t.width + x];
    };

    for (int32_t i = i0; i < i1; ++i) {
        const int32_t dv = static_cast<int32_t>(depth) + bias;
        if (!((m_gapMask >> (i & 31)) & 1)) {
            if (m_antialias) {
                const uint32_t color = colorOf(tex != nullptr);
                RowCoverage c = CoverRow(static_cast<int32_t>(d), m_halfExtent, slope);
                ScaleEnds(c, i, firstRow, endRow - 1, start, end);
                auto plot = [&](int32_t m, int32_t cov) {
                    if (m < minorLo || m >= minorHi) return;
                    const int32_t x = Rows ? m : i, y = Rows ? i : m;
                    if (!depthPasses(x, y, dv)) return;
                    if (m_plot) {
                        m_plot(x, y, m_coverage[cov], m_plotUser);
                    } else if constexpr (Bpp == 32) {
                        uint32_t& p = t.GetRow32(y)[x];
                        p = RasterBlend32(color, p, m_coverage[cov]);
                    } else {
                        uint16_t& p = t.GetRow16(y)[x];
                        p = RasterBlend16(Color16(color), p, m_coverage5[cov >> 3]);
                    }
                };
                plot(c.left, c.cl);
                plot(c.right, c.cr);
                if (c.cm > 0) plot(c.mid, c.cm);
            } else {
                const int32_t m = static_cast<int32_t>(pos >> 16);
                const int32_t x = Rows ? m : i, y = Rows ? i : m;
                if (m >= minorLo && m < minorHi && depthPasses(x, y, dv)) {
                    if (m_plot) {
                        m_plot(x, y, m_coverage[255], m_plotUser);
                    } else {
                        if constexpr (Bpp == 32) {
                            t.GetRow32(y)[x] = colorOf(false);
                        } else {
                            uint32_t c5[3];
                            for (int k = 0; k < 3; ++k)
                                c5[k] = static_cast<uint32_t>(std::clamp<int64_t>(v[k], 0, 0x1FFFFFF) >> 20);
                            t.GetRow16(y)[x] = static_cast<uint16_t>((c5[0] << g_pixelFormat.redShift) |
                                                                     (c5[1] << g_pixelFormat.greenShift) | c5[2]);
                        }
                        if (m_depthWrite && m_depthBuffer) m_depthBuffer[y * t.width + x] = dv;
                    }
                }
            }
        }
        for (int k = 0; k < 3; ++k)
            v[k] += m_shadeStep[k];
        depth += m_depthStep;
        pos += slope;
        d += slope;
    }
    return 1;
}

int oxRasterizer::FillLineRows32(int32_t s, int32_t a, int32_t e) {
    return FillLine<true, 32>(s, a, e);
}
int oxRasterizer::FillLineColumns32(int32_t s, int32_t a, int32_t e) {
    return FillLine<false, 32>(s, a, e);
}
int oxRasterizer::FillLineRows16(int32_t s, int32_t a, int32_t e) {
    return FillLine<true, 16>(s, a, e);
}
int oxRasterizer::FillLineColumns16(int32_t s, int32_t a, int32_t e) {
    return FillLine<false, 16>(s, a, e);
}

int oxRasterizer::FillDepthRows32(int32_t s, int32_t a, int32_t e, int32_t m, int32_t d, int32_t ds) {
    return FillDepth<true, 32>(s, a, e, m, d, ds);
}
int oxRasterizer::FillDepthColumns32(int32_t s, int32_t a, int32_t e, int32_t m, int32_t d, int32_t ds) {
    return FillDepth<false, 32>(s, a, e, m, d, ds);
}
int oxRasterizer::FillDepthRows16(int32_t s, int32_t a, int32_t e, int32_t m, int32_t d, int32_t ds) {
    return FillDepth<true, 16>(s, a, e, m, d, ds);
}
int oxRasterizer::FillDepthColumns16(int32_t s, int32_t a, int32_t e, int32_t m, int32_t d, int32_t ds) {
    return FillDepth<false, 16>(s, a, e, m, d, ds);
}

int oxRasterizer::FillShadedRows32(int32_t s, int32_t a, int32_t e, int32_t m) {
    return FillShaded<true, 32>(s, a, e, m);
}
int oxRasterizer::FillShadedColumns32(int32_t s, int32_t a, int32_t e, int32_t m) {
    return FillShaded<false, 32>(s, a, e, m);
}
int oxRasterizer::FillShadedRows16(int32_t s, int32_t a, int32_t e, int32_t m) {
    return FillShaded<true, 16>(s, a, e, m);
}
int oxRasterizer::FillShadedColumns16(int32_t s, int32_t a, int32_t e, int32_t m) {
    return FillShaded<false, 16>(s, a, e, m);
}
