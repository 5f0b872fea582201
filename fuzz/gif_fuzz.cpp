// GIF frames through giflib and the frame composer.
#include "fuzz/image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecodeImage(data, size, "GIF89a", 6);
}
