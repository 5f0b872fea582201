#include "graphics/tests/image_test_util.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "graphics/image/image_decoder.h"
#include "graphics/pixels/image_memory.h"

std::vector<uint8_t> ReadImageFixture(const std::string& name) {
    std::ifstream in(std::string(TEST_DATA_DIR) + "/images/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int DecodeBytes(const std::vector<uint8_t>& bytes, oxFrameList* list) {
    if (bytes.empty()) return DecodeImage(nullptr, 0, list);
    void* block = ImageAlloc(bytes.size(), 0);
    if (!block) return 0;
    std::memcpy(block, bytes.data(), bytes.size());
    return DecodeImage(block, bytes.size(), list);
}
