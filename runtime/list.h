#pragma once
// The runtime library's doubly linked list of pointer-sized values. Nodes come from blocks of a fixed
// number of nodes; when the list becomes empty every block is given back.
#include <cstddef>

#include "runtime/element_traits.h"
#include "runtime/node_blocks_internal.h"

namespace NUBO {

class TList {
public:
    struct Node {
        Node* next;
        Node* prev;
        void* value;
    };

    explicit TList(size_t blockSize = 10, const TElementTraits& traits = TDynamicTraits::Instance());
    TList(const TList&) = delete;
    TList& operator=(const TList&) = delete;
    ~TList() { RemoveAll(); }

    // Appends a copy of `value`; the new node, or null when memory ran out.
    Node* AddTail(void* value);
    // Destroys the node's value and frees the node.
    void RemoveNode(Node* node);
    void RemoveAll();

    Node* GetHead() const { return head_; }
    Node* GetTail() const { return tail_; }
    size_t GetCount() const { return count_; }
    bool HoldsNodeBlocks() const { return blocks_.HasBlocks(); }

private:
    void FreeNode(Node* node);

    const TElementTraits* traits_;
    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    size_t count_ = 0;
    TNodeBlocks blocks_;
};

class TPtrList : public TList {
public:
    explicit TPtrList(size_t blockSize = 10) : TList(blockSize, TDynamicTraits::Instance()) {}
};

} // namespace NUBO
