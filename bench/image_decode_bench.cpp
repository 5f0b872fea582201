// Picture decoding through DecodeImage against the same libraries called directly with the same
// output: a 480 x 800 PNG and JPEG into 24-bit blue-green-red rows, and a 20-frame GIF composed into
// full-screen 32-bit frames. The inputs are encoded once in memory before the timers start, and
// each format is decoded once both ways first to check that the pictures are the same; each pair
// runs one after the other so both see the same machine state. Report the medians of
// --benchmark_repetitions and compare ours / direct per format.
#include <benchmark/benchmark.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include "graphics/image/frame_list.h"
#include "graphics/image/image_decoder.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/pixels/image_memory.h"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 800;
constexpr int kFrames = 20;
constexpr int kStride = (kWidth * 3 + 3) / 4 * 4;

// A photo-like picture: smooth gradients with some noise, so neither codec has it too easy.
std::vector<uint8_t> Picture() {
    std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
    uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int noise = int(seed >> 27);
            uint8_t* p = &rgb[(size_t(y) * kWidth + x) * 3];
            p[0] = uint8_t((x * 255 / kWidth + noise) & 255);
            p[1] = uint8_t((y * 255 / kHeight + noise) & 255);
            p[2] = uint8_t(((x + y) * 128 / (kWidth + kHeight) + noise * 2) & 255);
        }
    return rgb;
}

void PngWrite(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

std::vector<uint8_t> EncodePng() {
    std::vector<uint8_t> out, rgb = Picture();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, PngWrite, nullptr);
    png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < kHeight; ++y)
        png_write_row(png, &rgb[size_t(y) * kWidth * 3]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> EncodeJpeg() {
    std::vector<uint8_t> rgb = Picture();
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = kWidth;
    c.image_height = kHeight;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 85, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = &rgb[size_t(c.next_scanline) * kWidth * 3];
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&c);
    std::free(buffer);
    return out;
}

