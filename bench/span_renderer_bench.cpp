// A 480 x 800 picture drawn through a matrix with bilinear filtering, by the span renderer and by
// cairo (the picture as a source surface under the same matrix, its rectangle filled, bilinear
// filter), onto a 480 x 800 target of 32 bits and of RGB565. Both sides make their picture, surface
// and matrix before the timer; each draws over its own last drawing, which gives the same pixels.
#include <cairo.h>

#include <cmath>
#include <string>
#include <vector>

#include "bench/cairo_compare.h"
#include "graphics/pixels/matrix.h"
#include "graphics/pixels/pixel_buffer.h"
#include "graphics/raster/span_renderer.h"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 800;
// The sides differ along the picture's anti-aliased edges (cairo covers partial pixels, ours draws
// whole pixels whose centres fall inside), by the 7-bit weights of cairo's bilinear filter against
// our 8-bit ones, and on RGB565 by the five bits we keep of green.
constexpr double kPictureLimit = 4.0;

struct Cell {
    std::string name;
    bool rgb565;
    oxMatrix matrix;
};

// An opaque picture with smooth ramps and a hard-edged grid, so that filtering shows in both.
struct Picture {
    std::vector<uint32_t> texels;
    oxPixelBuffer buffer;
    cairo_surface_t* cairo;
    Picture() : texels(size_t(kWidth) * kHeight) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const uint32_t r = uint32_t(x * 255 / (kWidth - 1)), g = uint32_t(y * 255 / (kHeight - 1));
                const uint32_t b = ((x / 24 + y / 24) & 1) ? 0xE0 : 0x20;
                texels[size_t(y) * kWidth + x] = 0xFF000000u | r << 16 | g << 8 | b;
            }
        buffer.InitExternal(texels.data(), kWidth * 4, kWidth, kHeight, 32, 4, true);
        cairo = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(texels.data()), CAIRO_FORMAT_RGB24,
                                                    kWidth, kHeight, kWidth * 4);
    }
    ~Picture() { cairo_surface_destroy(cairo); }
};

const Picture& SharedPicture() {
    static const Picture picture;
    return picture;
}

struct Surface {
    SurfaceBytes bytes;
    oxPixelBuffer buffer;
    cairo_surface_t* cairo;
    int stride;
    explicit Surface(bool rgb565) {
        const cairo_format_t format = rgb565 ? CAIRO_FORMAT_RGB16_565 : CAIRO_FORMAT_ARGB32;
        stride = cairo_format_stride_for_width(format, kWidth);
        bytes.assign(size_t(stride) * kHeight, 0xFF);
        const int bpp = rgb565 ? 16 : 32;
        buffer.InitExternal(bytes.data(), stride, kWidth, kHeight, bpp, bpp / 8, true,
                            rgb565 ? kLayoutRgb565 : kLayoutUnspecified);
        cairo = cairo_image_surface_create_for_data(bytes.data(), format, kWidth, kHeight, stride);
    }
    ~Surface() { cairo_surface_destroy(cairo); }
};

struct OursSide {
    Surface surface;
    oxSpanRenderer renderer;
    explicit OursSide(const Cell& cell) : surface(cell.rgb565) { renderer.filter = oxSpanRenderer::kBilinear; }
    void Draw(const Cell& cell) {
        renderer.DrawTransformed(surface.buffer, SharedPicture().buffer, cell.matrix, nullptr);
    }
};

struct CairoSide {
    Surface surface;
    cairo_t* cr;
    cairo_matrix_t matrix;
    CairoSide(const Cell& cell, bool fast) : surface(cell.rgb565), cr(cairo_create(surface.cairo)) {
        cairo_set_antialias(cr, PeerAntialias(fast));
        const float* m = cell.matrix.m;
        cairo_matrix_init(&matrix, m[0], m[1], m[3], m[4], m[9], m[10]);
    }
    ~CairoSide() { cairo_destroy(cr); }
    void Draw(const Cell&) {
        cairo_save(cr);
        cairo_transform(cr, &matrix);
        cairo_set_source_surface(cr, SharedPicture().cairo, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
        cairo_rectangle(cr, 0, 0, kWidth, kHeight);
        cairo_fill(cr);
        cairo_restore(cr);
        cairo_surface_flush(surface.cairo);
    }
};

// The picture turned by `degrees` and scaled by `scale` about its centre, which stays at the
// target's centre.
oxMatrix TurnAndScale(float degrees, float scale) {
    oxMatrix m;
    m.Translate(-kWidth / 2.0f, -kHeight / 2.0f, 0);
    m.Scale(scale, scale, 1);
    m.RotateZ(degrees * 3.14159265f / 180.0f);
    m.Translate(kWidth / 2.0f, kHeight / 2.0f, 0);
    return m;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<Cell> cells;
    for (bool rgb565 : {false, true}) {
        const std::string format = rgb565 ? "rgb565/" : "argb32/";
        cells.push_back({format + "turn15-scale0.9", rgb565, TurnAndScale(15, 0.9f)});
        cells.push_back({format + "turn-40-scale1.3", rgb565, TurnAndScale(-40, 1.3f)});
    }
    return RunSides<OursSide, CairoSide>(argc, argv, cells, kWidth, kHeight, [](const Cell&) { return kPictureLimit; });
}
