// The polygon filler against cairo on the same fixed-seed polygons and rectangles, filled into a
// 480 x 800 buffer in ARGB32 and RGB565. Each cell runs ours and cairo's (default and FAST
// anti-aliasing) one after the other, so all see the same machine state; the end prints ours / cairo
// per cell and the geometric mean per format, from the median CPU time of the repetitions.
#include <cmath>
#include <string>
#include <vector>

#include "bench/cairo_compare.h"
#include "graphics/pixels/pixel_buffer.h"
#include "graphics/pixels/pixel_format.h"
#include "graphics/raster/polygon_filler.h"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 800;
constexpr int kShapes = 32; // shapes per iteration
// Ours samples four sub-scanlines through a coverage curve and dithers 16 bits; cairo does neither, so
// edges differ a little: under 7 in general, up to 16 where 8-pixel polygons of 40 vertices are almost
// all edge. A wrong shape differs by much more.
constexpr double kPictureLimit = 8.0;
constexpr double kEdgePictureLimit = 20.0;

struct Point {
    float x, y;
};
using Shape = std::vector<Point>;

std::vector<Shape> MakeShapes(int size, int vertices, uint64_t seed) {
    BenchRandom rnd(seed);
    std::vector<Shape> shapes;
    for (int i = 0; i < kShapes; ++i) {
        const float ox = rnd.Range(0, static_cast<float>(kWidth - size));
        const float oy = rnd.Range(0, static_cast<float>(kHeight - size));
        Shape s;
        if (vertices == 0) {
            // Axis-aligned rectangle with whole-pixel corners.
            const float l = std::floor(ox), t = std::floor(oy);
            const float w = static_cast<float>(size), h = std::floor(rnd.Range(size / 2.0f, static_cast<float>(size)));
            s = {{l, t}, {l + w, t}, {l + w, t + h}, {l, t + h}};
        } else {
            for (int v = 0; v < vertices; ++v)
                s.push_back({ox + rnd.Range(0, static_cast<float>(size)), oy + rnd.Range(0, static_cast<float>(size))});
        }
        shapes.push_back(s);
    }
    return shapes;
}

struct Surface {
    SurfaceBytes bytes;
    int stride;
    oxPixelBuffer buffer;
    cairo_surface_t* cairo = nullptr;

    explicit Surface(bool rgb565) {
        const cairo_format_t format = rgb565 ? CAIRO_FORMAT_RGB16_565 : CAIRO_FORMAT_ARGB32;
        stride = cairo_format_stride_for_width(format, kWidth);
        bytes.assign(static_cast<size_t>(stride) * kHeight, 0);
        const int bpp = rgb565 ? 16 : 32;
        buffer.InitExternal(bytes.data(), stride, kWidth, kHeight, bpp, bpp / 8, true,
                            rgb565 ? kLayoutRgb565 : kLayoutUnspecified);
        cairo = cairo_image_surface_create_for_data(bytes.data(), format, kWidth, kHeight, stride);
    }
    ~Surface() { cairo_surface_destroy(cairo); }
};

struct Cell {
    std::string name;
    bool rgb565;
    std::vector<Shape> shapes;
    bool nonZero;
};

// Our filler on a fresh surface, set up for a cell; the masks are the 16-bit layout's while it lives.
struct OursSide {
    Surface surface;
    oxPolygonFiller filler;
    explicit OursSide(const Cell& cell) : surface(cell.rgb565) {
        if (cell.rgb565) SetPixelFormatMasks(5, 6, 5);
        filler.SetTarget(&surface.buffer);
        filler.SetFillRule(cell.nonZero ? oxPolygonFiller::kNonZero : oxPolygonFiller::kEvenOdd);
        filler.SetColor(0xFF3366CC);
    }
    ~OursSide() { SetPixelFormatMasks(0, 0, 0); }
    void Draw(const Cell& cell) {
        for (const Shape& s : cell.shapes) {
            filler.BeginPolygon(static_cast<int32_t>(s.size()) + 1);
            for (size_t i = 0; i < s.size(); ++i) {
                const Point& a = s[i];
                const Point& b = s[(i + 1) % s.size()];
                filler.AddEdge(a.x, a.y, b.x, b.y);
            }
            filler.Fill();
        }
    }
};

struct CairoSide {
    Surface surface;
    cairo_t* cr;
    CairoSide(const Cell& cell, bool fast) : surface(cell.rgb565), cr(cairo_create(surface.cairo)) {
        cairo_set_antialias(cr, PeerAntialias(fast));
        cairo_set_fill_rule(cr, cell.nonZero ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
        cairo_set_source_rgb(cr, 0x33 / 255.0, 0x66 / 255.0, 0xCC / 255.0);
    }
    ~CairoSide() { cairo_destroy(cr); }
    void Draw(const Cell& cell) {
        for (const Shape& s : cell.shapes) {
            cairo_move_to(cr, s[0].x, s[0].y);
            for (size_t i = 1; i < s.size(); ++i)
                cairo_line_to(cr, s[i].x, s[i].y);
            cairo_close_path(cr);
            cairo_fill(cr);
        }
        cairo_surface_flush(surface.cairo);
    }
};

} // namespace

int main(int argc, char** argv) {
    std::vector<Cell> cells;
    uint64_t seed = 1;
    for (bool rgb565 : {false, true}) {
        const char* format = rgb565 ? "RGB565" : "ARGB32";
        for (int size : {8, 32, 128, 256}) {
            for (int vertices : {10, 40, 0}) {
                for (bool nonZero : {true, false}) {
                    if (vertices == 0 && !nonZero) continue; // a rectangle fills the same under both rules
                    std::string name = std::string(format) + "/" + std::to_string(size) + "px/" +
                                       (vertices ? std::to_string(vertices) + "v" : std::string("rect")) +
                                       (vertices ? (nonZero ? "/nonzero" : "/evenodd") : "");
                    cells.push_back({name, rgb565, MakeShapes(size, vertices, seed++), nonZero});
                }
            }
        }
    }
    return RunSides<OursSide, CairoSide>(argc, argv, cells, kWidth, kHeight, [](const Cell& c) {
        return c.name.find("/8px/40v") != std::string::npos ? kEdgePictureLimit : kPictureLimit;
    });
}
