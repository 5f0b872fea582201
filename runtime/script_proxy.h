#pragma once
// XProxy: a foreign IDispatch object (a script object or function, a platform COM object) seen as
// an XObject, so native code reads its properties, calls its methods and walks paths into it as
// it does on native objects. A registry keeps one proxy per foreign object, so identity holds.
#include <cstdint>

#include "runtime/script_object.h"

namespace NUBO {

class XProxy : public XObject {
public:
    static XClassDescriptor Descriptor; // "XProxy"

    // Handed back to COM, a proxy answers as the foreign object itself.
    HRESULT QueryInterface(REFIID riid, void** out) override;
    int32_t InvokeMethodByName(const WCHAR* name, XArgList* args, XVariant* result) override;
    int32_t SetPropertyByName(const WCHAR* name, const VARIANT* value) override;
    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    int32_t HasDynamicProperty(const WCHAR* name, bool* out) override;
    int32_t implementsProtocol(const WCHAR* name, unsigned version, bool* out) override;
    int32_t Access(int kind, const WCHAR* name, VARIANT* value) override;
    int32_t CallMethodByName(const WCHAR* name, XArgList* args, XVariant* result) {
        return InvokeMethodByName(name, args, result);
    }
    // E_FAIL when the object has no IDispatch; an E_FAIL answer reads as DISP_E_MEMBERNOTFOUND.
    HRESULT GetDispIdOfName(const WCHAR* name, DISPID* id);

    IDispatch* GetForeign() const { return foreign; }

    // The registered proxy of `foreign` with one more reference (0), or 7.
    static int32_t FindInRegistry(IDispatch* foreign, XProxy** out);
    // The proxy of `foreign`: the registered one, or a new one that registers itself.
    static int32_t Wrap(IDispatch* foreign, XObject** out);

protected:
    explicit XProxy(IDispatch* foreign);
    ~XProxy() override;

private:
    IDispatch* CallDispatch();

    IDispatch* foreign;            // counted
    IDispatch* dispatch = nullptr; // counted, asked for on first call
};

// Makes XObjectFromUnknown wrap foreign objects in proxies; done on the runtime's first start.
void InstallProxyRegistry();
// Undone on its last stop: foreign objects are refused again. Proxies still alive keep working.
void RemoveProxyRegistry();

} // namespace NUBO
