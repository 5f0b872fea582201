// Foreign IDispatch objects seen through XProxy: one proxy per foreign object while it lives, calls
// and property access forwarded with their failures mapped, and the foreign object released once.
#include "runtime/script_proxy.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/bstr.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "runtime/startup.h"

using namespace NUBO;

namespace {

// A hand-written foreign object. Methods "twice" (its argument doubled) and "throws" (an exception
// with scode 0x81000020); "implementsProtocol" only when `protocols` is set; every other name is a
// property, created by GetDispID with fdexNameEnsure.
class Foreign final : public IDispatchEx {
public:
    explicit Foreign(bool withProtocols = false) : protocols(withProtocols) {}

    HRESULT QueryInterface(REFIID riid, void** out) override {
        ++queries;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IDispatchEx) {
            *out = static_cast<IDispatchEx*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override {
        ULONG left = --refs;
        if (left == 0) delete this;
        return left;
    }

    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* asked, UINT count, LCID lcid, DISPID* ids) override {
        if (count != 1) return E_INVALIDARG;
        lastLocale = lcid;
        return Find(asked[0], ids);
    }
    HRESULT Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                   UINT*) override {
        return InvokeEx(id, lcid, flags, params, result, info, nullptr);
    }
    HRESULT GetDispID(BSTR name, DWORD grfdex, DISPID* id) override {
        if (Find(name, id) == S_OK) return S_OK;
        if (!(grfdex & fdexNameEnsure)) return DISP_E_UNKNOWNNAME;
        names.push_back(name);
        values.emplace_back();
        *id = DISPID(names.size());
        return S_OK;
    }
    HRESULT InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                     IServiceProvider*) override {
        lastFlags = flags;
        if (id == kTwice) {
            if (params->cArgs != 1 || params->cNamedArgs != 0) return DISP_E_BADPARAMCOUNT;
            XVariant n(params->rgvarg[0]);
            *static_cast<XVariant*>(result) = n.ToInt32() * 2;
            return S_OK;
        }
        if (id == kThrows) {
            info->scode = static_cast<SCODE>(0x81000020);
            info->bstrDescription = SysAllocString(u"thrown");
            return DISP_E_EXCEPTION;
        }
        if (id == kProtocol) {
            // Arguments arrive last first: (name, version).
            if (params->cArgs != 2 || params->rgvarg[1].vt != VT_BSTR || params->rgvarg[0].vt != VT_UI4)
                return DISP_E_TYPEMISMATCH;
            bool yes = std::u16string(params->rgvarg[1].bstrVal) == u"p" && params->rgvarg[0].ulVal == 1;
            *static_cast<XVariant*>(result) = yes;
            return S_OK;
        }
        if (id < 1 || size_t(id) > names.size()) return DISP_E_MEMBERNOTFOUND;
        if (flags & DISPATCH_PROPERTYPUT) {
            if (params->cArgs != 1 || params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
                return DISP_E_BADPARAMCOUNT;
            values[size_t(id) - 1] = params->rgvarg[0];
            return S_OK;
        }
        if (flags != DISPATCH_PROPERTYGET || params->cArgs != 0) return DISP_E_MEMBERNOTFOUND;
        return VariantCopy(result, &values[size_t(id) - 1]);
    }
    HRESULT DeleteMemberByName(BSTR name, DWORD grfdex) override {
        deleted.push_back(name);
        deleteFlags = grfdex;
        DISPID id = 0;
        if (Find(name, &id) != S_OK || id >= kTwice) return DISP_E_UNKNOWNNAME;
        names[size_t(id) - 1] = u"";
        return S_OK;
    }
    HRESULT DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
    HRESULT GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
    HRESULT GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
    HRESULT GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }

    void SetValue(const char16_t* name, const XVariant& value) {
        names.push_back(name);
        values.push_back(value);
    }

    ULONG refs = 1;
    int queries = 0;
    WORD lastFlags = 0;
    LCID lastLocale = 0;
    DWORD deleteFlags = 0;
    std::vector<std::u16string> deleted;

