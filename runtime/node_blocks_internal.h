#pragma once
// Node storage shared by TList and TMap: nodes come from blocks of a fixed number of nodes, threaded
// onto a free list when the block is taken; blocks are only given back all at once.
#include <cstddef>

#include "runtime/allocator.h"

namespace NUBO {

// Every block of the runtime containers comes from here.
inline void* ContainerAlloc(size_t bytes) {
    return MemAlloc(bytes);
}
inline void ContainerFree(void* block) {
    MemFree(block);
}

class TNodeBlocks {
public:
    TNodeBlocks(size_t nodeSize, size_t blockSize);
    TNodeBlocks(const TNodeBlocks&) = delete;
    TNodeBlocks& operator=(const TNodeBlocks&) = delete;
    ~TNodeBlocks() { ReleaseAll(); }

    // A free node, taking a new block when none is left; null when memory ran out.
    void* Take();
    void Give(void* node);
    // Frees every block; only valid when no node is in use.
    void ReleaseAll();
    bool HasBlocks() const { return blocks_ != nullptr; }

private:
    struct Link {
        Link* next;
    };
    size_t nodeSize_;
    size_t blockSize_;
    Link* blocks_ = nullptr;
    Link* free_ = nullptr;
};

} // namespace NUBO
