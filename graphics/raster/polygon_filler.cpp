#include "graphics/raster/polygon_filler.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "graphics/pixels/pixel_fill.h"
#include "graphics/pixels/pixel_format.h"
#include "graphics/pixels/raster_rect.h"
#include "graphics/raster/rasterizer_internal.h"

namespace {

// 32 / d for a height difference d in 1/32 sub-scanline units, d from -1024 to 1023.
float g_edgeReciprocal[2048];
bool g_tablesBuilt = false;

void BuildSharedTables() {
    if (g_tablesBuilt) return;
    for (int d = -1024; d < 1024; ++d)
        g_edgeReciprocal[d + 1024] = d == 0 ? 0.0f : static_cast<float>(32.0 / d);
    g_tablesBuilt = true;
}

// Edges whose coordinates go beyond this many pixels are cut to the clip first, so that the fixed
// point of the edge arrays cannot overflow.
constexpr double kSafeRange = 262144.0;

// floor(v + 0.5) within the 32-bit range, without a call to floor.
int32_t ToFixed(double v) {
    v += 0.5;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v < -2147483647.0) return INT32_MIN;
    const int64_t t = static_cast<int64_t>(v);
    return static_cast<int32_t>(static_cast<double>(t) > v ? t - 1 : t);
}

template <typename T> bool Grow(T*& array, int32_t count) {
    T* grown = static_cast<T*>(std::realloc(array, sizeof(T) * static_cast<size_t>(count)));
    if (!grown) return false;
    array = grown;
    return true;
}

// Channels times a / 256, two channels per multiply.
inline uint32_t Scale(uint32_t px, uint32_t a) {
    return (((px & 0x00FF00FFu) * a >> 8) & 0x00FF00FFu) | ((((px >> 8) & 0x00FF00FFu) * a) & 0xFF00FF00u);
}

// src over dst for premultiplied pixels.
inline uint32_t Over(uint32_t src, uint32_t dst) {
    return src + Scale(dst, 256 - (src >> 24));
}

inline bool FullGroup(const uint8_t* cov, int32_t g) {
    uint32_t w;
    std::memcpy(&w, cov + 4 * g, 4);
    return w == 0xFFFFFFFFu;
}

} // namespace

oxPolygonFiller::oxPolygonFiller() {
    BuildSharedTables();
    SetCoverageCurve(0.55f);
    m_rowScratch = static_cast<uint32_t*>(std::malloc(2048 * sizeof(uint32_t)));
    if (m_rowScratch) {
        std::memset(m_rowScratch, 0xFF, 2048 * sizeof(uint32_t));
        m_rowScratchSize = 2048;
    }
}

oxPolygonFiller::~oxPolygonFiller() {
    std::free(m_rowScratch);
    std::free(m_solid);
    std::free(m_rampDithered);
    std::free(m_source16);
    std::free(m_x);
    std::free(m_step);
    std::free(m_first);
    std::free(m_end);
    std::free(m_dir);
    std::free(m_next);
    std::free(m_active);
    std::free(m_buckets);
}

int32_t oxPolygonFiller::FloorToInt(double v) {
    return static_cast<int32_t>(std::floor(v));
}

int oxPolygonFiller::SetTarget(const oxPixelBuffer* target) {
    // Edges of an unfilled polygon refer to the old buckets.
    m_edgeCount = 0;
    if (!target || !target->HasPixels()) {
        m_target = oxPixelBuffer{};
        m_clip = RECT{0, 0, 0, 0};
        if (m_buckets) std::fill(m_buckets, m_buckets + m_bucketCount, -1);
        return 0;
    }
    m_target = *target;
    m_clip = RECT{0, 0, target->width, target->height};
    const int32_t buckets = (target->height + 1) << m_n;
    if (!Grow(m_buckets, buckets)) {
        m_bucketCount = 0;
        std::free(m_buckets);
        m_buckets = nullptr;
        m_target = oxPixelBuffer{};
        m_clip = RECT{0, 0, 0, 0};
        return 0;
    }
    m_bucketCount = buckets;
    std::fill(m_buckets, m_buckets + buckets, -1);
    if (!m_coverage.Setup(target->width, 12, m_n)) return 0;
    const int32_t scratch = 2 * target->width;
    if (scratch > m_rowScratchSize && Grow(m_rowScratch, scratch)) m_rowScratchSize = scratch;
    if (m_rowScratch) std::memset(m_rowScratch, 0xFF, sizeof(uint32_t) * static_cast<size_t>(m_rowScratchSize));
    return 1;
}

void oxPolygonFiller::SetClip(const RECT& clip) {
    if (m_target.HasPixels()) {
        const RECT bounds{0, 0, m_target.width, m_target.height};
        if (!IntersectRECT(&clip, &bounds, &m_clip)) m_clip = RECT{0, 0, 0, 0};
    } else {
        m_clip = clip;
    }
}

void oxPolygonFiller::SetQuality(int level) {
    m_n = level == 0 || level == 1 ? 0 : level == 2 ? 1 : level == 4 ? 2 : 3;
    if (m_target.HasPixels()) {
        const RECT clip = m_clip;
        const oxPixelBuffer target = m_target;
        SetTarget(&target);
        m_clip = clip;
    }
}

void oxPolygonFiller::SetCoverageCurve(float p) {
    if (p == m_curveParam) return;
    BuildCoverageCurve(p);
    m_curveParam = p;
    m_tableOpacity = -1;
}

void oxPolygonFiller::BuildCoverageCurve(float p) {
    const double c = 1.0 / p - 2.0;
    for (int i = 1; i < 255; ++i) {
        const double t = i / 255.0;
        const double v = std::floor(t / (c * (1.0 - t) + 1.0) * 255.0 + 0.5);
        m_curve[i] = static_cast<uint8_t>(std::isnan(v) ? 0 : std::clamp(v, 0.0, 255.0));
    }
    m_curve[0] = 0;
    m_curve[255] = 255;
    m_weightStale = true;
}

void oxPolygonFiller::RefreshTables() {
    if (m_opacity != m_tableOpacity) {
        for (int c = 0; c < 256; ++c) {
            const int32_t v = c * m_opacity;
            m_opacityTable[c] = static_cast<uint8_t>(v < 256 ? 0 : std::min(255, v >> 8));
        }
        m_tableOpacity = m_opacity;
        m_weightStale = true;
    }
    if (m_weightStale) {
        for (int c = 0; c < 256; ++c)
            m_weight[c] = m_opacityTable[m_curve[c]];
        m_weightStale = false;
        m_weightedStale = true;
    }
}

bool oxPolygonFiller::ReserveEdges(int32_t size) {
    if (size > m_edgeCapacity) {
        if (!Grow(m_x, size) || !Grow(m_step, size) || !Grow(m_first, size) || !Grow(m_end, size) ||
            !Grow(m_dir, size) || !Grow(m_next, size) || !Grow(m_active, size))
            return false;
        m_edgeCapacity = size;
    }
    m_edgeSize = size;
    return true;
}