private:
    static constexpr DISPID kTwice = 1000, kThrows = 1001, kProtocol = 1002;

    ~Foreign() = default;

    HRESULT Find(const char16_t* name, DISPID* id) {
        std::u16string n(name);
        if (n == u"twice" || n == u"throws" || (protocols && n == u"implementsProtocol")) {
            *id = n == u"twice" ? kTwice : n == u"throws" ? kThrows : kProtocol;
            return S_OK;
        }
        for (size_t i = 0; i < names.size(); ++i)
            if (!n.empty() && names[i] == n) {
                *id = DISPID(i + 1);
                return S_OK;
            }
        return DISP_E_UNKNOWNNAME;
    }

    bool protocols;
    std::vector<std::u16string> names;
    std::vector<XVariant> values;
};

class XProxyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Initialize(nullptr), 1); // installs the proxy registry
        foreign = new Foreign();
    }
    void TearDown() override {
        EXPECT_EQ(foreign->refs, 1u) << "a proxy still holds the foreign object";
        foreign->Release();
        Shutdown();
    }

    // The proxy of `foreign` as native code gets it from a COM pointer.
    RefPtr<XObject> ProxyOf(IUnknown* unknown) {
        XObject* object = nullptr;
        EXPECT_EQ(XObjectFromUnknown(unknown, &object), XR_SUCCESS);
        return RefPtr<XObject>(object);
    }

    Foreign* foreign = nullptr;
};

TEST_F(XProxyTest, OneProxyPerForeignObjectWhileItLives) {
    RefPtr<XObject> first = ProxyOf(foreign);
    ASSERT_TRUE(first);
    EXPECT_TRUE(XObject::IsKindOf(first.get(), &XProxy::Descriptor));
    EXPECT_EQ(static_cast<XProxy*>(first.get())->GetForeign(), foreign);
    EXPECT_EQ(foreign->refs, 2u);

    // From the registry, from any interface of the same object, and by wrapping directly.
    RefPtr<XObject> second = ProxyOf(static_cast<IDispatch*>(foreign));
    EXPECT_EQ(second.get(), first.get());
    XObject* wrapped = nullptr;
    ASSERT_EQ(XProxy::Wrap(foreign, &wrapped), XR_SUCCESS);
    EXPECT_EQ(wrapped, first.get());
    wrapped->Release();
    XProxy* found = nullptr;
    ASSERT_EQ(XProxy::FindInRegistry(foreign, &found), XR_SUCCESS);
    EXPECT_EQ(found, first.get());
    EXPECT_EQ(first->GetRefCount(), 3);
    found->Release();
    EXPECT_EQ(foreign->refs, 2u) << "the proxy holds one reference, however often it is found";

    // Another foreign object has its own proxy.
    Foreign* other = new Foreign();
    RefPtr<XObject> otherProxy = ProxyOf(other);
    EXPECT_NE(otherProxy.get(), first.get());
    otherProxy.reset();
    EXPECT_EQ(other->refs, 1u);
    other->Release();

    // Gone with the last native reference: the registry forgets it, the foreign object is released.
    second.reset();
    first.reset();
    EXPECT_EQ(foreign->refs, 1u);
    found = reinterpret_cast<XProxy*>(&found);
    EXPECT_EQ(XProxy::FindInRegistry(foreign, &found), XR_NOT_FOUND);
    EXPECT_EQ(found, nullptr);

    // Asked again, a fresh proxy registers itself.
    RefPtr<XObject> again = ProxyOf(foreign);
    ASSERT_TRUE(again);
    ASSERT_EQ(XProxy::FindInRegistry(foreign, &found), XR_SUCCESS);
    EXPECT_EQ(found, again.get());
    found->Release();
    EXPECT_EQ(again->GetRefCount(), 1);
}

TEST_F(XProxyTest, NativeObjectsAndBadArgumentsAreNotWrapped) {
    RefPtr<XObject> native(new XObject());
    native->AddRef();
    RefPtr<XObject> same = ProxyOf(native.get());
    EXPECT_EQ(same.get(), native.get());
    XObject* out = nullptr;
    EXPECT_EQ(XProxy::Wrap(nullptr, &out), XR_INVALID);
    EXPECT_EQ(XProxy::Wrap(foreign, nullptr), XR_INVALID);
    EXPECT_EQ(XObjectFromUnknown(foreign, nullptr), XR_INVALID);
}

