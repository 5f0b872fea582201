#include "runtime/script_engine_hooks.h"

#include "platform/script/host_member_kind.h"
#include "runtime/script_object.h"

namespace NUBO {

int ScriptMemberKind(IUnknown* object, DISPID id) {
    if (!object || id <= 0) return kHostMemberUnknown;
    void* face = nullptr;
    if (FAILED(object->QueryInterface(IID_XObject, &face)) || !face) return kHostMemberUnknown;
    auto* native = static_cast<XObject*>(static_cast<IDispatchEx*>(face));
    int kind = kHostMemberUnknown;
    if (id < kXFirstExpandoId) {
        // Declared ids index the class's member vector, as XObject's Invoke reads them; the vector
        // exists, since the id came from a look-up that built it.
        const auto& members = native->GetClassDescriptor()->memberVector;
        if (static_cast<size_t>(id - 1) < members.size()) {
            int memberKind = members[static_cast<size_t>(id - 1)]->kind;
            if (memberKind == kXMemberMethod)
                kind = kHostMemberMethod;
            else if (memberKind == kXMemberProperty)
                kind = kHostMemberDeclaredProperty;
        }
    } else if (id & kXExpandoIdBit) {
        kind = kHostMemberProperty; // an expando holding a function is read and called by the script itself
    }
    native->Release();
    return kind;
}

void InstallScriptEngineHooks() {
    SetHostMemberKindQuery(&ScriptMemberKind);
}

} // namespace NUBO
