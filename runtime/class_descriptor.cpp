#include "runtime/class_descriptor.h"

#include <cstdlib>
#include <cstring>

#include "runtime/result_codes.h"

namespace NUBO {

namespace {

int CompareEntries(const void* a, const void* b) {
    const XMemberEntry* x = *static_cast<const XMemberEntry* const*>(a);
    const XMemberEntry* y = *static_cast<const XMemberEntry* const*>(b);
    int c = std::strcmp(x->name, y->name);
    if (c) return c;
    return x->kind < y->kind ? -1 : (x->kind > y->kind ? 1 : 0);
}

} // namespace

int32_t BuildMemberVector(XClassDescriptor* descriptor, int dispatchFlags) {
    if (!descriptor->memberVector.empty()) return XR_SUCCESS;
    PtrVector<const XMemberEntry*> v;
    for (int i = 0; i < descriptor->count && descriptor->members; ++i) {
        const XMemberEntry& e = descriptor->members[i];
        if (e.kind == kXMemberEnd) break;
        if (e.kind != kXMemberProperty && e.kind != kXMemberMethod) continue;
        if (!v.PushBack(&e)) return XR_OUT_OF_MEMORY;
    }
    for (XClassDescriptor* base = descriptor->parent; base; base = base->parent) {
        // Ancestors' vectors overlap (each holds its own bases); the duplicates go below.
        int32_t rc = BuildMemberVector(base, dispatchFlags);
        if (rc != XR_SUCCESS) return rc;
        for (const XMemberEntry* e : base->memberVector)
            if (!v.PushBack(e)) return XR_OUT_OF_MEMORY;
    }
    // An earlier entry hides every later one of the same name and kind: the class's own first.
    for (size_t i = 0; i < v.size(); ++i) {
        for (size_t j = i + 1; j < v.size();) {
            if (v[j]->kind == v[i]->kind && std::strcmp(v[j]->name, v[i]->name) == 0)
                v.Erase(j);
            else
                ++j;
        }
    }
    if (v.size() > 1) std::qsort(v.data(), v.size(), sizeof(const XMemberEntry*), CompareEntries);
    descriptor->dispatchFlags = dispatchFlags;
    descriptor->memberVector = std::move(v);
    return XR_SUCCESS;
}

int CompareMemberName(const char* member, const WCHAR* name) {
    for (;; ++member, ++name) {
        unsigned a = static_cast<unsigned char>(*member);
        unsigned b = static_cast<unsigned>(*name) & 0xFF;
        if (a != b) return a < b ? -1 : 1;
        if (a == 0) return 0;
    }
}

int32_t FindMemberIndex(const XClassDescriptor* descriptor, const WCHAR* name, int kind, int* index) {
    const PtrVector<const XMemberEntry*>& v = descriptor->memberVector;
    size_t lo = 0, hi = v.size();
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        const XMemberEntry* e = v[mid];
        int c = CompareMemberName(e->name, name);
        if (c == 0) {
            if (kind == e->kind ||
                (kind == kXMemberAny && (e->kind == kXMemberProperty || e->kind == kXMemberMethod))) {
                *index = static_cast<int>(mid);
                return XR_SUCCESS;
            }
            if (kind < e->kind)
                hi = mid;
            else
                lo = mid + 1;
        } else if (c > 0) {
            hi = mid; // the query sorts before the entry
        } else {
            lo = mid + 1;
        }
    }
    return XR_NAME_NOT_FOUND;
}

} // namespace NUBO