int oxPolygonFiller::BeginPolygon(int32_t expectedEdges) {
    ClearBuckets(); // edges never filled must not leak into this polygon
    m_edgeCount = 0;
    m_firstEdge = 0;
    m_lastEdge = 0;
    m_minX = static_cast<float>(m_clip.right);
    m_maxX = static_cast<float>(m_clip.left);
    m_allLeft = m_allRight = m_allAbove = m_allBelow = true;
    m_broken = false;
    return ReserveEdges(std::max(expectedEdges, 0)) ? 1 : 0;
}

int oxPolygonFiller::AddEdge(float x0, float y0, float x1, float y1) {
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) {
        m_broken = true;
        return 0;
    }
    const float top = static_cast<float>(m_clip.top);
    const float bottom = static_cast<float>(m_clip.bottom);
    if ((y0 < top && y1 < top) || (y0 > bottom && y1 > bottom)) return 1;
    const float left = static_cast<float>(m_clip.left);
    const float right = static_cast<float>(m_clip.right);
    if (!(x0 < left && x1 < left)) m_allLeft = false;
    if (!(x0 > right && x1 > right)) m_allRight = false;
    if (!(y0 < top && y1 < top)) m_allAbove = false;
    if (!(y0 > bottom && y1 > bottom)) m_allBelow = false;
    m_minX = std::min({m_minX, x0, x1});
    m_maxX = std::max({m_maxX, x0, x1});
    const double lim = kSafeRange;
    if (std::fabs(x0) > lim || std::fabs(x1) > lim || std::fabs(y0) > lim || std::fabs(y1) > lim)
        return AddClampedEdge(x0, y0, x1, y1);
    return StoreEdge(x0, y0, x1, y1);
}

// Cuts an edge with far-away points to the part that can matter inside the clip: above and below
// the clip it is cut off, left and right of it the outside parts become vertical edges just
// outside the clip, which wind the same way.
int oxPolygonFiller::AddClampedEdge(double x0, double y0, double x1, double y1) {
    const double top = m_clip.top - 1.0;
    const double bottom = m_clip.bottom + 1.0;
    if (y0 == y1) return 0;
    // Interpolated from the nearer end: from the far end the product cancels to nothing when the
    // ends are many orders of magnitude apart.
    auto xAt = [&](double y) {
        if (std::fabs(y - y0) <= std::fabs(y - y1)) return x0 + (x1 - x0) * ((y - y0) / (y1 - y0));
        return x1 + (x0 - x1) * ((y - y1) / (y0 - y1));
    };
    const double ya = std::clamp(y0, std::min(top, bottom), bottom);
    const double yb = std::clamp(y1, std::min(top, bottom), bottom);
    double ax = ya == y0 ? x0 : xAt(ya), bx = yb == y1 ? x1 : xAt(yb);
    const double ay = ya, by = yb;
    if (ay == by) return 0;
    const double left = m_clip.left - 1.0;
    const double right = m_clip.right + 1.0;
    // Split points along the edge where it crosses the two vertical limits.
    double ts[4] = {0.0, 1.0, 1.0, 1.0};
    int count = 1;
    for (double lx : {left, right}) {
        if ((ax - lx) * (bx - lx) < 0) ts[count++] = (lx - ax) / (bx - ax);
    }
    if (count == 3 && ts[1] > ts[2]) std::swap(ts[1], ts[2]);
    ts[count] = 1.0;
    int result = 0;
    for (int k = 0; k < count; ++k) {
        const double t0 = ts[k], t1 = ts[k + 1];
        const double py0 = ay + (by - ay) * t0, py1 = ay + (by - ay) * t1;
        double px0 = ax + (bx - ax) * t0, px1 = ax + (bx - ax) * t1;
        const double mid = (px0 + px1) / 2;
        if (mid < left)
            px0 = px1 = left;
        else if (mid > right)
            px0 = px1 = right;
        else {
            px0 = std::clamp(px0, left, right);
            px1 = std::clamp(px1, left, right);
        }
        result = StoreEdge(px0, py0, px1, py1);
    }
    return result;
}

int oxPolygonFiller::StoreEdge(double x0, double y0, double x1, double y1) {
    if (m_edgeSize == 0 || !m_buckets) return 0;
    if (m_edgeCount + 1 >= m_edgeSize && !ReserveEdges(m_edgeSize * 2)) return 0;

    const int32_t fy0 = ToFixed(y0 * 32.0) * (1 << m_n);
    const int32_t fy1 = ToFixed(y1 * 32.0) * (1 << m_n);
    int32_t yTop = fy0, yBottom = fy1;
    double xTop = x0, xBottom = x1;
    uint8_t dir = 1;
    if (fy1 < fy0) {
        std::swap(yTop, yBottom);
        std::swap(xTop, xBottom);
        dir = 255;
    }
    const int32_t s0 = std::max(m_clip.top << m_n, (yTop + 16) >> 5);
    const int32_t s1 = std::min((yBottom + 16) >> 5, m_clip.bottom << m_n);
    if (s0 >= s1) return 0;

    const int32_t dy = yBottom - yTop;
    const double r = dy <= 1023 ? g_edgeReciprocal[dy + 1024] : 1.0 / (dy / 32.0);
    const double slope = (xBottom - xTop) * r;
    const int32_t e = m_edgeCount;
    m_step[e] = ToFixed(slope * 4096.0);
    m_x[e] = ToFixed((xTop + slope * ((s0 * 32.0 - yTop + 16.0) / 32.0)) * 4096.0);
    m_first[e] = s0;
    m_end[e] = s1;
    m_dir[e] = dir;
    if (e == 0 || s0 < m_first[m_firstEdge]) m_firstEdge = e;
    if (e == 0 || s1 > m_end[m_lastEdge]) m_lastEdge = e;
    m_next[e] = m_buckets[s0];
    m_buckets[s0] = e;
    m_edgeCount = e + 1;
    return 1;
}

void oxPolygonFiller::ClearBuckets() {
    if (m_edgeCount == 0 || !m_buckets) return;
    const int32_t from = std::max(m_first[m_firstEdge], 0);
    const int32_t to = std::min(m_end[m_lastEdge], m_bucketCount);
    for (int32_t i = from; i < to; ++i)
        m_buckets[i] = -1;
}

int oxPolygonFiller::Fill() {
    if (m_edgeCount >= 2) RefreshTables();
    const int32_t bpp = m_target.bpp;
    // A texture that is not 32-bit (an 8-bit one) draws nothing.
    const bool drawable = m_target.HasPixels() && (bpp == 8 || bpp == 16 || bpp == 32) && !m_broken &&
                          (!m_texture.HasPixels() || m_texture.bpp == 32);
    if (drawable && m_edgeCount >= 2 && (FillRectangle() || FillUprightBand())) {
        ClearBuckets();
    } else if (drawable && !m_allLeft && !m_allRight && !m_allAbove && !m_allBelow && m_edgeCount >= 2 &&
               m_opacity != 0) {
        ScanConvert();
    } else {
        ClearBuckets();
    }
    m_maxEdgeCount = std::max(m_maxEdgeCount, m_edgeCount);
    m_edgeCount = 0;
    m_broken = false;
    return 1;
}

