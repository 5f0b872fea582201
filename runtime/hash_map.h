#pragma once
// The toolkit's 16-bucket hash maps. All nodes stand on one doubly linked list, grouped by bucket in
// ascending bucket order and, within a bucket, in ascending key order (equal keys in insertion order).
// A vector of 17 positions holds the first node of each bucket and the end, so a bucket is the run
// between its position and the next one. Iteration follows the list, which callers rely on for a
// stable, key-derived order.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "platform/types.h"

namespace NUBO {

struct oxHashLink {
    oxHashLink* next;
    oxHashLink* prev;
};

// The list and the bucket vector, shared by every key type.
class oxHashListBase {
public:
    static constexpr unsigned kBuckets = 16;

    oxHashListBase(const oxHashListBase&) = delete;
    oxHashListBase& operator=(const oxHashListBase&) = delete;

    size_t Count() const { return count_; }
    bool IsEmpty() const { return count_ == 0; }

protected:
    oxHashListBase() { InitMap(); }
    ~oxHashListBase() = default;

    // An empty list whose 17 positions all stand at the end.
    void InitMap();
    oxHashLink* End() { return &head_; }
    const oxHashLink* End() const { return &head_; }
    oxHashLink* BucketBegin(unsigned bucket) const { return buckets_[bucket]; }
    oxHashLink* BucketEnd(unsigned bucket) const { return buckets_[bucket + 1]; }
    // Links `node` before `before`, which lies in `bucket`'s run or is the run's end.
    void Link(unsigned bucket, oxHashLink* before, oxHashLink* node);
    // Unlinks `node` of `bucket` and returns the node after it.
    oxHashLink* Unlink(unsigned bucket, oxHashLink* node);

private:
    oxHashLink head_;
    oxHashLink* buckets_[kBuckets + 1];
    size_t count_ = 0;
};

// Traits give the stored key type, the type keys are looked up by, a hash whose low 4 bits pick the
// bucket, a three-way comparison of a stored key with a looked-up one, and how a key is stored.
template <class KeyTraits, class V> class oxHashMap : public oxHashListBase {
public:
    using Key = typename KeyTraits::Key;
    using Arg = typename KeyTraits::Arg;

    struct Node : oxHashLink {
        Node(Key k, V v) : key(std::move(k)), value(std::move(v)) {}
        Key key;
        V value;
    };

    template <class N, class L> class Iter {
    public:
        explicit Iter(L* link) : link_(link) {}
        N& operator*() const { return *static_cast<N*>(link_); }
        N* operator->() const { return static_cast<N*>(link_); }
        Iter& operator++() {
            link_ = link_->next;
            return *this;
        }
        bool operator==(const Iter& other) const { return link_ == other.link_; }
        L* link() const { return link_; }

    private:
        L* link_;
    };
    using iterator = Iter<Node, oxHashLink>;
    using const_iterator = Iter<const Node, const oxHashLink>;

    oxHashMap() = default;
    ~oxHashMap() { ClearNodes(); }

    iterator begin() { return iterator(End()->next); }
    iterator end() { return iterator(End()); }
    const_iterator begin() const { return const_iterator(End()->next); }
    const_iterator end() const { return const_iterator(End()); }

    // The first node of `key`, or null.
    Node* Find(Arg key) {
        unsigned b = BucketOf(key);
        oxHashLink* at = LowerBound(b, key);
        return at != BucketEnd(b) && Cmp(at, key) == 0 ? static_cast<Node*>(at) : nullptr;
    }
    const Node* Find(Arg key) const { return const_cast<oxHashMap*>(this)->Find(key); }

    // The value of `key`, or an empty value when absent.
    V Lookup(Arg key) const {
        const Node* n = Find(key);
        return n ? n->value : V{};
    }

    // The value slot of `key`, inserting (key, empty value) when absent.
    V& GetOrInsert(Arg key) {
        unsigned b = BucketOf(key);
        oxHashLink* at = LowerBound(b, key);
        if (at != BucketEnd(b) && Cmp(at, key) == 0) return static_cast<Node*>(at)->value;
        return LinkNew(b, at, key, V{})->value;
    }

    // Adds (key, value) after the nodes of an equal key.
    Node* Insert(Arg key, V value) {
        unsigned b = BucketOf(key);
        return LinkNew(b, UpperBound(b, key), key, std::move(value));
    }

    // The run of nodes of `key`: first node and the node after the run; an empty run at the end when absent.
    std::pair<iterator, iterator> EqualRange(Arg key) {
        unsigned b = BucketOf(key);
        oxHashLink* first = LowerBound(b, key);
        if (first == BucketEnd(b) || Cmp(first, key) != 0) return {end(), end()};
        return {iterator(first), iterator(UpperBound(b, key))};
    }

    // Removes every node of `key`; returns how many there were.
    size_t Erase(Arg key) {
        auto [it, last] = EqualRange(key);
        size_t n = 0;
        while (it != last) {
            it = Erase(it);
            ++n;
        }
        return n;
    }

    // Removes one node; returns the node after it.
    iterator Erase(iterator it) {
        Node* node = &*it;
        oxHashLink* next = Unlink(KeyTraits::Hash(KeyTraits::View(node->key)) & (kBuckets - 1), node);
        delete node;
        return iterator(next);
    }

    void ClearNodes() {
        for (iterator it = begin(); it != end();)
            it = Erase(it);
    }

private:
    static unsigned BucketOf(Arg key) { return KeyTraits::Hash(key) & (kBuckets - 1); }
    static int Cmp(const oxHashLink* link, Arg key) {
        return KeyTraits::Compare(static_cast<const Node*>(link)->key, key);
    }
    oxHashLink* LowerBound(unsigned b, Arg key) const {
        oxHashLink* at = BucketBegin(b);
        while (at != BucketEnd(b) && Cmp(at, key) < 0)
            at = at->next;
        return at;
    }
    oxHashLink* UpperBound(unsigned b, Arg key) const {
        oxHashLink* at = BucketBegin(b);
        while (at != BucketEnd(b) && Cmp(at, key) <= 0)
            at = at->next;
        return at;
    }
    Node* LinkNew(unsigned b, oxHashLink* before, Arg key, V value) {
        Node* node = new Node(KeyTraits::Store(key), std::move(value));
        Link(b, before, node);
        return node;
    }
};

// h = h * 33 + unit over the units of a text, from 0, in 32-bit arithmetic.
unsigned oxTextHash(const WCHAR* text, size_t length);

// Pointer keys (boxes, native objects). Differs from the low 4 bits of the device's hash: heap
// blocks here are 16-byte aligned, so those bits are always zero and every key fell in one bucket.
struct oxPtrKeyTraits {
    using Key = const void*;
    using Arg = const void*;
    static unsigned Hash(Arg key) {
        const auto p = reinterpret_cast<uintptr_t>(key);
        return static_cast<unsigned>(p ^ (p >> 4) ^ (p >> 8) ^ (p >> 12));
    }
    static int Compare(Key a, Arg b) {
        auto x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    static Key Store(Arg key) { return key; }
    static Arg View(Key key) { return key; }
};

// 16-bit atom keys: the bucket is id & 15.
struct oxIdKeyTraits {
    using Key = uint16_t;
    using Arg = uint16_t;
    static unsigned Hash(Arg key) { return key; }
    static int Compare(Key a, Arg b) { return int(a) - int(b); }
    static Key Store(Arg key) { return key; }
    static Arg View(Key key) { return key; }
};

// Zero-terminated text keys, stored as heap copies, ordered by unit value as wcscmp orders them.
struct oxNameKeyTraits {
    using Key = std::unique_ptr<WCHAR[]>;
    using Arg = const WCHAR*;
    static unsigned Hash(Arg key);
    static int Compare(const Key& a, Arg b);
    static Key Store(Arg key);
    static Arg View(const Key& key) { return key.get(); }
};

template <class V = void*> using oxPtrHashMap = oxHashMap<oxPtrKeyTraits, V>;
template <class V> using oxIdHashMap = oxHashMap<oxIdKeyTraits, V>;
template <class V> using oxNameHashMap = oxHashMap<oxNameKeyTraits, V>;

} // namespace NUBO
