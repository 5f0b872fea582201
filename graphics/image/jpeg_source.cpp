#include "graphics/image/jpeg_source.h"

#include <new>

#include "graphics/image/image_decoder_internal.h"
#include "graphics/image/mem_stream.h"
#include "graphics/pixels/dib_bitmap.h"

namespace {

// A normal progressive file has about ten scans; thousands of empty ones would each walk the
// whole coefficient buffer.
constexpr int kMaxScans = 256;

oxJpegSource* SourceOf(j_common_ptr c) {
    return static_cast<oxJpegSource*>(c->client_data);
}

[[noreturn]] void ErrorExit(j_common_ptr c) {
    std::longjmp(SourceOf(c)->jump, 1);
}

// Decoding reports by results only; the device had no console for the library's messages.
void OutputMessage(j_common_ptr) {}

void NoOp(j_decompress_ptr) {}

void Progress(j_common_ptr c) {
    if (reinterpret_cast<j_decompress_ptr>(c)->input_scan_number > kMaxScans) ErrorExit(c);
}

// The frames below hold only plain values, so the library's jump back skips no destructor.
int ReadSize(oxJpegSource* s, int32_t* width, int32_t* height) {
    if (setjmp(s->jump)) return 0;
    if (jpeg_read_header(&s->decompressor, TRUE) != JPEG_HEADER_OK) return 0;
    *width = int32_t(s->decompressor.image_width);
    *height = int32_t(s->decompressor.image_height);
    return 1;
}

// Lines decoded into the bitmap, or -1 when the library gave up. The header has been read by the
// same source: unlike a second source over the same bytes, nothing is created or read twice.
int ReadLines(oxJpegSource* s, oxDibBitmap* bitmap, long memoryLimit) {
    j_decompress_ptr d = &s->decompressor;
    volatile int lines = 0;
    if (setjmp(s->jump)) return -1;
    d->mem->max_memory_to_use = memoryLimit;
    // The library writes blue, green, red: the 24-bit order of our bitmaps, so rows need no swap.
    d->out_color_space = JCS_EXT_BGR;
    // Buffered-image mode is never asked for, so the whole input is taken by the start call.
    if (!jpeg_start_decompress(d)) return lines;
    if (int32_t(d->output_width) != bitmap->width || int32_t(d->output_height) != bitmap->height ||
        d->output_components != 3)
        return lines;
    while (d->output_scanline < d->output_height) {
        JSAMPROW row = bitmap->pixels.GetRow8(int32_t(d->output_scanline));
        if (jpeg_read_scanlines(d, &row, 1) == 0) break;
        lines = lines + 1;
    }
    jpeg_finish_decompress(d);
    return lines;
}

} // namespace

oxJpegSource::~oxJpegSource() {
    if (created) jpeg_destroy_decompress(&decompressor);
}

bool oxJpegSource::Open(const uint8_t* data, size_t count) {
    input = data;
    size = data ? count : 0;
    position = 0;
    decompressor.err = jpeg_std_error(&errors);
    errors.error_exit = ErrorExit;
    errors.output_message = OutputMessage;
    decompressor.client_data = this;
    if (setjmp(jump)) return false;
    jpeg_CreateDecompress(&decompressor, JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct));
    created = true;
    manager.init_source = NoOp;
    manager.term_source = NoOp;
    manager.fill_input_buffer = FillInputBuffer;
    manager.skip_input_data = SkipInputData;
    manager.resync_to_restart = jpeg_resync_to_restart;
    decompressor.src = &manager;
    progress.progress_monitor = Progress;
    decompressor.progress = &progress;
    return true;
}

boolean oxJpegSource::FillInputBuffer(j_decompress_ptr d) {
    oxJpegSource* s = SourceOf(reinterpret_cast<j_common_ptr>(d));
    if (s->position == s->size) return FALSE;
    if (s->pendingSkip > 0) {
        const size_t left = s->size - s->position;
        const size_t skip = size_t(s->pendingSkip) < left ? size_t(s->pendingSkip) : left;
        s->position += skip;
        s->pendingSkip -= long(skip);
    }
    // All that is left at once, where it lies: the library reads it in place, with no staging copy.
    const size_t count = s->size - s->position;
    if (count == 0) return FALSE;
    s->manager.next_input_byte = s->input + s->position;
    s->manager.bytes_in_buffer = count;
    s->handed += count;
    s->position = s->size;
    return TRUE;
}

void oxJpegSource::SkipInputData(j_decompress_ptr d, long n) {
    oxJpegSource* s = SourceOf(reinterpret_cast<j_common_ptr>(d));
    if (n <= 0) return;
    if (size_t(n) > s->manager.bytes_in_buffer) {
        s->pendingSkip += long(n - long(s->manager.bytes_in_buffer));
        s->manager.next_input_byte += s->manager.bytes_in_buffer;
        s->manager.bytes_in_buffer = 0;
    } else {
        s->manager.next_input_byte += n;
        s->manager.bytes_in_buffer -= size_t(n);
    }
}

oxDibBitmap* DecodeJpeg(oxMemStream& stream, oxDecodeBudget& budget) {
    const oxMemView rest = stream.View(0);
    if (!rest.data) return nullptr;

    int32_t width = 0, height = 0;
    // One source reads the header and then the scanlines, where a first source for the header and
    // a second for the decode would create the decompressor and read the header twice.
    auto* source = new (std::nothrow) oxJpegSource;
    if (!source || !source->Open(rest.data, rest.size) || !ReadSize(source, &width, &height) ||
        !budget.TakeImage(width, height, 3)) {
        delete source;
        return nullptr;
    }
    auto* bitmap = new (std::nothrow) oxDibBitmap(width, height, 24, false, false);
    if (!bitmap || !bitmap->valid) {
        delete source;
        delete bitmap;
        return nullptr;
    }
    const int lines = ReadLines(source, bitmap, long(budget.left));
    delete source;
    if (lines <= 0) {
        delete bitmap;
        return nullptr;
    }
    return bitmap;
}