// Two vertical edges on whole pixels spanning whole rows: the fill needs no coverage.
bool oxPolygonFiller::FillRectangle() {
    if ((m_target.bpp != 32 && m_target.bpp != 16) || m_edgeCount != 2 || m_step[0] != 0 || m_step[1] != 0 ||
        (m_x[0] & 0xFFF) > 15 || (m_x[1] & 0xFFF) > 15 || m_first[0] != m_first[1] || m_end[0] != m_end[1])
        return false;
    const int32_t mask = (1 << m_n) - 1;
    if ((m_first[0] & mask) || (m_end[0] & mask)) return false;
    const int32_t left = std::max(std::min(m_x[0], m_x[1]) >> 12, m_clip.left);
    const int32_t right = std::min(std::max(m_x[0], m_x[1]) >> 12, m_clip.right);
    const int32_t top = m_first[0] >> m_n;
    const int32_t bottom = m_end[0] >> m_n;
    if (m_target.bpp == 16) return !m_texture.HasPixels() && FillRectangle16(left, top, right, bottom);
    if (m_texture.HasPixels()) return FillTexturedRectangle(left, top, right, bottom);
    if (left >= right) return true;
    if (m_opacity < 255) {
        const uint32_t p = Scale(m_color | 0xFF000000u, m_opacityTable[255]);
        for (int32_t y = top; y < bottom; ++y) {
            uint32_t* row = m_target.GetRow32(y);
            for (int32_t x = left; x < right; ++x)
                row[x] = Over(p, row[x]);
        }
    } else {
        if (!SolidRow(0)) return false;
        for (int32_t y = top; y < bottom; ++y)
            FillPattern(reinterpret_cast<uint8_t*>(m_target.GetRow32(y) + left), 4 * static_cast<size_t>(right - left),
                        m_solidFill[0], 0);
    }
    return true;
}

// The solid colour over a rectangle of a 16-bit target, giving what scan conversion gives without
// working out the coverage: every pixel of a row's span is covered fully. Covered pixels outside
// whole groups of four blend with the dither's weight where that is not the colour itself, so a row
// reads those few, fills its span from the dithered pattern of its phase and blends them over what
// it read. False (nothing drawn) for a colour that is not opaque.
bool oxPolygonFiller::FillRectangle16(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (m_opacity < 255 || m_useSourceAlpha) return false;
    top = std::max(top, 0);
    bottom = std::min(bottom, m_target.height);
    if (left >= right || top >= bottom) return true;
    const uint16_t* solid[4];
    for (int32_t r = 0; r < 4; ++r) {
        solid[r] = reinterpret_cast<const uint16_t*>(SolidRow(r));
        if (!solid[r]) return false;
    }
    auto fullGroup = [&](int32_t x) {
        const int32_t g = x & ~3;
        return g >= left && g + 4 <= right;
    };
    constexpr int32_t kMaxBlends = 8; // the pixels of two groups
    // The covered pixels outside whole groups, then per phase the ones that blend.
    int32_t edge[kMaxBlends], edges = 0;
    for (int32_t x = left; x < right; ++x) {
        if (fullGroup(x)) {
            x = (right & ~3) - 1; // all groups up to there are full
            continue;
        }
        if (edges == kMaxBlends) return false;
        edge[edges++] = x;
    }
    int32_t blendX[4][kMaxBlends], blendK[4][kMaxBlends], blends[4] = {};
    const uint32_t m = g_pixelFormat.group;
    for (int32_t r = 0; r < 4; ++r) {
        const uint16_t* const row = solid[r];
        for (int32_t i = 0; i < edges; ++i) {
            const int32_t x = edge[i];
            const int32_t k = (m_weight[255] + kOrderedDither[r * 4 + (x & 3)] / 32) >> 3;
            if (k == 32 && RasterBlend16(row[x & 3], 0, 32, m) == row[x & 3]) continue;
            blendX[r][blends[r]] = x;
            blendK[r][blends[r]++] = k;
        }
    }
    for (int32_t y = top; y < bottom; ++y) {
        uint16_t* const out = m_target.GetRow16(y);
        const int32_t r = y & 3;
        const uint16_t* const src = solid[r];
        uint16_t below[kMaxBlends];
        for (int32_t i = 0; i < blends[r]; ++i)
            below[i] = out[blendX[r][i]];
        FillPattern(reinterpret_cast<uint8_t*>(out + left), 2 * static_cast<size_t>(right - left), m_solidFill[r],
                    2 * left);
        for (int32_t i = 0; i < blends[r]; ++i) {
            const int32_t x = blendX[r][i];
            out[x] = RasterBlend16(src[x & 3], below[i], blendK[r][i], m);
        }
    }
    return true;
}

void oxPolygonFiller::AddRowSpans(int32_t i, int32_t count) {
    const int32_t clipLeft = m_clip.left << 12;
    const int32_t clipRight = m_clip.right << 12;
    const int32_t* const active = m_active;
    if (m_nonZero) {
        uint32_t winding = 0;
        int32_t open = 0;
        for (int32_t k = 0; k < count; ++k) {
            const int32_t e = active[k];
            const uint32_t before = winding;
            winding = (winding + m_dir[e]) & 0xFF;
            if (before == 0) {
                open = m_x[e];
            } else if (winding == 0) {
                const int32_t x1 = m_x[e];
                m_coverage.AddSpan(i, std::clamp(std::min(open, x1), clipLeft, clipRight),
                                   std::clamp(x1, clipLeft, clipRight));
            }
        }
    } else {
        for (int32_t k = 0; k + 1 < count; k += 2) {
            const int32_t x0 = m_x[active[k]];
            const int32_t x1 = m_x[active[k + 1]];
            m_coverage.AddSpan(i, std::clamp(std::min(x0, x1), clipLeft, clipRight),
                               std::clamp(x1, clipLeft, clipRight));
        }
    }
}

// Two vertical edges spanning whole rows add the same spans on every row: the coverage of one row
// is computed once and written to all of them, which gives exactly what scan conversion gives.
bool oxPolygonFiller::FillUprightBand() {
    if (m_edgeCount != 2 || m_step[0] != 0 || m_step[1] != 0 || m_first[0] != m_first[1] || m_end[0] != m_end[1] ||
        m_allLeft || m_allRight || m_allAbove || m_allBelow || m_opacity == 0)
        return false;
    const int32_t mask = (1 << m_n) - 1;
    if ((m_first[0] & mask) || (m_end[0] & mask)) return false;
    m_active[0] = m_x[0] <= m_x[1] ? 0 : 1;
    m_active[1] = 1 - m_active[0];
    for (int32_t k = 0; k <= mask; ++k)
        AddRowSpans(m_first[0] + k, 2);
    FlushBand(m_first[0] >> m_n, m_end[0] >> m_n);
    return true;
}

