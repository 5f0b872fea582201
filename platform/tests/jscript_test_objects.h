#pragma once
// A small host object and site for driving the script engine through its COM interfaces only.
#include <map>
#include <string>
#include <vector>

#include "platform/com/dispatch.h"
#include "platform/script/active_script.h"
#include "platform/script/host_member_kind.h"

#include "platform/tests/test_script_site.h"
#include <functional>

namespace jscript_test {

// Records every call it gets. Members: "value" (property), "add" (method: a + b), "echo" (method:
// its argument back), "fail" (method failing with 0x81000006), "keep" (method: stores its argument
// in `kept`), "self" (method: itself as VT_UNKNOWN); other names become properties on Ensure.
// Called itself it answers the number of arguments it got; constructed it makes a new object.
// Unless `callable` is cleared, it says so, and scripts see it as a function.
class TestHost final : public IDispatchEx {
public:
    struct Call {
        DISPID id;
        WORD flags;
        UINT args;
        UINT named;
        DISPID firstNamed;
    };

    TestHost() {
        VariantInit(&kept);
        ++live;
    }
    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override;

    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                   UINT*) override {
        return InvokeEx(id, lcid, flags, params, result, info, nullptr);
    }
    HRESULT GetDispID(BSTR name, DWORD grfdex, DISPID* id) override;
    HRESULT InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                     IServiceProvider*) override;
    HRESULT DeleteMemberByName(BSTR name, DWORD) override;
    HRESULT DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
    HRESULT GetMemberProperties(DISPID id, DWORD fetch, DWORD* props) override {
        if (id != DISPID_VALUE || !callable) return E_NOTIMPL;
        *props = (fdexPropCanCall | fdexPropCanConstruct) & fetch;
        return S_OK;
    }
    HRESULT GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
    HRESULT GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
    HRESULT GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }

    static inline int live = 0; // objects not destroyed yet
    ULONG refs = 1;
    bool callable = true; // whether it says it can be called and constructed
    int value = 42;
    VARIANT kept;
    std::vector<Call> calls;
    std::vector<std::u16string> deleted;
    std::map<std::u16string, VARIANT> expandos;
    std::vector<std::u16string> expandoNames; // id = 100 + index

private:
    ~TestHost();
};

// A node of a chain whose members are the same for every node: "count" (property, writable),
// "label" (read-only property: "node " + its number), "next" (the next node, made on first read and
// held), "twice" (method: 2 * its argument), "fail" (property failing with 0x81000006), "far" (a
// property whose id is above 0x7FFF: its number) and "touch" (property: runs `onTouch` first, then
// answers its number). It takes no other members.
class FixedHost final : public IDispatch, public IFixedMemberNames {
public:
    explicit FixedHost(int n) : number(n) { ++live; }
    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override;
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   UINT*) override;
    HRESULT GetFixedMembers(const FixedMember** members, UINT* count) override;

    static inline int live = 0;
    ULONG refs = 1;
    int number;
    int count = 0;
    FixedHost* next = nullptr;
    std::function<void()> onTouch;

private:
    ~FixedHost();
};

} // namespace jscript_test
