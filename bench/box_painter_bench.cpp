// A 480 x 800 list screen of 40 rows (two columns of 20 rows, 240 x 40 each) painted from computed
// styles through the box painter, and the same drawing through cairo, in one run. Each row: a
// background with corners of 6 and a 2-stop vertical gradient, a 1-pixel border, a 40-pixel round
// picture and three small rounded badges. Style records, the gradient ramp, the picture and cairo's
// pattern and picture surface are made once, outside the timer, on both sides alike; each
// iteration is one full repaint including clearing the screen.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "graphics/paint/canvas.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/raster/blitter.h"
#include "toolkit/paint/box_painter.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_tables.h"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 800;
constexpr int kRows = 40;
constexpr int kRowWidth = 240;
constexpr int kRowHeight = 40;
constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kTop = 0xFFF4F8FFu, kBottom = 0xFFC8D8F0u, kBorder = 0xFF7080A0u;
constexpr uint32_t kBadges[3] = {0xFFE04040u, 0xFF40A060u, 0xFF4060E0u};

// A 40 x 40 round picture: a diagonal colour ramp inside a circle, transparent outside (premultiplied).
std::unique_ptr<oxDibBitmap> MakePicture() {
    auto image = std::make_unique<oxDibBitmap>(40, 40, 32, true, false);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const float dx = float(x) + 0.5f - 20.0f, dy = float(y) + 0.5f - 20.0f;
            const float cover = std::fmin(1.0f, std::fmax(0.0f, 20.0f - std::sqrt(dx * dx + dy * dy)));
            const uint32_t a = uint32_t(cover * 255.0f + 0.5f);
            const uint32_t r = uint32_t(x * 6) * a / 255, g = uint32_t(y * 6) * a / 255, b = 0x90 * a / 255;
            image->pixels.GetRow32(y)[x] = a << 24 | r << 16 | g << 8 | b;
        }
    image->premultiplied = 1;
    return image;
}

class Picture : public oxPaintElement {
public:
    explicit Picture(const oxDibBitmap* image) : image_(image) {}
    Kind GetPaintKind() const override { return kImage; }
    const oxDibBitmap* GetImage(int) override { return image_; }

private:
    const oxDibBitmap* image_;
};

// A vertical 2-stop gradient; the ramp is built once, the matrix per rectangle.
class Gradient : public oxPaintElement {
public:
    Gradient() : ramp_(256, 1, 32, true, false) {}
    Kind GetPaintKind() const override { return kLinearGradientBrush; }
    bool GetGradient(const oxCanvasRect& rect, oxGradientFill* out) override {
        return BuildLinearGradientMatrix(rect, out);
    }
    bool Build() {
        const uint32_t stops[2] = {kTop, kBottom};
        return BuildLinearGradient(&ramp_, stops, 2, oxCanvasRect{0, 0, 1, 1}, 0, 0, 0, 1, &fill_);
    }

private:
    bool BuildLinearGradientMatrix(const oxCanvasRect& rect, oxGradientFill* out) {
        *out = fill_;
        out->matrix = oxMatrix();
        out->matrix.Scale(float(rect.height) / 256.0f, float(rect.height), 1.0f);
        out->matrix.RotateZ(float(-kPi / 2)); // the ramp runs down the rectangle
        out->matrix.Translate(float(rect.x), float(rect.y), 0.0f);
        return true;
    }

    oxDibBitmap ramp_;
    oxGradientFill fill_;
};

class Resolver : public oxPaintResolver {
public:
    oxPaintElement* picture = nullptr;
    oxPaintElement* gradient = nullptr;
    oxPaintElement* Resolve(oxBoxScene*, const oxStyleValue& value) override {
        const WCHAR* text = value.GetText();
        if (!text) return nullptr;
        return text[0] == u'p' ? picture : text[0] == u'g' ? gradient : nullptr;
    }
};

oxStyleValue Int(int v) {
    return oxStyleValue(v, kStyleInteger);
}

void Corners(oxBoxStyle* s, int first, int r) {
    for (int i = 0; i < 4; ++i)
        s->SetProperty(first + i, Int(r));
}

struct Screen {
    std::vector<uint8_t> bytes;
    oxPixelBuffer buffer;
    int stride;
    Screen() {
        stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, kWidth);
        bytes.assign(size_t(stride) * kHeight, 0);
        buffer.InitExternal(bytes.data(), stride, kWidth, kHeight, 32, 4, true);
    }
};

struct RowPlace {
    int x, y;
};
std::vector<RowPlace> Rows() {
    std::vector<RowPlace> rows;
    for (int i = 0; i < kRows; ++i)
        rows.push_back({(i / 20) * kRowWidth, (i % 20) * kRowHeight});
    return rows;
}

