// Bitmap files, which are recognised and give an empty frame.
#include "fuzz/image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecodeImage(data, size, "BM", 2);
}