TEST_F(XProxyTest, CountsItselfAndAnswersAsTheForeignObject) {
    RefPtr<XObject> proxy = ProxyOf(foreign);
    // Its own counting: the foreign object keeps the single reference the proxy took.
    proxy->AddRef();
    EXPECT_EQ(proxy->GetRefCount(), 2);
    EXPECT_EQ(foreign->refs, 2u);
    proxy->Release();
    EXPECT_EQ(proxy->GetRefCount(), 1);

    // Asked for an interface it hands out the foreign object, never its own face.
    IDispatch* d = nullptr;
    ASSERT_EQ(proxy->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d)), S_OK);
    EXPECT_EQ(d, static_cast<IDispatch*>(foreign));
    EXPECT_EQ(foreign->refs, 3u);
    d->Release();
    void* own = proxy.get();
    EXPECT_EQ(proxy->QueryInterface(IID_XObject, &own), E_NOINTERFACE);
    EXPECT_EQ(own, nullptr);
    EXPECT_EQ(proxy->QueryInterface(IID_IDispatch, nullptr), E_POINTER);

    // Stored into a variant, a proxy becomes the foreign object itself.
    XVariant v;
    v.SetObject(proxy.get());
    ASSERT_EQ(v.GetKind(), XVK_OBJECT);
    EXPECT_EQ(v.punkVal, static_cast<IUnknown*>(static_cast<IDispatchEx*>(foreign)));
    RefPtr<XObject> back(v.ToXObject());
    EXPECT_EQ(back.get(), proxy.get());
}