// Writes the coverage of one row to rows [top, bottom) and clears it.
void oxPolygonFiller::FlushBand(int32_t top, int32_t bottom) {
    if (m_coverage.Touched()) {
        const uint8_t* const cov = m_coverage.Bytes();
        int32_t g = m_coverage.LowGroup();
        const int32_t g1 = m_coverage.HighGroup();
        while (g <= g1 && !FullGroup(cov, g))
            ++g;
        m_runFrom = g;
        while (g <= g1 && FullGroup(cov, g))
            ++g;
        m_runTo = g;
    }
    bool done = false;
    if (m_target.bpp == 16) done = m_texture.HasPixels() ? FillTexturedBand16(top, bottom) : FillBand16(top, bottom);
    if (m_target.bpp == 32 && !m_texture.HasPixels()) done = FillBand32(top, bottom);
    if (!done) {
        for (int32_t y = top; y < bottom; ++y)
            FlushRow(y, false);
    }
    m_runFrom = m_runTo = -1;
    m_coverage.Clear();
}

// The solid colour over a 32-bit band whose rows all have the same coverage: what FlushRow32 does
// to every row is worked out once as copies of the solid row and single blends, and each row replays
// them. False (nothing drawn) when the colour is not opaque or the row needs more steps than the
// list holds.
bool oxPolygonFiller::FillBand32(int32_t top, int32_t bottom) {
    struct Step {
        int32_t x;
        int32_t count; // 0: `value` over pixel x; else copy count solid pixels
        uint32_t value;
    };
    constexpr int32_t kMaxSteps = 24;
    if (m_opacity < 255 || m_useSourceAlpha) return false;
    top = std::max(top, 0);
    bottom = std::min(bottom, m_target.height);
    if (top >= bottom || !m_coverage.Touched()) return true;
    if (!SolidRow(0)) return false;
    const uint32_t* const weighted = WeightedColors();
    const uint8_t* const cov = m_coverage.Bytes();
    const int32_t g0 = m_coverage.LowGroup(), g1 = m_coverage.HighGroup();
    Step steps[kMaxSteps];
    int32_t n = 0;
    for (int32_t g = g0; g <= g1; ++g) {
        const int32_t x = g * 4;
        uint32_t word;
        std::memcpy(&word, cov + x, 4);
        if (word == 0) continue;
        if (word == 0xFFFFFFFFu) {
            int32_t end = g == m_runFrom ? m_runTo : g + 1;
            while (end <= g1 && FullGroup(cov, end))
                ++end;
            if (n == kMaxSteps) return false;
            steps[n++] = Step{x, 4 * (end - g), 0};
            g = end - 1;
            continue;
        }
        for (int32_t k = 0; k < 4; ++k) {
            const uint8_t c = cov[x + k];
            if (!c) continue;
            if (n == kMaxSteps) return false;
            steps[n++] = Step{x + k, 0, weighted[c]};
        }
    }
    for (int32_t y = top; y < bottom; ++y) {
        uint32_t* const row = m_target.GetRow32(y);
        for (int32_t i = 0; i < n; ++i) {
            const Step& st = steps[i];
            if (st.count > 0)
                FillPattern(reinterpret_cast<uint8_t*>(row + st.x), 4 * static_cast<size_t>(st.count), m_solidFill[0],
                            0);
            else
                row[st.x] = Over(st.value, row[st.x]);
        }
    }
    return true;
}

// The solid colour over a 16-bit band whose rows all have the same coverage. What FlushRow16 does
// to a row depends only on the row's dither phase, so the four phases are worked out once as lists
// of copies from the solid rows and single blends, and each row replays its list. False (nothing
// drawn) when a phase needs more steps than the lists hold.
bool oxPolygonFiller::FillBand16(int32_t top, int32_t bottom) {
    struct Step {
        int32_t x;
        int32_t count; // 0: blend `value` into pixel x with weight k; else copy count solid pixels
        uint16_t value;
        int32_t k;
    };
    constexpr int32_t kMaxSteps = 24;
    top = std::max(top, 0);
    bottom = std::min(bottom, m_target.height);
    if (top >= bottom || !m_coverage.Touched()) return true;
    const uint16_t* solid[4];
    for (int32_t r = 0; r < 4; ++r) {
        solid[r] = reinterpret_cast<const uint16_t*>(SolidRow(r));
        if (!solid[r]) return false;
    }
    const uint8_t* const cov = m_coverage.Bytes();
    const bool opaque = m_opacity >= 255 && !m_useSourceAlpha;
    const uint32_t m = g_pixelFormat.group;
    const int32_t g0 = m_coverage.LowGroup(), g1 = m_coverage.HighGroup();
    Step steps[4][kMaxSteps];
    int32_t counts[4] = {};
    int32_t blends[4] = {};  // blended steps of a phase, -1 when its steps leave gaps
    int32_t span[4][2] = {}; // the pixels a phase without gaps covers
    for (int32_t r = 0; r < 4; ++r) {
        Step* const list = steps[r];
        int32_t n = 0;
        auto copy = [&](int32_t x, int32_t count) {
            if (n > 0 && list[n - 1].count > 0 && list[n - 1].x + list[n - 1].count == x) {
                list[n - 1].count += count;
                return true;
            }
            if (n == kMaxSteps) return false;
            list[n++] = Step{x, count, 0, 0};
            return true;
        };
        const uint8_t* const dither = kOrderedDither + r * 4;
        for (int32_t g = g0; g <= g1; ++g) {
            const int32_t x = g * 4;
            uint32_t word;
            std::memcpy(&word, cov + x, 4);
            if (word == 0) continue;
            if (word == 0xFFFFFFFFu && opaque) {
                int32_t end = g == m_runFrom ? m_runTo : g + 1;
                while (end <= g1 && FullGroup(cov, end))
                    ++end;
                if (!copy(x, 4 * (end - g))) return false;
                g = end - 1;
                continue;
            }
            for (int32_t k = 0; k < 4; ++k) {
                const uint8_t c = cov[x + k];
                if (!c) continue;
                const int32_t kw = (m_weight[c] + dither[k] / 32) >> 3;
                const uint16_t src = solid[r][k];
                // A whole weight takes the source whatever the target holds.
                if (kw == 32 && RasterBlend16(src, 0, 32, m) == src) {
                    if (!copy(x + k, 1)) return false;
                } else {
                    if (n == kMaxSteps) return false;
                    list[n++] = Step{x + k, 0, src, kw};
                }
            }
        }
        counts[r] = n;
        // Steps that leave no pixel out between them become one copy over all of them, with the
        // few blended pixels read before and written after it.
        blends[r] = 0;
        for (int32_t i = 0; i < n; ++i) {
            if (list[i].count == 0) blends[r] += 1;
            if (i > 0 && list[i].x != list[i - 1].x + std::max(list[i - 1].count, 1)) blends[r] = -1;
            if (blends[r] < 0) break;
        }
        if (n > 0 && blends[r] >= 0) {
            // The copy covers the copied steps and the blended ones between them; blended steps
            // before and after it are read after the copy, when their cache lines are at hand.
            int32_t a = 0, b = n;
            while (a < n && list[a].count == 0)
                ++a;
            while (b > a && list[b - 1].count == 0)
                --b;
            span[r][0] = a < b ? list[a].x : 0;
            span[r][1] = a < b ? list[b - 1].x + list[b - 1].count : 0;
        }
    }
    // Per phase without gaps: the blended pixels alone, so a row reads them, fills its span and
    // blends them over what it read.
    int32_t blendX[4][kMaxSteps];
    uint16_t blendValue[4][kMaxSteps];
    int32_t blendK[4][kMaxSteps];
    for (int32_t r = 0; r < 4; ++r) {
        int32_t b = 0;
        for (int32_t i = 0; i < counts[r] && blends[r] > 0; ++i) {
            if (steps[r][i].count) continue;
            blendX[r][b] = steps[r][i].x;
            blendValue[r][b] = steps[r][i].value;
            blendK[r][b] = steps[r][i].k;
            ++b;
        }
    }
    // Rows go in groups whose blended pixels are all read first: the reads then wait on memory
    // together rather than one row after another.
    constexpr int32_t kGroup = 8;
    uint16_t below[kGroup][kMaxSteps];
    for (int32_t y = top; y < bottom; ++y) {
        if ((y - top) % kGroup == 0) {
            for (int32_t z = y; z < std::min(bottom, y + kGroup); ++z) {
                const uint16_t* const row = m_target.GetRow16(z);
                for (int32_t i = 0, r = z & 3; i < blends[r]; ++i)
                    below[z - y][i] = row[blendX[r][i]];
            }
        }
        uint16_t* const row = m_target.GetRow16(y);
        const int32_t r = y & 3;
        const oxFillPattern& fill = m_solidFill[r];
        const int32_t n = counts[r];
        if (n == 0) continue;
        if (blends[r] >= 0) {
            const uint16_t* const read = below[(y - top) % kGroup];
            const int32_t x0 = span[r][0], x1 = span[r][1];
            if (x1 > x0)
                FillPattern(reinterpret_cast<uint8_t*>(row + x0), 2 * static_cast<size_t>(x1 - x0), fill, 2 * x0);
            for (int32_t i = 0; i < blends[r]; ++i)
                row[blendX[r][i]] = RasterBlend16(blendValue[r][i], read[i], blendK[r][i], m);
        } else {
            const Step* const list = steps[r];
            for (int32_t i = 0; i < n; ++i) {
                const Step& st = list[i];
                if (st.count > 0)
                    FillPattern(reinterpret_cast<uint8_t*>(row + st.x), 2 * static_cast<size_t>(st.count), fill,
                                2 * st.x);
                else
                    row[st.x] = RasterBlend16(st.value, row[st.x], st.k, m);
            }
        }
    }
    return true;
}

