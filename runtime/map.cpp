#include "runtime/map.h"

#include <cstring>

namespace NUBO {

namespace {

const unsigned kPrimes[] = {
    17,      23,      29,      37,      41,      53,      67,      83,      103,     131,     163,      211,
    257,     331,     409,     521,     647,     821,     1031,    1291,    1627,    2053,    2591,     3251,
    4099,    5167,    6521,    8209,    10331,   13007,   16411,   20663,   26017,   32771,   41299,    52021,
    65537,   82571,   104033,  131101,  165161,  208067,  262147,  330287,  416147,  524309,  660563,   832291,
    1048583, 1321139, 1664543, 2097169, 2642257, 3329023, 4194319, 5284493, 6658049, 8388617, 10568993, 13316089,
};

} // namespace

TMap::TMap(size_t blockSize, unsigned bucketCount, float loadFactor, float shrinkFactor, float growFactor,
           const TKeyTraits& keyTraits, const TElementTraits& valueTraits)
    : keyTraits_(&keyTraits), valueTraits_(&valueTraits), bucketCount_(bucketCount ? bucketCount : 17),
      blocks_(sizeof(Node), blockSize) {
    SetFactors(loadFactor, shrinkFactor, growFactor, false);
}

unsigned TMap::TargetBucketCount(size_t n, float loadFactor) {
    double x = loadFactor > 0 ? static_cast<double>(n) / loadFactor : static_cast<double>(n);
    if (x < 18) return 17;
    if (x >= static_cast<double>(UINT_MAX)) return UINT_MAX;
    auto want = static_cast<unsigned>(x);
    for (unsigned p : kPrimes) {
        if (p >= want) return p;
    }
    return want;
}

void TMap::ComputeThresholds() {
    double grow = static_cast<double>(bucketCount_) * growFactor_;
    double shrink = static_cast<double>(bucketCount_) * shrinkFactor_;
    growThreshold_ = grow >= INT_MAX ? INT_MAX : static_cast<int>(grow);
    shrinkThreshold_ = shrink >= INT_MAX ? INT_MAX : static_cast<int>(shrink);
    if (shrinkThreshold_ < 17) shrinkThreshold_ = 0; // small maps never shrink
}

void TMap::SetFactors(float loadFactor, float shrinkFactor, float growFactor, bool rehashNow) {
    loadFactor_ = loadFactor;
    shrinkFactor_ = shrinkFactor;
    growFactor_ = growFactor;
    ComputeThresholds();
    if (rehashNow && (count_ > static_cast<size_t>(growThreshold_) || count_ < static_cast<size_t>(shrinkThreshold_)))
        Rehash(0);
}

TMap::Node* TMap::FindNode(void* key, unsigned hash, Node*** link) const {
    if (!buckets_) return nullptr;
    Node** at = &buckets_[hash % bucketCount_];
    for (; *at; at = &(*at)->next) {
        if ((*at)->hash == hash && keyTraits_->CompareElements((*at)->key, key) == 0) {
            if (link) *link = at;
            return *at;
        }
    }
    return nullptr;
}

int TMap::Lookup(void* key, void*& value) const {
    Node* node = FindNode(key, keyTraits_->HashKey(key), nullptr);
    if (!node) return 0;
    value = valueTraits_->CopyElement(node->value);
    return 1;
}

TMap::Node* TMap::SetAt(void* key, void* value) {
    unsigned hash = keyTraits_->HashKey(key);
    if (Node* node = FindNode(key, hash, nullptr)) {
        void* copy = valueTraits_->CopyElement(value);
        valueTraits_->DestroyElement(node->value);
        node->value = copy;
        return node;
    }
    if (!buckets_) {
        buckets_ = static_cast<Node**>(ContainerAlloc(bucketCount_ * sizeof(Node*)));
        if (!buckets_) return nullptr;
        std::memset(buckets_, 0, bucketCount_ * sizeof(Node*));
    }
    auto* node = static_cast<Node*>(blocks_.Take());
    if (!node) return nullptr;
    node->key = keyTraits_->CopyElement(key);
    node->value = valueTraits_->CopyElement(value);
    node->hash = hash;
    Node*& head = buckets_[hash % bucketCount_];
    node->next = head;
    head = node;
    ++count_;
    if (count_ > static_cast<size_t>(growThreshold_) && rehashGuard_ == 0)
        Rehash(TargetBucketCount(count_, loadFactor_));
    return node;
}

void TMap::FreeNode(Node* node) {
    keyTraits_->DestroyElement(node->key);
    valueTraits_->DestroyElement(node->value);
    blocks_.Give(node);
    --count_;
}

int TMap::RemoveKey(void* key) {
    Node** link = nullptr;
    Node* node = FindNode(key, keyTraits_->HashKey(key), &link);
    if (!node) return 0;
    *link = node->next;
    FreeNode(node);
    if (count_ < static_cast<size_t>(shrinkThreshold_) && rehashGuard_ == 0)
        Rehash(TargetBucketCount(count_, loadFactor_));
    if (count_ == 0) blocks_.ReleaseAll();
    return 1;
}

void TMap::Rehash(unsigned n) {
    if (n == 0) n = TargetBucketCount(count_, loadFactor_);
    if (n == bucketCount_) return;
    if (buckets_) {
        auto* fresh = static_cast<Node**>(ContainerAlloc(n * sizeof(Node*)));
        if (!fresh) return; // keep the old chains; they are still valid
        std::memset(fresh, 0, n * sizeof(Node*));
        for (unsigned b = 0; b < bucketCount_; ++b) {
            for (Node* node = buckets_[b]; node;) {
                Node* next = node->next;
                Node*& head = fresh[node->hash % n];
                node->next = head;
                head = node;
                node = next;
            }
        }
        ContainerFree(buckets_);
        buckets_ = fresh;
    }
    bucketCount_ = n;
    ComputeThresholds();
}

void TMap::RemoveAll() {
    ++rehashGuard_;
    if (buckets_) {
        for (unsigned b = 0; b < bucketCount_; ++b) {
            for (Node* node = buckets_[b]; node;) {
                Node* next = node->next;
                FreeNode(node);
                node = next;
            }
        }
        ContainerFree(buckets_);
        buckets_ = nullptr;
    }
    count_ = 0;
    blocks_.ReleaseAll();
    --rehashGuard_;
}

} // namespace NUBO
