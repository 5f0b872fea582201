#pragma once
// XObject: the counted base of every native object that scripts can see. Its class descriptor
// lists the script-visible members; XObject turns that into IDispatchEx (names to ids by a sorted
// member vector, calls by id to the member's functions) and keeps per-object expando properties
// for names no descriptor declares. Native callers use the same machinery (CallMethod*, Access).
#include <cstdint>

#include "platform/com/dispatch.h"
#include "runtime/class_descriptor.h"
#include "runtime/ptr_vector.h"
#include "runtime/script_variant.h"
#include "runtime/wide_string.h"

namespace NUBO {

// Answered only by the system's own objects: how a COM pointer is recognised as an XObject.
extern const IID IID_XObject;

// How many members of objects are running for callers that came through IDispatch, as scripts call
// them: code can tell the work a script asked for from the work of whatever ran the script.
int GetNativeCallDepth();

constexpr int kXFirstExpandoId = 0x1000000;
constexpr int kXFirstDynamicId = 0x10000000;
constexpr int kXExpandoIdBit = 0x1000000;
constexpr int kXDynamicIdBit = 0x10000000;

// Expando properties and dynamic member ids of one object; created on first need.
class XExpandoBag {
public:
    struct Name {
        TWString name;
        int id;
    };
    struct Value {
        TWString name;
        XVariant value;
    };

    virtual ~XExpandoBag();

    Name* FindName(const WCHAR* name) const;
    Name* FindId(int id) const;
    Value* FindValue(const WCHAR* name) const;
    // Both records of an expando property; nothing when there are none.
    void Remove(const WCHAR* name);

    PtrVector<Name*> names;
    PtrVector<Value*> values;
    int nextExpandoId = kXFirstExpandoId;
    int nextDynamicId = kXFirstDynamicId;
};

class XObject : public IDispatchEx {
public:
    static XClassDescriptor Descriptor; // "XObject"

    XObject() = default;
    XObject(const XObject&) = delete;
    XObject& operator=(const XObject&) = delete;

    // IUnknown: the object's identity, its own id and IDispatch(Ex) all give this one face.
    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }

    // Native operations.
    virtual int32_t GetObject(XObject** out);
    virtual ULONG AddRefImpl();
    // At zero: the count becomes 0xC0000001 (references taken while dying never reach zero
    // again), OnBeforeDestroy runs, and the object is deleted.
    virtual ULONG ReleaseImpl();
    virtual int32_t InvokeMethodByName(const WCHAR* name, XArgList* args, XVariant* result);
    virtual int32_t SetPropertyByName(const WCHAR* name, const VARIANT* value);
    virtual int32_t DeleteMember(const WCHAR* name);
    virtual int32_t GetPropertyByName(const WCHAR* name, XVariant* result);
    virtual int32_t GetIdOfName(const WCHAR* name, int* id);
    virtual XClassDescriptor* GetClassDescriptor() { return &Descriptor; }
    virtual int32_t InvokeMethodAt(int index, XArgList* args, XVariant* result);
    virtual int32_t AccessPropertyAt(int index, int kind, VARIANT* value);
    virtual int32_t HasDynamicProperty(const WCHAR* name, bool* out);
    virtual int32_t GetMemberName(int id, TWString* out);
    virtual int32_t QueryUnknown(IUnknown** out);
    virtual int32_t Initialize() { return 0; }
    virtual void OnBeforeDestroy() {}
    virtual int32_t implementsProtocol(const WCHAR* name, unsigned version, bool* out);
    virtual int GetDispatchFlags() { return 0; }
    // kind: kXAccessGet (value receives), kXAccessPut (value is read), kXAccessDelete. A name with
    // '.' is a path of properties, each step an object.
    virtual int32_t Access(int kind, const WCHAR* name, VARIANT* value);

    // 0 and the index in the member vector, or 57.
    int32_t FindMember(const WCHAR* name, int kind, int* index);
    LONG GetRefCount() const { return refCount; }

    static bool IsKindOf(XObject* object, const XClassDescriptor* descriptor);
    static int32_t FromUnknown(IUnknown* unknown, XObject** out);

    static int32_t CallMethod0(XObject* object, const WCHAR* name, XVariant* result);
    static int32_t CallMethod1(XObject* object, const WCHAR* name, const VARIANT& a, XVariant* result);
    static int32_t CallMethod2(XObject* object, const WCHAR* name, const VARIANT& a, const VARIANT& b,
                               XVariant* result);
    static int32_t CallMethod4(XObject* object, const WCHAR* name, const VARIANT& a, const VARIANT& b, const VARIANT& c,
                               const VARIANT& d, XVariant* result);
    static int32_t CallMethod0NoResult(XObject* object, const WCHAR* name);
    static int32_t CallMethod1NoResult(XObject* object, const WCHAR* name, const VARIANT& a);
    static int32_t CallMethod2NoResult(XObject* object, const WCHAR* name, const VARIANT& a, const VARIANT& b);
    static int32_t CallMethod4NoResult(XObject* object, const WCHAR* name, const VARIANT& a, const VARIANT& b,
                                       const VARIANT& c, const VARIANT& d);

    // IDispatch and IDispatchEx: results go through HResultFromResult; members cannot be
    // enumerated.
    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excepinfo, UINT* argErr) override;
    HRESULT GetDispID(BSTR name, DWORD grfdex, DISPID* id) override;
    HRESULT InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepinfo,
                     IServiceProvider* caller) override;
    HRESULT DeleteMemberByName(BSTR name, DWORD grfdex) override;
    HRESULT DeleteMemberByDispID(DISPID id) override;
    HRESULT GetMemberProperties(DISPID id, DWORD fetch, DWORD* props) override;
    HRESULT GetMemberName(DISPID id, BSTR* name) override;
    HRESULT GetNextDispID(DWORD grfdex, DISPID id, DISPID* next) override;
    HRESULT GetNameSpaceParent(IUnknown** parent) override;

protected:
    virtual ~XObject();

    // The bag, created when missing; null when that failed.
    XExpandoBag* EnsureBag();
    XExpandoBag* bag() const { return expandos; }

private:
    int32_t EnsureMembers();
    int32_t AccessName(int kind, const WCHAR* name, VARIANT* value);
    int32_t AccessPath(int kind, const WCHAR* path, VARIANT* value);
    int32_t CallById(int id, XArgList* args, XVariant* result);
    int32_t CallExpandoFunction(int id, XVariant* result);
    int32_t PropertyById(int id, int kind, VARIANT* value);

    XExpandoBag* expandos = nullptr;
    volatile LONG refCount = 0;
};

// The native object behind a COM pointer: an XObject itself, or a foreign IDispatch wrapped as a
// proxy. A counted reference; 10 for a null out pointer, 7 when the object is neither.
int32_t XObjectFromUnknown(IUnknown* unknown, XObject** out);

// Wraps a foreign IDispatch as a native object (the proxy registry installs it); without one,
// foreign objects are refused with 7.
using XForeignObjectWrapper = int32_t (*)(IDispatch* dispatch, XObject** out);
void SetForeignObjectWrapper(XForeignObjectWrapper wrapper);

} // namespace NUBO