// A row of the solid colour as the target's pixels; for 16 bits the row of dither row y & 3.
const uint8_t* oxPolygonFiller::SolidRow(int32_t y) {
    const int32_t bpp = m_target.bpp;
    const int32_t width = ((m_target.width + 3) & ~3) + 8; // at least the 16 bytes a fill pattern takes
    const uint64_t key = (static_cast<uint64_t>(m_color) << 32) ^ (static_cast<uint64_t>(bpp) << 24) ^
                         (bpp == 16 ? (g_pixelFormat.group ^ (static_cast<uint64_t>(g_pixelFormat.redShift) << 16) ^
                                       (static_cast<uint64_t>(g_pixelFormat.greenShift) << 20))
                                    : 0);
    const int32_t size = bpp == 16 ? 4 * width * 2 : width * 4;
    if (!m_solidValid || key != m_solidKey || size > m_solidSize) {
        if (size > m_solidSize) {
            if (!Grow(m_solid, size)) return nullptr;
            m_solidSize = size;
        }
        if (bpp == 16) {
            for (int32_t r = 0; r < 4; ++r) {
                uint16_t* row = reinterpret_cast<uint16_t*>(m_solid) + r * width;
                for (int32_t x = 0; x < width; ++x)
                    row[x] = x < 4 ? DitherTo16(m_color, x, r) : row[x - 4];
                m_solidFill[r].Set(reinterpret_cast<const uint8_t*>(row));
            }
        } else {
            uint32_t* row = reinterpret_cast<uint32_t*>(m_solid);
            std::fill(row, row + width, m_color | 0xFF000000u);
            m_solidFill[0].Set(m_solid);
        }
        m_solidKey = key;
        m_solidValid = true;
    }
    return bpp == 16 ? m_solid + static_cast<size_t>(y & 3) * width * 2 : m_solid;
}

void oxPolygonFiller::ScanConvert() {
    const int32_t mask = (1 << m_n) - 1;
    const int32_t last = m_end[m_lastEdge];
    int32_t* const active = m_active;
    int32_t count = 0;
    bool pending = false;
    int32_t pendingRow = 0;

    int32_t i = m_first[m_firstEdge];
    while (i < last) {
        for (int32_t e = m_buckets[i]; e >= 0; e = m_next[e]) {
            if (count >= m_edgeCapacity) {
                // A corrupt list: give up on the polygon but leave the buckets clean.
                for (int32_t k = i; k < last; ++k)
                    m_buckets[k] = -1;
                m_coverage.Clear();
                return;
            }
            active[count++] = e;
        }
        m_buckets[i] = -1;

        int32_t kept = 0;
        int32_t nearestEnd = last;
        for (int32_t k = 0; k < count; ++k) {
            const int32_t e = active[k];
            if (m_end[e] > i) {
                active[kept++] = e;
                nearestEnd = std::min(nearestEnd, m_end[e]);
            }
        }
        count = kept;

        if (count < 2) {
            int32_t next = nearestEnd;
            for (int32_t k = i + 1; k < next; ++k) {
                if (m_buckets[k] >= 0) {
                    next = k;
                    break;
                }
            }
            // A row is flushed only when the jump leaves it: flushed early, its later sub-scanlines
            // would be written over it once more (an 8-bit mask would lose the first part).
            if (pending && (next >> m_n) != pendingRow) {
                FlushRow(pendingRow);
                pending = false;
            }
            const uint32_t skipped = static_cast<uint32_t>(next - i);
            for (int32_t k = 0; k < count; ++k) {
                const int32_t e = active[k];
                m_x[e] =
                    static_cast<int32_t>(static_cast<uint32_t>(m_x[e]) + static_cast<uint32_t>(m_step[e]) * skipped);
            }
            i = next;
            continue;
        }

        // The order changes little between sub-scanlines, so insertion sort is nearly linear.
        for (int32_t k = 1; k < count; ++k) {
            const int32_t e = active[k];
            const int32_t x = m_x[e];
            int32_t j = k - 1;
            while (j >= 0 && m_x[active[j]] > x) {
                active[j + 1] = active[j];
                --j;
            }
            active[j + 1] = e;
        }

        if ((i & mask) == 0) {
            // Whole rows where only vertical edges are active and none starts or ends (the straight
            // sides of a rounded rectangle) all get the same coverage: it is computed once.
            const int32_t rows = UprightRows(i, count, nearestEnd);
            if (rows >= 2) {
                for (int32_t k = 0; k <= mask; ++k)
                    AddRowSpans(i + k, count);
                FlushBand(i >> m_n, (i >> m_n) + rows);
                i += rows << m_n;
                continue;
            }
        }

        if ((i & mask) == 0 && count == 2 && nearestEnd > i + mask && TwoEdgeRow(i)) {
            i += mask + 1;
            continue;
        }

        AddRowSpans(i, count);
        for (int32_t k = 0; k < count; ++k) {
            const int32_t e = active[k];
            m_x[e] = static_cast<int32_t>(static_cast<uint32_t>(m_x[e]) + static_cast<uint32_t>(m_step[e]));
        }

        if (((i + 1) & mask) == 0) {
            FlushRow(((i + 1) >> m_n) - 1);
            pending = false;
        } else {
            pending = true;
            pendingRow = i >> m_n;
        }
        ++i;
    }
    if (pending) FlushRow(pendingRow);
}

