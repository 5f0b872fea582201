#include "toolkit/core/grid_services.h"

#include "runtime/hash_map.h"

namespace {

oxGridServices g_defaultServices;
oxGridServices* g_services = &g_defaultServices;

NUBO::oxPtrHashMap<oxBoundRows*>& Sources() {
    static NUBO::oxPtrHashMap<oxBoundRows*> table;
    return table;
}

} // namespace

void oxRegisterBoundRows(oxBox* box, oxBoundRows* source) {
    if (!box) return;
    oxUnregisterBoundRows(box);
    if (source) Sources().Insert(box, source);
}

void oxUnregisterBoundRows(oxBox* box) {
    if (!Sources().IsEmpty()) Sources().Erase(box);
}

oxBoundRows* oxFindBoundRows(const oxBox* box) {
    auto& table = Sources();
    if (!box || table.IsEmpty()) return nullptr;
    auto* node = table.Find(box);
    return node ? node->value : nullptr;
}

oxGridServices& oxGetGridServices() {
    return *g_services;
}

void oxSetGridServices(oxGridServices* services) {
    g_services = services ? services : &g_defaultServices;
}
