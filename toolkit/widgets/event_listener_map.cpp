#include "toolkit/widgets/event_listener_map.h"

#include <new>

#include "toolkit/core/event.h"

oxEventListenerMap::oxEventListenerMap() {
    sentinel_.prev = sentinel_.next = &sentinel_;
    sentinel_.atom = 0;
    sentinel_.listener = nullptr;
    for (Node*& b : buckets_)
        b = &sentinel_;
}

oxEventListenerMap::~oxEventListenerMap() {
    Clear();
}

oxEventListenerMap::Node* oxEventListenerMap::Find(oxAtom atom, oxEventListener* listener) const {
    const int b = BucketOf(atom);
    for (Node* n = buckets_[b]; n != buckets_[b + 1]; n = n->next)
        if (n->atom == atom && n->listener == listener) return n;
    return nullptr;
}

size_t oxEventListenerMap::IndexOf(const Node* node) const {
    size_t i = 0;
    for (const Node* n = sentinel_.next; n != node && n != &sentinel_; n = n->next)
        ++i;
    return i;
}

void oxEventListenerMap::Add(oxAtom atom, oxEventListener* listener) {
    if (!listener || Find(atom, listener)) return;
    const int b = BucketOf(atom);
    // After the last node of the run whose atom is not above the new one.
    Node* pos = buckets_[b];
    while (pos != buckets_[b + 1] && pos->atom <= atom)
        pos = pos->next;
    Node* node = new (std::nothrow) Node{pos->prev, pos, atom, listener};
    if (!node) return;
    const size_t index = walks_.empty() ? 0 : IndexOf(pos);
    pos->prev->next = node;
    pos->prev = node;
    // The new node heads its run, and the runs of the empty buckets before it, when it went first.
    for (int k = b; k >= 0 && buckets_[k] == pos; --k)
        buckets_[k] = node;
    listener->AddRef();
    ++count_;
    for (Walk* w : walks_) {
        w->changed = true;
        if (index <= w->position) ++w->position;
    }
}

void oxEventListenerMap::Unlink(Node* node) {
    const int b = BucketOf(node->atom);
    for (int k = b; k >= 0 && buckets_[k] == node; --k)
        buckets_[k] = node->next;
    node->prev->next = node->next;
    node->next->prev = node->prev;
    --count_;
}

void oxEventListenerMap::Remove(oxAtom atom, oxEventListener* listener) {
    if (!listener) return;
    Node* node = Find(atom, listener);
    if (!node) return;
    if (!walks_.empty()) {
        const size_t index = IndexOf(node);
        for (Walk* w : walks_) {
            w->changed = true;
            if (index < w->position)
                --w->position;
            else if (index == w->position)
                w->currentGone = true;
        }
    }
    Unlink(node);
    node->listener->Release();
    delete node;
}

void oxEventListenerMap::Dispatch(oxEvent* event) {
    if (!event) return;
    const oxAtom type = event->GetType();
    Walk walk{0, false, false, false};
    walks_.push_back(&walk);
    for (Node* n = sentinel_.next; n != &sentinel_;) {
        if (n->atom != type) {
            n = n->next;
            ++walk.position;
            continue;
        }
        oxEventListener* listener = n->listener;
        listener->AddRef(); // kept alive through its own removal
        const int32_t result = listener->HandleEvent(event);
        listener->Release();
        if (result == 0 || walk.cleared) break;
        if (!walk.changed) {
            n = n->next;
            ++walk.position;
            continue;
        }
        // Walk again from the start by the position, which removals and additions kept current.
        const size_t next = walk.currentGone ? walk.position : walk.position + 1;
        walk.currentGone = false;
        walk.changed = false;
        walk.position = next;
        n = sentinel_.next;
        for (size_t i = 0; i < next && n != &sentinel_; ++i)
            n = n->next;
    }
    walks_.pop_back();
}

void oxEventListenerMap::Clear() {
    for (Walk* w : walks_)
        w->cleared = true;
    Node* n = sentinel_.next;
    while (n != &sentinel_) {
        Node* next = n->next;
        n->listener->Release();
        delete n;
        n = next;
    }
    sentinel_.prev = sentinel_.next = &sentinel_;
    for (Node*& b : buckets_)
        b = &sentinel_;
    count_ = 0;
}
