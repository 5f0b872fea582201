#include "toolkit/core/grid_services.h"

#include "runtime/hash_map.h"

namespace {

oxGridServices g_defaultServices;
oxGridServices* g_services = &g_defaultServices;

NUBO::oxPtrHashMap<oxRowSource*>& Sources() {
    static NUBO::oxPtrHashMap<oxRowSource*> table;
    return table;
}

} // namespace

void oxRegisterRowSource(oxBox* box, oxRowSource* source) {
    if (!box) return;
    oxUnregisterRowSource(box);
    if (source) Sources().Insert(box, source);
}

void oxUnregisterRowSource(oxBox* box) {
    if (!Sources().IsEmpty()) Sources().Erase(box);
}

oxRowSource* oxFindRowSource(const oxBox* box) {
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
