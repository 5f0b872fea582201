#include "toolkit/scripthost/script_object_cache.h"

namespace {

oxScriptObjectCacheMaker g_maker = nullptr;

} // namespace

void SetScriptObjectCacheMaker(oxScriptObjectCacheMaker maker) {
    g_maker = maker;
}

oxScriptObjectCache* MakeScriptObjectCache() {
    return g_maker ? g_maker() : nullptr;
}
