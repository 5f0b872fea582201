#pragma once
// Reading the picture fixtures of tests/data/images and decoding bytes as the bitmap loader does.
#include <cstdint>
#include <string>
#include <vector>

class oxFrameList;

std::vector<uint8_t> ReadImageFixture(const std::string& name);
// Hands a copy of `bytes` in a block from ImageAlloc to DecodeImage.
int DecodeBytes(const std::vector<uint8_t>& bytes, oxFrameList* list);