// A whole row from sub-scanline i (its first) where the same two edges are active on every
// sub-scanline: the pixels inside all of its spans are added once, fully covered, and only the ends
// of each sub-scanline's span are added one by one. The bytes are those of adding every span whole:
// a span split on a pixel boundary adds the same, and the sub-scanlines' full values sum to 255.
// False (nothing done) when an edge starts within the row; otherwise the row is flushed.
bool oxPolygonFiller::TwoEdgeRow(int32_t i) {
    const int32_t mask = (1 << m_n) - 1;
    for (int32_t k = i + 1; k <= i + mask; ++k)
        if (m_buckets[k] >= 0) return false;
    const int32_t clipLeft = m_clip.left << 12;
    const int32_t clipRight = m_clip.right << 12;
    int32_t* const active = m_active;
    int32_t lo[8], hi[8];
    int32_t inLeft = INT32_MIN, inRight = INT32_MAX;
    for (int32_t k = 0; k <= mask; ++k) {
        // The insertion sort of the scan conversion, for two.
        if (m_x[active[1]] < m_x[active[0]]) std::swap(active[0], active[1]);
        const int32_t a = active[0], b = active[1];
        const bool span = !m_nonZero || ((m_dir[a] + m_dir[b]) & 0xFF) == 0;
        lo[k] = span ? std::clamp(std::min(m_x[a], m_x[b]), clipLeft, clipRight) : 0;
        hi[k] = span ? std::clamp(m_x[b], clipLeft, clipRight) : 0;
        inLeft = std::max(inLeft, lo[k]);
        inRight = std::min(inRight, hi[k]);
        for (const int32_t e : {a, b})
            m_x[e] = static_cast<int32_t>(static_cast<uint32_t>(m_x[e]) + static_cast<uint32_t>(m_step[e]));
    }
    // Whole pixels [p0, p1) inside every span; too few are not worth the split.
    const int32_t p0 = static_cast<int32_t>((static_cast<int64_t>(inLeft) + 4095) >> 12);
    const int32_t p1 = inRight >> 12;
    if (p1 - p0 < 16) {
        for (int32_t k = 0; k <= mask; ++k)
            m_coverage.AddSpan(i + k, lo[k], hi[k]);
    } else {
        for (int32_t k = 0; k <= mask; ++k)
            m_coverage.AddSpanEnds(i + k, lo[k], p0, p1, hi[k]);
        m_coverage.AddCovered(p0, p1);
        m_runFrom = (p0 + 3) >> 2;
        m_runTo = p1 >> 2;
    }
    FlushRow(i >> m_n);
    m_runFrom = m_runTo = -1;
    return true;
}

// How many whole pixel rows from sub-scanline i (the first of a row) keep the same active edges,
// all of them vertical; 0 when any of them slopes.
int32_t oxPolygonFiller::UprightRows(int32_t i, int32_t count, int32_t nearestEnd) const {
    for (int32_t k = 0; k < count; ++k)
        if (m_step[m_active[k]] != 0) return 0;
    int32_t next = nearestEnd;
    for (int32_t k = i + 1; k < next; ++k) {
        if (m_buckets[k] >= 0) {
            next = k;
            break;
        }
    }
    return (next - i) >> m_n;
}

void oxPolygonFiller::FlushRow(int32_t y, bool clear) {
    if (!m_coverage.Touched()) return;
    if (y >= 0 && y < m_target.height) {
        const bool textured = m_texture.HasPixels();
        switch (m_target.bpp) {
        case 32:
            textured ? FlushTextured32(y) : FlushRow32(y);
            break;
        case 16:
            textured ? FlushTextured16(y) : FlushRow16(y);
            break;
        case 8:
            FlushRow8(y);
            break;
        default:
            break;
        }
    }
    if (clear) m_coverage.Clear();
}

const uint32_t* oxPolygonFiller::WeightedColors() {
    const uint32_t color = m_color | 0xFF000000u;
    if (color != m_weightedColor || m_weightedStale) {
        // The colour at every coverage, made once per colour and table rather than per pixel.
        for (int c = 0; c < 256; ++c)
            m_weighted[c] = Scale(color, m_weight[c]);
        m_weightedColor = color;
        m_weightedStale = false;
    }
    return m_weighted;
}

void oxPolygonFiller::FlushRow32(int32_t y) {
    uint32_t* const row = m_target.GetRow32(y);
    const uint8_t* const cov = m_coverage.Bytes();
    const bool opaque = m_opacity >= 255 && !m_useSourceAlpha;
    const uint32_t* const weighted = WeightedColors();
    const bool solid = opaque && SolidRow(y);
    const int32_t g1 = m_coverage.HighGroup();
    for (int32_t g = m_coverage.LowGroup(); g <= g1; ++g) {
        const int32_t x = g * 4;
        uint32_t word;
        std::memcpy(&word, cov + x, 4);
        if (word == 0) continue;
        if (word == 0xFFFFFFFFu && opaque) {
            int32_t end = g + 1;
            if (g == m_runFrom) end = m_runTo;
            while (end <= g1 && FullGroup(cov, end))
                ++end;
            if (solid)
                FillPattern(reinterpret_cast<uint8_t*>(row + x), 16 * static_cast<size_t>(end - g), m_solidFill[0], 0);
            g = end - 1;
            continue;
        }
        for (int32_t k = 0; k < 4; ++k) {
            const uint8_t c = cov[x + k];
            if (c) row[x + k] = Over(weighted[c], row[x + k]);
        }
    }
}

void oxPolygonFiller::FlushRow16(int32_t y) {
    uint16_t* const row = m_target.GetRow16(y);
    const uint8_t* const cov = m_coverage.Bytes();
    const bool opaque = m_opacity >= 255 && !m_useSourceAlpha;
    const uint32_t m = g_pixelFormat.group;
    const uint8_t* const dither = kOrderedDither + (y & 3) * 4;
    const uint16_t* const solid = reinterpret_cast<const uint16_t*>(SolidRow(y));
    uint16_t src[4];
    for (int k = 0; k < 4; ++k)
        src[k] = solid ? solid[k] : DitherTo16(m_color, k, y);
    const int32_t g1 = m_coverage.HighGroup();
    for (int32_t g = m_coverage.LowGroup(); g <= g1; ++g) {
        const int32_t x = g * 4;
        uint32_t word;
        std::memcpy(&word, cov + x, 4);
        if (word == 0) continue;
        if (word == 0xFFFFFFFFu && opaque) {
            int32_t end = g + 1;
            if (g == m_runFrom) end = m_runTo;
            while (end <= g1 && FullGroup(cov, end))
                ++end;
            if (solid)
                FillPattern(reinterpret_cast<uint8_t*>(row + x), 8 * static_cast<size_t>(end - g), m_solidFill[y & 3],
                            2 * x);
            g = end - 1;
            continue;
        }
        for (int32_t k = 0; k < 4; ++k) {
            const uint8_t c = cov[x + k];
            if (c) {
                const int32_t kw = (m_weight[c] + dither[k] / 32) >> 3;
                row[x + k] = RasterBlend16(src[k], row[x + k], kw, m);
            }
        }
    }
}

