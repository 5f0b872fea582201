#include "toolkit/style/style_declaration.h"

#include <new>
#include <utility>

#include "toolkit/style/style_group.h"
#include "toolkit/style/style_tables.h"

bool IsStyleShorthand(int id) {
    switch (id) {
    case kStyle_margin:
    case kStyle_padding:
    case kStyle_clip:
    case kStyle_fillSlice:
    case kStyle_fillCornerRadius:
    case kStyle_regionSlice:
    case kStyle_strokeCornerRadius:
    case kStyle_bevelCornerRadius:
    case kStyle_offset:
        return true;
    default:
        return false;
    }
}

oxStyleDeclaration::~oxStyleDeclaration() {
    delete[] values_;
}

oxStyleDeclaration* oxStyleDeclaration::CloneDeclaration() const {
    auto* copy = new (std::nothrow) oxStyleDeclaration;
    if (!copy || !copy->Grow(count_)) {
        delete copy;
        return nullptr;
    }
    for (int i = 0; i < count_; ++i)
        copy->values_[i] = values_[i];
    copy->count_ = count_;
    for (int i = 0; i < 16; ++i)
        copy->bits_[i] = bits_[i];
    return copy;
}

bool oxStyleDeclaration::HasGroupProperties(int kind) const {
    if (kind < 1 || kind > kStyleGroupKinds) return false;
    const oxStyleGroupRange& r = kStyleGroupRanges[kind];
    for (int id = r.first; id < r.first + r.count; ++id)
        if (HasProperty(id)) return true;
    return false;
}

int oxStyleDeclaration::IndexOf(int id) const {
    int lo = 0, hi = count_;
    // Binary search down to a short run, then a linear walk.
    while (hi - lo > 4) {
        int mid = (lo + hi) / 2;
        if (values_[mid].GetPropertyId() < id)
            lo = mid + 1;
        else
            hi = mid;
    }
    while (lo < hi && values_[lo].GetPropertyId() < id)
        ++lo;
    if (lo < count_ && values_[lo].GetPropertyId() == id) return lo;
    return ~lo;
}

const oxStyleValue* oxStyleDeclaration::FindProperty(int id) const {
    if (!HasProperty(id)) return nullptr;
    int i = IndexOf(id);
    return i >= 0 ? &values_[i] : nullptr;
}

void oxStyleDeclaration::GetProperty(oxStyleValue* out, int id) const {
    if (!out) return;
    const oxStyleValue* v = FindProperty(id);
    if (v)
        *out = *v;
    else
        out->Clear(true);
}

bool oxStyleDeclaration::Grow(int needed) {
    if (needed <= capacity_) return true;
    int capacity = capacity_ + capacity_ / 2;
    if (capacity < needed) capacity = needed;
    auto* block = new (std::nothrow) oxStyleValue[size_t(capacity)];
    if (!block) return false;
    for (int i = 0; i < count_; ++i)
        block[i] = std::move(values_[i]);
    delete[] values_;
    values_ = block;
    capacity_ = capacity;
    return true;
}

void oxStyleDeclaration::StoreProperty(int id, const oxStyleValue& value) {
    if (id < 0 || id > 127) return;
    int i = IndexOf(id);
    if (i >= 0) {
        values_[i] = value;
        values_[i].SetPropertyId(id);
        return;
    }
    if (!Grow(count_ + 1)) return;
    i = ~i;
    for (int k = count_; k > i; --k)
        values_[k] = std::move(values_[k - 1]);
    values_[i] = value;
    values_[i].SetPropertyId(id);
    ++count_;
    bits_[id >> 3] = uint8_t(bits_[id >> 3] | (1u << (id & 7)));
}

void oxStyleDeclaration::SetProperty(int id, const oxStyleValue& value) {
    if (!IsStyleShorthand(id)) {
        StoreProperty(id, value);
        return;
    }
    const oxStyleRectValue* sides = value.GetRect();
    if (!sides) return;
    for (int side = 0; side < 4; ++side)
        StoreProperty(id + 1 + side, sides->sides[side]);
}

void oxStyleDeclaration::RemoveProperty(int id) {
    if (!HasProperty(id)) return;
    int i = IndexOf(id);
    if (i < 0) return;
    for (int k = i; k + 1 < count_; ++k)
        values_[k] = std::move(values_[k + 1]);
    values_[--count_] = oxStyleValue();
    bits_[id >> 3] = uint8_t(bits_[id >> 3] & ~(1u << (id & 7)));
}

void oxStyleDeclaration::MergeIntoGroup(oxStyleGroup* group) const {
    if (!group) return;
    const oxStyleGroupRange& r = kStyleGroupRanges[group->GetKind()];
    int last = r.first + r.count;
    // One pass over the kind's ids and the sorted values together.
    int i = IndexOf(r.first);
    if (i < 0) i = ~i;
    for (; i < count_ && values_[i].GetPropertyId() < last; ++i)
        group->AssignMember(values_[i].GetPropertyId(), values_[i]);
}
