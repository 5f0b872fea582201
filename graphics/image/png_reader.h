#pragma once
// PNG through libpng's progressive reader: the library pushes rows to an image sink that fills an
// oxDibBitmap, 24-bit blue-green-red or 32-bit premultiplied when the rows carry alpha.
#include <cstddef>
#include <cstdint>

#include <png.h>

class oxDibBitmap;
struct oxDecodeBudget;

// Receives the image's size and its rows, row 0 at the top.
class oxPngImageSink {
public:
    ~oxPngImageSink() { ReleaseImage(); }
    // Makes the bitmap; 0 when it cannot be had.
    int CreateImage(int32_t width, int32_t height, int32_t bitsPerPixel, bool hasAlpha);
    void WriteRow(const uint8_t* row, uint32_t index);
    void ReleaseImage();
    // Hands the bitmap over.
    oxDibBitmap* Detach();

    oxDibBitmap* image = nullptr;
    oxDecodeBudget* budget = nullptr;
};

class oxPngReader {
public:
    explicit oxPngReader(oxDecodeBudget& budget) { sink.budget = &budget; }
    ~oxPngReader() { Free(); }
    oxPngReader(const oxPngReader&) = delete;
    oxPngReader& operator=(const oxPngReader&) = delete;

    // The decoded image, or null.
    oxDibBitmap* Decode(const uint8_t* data, size_t size);

private:
    static void OnInfo(png_structp png, png_infop info);
    static void OnRow(png_structp png, png_bytep row, png_uint_32 index, int pass);
    static void OnEnd(png_structp png, png_infop info);
    [[noreturn]] static void OnError(png_structp png, png_const_charp message);
    static void OnWarning(png_structp png, png_const_charp message);
    void Free();

    oxPngImageSink sink;
    int done = 0;
    int interlaced = 0;
    uint32_t height = 0;
    uint8_t* rows = nullptr; // the whole image while interlaced passes are combined
    uint8_t** rowPointers = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
};
