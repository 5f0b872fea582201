#pragma once
// JPEG through libjpeg with a source manager of our own that hands the library the input from a
// staging stream. One source reads the header to size the bitmap; a second decodes into it.
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include "graphics/image/mem_stream.h"

class oxDibBitmap;
struct oxDecodeBudget;

struct oxJpegSource {
    jpeg_decompress_struct decompressor{}; // client_data points back to the source
    jpeg_error_mgr errors{};
    jpeg_source_mgr manager{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    oxMemStream input;
    oxMemStream staging;
    size_t handed = 0;    // staged bytes given to the library
    long pendingSkip = 0; // bytes to drop from input not yet staged
    bool created = false;

    oxJpegSource() = default;
    ~oxJpegSource();
    oxJpegSource(const oxJpegSource&) = delete;
    oxJpegSource& operator=(const oxJpegSource&) = delete;

    // Copies the input and creates the decompressor; false without memory.
    bool Open(const uint8_t* data, size_t size);

    static boolean FillInputBuffer(j_decompress_ptr d);
    static void SkipInputData(j_decompress_ptr d, long n);
};
