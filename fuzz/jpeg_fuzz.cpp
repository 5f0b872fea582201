// JPEG through libjpeg and our source manager.
#include "fuzz/image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecodeImage(data, size, "\xFF\xD8", 2);
}
