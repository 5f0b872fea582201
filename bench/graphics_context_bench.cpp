// The graphics context against cairo on the same geometry: strokes of width 2 with each join and
// cap, rounded rectangles, linear and radial gradients and an opaque 128 x 128 texture at 0 and 10
// degrees, drawn into a 480 x 800 buffer in ARGB32 and (the fills) RGB565. Both sides get the same
// opaque texture and build their gradient ramps or patterns before the timer. Each cell runs ours
// and cairo's (default and FAST anti-aliasing) one after the other; the end prints ours / cairo per
// cell from the median CPU time of the repetitions, and the geometric mean per format.
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "bench/cairo_compare.h"
#include "graphics/paint/graphics_context.h"
#include "graphics/pixels/pixel_buffer.h"
#include "graphics/raster/gradient_source.h"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 800;
constexpr int kShapes = 32;
// Edges, the ramp's 256 steps and the 16-bit dither differ a little between the sides (under 4); a
// circle for an ellipse differs by 14, a texture turned about another point by 31.
constexpr double kPictureLimit = 8.0;
constexpr double kPi = 3.14159265358979323846;

struct Surface {
    SurfaceBytes bytes;
    oxPixelBuffer buffer;
    cairo_surface_t* cairo;
    int stride;
    explicit Surface(bool rgb565) {
        const cairo_format_t format = rgb565 ? CAIRO_FORMAT_RGB16_565 : CAIRO_FORMAT_ARGB32;
        stride = cairo_format_stride_for_width(format, kWidth);
        bytes.assign(static_cast<size_t>(stride) * kHeight, 0xFF);
        const int bpp = rgb565 ? 16 : 32;
        buffer.InitExternal(bytes.data(), stride, kWidth, kHeight, bpp, bpp / 8, true,
                            rgb565 ? kLayoutRgb565 : kLayoutUnspecified);
        cairo = cairo_image_surface_create_for_data(bytes.data(), format, kWidth, kHeight, stride);
    }
    ~Surface() { cairo_surface_destroy(cairo); }
};

// Polylines of 12 points, each within a 64-pixel square.
std::vector<std::vector<float>> Polylines(uint64_t seed) {
    BenchRandom r(seed);
    std::vector<std::vector<float>> out;
    for (int i = 0; i < kShapes; ++i) {
        const float ox = r.Range(0, kWidth - 64), oy = r.Range(0, kHeight - 64);
        std::vector<float> p;
        for (int k = 0; k < 12; ++k) {
            p.push_back(ox + r.Range(0, 64));
            p.push_back(oy + r.Range(0, 64));
        }
        out.push_back(p);
    }
    return out;
}

struct Box {
    float x, y, w, h;
};
std::vector<Box> Boxes(uint64_t seed, float size) {
    BenchRandom r(seed);
    std::vector<Box> out;
    for (int i = 0; i < kShapes; ++i)
        out.push_back({std::floor(r.Range(0, kWidth - size)), std::floor(r.Range(0, kHeight - size)), size,
                       std::floor(r.Range(size / 2, size))});
    return out;
}

struct Cell {
    std::string name;
    bool rgb565;
    std::function<void(oxGraphicsContext&)> ours;
    std::function<void(cairo_t*)> cairo;
};

