#include "toolkit/core/row_source.h"

#include "runtime/hash_map.h"

namespace {

NUBO::oxPtrHashMap<oxRowSource*>& Targets() {
    static NUBO::oxPtrHashMap<oxRowSource*> targets;
    return targets;
}

} // namespace

void oxSetRowSource(const oxBox* target, oxRowSource* source) {
    if (!target) return;
    if (!source) {
        Targets().Erase(target);
        return;
    }
    if (auto* node = Targets().Find(target))
        node->value = source;
    else
        Targets().Insert(target, source);
}

oxRowSource* oxFindRowSource(const oxBox* target) {
    if (Targets().IsEmpty()) return nullptr;
    auto* node = Targets().Find(target);
    return node ? node->value : nullptr;
}