void BM_BoxPainter(benchmark::State& state) {
    Screen screen;
    oxCanvas canvas;
    canvas.AttachTarget(screen.buffer);
    auto image = MakePicture();
    Picture picture(image.get());
    Gradient gradient;
    if (!gradient.Build()) {
        state.SkipWithError("gradient");
        return;
    }
    Resolver resolver;
    resolver.picture = &picture;
    resolver.gradient = &gradient;
    oxBoxPainter::SetResolver(&resolver);

    // One style record per kind of box, as rows sharing their rules share records.
    auto* row = new oxBoxStyle(nullptr, false, nullptr);
    row->SetProperty(kStyle_fill, oxStyleValue(u"grad", kStyleUrl));
    Corners(row, kStyle_fillCornerRadiusTop, 6);
    row->SetProperty(kStyle_stroke, oxStyleValue::Color(kBorder));
    row->SetProperty(kStyle_strokeWidth, Int(1));
    Corners(row, kStyle_strokeCornerRadiusTop, 6);
    auto* pic = new oxBoxStyle(nullptr, false, nullptr);
    pic->SetProperty(kStyle_fill, oxStyleValue(u"pic", kStyleUrl));
    pic->SetProperty(kStyle_fillSize, oxStyleValue::Keyword(kKeywordNone));
    oxBoxStyle* badges[3];
    for (int i = 0; i < 3; ++i) {
        badges[i] = new oxBoxStyle(nullptr, false, nullptr);
        badges[i]->SetProperty(kStyle_fill, oxStyleValue::Color(kBadges[i]));
        Corners(badges[i], kStyle_fillCornerRadiusTop, 7);
    }
    const std::vector<RowPlace> rows = Rows();
    oxBlitter clear;

    for (auto _ : state) {
        clear.FillRect(screen.buffer, nullptr, 0xFFFFFFFFu);
        for (const RowPlace& p : rows) {
            // What BeginBoxPaint and EndBoxPaint do for a box without colour, text or transform styles.
            canvas.PushMatrix();
            canvas.PushClip();
            canvas.OffsetOrigin(float(p.x), float(p.y));
            const oxCanvasRect back{2, 2, kRowWidth - 4, kRowHeight - 4};
            oxBoxPainter::PaintBoxFill(&canvas, nullptr, back, row);
            oxBoxPainter::PaintBoxStroke(&canvas, nullptr, back, row);
            oxBoxPainter::PaintBoxFill(&canvas, nullptr, oxCanvasRect{6, 0, 40, 40}, pic);
            for (int i = 0; i < 3; ++i)
                oxBoxPainter::PaintBoxFill(&canvas, nullptr, oxCanvasRect{150 + i * 28, 13, 24, 14}, badges[i]);
            canvas.PopMatrix();
            canvas.PopClip();
        }
        benchmark::DoNotOptimize(screen.bytes.data());
    }
    oxBoxPainter::SetResolver(nullptr);
    row->Release();
    pic->Release();
    for (oxBoxStyle* b : badges)
        b->Release();
    if (const char* path = std::getenv("BOX_PAINTER_BENCH_DUMP")) {
        FILE* f = std::fopen(path, "wb");
        if (f) {
            std::fwrite(screen.bytes.data(), 1, screen.bytes.size(), f);
            std::fclose(f);
        }
    }
}

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void SetColor(cairo_t* cr, uint32_t argb) {
    cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
                          (argb >> 24) / 255.0);
}

void BM_Cairo(benchmark::State& state) {
    Screen screen;
    cairo_surface_t* surface =
        cairo_image_surface_create_for_data(screen.bytes.data(), CAIRO_FORMAT_ARGB32, kWidth, kHeight, screen.stride);
    cairo_t* cr = cairo_create(surface);
    auto image = MakePicture();
    cairo_surface_t* picture = cairo_image_surface_create_for_data(image->bits, CAIRO_FORMAT_ARGB32, image->width,
                                                                   image->height, image->pixels.stride);
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, 0, kRowHeight - 4);
    cairo_pattern_add_color_stop_rgb(gradient, 0, ((kTop >> 16) & 0xFF) / 255.0, ((kTop >> 8) & 0xFF) / 255.0,
                                     (kTop & 0xFF) / 255.0);
    cairo_pattern_add_color_stop_rgb(gradient, 1, ((kBottom >> 16) & 0xFF) / 255.0, ((kBottom >> 8) & 0xFF) / 255.0,
                                     (kBottom & 0xFF) / 255.0);
    const std::vector<RowPlace> rows = Rows();

    for (auto _ : state) {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        for (const RowPlace& p : rows) {
            cairo_save(cr);
            cairo_translate(cr, p.x, p.y);
            RoundRect(cr, 2, 2, kRowWidth - 4, kRowHeight - 4, 6);
            cairo_matrix_t m;
            cairo_matrix_init_translate(&m, 0, -2);
            cairo_pattern_set_matrix(gradient, &m);
            cairo_set_source(cr, gradient);
            cairo_fill(cr);
            RoundRect(cr, 2.5, 2.5, kRowWidth - 5, kRowHeight - 5, 6);
            cairo_set_line_width(cr, 1);
            SetColor(cr, kBorder);
            cairo_stroke(cr);
            cairo_set_source_surface(cr, picture, 6, 0);
            cairo_rectangle(cr, 6, 0, 40, 40);
            cairo_fill(cr);
            for (int i = 0; i < 3; ++i) {
                RoundRect(cr, 150 + i * 28, 13, 24, 14, 7);
                SetColor(cr, kBadges[i]);
                cairo_fill(cr);
            }
            cairo_restore(cr);
        }
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(screen.bytes.data());
    }
    cairo_pattern_destroy(gradient);
    cairo_surface_destroy(picture);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

BENCHMARK(BM_BoxPainter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cairo)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