void oxPolygonFiller::FlushRow8(int32_t y) {
    if (m_texture.HasPixels()) return;
    uint8_t* const row = m_target.GetRow8(y);
    const uint8_t* const cov = m_coverage.Bytes();
    const bool opaque = m_opacity >= 255 && !m_useSourceAlpha;
    const uint8_t value = static_cast<uint8_t>(m_color);
    const int32_t g1 = m_coverage.HighGroup();
    for (int32_t g = m_coverage.LowGroup(); g <= g1; ++g) {
        const int32_t x = g * 4;
        uint32_t word;
        std::memcpy(&word, cov + x, 4);
        if (word == 0) continue;
        if (word == 0xFFFFFFFFu && opaque) {
            std::memset(row + x, value, 4);
            continue;
        }
        for (int32_t k = 0; k < 4; ++k) {
            const uint8_t c = cov[x + k];
            if (c) row[x + k] = m_weight[c];
        }
    }
}

// The rectangle fast path of a texture: rows are produced straight into the target, or into the
// row scratch and composited when the texture's own alpha counts.
bool oxPolygonFiller::FillTexturedRectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (m_texture.bpp != 32 || m_opacity < 255 || m_colorTransform.enabled) return false;
    if (left >= right) return true;
    const int32_t n = right - left;
    if (m_useSourceAlpha && n > m_rowScratchSize) return false;
    if (!m_useSourceAlpha && CopyTextureRect(left, top, right, bottom)) return true;
    // A source that is the same on every row (a gradient along x) is made once.
    const bool repeat = RowsRepeat();
    for (int32_t y = top; y < bottom; ++y) {
        uint32_t* row = m_target.GetRow32(y) + left;
        if (!m_useSourceAlpha) {
            if (repeat && y > top)
                std::memcpy(row, m_target.GetRow32(top) + left, sizeof(uint32_t) * static_cast<size_t>(n));
            else
                TextureSpan(row, y, left, right);
            continue;
        }
        if (!repeat || y == top) TextureSpan(m_rowScratch, y, left, right);
        for (int32_t i = 0; i < n; ++i) {
            const uint32_t s = m_rowScratch[i];
            row[i] = (s >> 24) == 0xFF ? s : Over(s, row[i]);
        }
    }
    return true;
}

void oxPolygonFiller::FlushTextured32(int32_t y) {
    const int32_t x0 = m_coverage.LowGroup() * 4;
    const int32_t x1 = std::min((m_coverage.HighGroup() + 1) * 4, m_target.width);
    if (x1 <= x0 || x1 - x0 > m_rowScratchSize) return;
    uint32_t* const src = m_rowScratch - x0;
    SourceSpan(m_rowScratch, y, x0, x1);
    uint32_t* const row = m_target.GetRow32(y);
    const uint8_t* const cov = m_coverage.Bytes();
    const bool opaque = m_opacity >= 255;
    const uint32_t alphaOr = m_useSourceAlpha ? 0 : 0xFF000000u;
    for (int32_t x = x0; x < x1; x += 4) {
        uint32_t word;
        std::memcpy(&word, cov + x, 4);
        if (word == 0) continue;
        const int32_t end = std::min(x + 4, x1);
        if (word == 0xFFFFFFFFu && opaque) {
            for (int32_t i = x; i < end; ++i) {
                const uint32_t s = src[i] | alphaOr;
                row[i] = (s >> 24) == 0xFF ? s : Over(s, row[i]);
            }
            continue;
        }
        for (int32_t i = x; i < end; ++i) {
            const uint8_t c = cov[i];
            if (c) row[i] = Over(Scale(src[i] | alphaOr, m_weight[c] + 1u), row[i]);
        }
    }
}

void oxPolygonFiller::FlushTextured16(int32_t y) {
    const int32_t x0 = m_coverage.LowGroup() * 4;
    const int32_t x1 = std::min((m_coverage.HighGroup() + 1) * 4, m_target.width);
    if (x1 <= x0 || !Reserve16(m_target.width)) return;
    uint16_t* const src = m_source16;
    uint8_t* const alpha = m_useSourceAlpha ? reinterpret_cast<uint8_t*>(m_source16 + 4 * m_source16Width) : nullptr;
    SourceRow16(src, alpha, y, x0, x1);
    Composite16(m_target.GetRow16(y), src, alpha, y, x0, x1);
}

// Fully covered groups of four opaque source pixels are written as they are, as on 32 bits; other
// pixels blend with a = OpacityTable[Curve[c] * (source alpha + 1) >> 8] and the dither's weight.
void oxPolygonFiller::Composite16(uint16_t* row, const uint16_t* src, const uint8_t* alpha, int32_t y, int32_t x0,
                                  int32_t x1) {
    const uint8_t* const cov = m_coverage.Bytes();
    const uint32_t m = g_pixelFormat.group;
    const uint8_t* const dither = kOrderedDither + (y & 3) * 4;
    const bool opaque = m_opacity >= 255;
    auto copyable = [&](int32_t x) {
        if (x + 4 > x1 || !FullGroup(cov, x / 4)) return false;
        if (!alpha) return true;
        uint32_t a;
        std::memcpy(&a, alpha + (x - x0), 4);
        return a == 0xFFFFFFFFu;
    };
    for (int32_t x = x0; x < x1; x += 4) {
        uint32_t word;
        std::memcpy(&word, cov + x, 4);
        if (word == 0) continue;
        if (opaque && copyable(x)) {
            // A band's run of full groups is known beforehand.
            int32_t end = !alpha && x == 4 * m_runFrom ? std::min(4 * m_runTo, x1) : x + 4;
            while (copyable(end))
                end += 4;
            std::memcpy(row + x, src + (x - x0), sizeof(uint16_t) * static_cast<size_t>(end - x));
            x = end - 4;
            continue;
        }
        for (int32_t i = x, end = std::min(x + 4, x1); i < end; ++i) {
            const uint8_t c = cov[i];
            if (!c) continue;
            const int32_t a = m_opacityTable[(m_curve[c] * ((alpha ? alpha[i - x0] : 255) + 1)) >> 8];
            const int32_t k = (a + dither[i & 3] / 32) >> 3;
            if (k) row[i] = RasterBlend16(src[i - x0], row[i], k, m);
        }
    }
}

