#pragma once
// JPEG through libjpeg with a source manager of our own that hands the library the caller's bytes
// as they lie. One source reads the header, the bitmap is sized from it, and the same source goes
// on to decode into it.
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

class oxDibBitmap;
struct oxDecodeBudget;

struct oxJpegSource {
    jpeg_decompress_struct decompressor{}; // client_data points back to the source
    jpeg_error_mgr errors{};
    jpeg_source_mgr manager{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    const uint8_t* input = nullptr; // the caller's, which outlive the source
    size_t size = 0;
    size_t position = 0;  // of the next byte not yet given to the library
    size_t handed = 0;    // bytes given to the library
    long pendingSkip = 0; // bytes to drop from input not yet given
    bool created = false;

    oxJpegSource() = default;
    ~oxJpegSource();
    oxJpegSource(const oxJpegSource&) = delete;
    oxJpegSource& operator=(const oxJpegSource&) = delete;

    // Takes the input (not a copy) and creates the decompressor; false without memory.
    bool Open(const uint8_t* data, size_t count);

    static boolean FillInputBuffer(j_decompress_ptr d);
    static void SkipInputData(j_decompress_ptr d, long n);
};
