#include "runtime/hash_map.h"

#include "platform/crt/wide.h"

namespace NUBO {

void oxHashListBase::InitMap() {
    head_.next = head_.prev = &head_;
    for (oxHashLink*& b : buckets_)
        b = &head_;
    count_ = 0;
}

// Every position that stood at `before` belongs to an empty bucket at or below `bucket` (or is
// `bucket`'s own first node), so they all move to the new node.
void oxHashListBase::Link(unsigned bucket, oxHashLink* before, oxHashLink* node) {
    node->next = before;
    node->prev = before->prev;
    before->prev->next = node;
    before->prev = node;
    for (int b = int(bucket); b >= 0 && buckets_[b] == before; --b)
        buckets_[b] = node;
    ++count_;
}

oxHashLink* oxHashListBase::Unlink(unsigned bucket, oxHashLink* node) {
    oxHashLink* next = node->next;
    for (int b = int(bucket); b >= 0 && buckets_[b] == node; --b)
        buckets_[b] = next;
    node->prev->next = next;
    next->prev = node->prev;
    --count_;
    return next;
}

unsigned oxTextHash(const WCHAR* text, size_t length) {
    unsigned h = 0;
    for (size_t i = 0; i < length; ++i)
        h = h * 33 + text[i];
    return h;
}

// The bucket takes only the low 4 bits, which do not depend on how many high bits are carried.
unsigned oxNameKeyTraits::Hash(Arg key) {
    return key ? oxTextHash(key, wcslen(key)) : 0;
}

int oxNameKeyTraits::Compare(const Key& a, Arg b) {
    return wcscmp(a.get(), b ? b : u"");
}

oxNameKeyTraits::Key oxNameKeyTraits::Store(Arg key) {
    if (!key) key = u"";
    size_t n = wcslen(key) + 1;
    Key copy(new WCHAR[n]);
    for (size_t i = 0; i < n; ++i)
        copy[i] = key[i];
    return copy;
}

} // namespace NUBO
