// Stroke outlines in floating point on device coordinates. Unit vectors come from a table inverse
// square root and circles from a 65-point table, so no segment needs sqrt or trigonometry; the
// outline runs forward along the right side of each piece and back along its left side.
#include "graphics/raster/stroker.h"

#include <cmath>

#include "graphics/raster/polygon_filler.h"
#include "graphics/raster/sqrt_tables.h"

namespace {

float g_circle[65][2];
bool g_circleBuilt = false;

void BuildCircleTable() {
    if (g_circleBuilt) return;
    for (int i = 0; i <= 64; ++i) {
        const double a = i * 3.14159265358979323846 / 32.0;
        g_circle[i][0] = float(std::cos(a));
        g_circle[i][1] = float(std::sin(a));
    }
    g_circleBuilt = true;
}

struct Vec {
    float x, y;
};

// The unit direction from (x0, y0) to (x1, y1); false for a segment without length.
bool Direction(float x0, float y0, float x1, float y1, Vec& d) {
    const float dx = x1 - x0, dy = y1 - y0;
    const float len2 = dx * dx + dy * dy;
    if (!(len2 > 0.0f) || !std::isfinite(len2)) return false;
    const float r = TableInvSqrt(len2);
    d = {dx * r, dy * r};
    return true;
}

// The intersection of the line through p with direction d and the line through q with direction
// e; false when they are parallel.
bool Intersect(Vec p, Vec d, Vec q, Vec e, Vec& out) {
    const float den = d.x * e.y - d.y * e.x;
    if (std::fabs(den) < 1e-6f) return false;
    const float t = ((q.x - p.x) * e.y - (q.y - p.y) * e.x) / den;
    out = {p.x + d.x * t, p.y + d.y * t};
    return std::isfinite(out.x) && std::isfinite(out.y);
}

} // namespace

oxStroker::oxStroker(oxPolygonFiller* filler) : m_filler(filler) {
    BuildInvSqrtTable();
    BuildSqrtTable();
    BuildCircleTable();
}

void oxStroker::Detach() {
    m_filler = nullptr;
    m_hasPrev = false;
    m_w = 0.0f;
}

void oxStroker::Edge(float x0, float y0, float x1, float y1) {
    if (m_filler) m_filler->AddEdge(x0, y0, x1, y1);
}

void oxStroker::Segment(float x0, float y0, float x1, float y1, float h0, float h1) {
    if (x0 == x1 && y0 == y1 && h0 == h1) return;
    Vec d;
    if (!Direction(x0, y0, x1, y1, d)) return;
    const Vec sl{x0 - d.y * h0, y0 + d.x * h0}, sr{x0 + d.y * h0, y0 - d.x * h0};
    const Vec el{x1 - d.y * h1, y1 + d.x * h1}, er{x1 + d.y * h1, y1 - d.x * h1};
    if (m_hasPrev) {
        if (sl.x != m_leftX || sl.y != m_leftY) Edge(sl.x, sl.y, m_leftX, m_leftY);
        if (sr.x != m_rightX || sr.y != m_rightY) Edge(m_rightX, m_rightY, sr.x, sr.y);
    }
    Edge(sr.x, sr.y, er.x, er.y);
    Edge(el.x, el.y, sl.x, sl.y);
    m_leftX = el.x, m_leftY = el.y, m_rightX = er.x, m_rightY = er.y;
    m_hasPrev = true;
}

void oxStroker::StartCap(float x0, float y0, float x1, float y1) {
    Vec d;
    if (!Direction(x0, y0, x1, y1, d)) return;
    const float dx = d.x * m_w, dy = d.y * m_w;
    const Vec l{x0 - dy, y0 + dx}, r{x0 + dy, y0 - dx};
    if (m_cap == kCapSquare) {
        Edge(l.x, l.y, l.x - dx, l.y - dy);
        Edge(l.x - dx, l.y - dy, r.x - dx, r.y - dy);
        Edge(r.x - dx, r.y - dy, r.x, r.y);
    } else {
        Edge(l.x, l.y, r.x, r.y);
        if (m_cap == kCapRound) Dot(x0, y0);
    }
    m_leftX = l.x, m_leftY = l.y, m_rightX = r.x, m_rightY = r.y;
    m_hasPrev = true;
}

void oxStroker::EndCap(float x0, float y0, float x1, float y1) {
    Vec d;
    if (Direction(x0, y0, x1, y1, d)) {
        const float dx = d.x * m_w, dy = d.y * m_w;
        const Vec l{x1 - dy, y1 + dx}, r{x1 + dy, y1 - dx};
        if (m_cap == kCapSquare) {
            Edge(r.x, r.y, r.x + dx, r.y + dy);
            Edge(r.x + dx, r.y + dy, l.x + dx, l.y + dy);
            Edge(l.x + dx, l.y + dy, l.x, l.y);
        } else {
            Edge(r.x, r.y, l.x, l.y);
            if (m_cap == kCapRound) Dot(x1, y1);
        }
    }
    m_hasPrev = false;
}

void oxStroker::Join(float x0, float y0, float x1, float y1, float x2, float y2) {
    Vec d1, d2;
    if (!Direction(x0, y0, x1, y1, d1) || !Direction(x1, y1, x2, y2, d2)) return;
    const float w = m_w;
    const Vec l1{x1 - d1.y * w, y1 + d1.x * w}, r1{x1 + d1.y * w, y1 - d1.x * w};
    const Vec l2{x1 - d2.y * w, y1 + d2.x * w}, r2{x1 + d2.y * w, y1 - d2.x * w};
    const float c = d1.x * d2.x + d1.y * d2.y;
    Vec ml{}, mr{};
    const bool miter = c > m_miterCos && m_join == kJoinMiter && w > 0.75f && Intersect(l1, d1, l2, d2, ml) &&
                       Intersect(r1, d1, r2, d2, mr);
    if (w > 1.0f && m_join == kJoinRound) Dot(x1, y1);
    if (miter) {
        // The turn's direction names the outer side, which runs through the miter tip; the inner
        // side closes straight. (Telling them apart by whether the tip lies within the corners'
        // x and y range fails for ordinary turns, where both tips do, and bevelled every miter.)
        const bool rightOuter = d1.x * d2.y - d1.y * d2.x > 0.0f;
        if (rightOuter) {
            Edge(r1.x, r1.y, mr.x, mr.y);
            Edge(mr.x, mr.y, r2.x, r2.y);
            Edge(l2.x, l2.y, l1.x, l1.y);
        } else {
            Edge(r1.x, r1.y, r2.x, r2.y);
            Edge(l2.x, l2.y, ml.x, ml.y);
            Edge(ml.x, ml.y, l1.x, l1.y);
        }
    } else {
        Edge(r1.x, r1.y, r2.x, r2.y);
        Edge(l2.x, l2.y, l1.x, l1.y);
    }
    m_hasPrev = false;
}

void oxStroker::Dot(float x, float y) {
    if (!(m_w > 0.0f)) return;
    int step = int((64.0f / m_w + 0.5f) * 0.5f);
    step = step < 1 ? 1 : step > 16 ? 16 : step;
    float px = x + m_w * g_circle[0][0], py = y + m_w * g_circle[0][1];
    const float fx = px, fy = py;
    for (int i = step; i <= 64; i += step) {
        const float nx = x + m_w * g_circle[i][0], ny = y + m_w * g_circle[i][1];
        Edge(px, py, nx, ny);
        px = nx, py = ny;
    }
    Edge(px, py, fx, fy);
}