TEST_F(XProxyTest, CallsAndPropertiesAreForwarded) {
    foreign->SetValue(u"value", XVariant(5));
    RefPtr<XObject> proxy = ProxyOf(foreign);

    XArgList args;
    args.PushArg(XVariant(21));
    XVariant result(u"stale");
    ASSERT_EQ(proxy->InvokeMethodByName(u"twice", &args, &result), XR_SUCCESS);
    EXPECT_EQ(result.ToInt32(), 42);
    EXPECT_EQ(foreign->lastFlags, DISPATCH_METHOD);
    EXPECT_EQ(foreign->lastLocale, LCID(2048));
    ASSERT_EQ(XObject::CallMethod1(proxy.get(), u"twice", XVariant(4), &result), XR_SUCCESS);
    EXPECT_EQ(result.ToInt32(), 8);

    EXPECT_EQ(proxy->GetPropertyByName(u"value", &result), XR_SUCCESS);
    EXPECT_EQ(result.ToInt32(), 5);
    XVariant six(6), text(u"new");
    EXPECT_EQ(proxy->SetPropertyByName(u"value", &six), XR_SUCCESS);
    EXPECT_EQ(foreign->lastFlags, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(proxy->GetPropertyByName(u"value", &result), XR_SUCCESS);
    EXPECT_EQ(result.ToInt32(), 6);

    bool has = false;
    EXPECT_EQ(proxy->HasDynamicProperty(u"value", &has), XR_SUCCESS);
    EXPECT_TRUE(has);
    EXPECT_EQ(proxy->HasDynamicProperty(u"absent", &has), XR_SUCCESS);
    EXPECT_FALSE(has);

    // A missing property reads as on native objects; writing creates it.
    EXPECT_EQ(proxy->GetPropertyByName(u"fresh", &result), XR_NO_PROPERTY);
    EXPECT_EQ(proxy->SetPropertyByName(u"fresh", &text), XR_SUCCESS);
    EXPECT_EQ(proxy->GetPropertyByName(u"fresh", &result), XR_SUCCESS);
    EXPECT_EQ(std::u16string(result.GetStringPtr()), u"new");

    // Deleting goes to the foreign object by name, case-sensitively.
    EXPECT_EQ(proxy->DeleteMember(u"fresh"), XR_SUCCESS);
    EXPECT_EQ(foreign->deleteFlags, DWORD(fdexNameCaseSensitive));
    EXPECT_EQ(proxy->GetPropertyByName(u"fresh", &result), XR_NO_PROPERTY);
    EXPECT_EQ(proxy->DeleteMember(u"never"), XR_NO_PROPERTY);
    ASSERT_EQ(foreign->deleted.size(), 2u);
}

TEST_F(XProxyTest, FailuresKeepTheirCodes) {
    RefPtr<XObject> proxy = ProxyOf(foreign);
    XArgList none;
    XVariant result(7);
    EXPECT_EQ(proxy->InvokeMethodByName(u"nothing", &none, &result), XR_NO_METHOD);
    EXPECT_EQ(result.vt, VT_EMPTY) << "the result is cleared first";
    // A thrown exception's scode is the failure; its texts are freed (checked by the sanitizers).
    EXPECT_EQ(proxy->InvokeMethodByName(u"throws", &none, &result), 0x20);
    EXPECT_EQ(proxy->InvokeMethodByName(u"twice", &none, &result), ResultFromHResult(DISP_E_BADPARAMCOUNT));
    EXPECT_EQ(proxy->InvokeMethodByName(u"twice", &none, nullptr), XR_INVALID);
    EXPECT_EQ(proxy->GetPropertyByName(nullptr, &result), XR_INVALID);

    // Without the method, implementsProtocol fails with the failed call's code.
    bool yes = true;
    EXPECT_EQ(proxy->implementsProtocol(u"p", 1, &yes), XR_NO_METHOD);
    EXPECT_FALSE(yes);
}

TEST_F(XProxyTest, ProtocolsAreAskedOfTheForeignObject) {
    Foreign* speaking = new Foreign(true);
    {
        RefPtr<XObject> proxy = ProxyOf(speaking);
        bool yes = false;
        EXPECT_EQ(proxy->implementsProtocol(u"p", 1, &yes), XR_SUCCESS);
        EXPECT_TRUE(yes);
        EXPECT_EQ(proxy->implementsProtocol(u"p", 2, &yes), XR_SUCCESS);
        EXPECT_FALSE(yes);
    }
    EXPECT_EQ(speaking->refs, 1u);
    speaking->Release();
}

TEST_F(XProxyTest, PathsWalkIntoForeignChildren) {
    Foreign* child = new Foreign();
    child->SetValue(u"leaf", XVariant(3));
    VARIANT holder;
    VariantInit(&holder);
    holder.vt = VT_DISPATCH;
    holder.pdispVal = child; // the property takes this reference
    foreign->SetValue(u"child", XVariant(holder));
    child->Release();
    RefPtr<XObject> proxy = ProxyOf(foreign);

    XVariant result;
    EXPECT_EQ(proxy->GetPropertyByName(u"child.leaf", &result), XR_SUCCESS);
    EXPECT_EQ(result.ToInt32(), 3);
    XVariant four(4);
    EXPECT_EQ(proxy->SetPropertyByName(u"child.leaf", &four), XR_SUCCESS);
    EXPECT_EQ(proxy->GetPropertyByName(u"child.leaf", &result), XR_SUCCESS);
    EXPECT_EQ(result.ToInt32(), 4);
    EXPECT_EQ(proxy->GetPropertyByName(u"child.none", &result), XR_NO_PROPERTY);
    EXPECT_EQ(proxy->GetPropertyByName(u"none.leaf", &result), XR_NO_PROPERTY);
    // The step's proxy went away with the walk.
    XProxy* found = nullptr;
    EXPECT_EQ(XProxy::FindInRegistry(child, &found), XR_NOT_FOUND);
}

} // namespace

namespace {

TEST(XProxyRegistry, WrapsForeignObjectsOnlyWhileTheRuntimeRuns) {
    Foreign* foreign = new Foreign();
    XObject* out = nullptr;
    ASSERT_EQ(GetStartCount(), 0u);
    EXPECT_EQ(XObjectFromUnknown(foreign, &out), XR_NOT_FOUND);
    ASSERT_EQ(Initialize(nullptr), 1);
    ASSERT_EQ(Initialize(nullptr), 1);
    ASSERT_EQ(XObjectFromUnknown(foreign, &out), XR_SUCCESS);
    Shutdown();
    // A proxy made before the last stop outlives it.
    XObject* again = nullptr;
    ASSERT_EQ(XObjectFromUnknown(foreign, &again), XR_SUCCESS) << "still started once";
    EXPECT_EQ(again, out);
    again->Release();
    Shutdown();
    EXPECT_EQ(XObjectFromUnknown(foreign, &again), XR_NOT_FOUND);
    XVariant result;
    EXPECT_EQ(out->InvokeMethodByName(u"twice", nullptr, &result), ResultFromHResult(DISP_E_BADPARAMCOUNT));
    out->Release();
    EXPECT_EQ(foreign->refs, 1u);
    foreign->Release();
}

} // namespace
