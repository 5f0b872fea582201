// Fill, stroke and hairline drawing of the graphics context: points are transformed into a
// scratch array, optionally fitted to the pixel grid, cubic segments are flattened into a number
// of pieces estimated from their control polygon, and the pieces go to the filler (fills), the
// stroker and then the filler (strokes) or the rasteriser (hairlines).
#include <algorithm>
#include <bit>
#include <cmath>
#include <new>

#include "graphics/paint/graphics_context.h"
#include "graphics/raster/sqrt_tables.h"

namespace {

// One drawing element of a point array: a move, a line or a cubic (three points).
struct Element {
    int kind;      // kPathMove, kPathLine or kPathCubic
    int32_t index; // the element's last point
    uint8_t flags; // command bits of that point (close) or of the move (open)
};

// Walks the commands; a first point is always a move and a cubic lacking its three points is
// taken as lines.
template <typename F> void Walk(const uint8_t* cmd, int32_t count, F&& f) {
    for (int32_t i = 0; i < count;) {
        const int kind = cmd[i] & kPathKindMask;
        if (i == 0 || kind == kPathMove) {
            f(Element{kPathMove, i, cmd[i]});
            ++i;
        } else if (kind == kPathCubic && i + 2 < count && (cmd[i + 1] & kPathKindMask) == kPathCubic &&
                   (cmd[i + 2] & kPathKindMask) == kPathCubic) {
            f(Element{kPathCubic, i + 2, cmd[i + 2]});
            i += 3;
        } else {
            f(Element{kPathLine, i, cmd[i]});
            ++i;
        }
    }
}

// The point at t of the cubic p0..p3 (x, y pairs) by repeated linear interpolation.
void Bezier(const float* p0, const float* p1, const float* p2, const float* p3, float t, float* out) {
    for (int k = 0; k < 2; ++k) {
        const float a = p0[k] + (p1[k] - p0[k]) * t, b = p1[k] + (p2[k] - p1[k]) * t, c = p2[k] + (p3[k] - p2[k]) * t;
        const float d = a + (b - a) * t, e = b + (c - b) * t;
        out[k] = d + (e - d) * t;
    }
}

// Flattens the cubic ending at q (control points q-6 and q-3) from p0 into segs chords.
template <typename F> void FlattenCubic(const float* p0, const float* q, int segs, F&& chord) {
    float last[2] = {p0[0], p0[1]};
    for (int k = 1; k < segs; ++k) {
        float pt[2];
        Bezier(p0, q - 6, q - 3, q, float(k) / float(segs), pt);
        chord(last, static_cast<const float*>(pt));
        last[0] = pt[0], last[1] = pt[1];
    }
    chord(last, q);
}

// Strokes one sub-path after another, tracking the first two and the last two points.
class StrokeWalker {
public:
    explicit StrokeWalker(oxStroker& s) : m_s(s) {}

    void Start(float x, float y, float w) {
        Finish();
        m_fx = m_px = x, m_fy = m_py = y, m_fw = m_pw = w;
        m_n = 1;
        m_s.BeginSubpath();
    }
    void To(float x, float y, float w) {
        if (m_n == 0) Start(m_px, m_py, m_pw);
        if (x == m_px && y == m_py) return;
        if (m_n >= 2) {
            m_s.SetHalfWidth(m_pw);
            m_s.Join(m_qx, m_qy, m_px, m_py, x, y);
        }
        m_s.Segment(m_px, m_py, x, y, m_pw, w);
        if (m_n == 1) m_sx = x, m_sy = y;
        m_qx = m_px, m_qy = m_py;
        m_px = x, m_py = y, m_pw = w;
        ++m_n;
    }
    void Close(bool perPointWidths) {
        if (m_n <= 2 || perPointWidths) return;
        if (m_px == m_fx && m_py == m_fy) {
            if (m_pw != m_fw) return Finish();
            m_s.SetHalfWidth(m_fw);
            m_s.Join(m_qx, m_qy, m_fx, m_fy, m_sx, m_sy);
        } else {
            m_s.SetHalfWidth(m_pw);
            m_s.Join(m_qx, m_qy, m_px, m_py, m_fx, m_fy);
            m_s.Segment(m_px, m_py, m_fx, m_fy, m_pw, m_fw);
            m_s.SetHalfWidth(m_fw);
            m_s.Join(m_px, m_py, m_fx, m_fy, m_sx, m_sy);
            m_px = m_fx, m_py = m_fy, m_pw = m_fw;
        }
        m_n = 0;
    }
    // Caps on an open sub-path of two or more points.
    void Finish() {
        if (m_n > 1) {
            m_s.SetHalfWidth(m_fw);
            m_s.StartCap(m_fx, m_fy, m_sx, m_sy);
            m_s.SetHalfWidth(m_pw);
            m_s.EndCap(m_qx, m_qy, m_px, m_py);
        }
        m_n = 0;
    }
    float LastX() const { return m_px; }
    float LastY() const { return m_py; }
    float LastW() const { return m_pw; }

private:
    oxStroker& m_s;
    float m_fx = 0, m_fy = 0, m_fw = 0, m_sx = 0, m_sy = 0;
    float m_px = 0, m_py = 0, m_pw = 0, m_qx = 0, m_qy = 0;
    int32_t m_n = 0;
};

} // namespace

