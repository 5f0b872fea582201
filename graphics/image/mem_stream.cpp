#include "graphics/image/mem_stream.h"

#include <cstring>

#include "graphics/pixels/image_memory.h"

int oxMemStream::Open(void* block, size_t n, int mode) {
    Reset();
    if (mode == 0) {
        data = static_cast<uint8_t*>(block);
        size = capacity = block ? n : 0;
        return 1;
    }
    if (!Reserve(n)) return 0;
    if (mode == 1) {
        if (block)
            std::memcpy(data, block, n);
        else
            std::memset(data, 0, n);
        size = n;
    }
    return 1;
}

void oxMemStream::Close() {
    ImageFree(data);
    data = nullptr;
}

void oxMemStream::Reset() {
    Close();
    position = size = capacity = 0;
}

size_t oxMemStream::Read(void* destination, size_t n) {
    const size_t got = ReadAt(destination, n);
    position += got;
    return got;
}

size_t oxMemStream::ReadAt(void* destination, size_t n) const {
    const size_t got = n < Remaining() ? n : Remaining();
    if (got) std::memcpy(destination, data + position, got);
    return got;
}

void oxMemStream::Seek(size_t to) {
    position = to < size ? to : size;
}

const uint8_t* oxMemStream::PointerAt(size_t n) const {
    return data && n <= Remaining() ? data + position : nullptr;
}

oxMemView oxMemStream::View(size_t n) const {
    if (n == 0) n = Remaining();
    if (!data || n > Remaining()) return {};
    return {data + position, n};
}

int oxMemStream::Reserve(size_t needed) {
    if (needed <= capacity && data) return 1;
    const size_t grown = granularity * (needed / granularity + 1);
    void* block = data ? ImageRealloc(data, grown, 1) : ImageAlloc(grown, 1);
    if (!block) return 0;
    data = static_cast<uint8_t*>(block);
    capacity = grown;
    return 1;
}

int oxMemStream::Write(const void* source, size_t n) {
    if (n > SIZE_MAX - position || !Reserve(position + n)) return 0;
    if (source)
        std::memmove(data + position, source, n);
    else
        std::memset(data + position, 0, n);
    position += n;
    if (position > size) size = position;
    return 1;
}

int oxMemStream::Append(const void* source, size_t n) {
    const size_t at = position;
    position = size;
    const int ok = Write(source, n);
    position = at;
    return ok;
}

int oxMemStream::AppendStream(const oxMemStream& other) {
    return Append(other.data ? other.data + other.position : nullptr, other.Remaining());
}
