#pragma once
// The runtime library's hash map from pointer-sized keys to pointer-sized values, with chained
// buckets, node blocks, and a bucket count that follows the entry count through a table of primes.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "runtime/element_traits.h"
#include "runtime/node_blocks_internal.h"

namespace NUBO {

class TMap {
public:
    struct Node {
        Node* next; // in its bucket
        void* key;
        void* value;
        unsigned hash;
    };

    TMap(size_t blockSize, unsigned bucketCount, float loadFactor, float shrinkFactor, float growFactor,
         const TKeyTraits& keyTraits = TDynamicKeyTraits::Instance(),
         const TElementTraits& valueTraits = TDynamicTraits::Instance());
    TMap(const TMap&) = delete;
    TMap& operator=(const TMap&) = delete;
    ~TMap() { RemoveAll(); }

    // 1 and a copy of the value in `value` when `key` is present, else 0.
    int Lookup(void* key, void*& value) const;
    // Stores a copy of `value` under `key`; the node, or null when memory ran out.
    Node* SetAt(void* key, void* value);
    // 1 when `key` was present and is now removed, else 0.
    int RemoveKey(void* key);
    void RemoveAll();
    void SetFactors(float loadFactor, float shrinkFactor, float growFactor, bool rehashNow);
    // Re-chains every node into n buckets (0: the count the entries call for).
    void Rehash(unsigned n);

    size_t GetCount() const { return count_; }
    unsigned GetBucketCount() const { return bucketCount_; }
    int GetGrowThreshold() const { return growThreshold_; }
    int GetShrinkThreshold() const { return shrinkThreshold_; }
    bool HoldsNodeBlocks() const { return blocks_.HasBlocks(); }

    // The bucket count that n entries call for at `loadFactor`.
    static unsigned TargetBucketCount(size_t n, float loadFactor);

private:
    Node* FindNode(void* key, unsigned hash, Node*** link) const;
    void ComputeThresholds();
    void FreeNode(Node* node);

    const TKeyTraits* keyTraits_;
    const TElementTraits* valueTraits_;
    Node** buckets_ = nullptr; // allocated on the first insertion
    unsigned bucketCount_;
    size_t count_ = 0;
    int growThreshold_ = INT_MAX;
    int shrinkThreshold_ = 0;
    float loadFactor_ = 0;
    float shrinkFactor_ = 0;
    float growFactor_ = 0;
    int rehashGuard_ = 0; // non-zero while clearing
    TNodeBlocks blocks_;
};

// 17 buckets, loaded to 3/4, shrinking below 1/4 and growing beyond 2.25 entries per bucket.
class TPtrFromPtrMap : public TMap {
public:
    explicit TPtrFromPtrMap(size_t blockSize = 10) : TMap(blockSize, 17, 0.75f, 0.25f, 2.25f) {}
};

// A map keyed by an integer type; keys are stored as the word of their value.
template <class K> class TPtrFromIntMap : public TPtrFromPtrMap {
    static_assert(std::is_integral_v<K>);

public:
    using TPtrFromPtrMap::TPtrFromPtrMap;
};

// Typed access over a map whose keys and values are integers, pointers or function pointers.
template <class Base, class K, class V> class TTypedPtrMap : public Base {
public:
    using Base::Base;

    int Lookup(K key, V& value) const {
        void* word = nullptr;
        if (!Base::Lookup(ToWord(key), word)) return 0;
        value = FromWord<V>(word);
        return 1;
    }
    typename Base::Node* SetAt(K key, V value) { return Base::SetAt(ToWord(key), ToWord(value)); }
    int RemoveKey(K key) { return Base::RemoveKey(ToWord(key)); }

private:
    template <class T> static void* ToWord(T v) {
        if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
            return reinterpret_cast<void*>(static_cast<uintptr_t>(v));
        } else {
            return reinterpret_cast<void*>(v);
        }
    }
    template <class T> static T FromWord(void* word) {
        if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
            return static_cast<T>(reinterpret_cast<uintptr_t>(word));
        } else {
            return reinterpret_cast<T>(word);
        }
    }
};

} // namespace NUBO
