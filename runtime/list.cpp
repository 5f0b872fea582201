#include "runtime/list.h"

namespace NUBO {

TList::TList(size_t blockSize, const TElementTraits& traits) : traits_(&traits), blocks_(sizeof(Node), blockSize) {}

TList::Node* TList::AddTail(void* value) {
    auto* node = static_cast<Node*>(blocks_.Take());
    if (!node) return nullptr;
    node->value = traits_->CopyElement(value);
    node->next = nullptr;
    node->prev = tail_;
    if (tail_) {
        tail_->next = node;
    } else {
        head_ = node;
    }
    tail_ = node;
    ++count_;
    return node;
}

void TList::FreeNode(Node* node) {
    traits_->DestroyElement(node->value);
    blocks_.Give(node);
    if (--count_ == 0) blocks_.ReleaseAll();
}

void TList::RemoveNode(Node* node) {
    if (!node) return;
    (node->prev ? node->prev->next : head_) = node->next;
    (node->next ? node->next->prev : tail_) = node->prev;
    FreeNode(node);
}

void TList::RemoveAll() {
    while (head_) {
        Node* next = head_->next;
        FreeNode(head_);
        head_ = next;
    }
    tail_ = nullptr;
    count_ = 0;
    blocks_.ReleaseAll();
}

} // namespace NUBO
