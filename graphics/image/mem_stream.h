#pragma once
// The decoders' byte stream over one block from ImageAlloc. Recognition adopts the caller's block
// instead of copying it.
#include <cstddef>
#include <cstdint>

struct oxMemView {
    const uint8_t* data = nullptr; // null when there were not enough bytes
    size_t size = 0;
};

struct oxMemStream {
    uint8_t* data = nullptr; // from ImageAlloc, owned
    size_t position = 0;
    size_t size = 0; // bytes of content
    size_t granularity = 512;
    size_t capacity = 0;

    oxMemStream() = default;
    oxMemStream(const oxMemStream&) = delete;
    oxMemStream& operator=(const oxMemStream&) = delete;
    ~oxMemStream() { Close(); }

    // mode 0 adopts `block` (from ImageAlloc) as the content, mode 1 copies `size` bytes of it (or
    // zeros for none) into a new block, any other mode only reserves room. 1, or 0 without memory.
    int Open(void* block, size_t size, int mode);
    void Close();
    // Frees the block and forgets position, size and capacity.
    void Reset();

    // Copy min(n, size - position) bytes; Read advances, ReadAt does not. The count copied.
    size_t Read(void* destination, size_t n);
    size_t ReadAt(void* destination, size_t n) const;
    // Clamped to the size.
    void Seek(size_t to);
    size_t GetSize() const { return size; }
    size_t Remaining() const { return size - position; }
    // The address at the position when n more bytes exist, else null.
    const uint8_t* PointerAt(size_t n) const;
    // n bytes at the position (0: the rest), or a null address when there are not so many.
    oxMemView View(size_t n) const;

    // Writes at the position (zeros for a null source), growing the size. 1, or 0 without memory.
    int Write(const void* source, size_t n);
    // Write at the end; the position stays.
    int Append(const void* source, size_t n);
    int AppendStream(const oxMemStream& other);

private:
    int Reserve(size_t needed);
};

// Puts a stream's position back (clamped) when it goes out of scope.
class oxMemStreamPosition {
public:
    explicit oxMemStreamPosition(oxMemStream& stream) : stream_(stream), saved_(stream.position) {}
    ~oxMemStreamPosition() { stream_.Seek(saved_); }
    oxMemStreamPosition(const oxMemStreamPosition&) = delete;
    oxMemStreamPosition& operator=(const oxMemStreamPosition&) = delete;

private:
    oxMemStream& stream_;
    size_t saved_;
};
