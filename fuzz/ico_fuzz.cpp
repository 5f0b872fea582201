// Icon files through our own reader.
#include "fuzz/image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecodeImage(data, size, "\0\0\1\0", 4);
}