// A texture or gradient over a 16-bit band whose rows all have the same coverage. Where the source
// is the same on every row, the four dither phases of it are made once.
bool oxPolygonFiller::FillTexturedBand16(int32_t top, int32_t bottom) {
    top = std::max(top, 0);
    bottom = std::min(bottom, m_target.height);
    if (top >= bottom || !m_coverage.Touched()) return true;
    if (!Reserve16(m_target.width)) return false;
    const int32_t x0 = m_coverage.LowGroup() * 4;
    const int32_t x1 = std::min((m_coverage.HighGroup() + 1) * 4, m_target.width);
    if (x1 <= x0) return true;
    const bool repeat = RowsRepeat();
    if (!repeat && !m_useSourceAlpha && m_opacity >= 255 && SourceBand16(top, bottom, x0, x1)) return true;
    const int32_t w = m_source16Width;
    uint8_t* const alphas = reinterpret_cast<uint8_t*>(m_source16 + 4 * w);
    for (int32_t y = top; y < bottom; ++y) {
        const int32_t r = repeat ? (y & 3) : 0;
        uint16_t* const src = m_source16 + r * w;
        uint8_t* const alpha = m_useSourceAlpha ? alphas + r * w : nullptr;
        if (!repeat || y < top + 4) SourceRow16(src, alpha, y, x0, x1);
        Composite16(m_target.GetRow16(y), src, alpha, y, x0, x1);
    }
    return true;
}

// An opaque source over a band: each row's source goes straight into the target row, and only the
// pixels that Composite16 would not simply replace (uncovered or blended ones, which lie at the
// ends of the band's rows) are read before and put back or blended after. False when a phase has
// too many of them.
bool oxPolygonFiller::SourceBand16(int32_t top, int32_t bottom, int32_t x0, int32_t x1) {
    constexpr int32_t kMaxKept = 32;
    const uint8_t* const cov = m_coverage.Bytes();
    // The groups' uncovered ends are left out of the source span: a texture row then lies in the
    // texture as it is, with no wrap to copy.
    const int32_t groupsEnd = x1;
    while (x0 < x1 && !cov[x0])
        ++x0;
    while (x1 > x0 && !cov[x1 - 1])
        --x1;
    if (x0 == x1) return true;
    // Pixels outside whole covered groups, then per phase the ones that are not simply replaced.
    int32_t edge[kMaxKept];
    int32_t edges = 0;
    for (int32_t x = x0; x < x1; ++x) {
        if ((x & 3) == 0 && x + 4 <= groupsEnd && FullGroup(cov, x / 4)) {
            x += 3;
            continue;
        }
        if (edges == kMaxKept) return false;
        edge[edges++] = x;
    }
    int32_t keptX[4][kMaxKept];
    int32_t keptK[4][kMaxKept]; // 0: put back as it was; else the blend weight
    int32_t kept[4] = {};
    for (int32_t r = 0; r < 4; ++r) {
        const uint8_t* const dither = kOrderedDither + r * 4;
        for (int32_t i = 0; i < edges; ++i) {
            const int32_t x = edge[i];
            const uint8_t c = cov[x];
            const int32_t k = c ? (m_opacityTable[m_curve[c]] + dither[x & 3] / 32) >> 3 : 0;
            if (k == 32) continue;
            keptX[r][kept[r]] = x;
            keptK[r][kept[r]++] = k;
        }
    }
    const uint32_t m = g_pixelFormat.group;
    // A bitmap drawn upright one texel per pixel: the texels of a row that lie in one texture row
    // are dithered straight from it.
    const uint64_t tw = static_cast<uint64_t>(m_texture.width), th = static_cast<uint64_t>(m_texture.height);
    const uint32_t du = static_cast<uint32_t>(m_mapping.stepX[0]), dv = static_cast<uint32_t>(m_mapping.stepX[1]);
    const bool direct = m_textureMode == kTextureBitmap && m_texture.bpp == 32 && !m_colorTransform.enabled &&
                        (dv & 0x1FFFFFF) == 0 && (du & 0x1FF) == 0 && tw * ((du >> 9) & 0xFFFF) == 0x10000;
    // The pixels a row keeps are read before its source goes in and put back or blended after.
    auto keep = [&](int32_t y, uint16_t* below) {
        const uint16_t* const row = m_target.GetRow16(y);
        for (int32_t i = 0, r = y & 3; i < kept[r]; ++i)
            below[i] = row[keptX[r][i]];
    };
    auto putBack = [&](int32_t y, const uint16_t* below) {
        uint16_t* const row = m_target.GetRow16(y);
        for (int32_t i = 0, r = y & 3; i < kept[r]; ++i) {
            uint16_t& p = row[keptX[r][i]];
            p = keptK[r][i] ? RasterBlend16(p, below[i], keptK[r][i], m) : below[i];
        }
    };
    if (direct && m_mapping.stepY[0] == 0) {
        // The same columns on every row: where the band's rows step down the texture one texel
        // row each, the rows are dithered a block at a time, the set-up paid once per block.
        const uint32_t dvy = static_cast<uint32_t>(m_mapping.stepY[1]);
        const uint32_t u = static_cast<uint32_t>(m_mapping.At(0, x0, top));
        const int32_t col = static_cast<int32_t>((tw * ((u >> 9) & 0xFFFF)) >> 16);
        auto texelRow = [&](int32_t y) {
            const uint32_t v = static_cast<uint32_t>(m_mapping.At(1, x0, y));
            return static_cast<int32_t>((th * ((v >> 9) & 0xFFFF)) >> 16);
        };
        const int32_t first = texelRow(top);
        if ((dvy & 0x1FF) == 0 && th * ((dvy >> 9) & 0xFFFF) == 0x10000 && col + (x1 - x0) <= m_texture.width &&
            texelRow(bottom - 1) == first + (bottom - 1 - top)) {
            constexpr int32_t kBlock = 32;
            uint16_t below[kBlock][kMaxKept];
            for (int32_t y0 = top; y0 < bottom; y0 += kBlock) {
                const int32_t y1 = std::min(y0 + kBlock, bottom);
                for (int32_t y = y0; y < y1; ++y)
                    keep(y, below[y - y0]);
                DitherRectTo16(m_target.GetRow16(y0) + x0, m_target.rowStep,
                               m_texture.GetRow32(first + (y0 - top)) + col, m_texture.rowStep, x1 - x0, y1 - y0, x0,
                               y0);
                for (int32_t y = y0; y < y1; ++y)
                    putBack(y, below[y - y0]);
            }
            return true;
        }
    }
    for (int32_t y = top; y < bottom; ++y) {
        uint16_t* const row = m_target.GetRow16(y);
        uint16_t below[kMaxKept];
        keep(y, below);
        const uint32_t u = static_cast<uint32_t>(m_mapping.At(0, x0, y));
        const int32_t col = static_cast<int32_t>((tw * ((u >> 9) & 0xFFFF)) >> 16);
        if (direct && col + (x1 - x0) <= m_texture.width) {
            const uint32_t v = static_cast<uint32_t>(m_mapping.At(1, x0, y));
            const uint32_t* const texels = m_texture.GetRow32(static_cast<int32_t>((th * ((v >> 9) & 0xFFFF)) >> 16));
            DitherRowTo16(row + x0, texels + col, x1 - x0, x0, y);
        } else {
            SourceRow16(row + x0, nullptr, y, x0, x1);
        }
        putBack(y, below);
    }
    return true;
}