void CairoRoundRect(cairo_t* cr, const Box& b, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, b.x + b.w - r, b.y + r, r, -kPi / 2, 0);
    cairo_arc(cr, b.x + b.w - r, b.y + b.h - r, r, 0, kPi / 2);
    cairo_arc(cr, b.x + r, b.y + b.h - r, r, kPi / 2, kPi);
    cairo_arc(cr, b.x + r, b.y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

const std::vector<Box>& GradientBoxes() {
    static const auto boxes = Boxes(11, 96);
    return boxes;
}

// What both sides build before the timer: our ramp and cairo's patterns for every box, and one
// opaque texture that cairo reads as RGB24, so that neither side blends it.
struct Shared {
    std::vector<uint32_t> ramp = std::vector<uint32_t>(256);
    oxPixelBuffer rampBuffer;
    std::vector<cairo_pattern_t*> patterns[2]; // linear, radial; one per box
    std::vector<uint32_t> texels = std::vector<uint32_t>(128 * 128);
    oxPixelBuffer texture;
    cairo_surface_t* cairoTexture;
    Shared() {
        const oxGradientStop stops[3] = {{0xFFFF0000, 0}, {0xFF00C000, 32768}, {0xFF0000FF, 65536}};
        BuildGradientRamp(ramp.data(), stops, 3);
        rampBuffer.InitExternal(ramp.data(), 1024, 256, 1, 32, 4, true);
        for (int radial = 0; radial < 2; ++radial) {
            for (const Box& b : GradientBoxes()) {
                // Ours spans the ramp over half the box each way: an ellipse in a box that is not square.
                cairo_pattern_t* p = radial ? cairo_pattern_create_radial(0, 0, 0, 0, 0, 1)
                                            : cairo_pattern_create_linear(b.x, 0, b.x + b.w, 0);
                if (radial) {
                    cairo_matrix_t m;
                    cairo_matrix_init_scale(&m, 2 / b.w, 2 / b.h);
                    cairo_matrix_translate(&m, -(b.x + b.w / 2), -(b.y + b.h / 2));
                    cairo_pattern_set_matrix(p, &m);
                }
                cairo_pattern_add_color_stop_rgb(p, 0, 1, 0, 0);
                cairo_pattern_add_color_stop_rgb(p, 0.5, 0, 0.75, 0);
                cairo_pattern_add_color_stop_rgb(p, 1, 0, 0, 1);
                patterns[radial].push_back(p);
            }
        }
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x)
                texels[y * 128 + x] =
                    0xFF000000u | uint32_t(x * 2) << 16 | uint32_t(y * 2) << 8 | uint32_t((x ^ y) & 0xFF);
        texture.InitExternal(texels.data(), 512, 128, 128, 32, 4, true);
        cairoTexture = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(texels.data()),
                                                           CAIRO_FORMAT_RGB24, 128, 128, 512);
    }
    ~Shared() {
        for (auto& list : patterns)
            for (cairo_pattern_t* p : list)
                cairo_pattern_destroy(p);
        cairo_surface_destroy(cairoTexture);
    }
};

void AddStrokeCells(std::vector<Cell>& cells) {
    const char* joinNames[3] = {"round", "miter", "bevel"};
    const char* capNames[3] = {"round", "square", "butt"};
    const cairo_line_join_t cairoJoins[3] = {CAIRO_LINE_JOIN_ROUND, CAIRO_LINE_JOIN_MITER, CAIRO_LINE_JOIN_BEVEL};
    const cairo_line_cap_t cairoCaps[3] = {CAIRO_LINE_CAP_ROUND, CAIRO_LINE_CAP_SQUARE, CAIRO_LINE_CAP_BUTT};
    static const auto lines = Polylines(7);
    for (int kind = 0; kind < 6; ++kind) {
        const bool isJoin = kind < 3;
        const int join = isJoin ? kind : 2, cap = isJoin ? 2 : kind - 3;
        const std::string name = isJoin ? std::string("ARGB32/stroke2/join-") + joinNames[join]
                                        : std::string("ARGB32/stroke2/cap-") + capNames[cap];
        cells.push_back({name, false,
                         [=](oxGraphicsContext& gc) {
                             gc.SetLineWidth(1.0f); // half of 2
                             gc.SetLineJoin(join);
                             gc.SetLineCap(cap);
                             for (const auto& p : lines)
                                 gc.StrokePath(12, p.data(), 2, nullptr);
                         },
                         [=](cairo_t* cr) {
                             cairo_set_source_rgb(cr, 0x20 / 255.0, 0x20 / 255.0, 0x20 / 255.0); // the stroke colour
                             cairo_set_line_width(cr, 2.0);
                             cairo_set_line_join(cr, cairoJoins[join]);
                             cairo_set_miter_limit(cr, 1.0 / std::sin(std::acos(-0.3) / 2)); // about the same turn
                             cairo_set_line_cap(cr, cairoCaps[cap]);
                             for (const auto& p : lines) {
                                 cairo_move_to(cr, p[0], p[1]);
                                 for (size_t k = 2; k < p.size(); k += 2)
                                     cairo_line_to(cr, p[k], p[k + 1]);
                                 cairo_stroke(cr);
                             }
                         }});
    }
}