bool oxGraphicsContext::PreparePoints(int32_t count, const float* points, int32_t stride, const uint8_t* commands,
                                      bool stroking) {
    if (count == 0) {
        count = m_path.Count();
        points = m_path.Points();
        stride = 3;
        commands = m_path.Commands();
    }
    if (count <= 0 || !points || stride < 2) return false;
    try {
        m_scratch.resize(static_cast<size_t>(count) * 3);
        m_scratchCommands.resize(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_transform.TransformPoints(m_scratch.data(), 3, points, stride, count, true);
    // A point that is not a number, or infinite, makes the whole path draw nothing.
    for (float v : m_scratch)
        if (!std::isfinite(v)) return false;
    for (int32_t i = 0; i < count; ++i)
        m_scratchCommands[i] = commands ? commands[i] : (i == 0 ? kPathMove : kPathLine);
    m_snapShift = 0.0f;
    if (m_snapVertical) SnapVerticalEdges(count);
    if (m_gridFit || (m_snapVertical && m_target.height > 14)) return GridFit(count, stroking);
    return true;
}

// Moves the whole path sideways so that its longest nearly vertical edge lands on a pixel edge.
void oxGraphicsContext::SnapVerticalEdges(int32_t count) {
    float* p = m_scratch.data();
    float best = 2.0f, shift = 0.0f;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t j = i == 0 ? count - 1 : i - 1;
        const float dx = std::fabs(p[3 * i] - p[3 * j]), dy = std::fabs(p[3 * i + 1] - p[3 * j + 1]);
        if (dx >= 0.05f || dy <= 0.5f) continue;
        const float s = std::nearbyint(p[3 * i]) - p[3 * i];
        if (std::fabs(s) <= 1.0f && dy > best) best = dy, shift = s;
    }
    if (shift != 0.0f)
        for (int32_t i = 0; i < count; ++i)
            p[3 * i] += shift;
    m_snapShift = shift;
}

// Snaps axis-parallel edges to whole pixels (pixel centres for strokes). Each point is taken with
// its predecessor and its follower over the whole array, wrapping at both ends; with vertical-edge
// snapping on a second pass runs backwards. Edges are found and rounded where the path put them, not
// where an earlier snap moved them: a stroke's snap adds half a pixel, so rounding a point that
// already sits on a pixel centre would push it a whole pixel on, once for every collinear point that
// follows (the long sides of a rounded rectangle drifted by a pixel or two).
bool oxGraphicsContext::GridFit(int32_t count, bool stroking) {
    try {
        m_fitSource.assign(m_scratch.begin(), m_scratch.begin() + static_cast<size_t>(count) * 3);
    } catch (const std::bad_alloc&) {
        return false;
    }
    float* p = m_scratch.data();
    const float* src = m_fitSource.data();
    const float o = stroking ? 0.5f : 0.0f;
    const bool strict = m_snapVertical != 0;
    auto same = [](float a, float b) { return a == b || a < 9.999e-5f || b < 9.999e-5f; };
    auto visit = [&](int32_t i) {
        const int32_t prev = i == 0 ? count - 1 : i - 1, next = i == count - 1 ? 0 : i + 1;
        const float* c = src + 3 * i;
        const float* q = src + 3 * prev;
        const float* f = src + 3 * next;
        if (std::fabs(f[0] - c[0]) < 0.001f && std::fabs(f[1] - c[1]) < 0.001f) return;
        const float dx = std::fabs(c[0] - q[0]), dy = std::fabs(c[1] - q[1]);
        int axis;
        if (dx < 0.001f)
            axis = 0; // vertical edge: snap x
        else if (dy < 0.001f)
            axis = 1; // horizontal edge: snap y
        else
            return;
        const float s = std::floor(c[axis] + 1.5e-8f + 0.5f) + o;
        // Long edges always snap; with vertical-edge snapping on, a short one only where the snap
        // keeps its spacing to both neighbours as they stand now.
        if (strict && !((axis == 0 ? dy : dx) > 8.0f)) {
            if (prev == next) return;
            const float pv = p[3 * prev + axis], cv = p[3 * i + axis], fv = p[3 * next + axis];
            const bool keeps =
                axis == 0 ? std::fabs(s - pv - o) == std::fabs(fv - cv) && std::fabs(cv - s - o) == std::fabs(cv - pv)
                          : same(std::fabs(s - pv - o), std::fabs(fv - cv)) &&
                                same(std::fabs(fv - s - o), std::fabs(cv - pv));
            if (!keeps) return;
        }
        // The run from the preceding point to the following one takes the value; the following
        // point only where it lies on the edge's line, since moving one that leaves the line
        // would bend its own edge (a rectangle would lose its far side).
        const bool runOn = std::fabs(f[axis] - c[axis]) < 0.001f;
        p[3 * prev + axis] = p[3 * i + axis] = s;
        if (runOn) p[3 * next + axis] = s;
    };
    for (int32_t i = 0; i < count; ++i)
        visit(i);
    if (strict)
        for (int32_t i = count - 1; i >= 0; --i)
            visit(i);
    return true;
}

int32_t oxGraphicsContext::CountSegments(int32_t count) {
    m_segments.clear();
    const float* p = m_scratch.data();
    int32_t total = 0;
    bool failed = false;
    Walk(m_scratchCommands.data(), count, [&](const Element& e) {
        if (e.kind != kPathCubic) return;
        const float* p0 = p + 3 * (e.index - 3);
        const float *p1 = p0 + 3, *p2 = p0 + 6, *p3 = p0 + 9;
        const float ex = p3[0] - p0[0], ey = p3[1] - p0[1];
        const float c1 = std::fabs((p1[0] - p0[0]) * ey - (p1[1] - p0[1]) * ex);
        const float c2 = std::fabs((p3[0] - p2[0]) * ey - (p3[1] - p2[1]) * ex);
        const double v = std::floor(std::sqrt(std::sqrt(8.0 * std::max(c1, c2))));
        const int n = v >= 36.0 ? 36 : v >= 1.0 ? int(v) : 1;
        try {
            m_segments.push_back(static_cast<uint8_t>(n));
        } catch (const std::bad_alloc&) {
            failed = true;
        }
        total += n;
    });
    return failed ? -1 : total;
}

void oxGraphicsContext::ApplyTextureMapping() {
    if (!m_textureMapping || !m_filler.HasTexture()) return;
    if (m_transformChanged || m_combinedChanged) {
        oxMatrix::Multiply(m_combined, m_textureTransform, m_transform);
        m_combined.TransformPoints(m_refMapped, 3, m_refPoints, 3, 3, true);
        m_transformChanged = m_combinedChanged = 0;
    }
    m_filler.SetTextureMapping(m_refMapped, m_refCoords);
}

int oxGraphicsContext::FillPath(int32_t count, const float* points, int32_t stride, const uint8_t* commands) {
    if (!CanDraw()) return 0;
    if (count == 0) count = m_path.Count(), points = m_path.Points(), stride = 3, commands = m_path.Commands();
    if (!PreparePoints(count, points, stride, commands, false)) return 0;
    const int32_t segments = CountSegments(count);
    if (segments < 0) return 0;
    if (m_textureMapping) m_filler.SetTexture(&m_texture);
    if (!m_filler.BeginPolygon(count + segments)) {
        m_filler.SetTexture(nullptr);
        return 0;
    }
    m_filler.SetColor(m_fillColor);
    m_filler.SetFillRule(m_fillRule ? oxPolygonFiller::kEvenOdd : oxPolygonFiller::kNonZero);

    const float* p = m_scratch.data();
    int32_t start = 0, prev = 0, n = 0, cubic = 0;
    uint8_t moveFlags = 0;
    auto edge = [&](const float* a, const float* b) { m_filler.AddEdge(a[0], a[1], b[0], b[1]); };
    Walk(m_scratchCommands.data(), count, [&](const Element& e) {
        const float* q = p + 3 * e.index;
        if (e.kind == kPathMove) {
            if (n > 1 && !(e.flags & kPathOpen)) edge(p + 3 * prev, p + 3 * start);
            start = prev = e.index;
            n = 1;
            moveFlags = e.flags;
        } else if (e.kind == kPathLine) {
            edge(p + 3 * prev, q);
            prev = e.index;
            ++n;
        } else {
            FlattenCubic(p + 3 * prev, q, m_segments[cubic++], edge);
            prev = e.index;
            n += 3;
        }
        if ((e.flags & kPathClose) && n > 2) {
            edge(p + 3 * prev, p + 3 * start);
            n = 0;
        }
    });
    if (n > 1 && !(moveFlags & kPathOpen)) edge(p + 3 * prev, p + 3 * start);
    ApplyTextureMapping();
    m_filler.Fill();
    m_filler.SetTexture(nullptr);
    return 1;
}

float oxGraphicsContext::TransformScale() const {
    const float t = m_transform.m[0] * m_transform.m[0] + m_transform.m[1] * m_transform.m[1];
    if (!(t > 0.0f) || !std::isfinite(t)) return 0.0f;
    const float u = TableSqrt(t);
    return (3.0f - u * u / t) * u * 0.5f;
}

int oxGraphicsContext::StrokePath(int32_t count, const float* points, int32_t stride, const uint8_t* commands) {
    if (!CanDraw()) return 0;
    if (count == 0) count = m_path.Count(), points = m_path.Points(), stride = 3, commands = m_path.Commands();
    if (count <= 0) return 0;
    const float* widths = nullptr;
    int32_t widthCount = 0;
    if (m_path.ExternalWidths() && m_path.ExternalWidthCount() > 0) {
        widths = m_path.ExternalWidths();
        widthCount = m_path.ExternalWidthCount();
    } else if (!m_path.Widths().empty()) {
        widths = m_path.Widths().data();
        widthCount = static_cast<int32_t>(m_path.Widths().size());
    }
    const float s = TransformScale();
    const float effective = m_lineWidth * s;
    bool thin = effective <= 0.6f;
    for (int32_t i = 0; thin && i < widthCount; ++i)
        thin = widths[i] * s <= 0.5f;
    if (m_pattern != 0 || (thin && !m_fillImage.valid && m_target.bpp != 8 && !m_textureMapping)) {
        const int32_t saved = m_rasterizer.Alpha();
        if (effective > 0.0f)
            m_rasterizer.SetAlpha(static_cast<int32_t>(std::min(256.0f, std::floor(m_alpha * effective * 2.0f))));
        const int result = DrawPolyline(count, points, stride, commands);
        m_rasterizer.SetAlpha(saved);
        return result;
    }
    if (!PreparePoints(count, points, stride, commands, true)) return 0;
    const int32_t segments = CountSegments(count);
    if (segments < 0) return 0;

    const int32_t join = m_join, cap = m_cap;
    m_filler.SetColor(m_strokeColor);
    m_filler.SetFillRule(oxPolygonFiller::kNonZero);
    if (m_textureMapping) m_filler.SetTexture(&m_texture);
    int32_t useJoin = join, useCap = cap;
    if (useJoin == oxStroker::kJoinRound && effective <= 1.0f) {
        useJoin = oxStroker::kJoinBevel;
        useCap = oxStroker::kCapButt;
    } else if (useJoin == oxStroker::kJoinRound && effective <= 2.5f) {
        useJoin = oxStroker::kJoinBevel;
    }
    const int64_t reserve =
        4 * int64_t(segments) + 2 * int64_t(count) + 64 + (useJoin == oxStroker::kJoinRound ? 30 * int64_t(count) : 0);
    if (reserve > INT32_MAX || !m_filler.BeginPolygon(static_cast<int32_t>(reserve))) {
        m_filler.SetTexture(nullptr);
        return 0;
    }
    m_stroker.SetJoin(useJoin);
    m_stroker.SetCap(useCap);
    m_stroker.SetHalfWidth(effective);
    m_stroker.BeginPath();
    StrokeWalk(count, widths, widthCount, s);
    ApplyTextureMapping();
    m_filler.Fill();
    m_filler.SetTexture(nullptr);
    return 1;
}

void oxGraphicsContext::StrokeWalk(int32_t count, const float* widths, int32_t widthCount, float scale) {
    const float* p = m_scratch.data();
    // Points beyond the end of a width array keep its last width.
    auto width = [&](int32_t i) {
        if (!widths) return m_lineWidth * scale;
        return widths[std::min(i, widthCount - 1)] * scale;
    };
    StrokeWalker walker(m_stroker);
    int32_t cubic = 0;
    Walk(m_scratchCommands.data(), count, [&](const Element& e) {
        const float* q = p + 3 * e.index;
        const float w = width(e.index);
        if (e.kind == kPathMove) {
            walker.Start(q[0], q[1], w);
        } else if (e.kind == kPathLine) {
            walker.To(q[0], q[1], w);
        } else {
            const int segs = m_segments[cubic++];
            const float p0[2] = {walker.LastX(), walker.LastY()};
            const float w0 = walker.LastW();
            for (int k = 1; k < segs; ++k) {
                const float t = float(k) / float(segs);
                float pt[2];
                Bezier(p0, q - 6, q - 3, q, t, pt);
                walker.To(pt[0], pt[1], w0 + (w - w0) * t);
            }
            walker.To(q[0], q[1], w);
        }
        if (e.flags & kPathClose) walker.Close(widths != nullptr);
    });
    walker.Finish();
}

int oxGraphicsContext::DrawPolyline(int32_t count, const float* points, int32_t stride, const uint8_t* commands) {
    if (!CanDraw()) return 0;
    if (count == 0) count = m_path.Count(), points = m_path.Points(), stride = 3, commands = m_path.Commands();
    if (m_fillImage.valid || m_target.bpp == 8) {
        const float saved = m_lineWidth;
        m_lineWidth = 0.5f;
        const uint32_t pattern = m_pattern;
        m_pattern = 0; // the pattern would send the stroke straight back here
        const int result = StrokePath(count, points, stride, commands);
        m_pattern = pattern;
        m_lineWidth = saved;
        return result;
    }
    if (!PreparePoints(count, points, stride, commands, true)) return 0;
    if (CountSegments(count) < 0) return 0;
    m_rasterizer.m_gapMask = m_pattern;
    m_rasterizer.SetColorRgb(m_stroke);
    // Opaque: the line writers blend all four channels of the premultiplied target, and a colour
    // with alpha 0 would wipe the alpha of every pixel the line crosses.
    m_rasterizer.SetColor(m_rasterizer.Color() | 0xFF000000u);
    const float* p = m_scratch.data();
    int32_t start = 0, prev = 0, n = 0, cubic = 0;
    auto line = [&](const float* a, const float* b) { m_rasterizer.DrawLine(a[0], a[1], b[0], b[1]); };
    Walk(m_scratchCommands.data(), count, [&](const Element& e) {
        const float* q = p + 3 * e.index;
        if (e.kind == kPathMove) {
            start = prev = e.index;
            n = 1;
        } else if (e.kind == kPathLine) {
            line(p + 3 * prev, q);
            prev = e.index;
            ++n;
        } else {
            FlattenCubic(p + 3 * prev, q, m_segments[cubic++], line);
            prev = e.index;
            n += 3;
        }
        if ((e.flags & kPathClose) && n > 2) {
            line(p + 3 * prev, p + 3 * start);
            n = 0;
        }
    });
    return 1;
}

int oxGraphicsContext::DrawPath(int mode) {
    switch (mode) {
    case 0:
        FillPath(0, nullptr, 0, nullptr);
        return 1;
    case 1:
        StrokePath(0, nullptr, 0, nullptr);
        return 1;
    case 2:
        DrawPolyline(0, nullptr, 0, nullptr);
        return 1;
    case 3:
        return 1;
    default:
        return 0;
    }
}