int GifWrite(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

// A full first frame, then 19 frames that each redraw a 240 x 240 square somewhere else.
std::vector<uint8_t> EncodeGif() {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    GifColorType colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)};
    ColorMapObject* map = GifMakeMapObject(256, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map);
    std::vector<GifPixelType> line(kWidth);
    for (int f = 0; f < kFrames; ++f) {
        GraphicsControlBlock gcb{1, false, 5, NO_TRANSPARENT_COLOR};
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
        const int w = f == 0 ? kWidth : 240, h = f == 0 ? kHeight : 240;
        const int left = f == 0 ? 0 : (f * 37) % (kWidth - w), top = f == 0 ? 0 : (f * 71) % (kHeight - h);
        EGifPutImageDesc(gif, left, top, w, h, false, nullptr);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                line[x] = GifPixelType((x / 4 + y / 4 + f * 13) & 255);
            EGifPutLine(gif, line.data(), w);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

const std::vector<uint8_t>& Input(int format) {
    static const std::vector<uint8_t> inputs[3] = {EncodePng(), EncodeJpeg(), EncodeGif()};
    return inputs[format];
}

void Ours(benchmark::State& state, int format) {
    const std::vector<uint8_t>& bytes = Input(format);
    for (auto _ : state) {
        // The decoder takes over a block from the image allocator, as the bitmap loader hands it one.
        state.PauseTiming();
        void* block = ImageAlloc(bytes.size(), 0);
        std::memcpy(block, bytes.data(), bytes.size());
        state.ResumeTiming();
        oxFrameList list;
        if (!DecodeImage(block, bytes.size(), &list)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(list.GetFrame(0));
    }
}

// ---- the libraries called directly -----------------------------------------------------------

struct Reader {
    const uint8_t* data;
    size_t size, at;
};

void PngRead(png_structp png, png_bytep out, png_size_t n) {
    auto* r = static_cast<Reader*>(png_get_io_ptr(png));
    if (n > r->size - r->at) png_error(png, "short");
    std::memcpy(out, r->data + r->at, n);
    r->at += n;
}

// Bottom-up 24-bit rows, as our bitmaps store them; null when the library gave up.
uint8_t* DecodePngDirect(const std::vector<uint8_t>& bytes) {
    Reader reader{bytes.data(), bytes.size(), 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    auto* pixels = static_cast<uint8_t*>(std::calloc(size_t(kStride) * kHeight, 1));
    if (setjmp(png_jmpbuf(png))) {
        std::free(pixels);
        pixels = nullptr;
    } else {
        png_set_read_fn(png, &reader, PngRead);
        png_read_info(png, info);
        png_set_bgr(png);
        png_read_update_info(png, info);
        for (int y = 0; y < kHeight; ++y)
            png_read_row(png, pixels + size_t(kHeight - 1 - y) * kStride, nullptr);
        png_read_end(png, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return pixels;
}

void DirectPng(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = Input(0);
    for (auto _ : state) {
        uint8_t* pixels = DecodePngDirect(bytes);
        if (!pixels) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
}

struct JpegErrors {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void JpegExit(j_common_ptr c) {
    std::longjmp(reinterpret_cast<JpegErrors*>(c->err)->jump, 1);
}

uint8_t* DecodeJpegDirect(const std::vector<uint8_t>& bytes) {
    jpeg_decompress_struct d{};
    JpegErrors errors{};
    d.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = JpegExit;
    auto* pixels = static_cast<uint8_t*>(std::calloc(size_t(kStride) * kHeight, 1));
    if (setjmp(errors.jump)) {
        std::free(pixels);
        pixels = nullptr;
    } else {
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, bytes.data(), bytes.size());
        jpeg_read_header(&d, TRUE);
        d.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&d);
        while (d.output_scanline < d.output_height) {
            JSAMPROW row = pixels + size_t(kHeight - 1 - d.output_scanline) * kStride;
            jpeg_read_scanlines(&d, &row, 1);
        }
        jpeg_finish_decompress(&d);
    }
    jpeg_destroy_decompress(&d);
    return pixels;
}

void DirectJpeg(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = Input(1);
    for (auto _ : state) {
        uint8_t* pixels = DecodeJpegDirect(bytes);
        if (!pixels) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
}

int GifRead(GifFileType* gif, GifByteType* out, int n) {
    auto* r = static_cast<Reader*>(gif->UserData);
    const size_t got = size_t(n) < r->size - r->at ? size_t(n) : r->size - r->at;
    std::memcpy(out, r->data + r->at, got);
    r->at += got;
    return int(got);
}

// Every frame composed onto a copy of the previous one, as disposal 1 asks; bottom-up 32-bit rows.
std::vector<uint32_t*> DecodeGifDirect(const std::vector<uint8_t>& bytes) {
    Reader reader{bytes.data(), bytes.size(), 0};
    int error = 0;
    std::vector<uint32_t*> frames;
    GifFileType* gif = DGifOpen(&reader, GifRead, &error);
    if (!gif) return frames;
    if (DGifSlurp(gif) != GIF_OK) {
        DGifCloseFile(gif, &error);
        return frames;
    }
    const size_t pixels = size_t(gif->SWidth) * gif->SHeight;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        auto* canvas = static_cast<uint32_t*>(std::calloc(pixels, 4));
        if (!frames.empty()) std::memcpy(canvas, frames.back(), pixels * 4);
        const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        uint32_t palette[256] = {};
        for (int c = 0; c < map->ColorCount; ++c)
            palette[c] = 0xFF000000u | map->Colors[c].Red << 16 | map->Colors[c].Green << 8 | map->Colors[c].Blue;
        const GifImageDesc& d = image.ImageDesc;
        for (int y = 0; y < d.Height && d.Top + y < gif->SHeight; ++y) {
            uint32_t* out = canvas + size_t(gif->SHeight - 1 - d.Top - y) * gif->SWidth + d.Left;
            const GifByteType* src = image.RasterBits + size_t(y) * d.Width;
            for (int x = 0; x < d.Width && d.Left + x < gif->SWidth; ++x)
                out[x] = palette[src[x]];
        }
        frames.push_back(canvas);
    }
    DGifCloseFile(gif, &error);
    return frames;
}

void DirectGif(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = Input(2);
    for (auto _ : state) {
        std::vector<uint32_t*> frames = DecodeGifDirect(bytes);
        if (frames.empty()) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(frames.data());
        for (uint32_t* f : frames)
            std::free(f);
    }
}

// Decodes every input once both ways and compares the pictures byte for byte: the mean difference
// per byte, or -1 when a side gave no picture or another number of frames.
double CompareFormat(int format) {
    const std::vector<uint8_t>& bytes = Input(format);
    void* block = ImageAlloc(bytes.size(), 0);
    std::memcpy(block, bytes.data(), bytes.size());
    oxFrameList list;
    if (!DecodeImage(block, bytes.size(), &list)) return -1;
    std::vector<const uint8_t*> direct; // bottom-up rows per frame
    std::vector<uint32_t*> gifFrames;
    uint8_t* still = nullptr;
    if (format == 2) {
        gifFrames = DecodeGifDirect(bytes);
        for (uint32_t* f : gifFrames)
            direct.push_back(reinterpret_cast<const uint8_t*>(f));
    } else {
        still = format == 0 ? DecodePngDirect(bytes) : DecodeJpegDirect(bytes);
        if (still) direct.push_back(still);
    }
    double sum = 0, count = 0;
    bool comparable = !direct.empty() && direct.size() == list.GetFrameCount();
    for (size_t f = 0; comparable && f < direct.size(); ++f) {
        const oxDibBitmap* ours = list.GetFrame(int32_t(f));
        const int bytesPerPixel = format == 2 ? 4 : 3;
        const size_t stride = format == 2 ? size_t(kWidth) * 4 : size_t(kStride);
        if (!ours || ours->width != kWidth || ours->height != kHeight) {
            comparable = false;
            break;
        }
        for (int y = 0; y < kHeight; ++y) {
            const uint8_t* a = ours->pixels.GetRow8(y);
            const uint8_t* b = direct[f] + size_t(kHeight - 1 - y) * stride;
            for (int i = 0; i < kWidth * bytesPerPixel; ++i)
                sum += std::abs(int(a[i]) - int(b[i]));
            count += kWidth * bytesPerPixel;
        }
    }
    std::free(still);
    for (uint32_t* f : gifFrames)
        std::free(f);
    return comparable ? sum / count : -1;
}

BENCHMARK_CAPTURE(Ours, Png480x800, 0)->Unit(benchmark::kMillisecond);
BENCHMARK(DirectPng)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, Jpeg480x800, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(DirectJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, Gif480x800x20, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(DirectGif)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    const char* names[3] = {"PNG", "JPEG", "GIF"};
    int unequal = 0;
    for (int format = 0; format < 3; ++format) {
        const double d = CompareFormat(format);
        std::printf("%s: mean difference of ours and the library's pictures %.3f\n", names[format], d);
        if (d != 0) ++unequal;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (unequal) std::printf("%d formats decode to different pictures on the two sides\n", unequal);
    return unequal ? 1 : 0;
}
