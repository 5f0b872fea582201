#include "runtime/node_blocks_internal.h"

namespace NUBO {

TNodeBlocks::TNodeBlocks(size_t nodeSize, size_t blockSize)
    : nodeSize_((nodeSize + alignof(void*) - 1) / alignof(void*) * alignof(void*)),
      blockSize_(blockSize ? blockSize : 1) {}

void* TNodeBlocks::Take() {
    if (!free_) {
        // A block is its chain link followed by blockSize_ nodes.
        if (blockSize_ > (static_cast<size_t>(-1) - sizeof(Link)) / nodeSize_) return nullptr;
        auto* block = static_cast<Link*>(ContainerAlloc(sizeof(Link) + blockSize_ * nodeSize_));
        if (!block) return nullptr;
        block->next = blocks_;
        blocks_ = block;
        char* nodes = reinterpret_cast<char*>(block + 1);
        for (size_t i = blockSize_; i-- > 0;)
            Give(nodes + i * nodeSize_);
    }
    Link* node = free_;
    free_ = node->next;
    return node;
}

void TNodeBlocks::Give(void* node) {
    auto* link = static_cast<Link*>(node);
    link->next = free_;
    free_ = link;
}

void TNodeBlocks::ReleaseAll() {
    while (blocks_) {
        Link* next = blocks_->next;
        ContainerFree(blocks_);
        blocks_ = next;
    }
    free_ = nullptr;
}

} // namespace NUBO