// Rounded rectangles, gradients and textures, into the given format.
void AddFillCells(std::vector<Cell>& cells, Shared& sh, bool rgb565) {
    const std::string format = rgb565 ? "RGB565/" : "ARGB32/";
    const std::vector<Box>& boxes = GradientBoxes();
    cells.push_back({format + "roundrect/fill-r12", rgb565,
                     [&boxes](oxGraphicsContext& gc) {
                         for (const Box& b : boxes)
                             gc.RoundRect(b.x, b.y, b.x + b.w, b.y + b.h, 12, 0);
                     },
                     [&boxes](cairo_t* cr) {
                         for (const Box& b : boxes) {
                             CairoRoundRect(cr, b, 12);
                             cairo_fill(cr);
                         }
                     }});
    for (int radial = 0; radial < 2; ++radial) {
        cells.push_back({format + (radial ? "gradient/radial" : "gradient/linear"), rgb565,
                         [&sh, &boxes, radial](oxGraphicsContext& gc) {
                             gc.SetTextureImage(&sh.rampBuffer);
                             gc.SetOption(radial ? kOptionRadialGradient : kOptionLinearGradient, 1);
                             for (const Box& b : boxes) {
                                 oxMatrix m;
                                 m.Scale(b.w / 256.0f, b.h, 1.0f);
                                 if (radial) m.Scale(0.5f, 0.5f, 1.0f);
                                 m.Translate(radial ? b.x + b.w / 2 : b.x, radial ? b.y + b.h / 2 : b.y, 0);
                                 gc.SetTextureTransform(m);
                                 gc.Rect(b.x, b.y, b.x + b.w, b.y + b.h, 0);
                             }
                             gc.SetOption(radial ? kOptionRadialGradient : kOptionLinearGradient, 0);
                             gc.SetTextureImage(nullptr);
                         },
                         [&sh, &boxes, radial](cairo_t* cr) {
                             for (size_t i = 0; i < boxes.size(); ++i) {
                                 const Box& b = boxes[i];
                                 cairo_set_source(cr, sh.patterns[radial][i]);
                                 cairo_rectangle(cr, b.x, b.y, b.w, b.h);
                                 cairo_fill(cr);
                             }
                             cairo_set_source_rgb(cr, 0, 0, 0);
                         }});
    }
    static const auto spots = Boxes(23, 160);
    for (int degrees : {0, 10}) {
        const float a = float(degrees * kPi / 180);
        cells.push_back({format + "texture128/" + std::to_string(degrees) + "deg", rgb565,
                         [&sh, a](oxGraphicsContext& gc) {
                             gc.SetTextureImage(&sh.texture);
                             for (const Box& b : spots) {
                                 // Each step applies after the ones before it, in device space.
                                 gc.ResetTransform();
                                 gc.Translate(-64, -64);
                                 gc.Rotate(a);
                                 gc.Translate(b.x + 64, b.y + 64);
                                 gc.Rect(0, 0, 128, 128, 0);
                             }
                             gc.ResetTransform();
                             gc.SetTextureImage(nullptr);
                         },
                         [&sh, a](cairo_t* cr) {
                             for (const Box& b : spots) {
                                 cairo_save(cr);
                                 cairo_translate(cr, b.x + 64, b.y + 64);
                                 cairo_rotate(cr, -a); // ours turns the other way on a y-down screen
                                 cairo_translate(cr, -64, -64);
                                 cairo_set_source_surface(cr, sh.cairoTexture, 0, 0);
                                 cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
                                 cairo_rectangle(cr, 0, 0, 128, 128);
                                 cairo_fill(cr);
                                 cairo_restore(cr);
                             }
                         }});
    }
}

struct OursSide {
    Surface surface;
    oxGraphicsContext gc;
    explicit OursSide(const Cell& cell) : surface(cell.rgb565) {
        gc.AttachTarget(surface.buffer);
        gc.SetColor(0x3366CC);
        gc.SetStrokeColor(0x202020);
    }
    void Draw(const Cell& cell) { cell.ours(gc); }
};

struct CairoSide {
    Surface surface;
    cairo_t* cr;
    CairoSide(const Cell& cell, bool fast) : surface(cell.rgb565), cr(cairo_create(surface.cairo)) {
        cairo_set_antialias(cr, PeerAntialias(fast));
        cairo_set_source_rgb(cr, 0x33 / 255.0, 0x66 / 255.0, 0xCC / 255.0);
    }
    ~CairoSide() { cairo_destroy(cr); }
    void Draw(const Cell& cell) {
        cell.cairo(cr);
        cairo_surface_flush(surface.cairo);
    }
};

} // namespace

int main(int argc, char** argv) {
    Shared shared;
    std::vector<Cell> cells;
    AddStrokeCells(cells);
    AddFillCells(cells, shared, false);
    AddFillCells(cells, shared, true);
    return RunSides<OursSide, CairoSide>(argc, argv, cells, kWidth, kHeight, [](const Cell&) { return kPictureLimit; });
}
