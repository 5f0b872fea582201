#include "runtime/script_object.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "platform/crt/wide.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"

using namespace NUBO;

namespace {

// A base class with a name, a link to another shape and a method; a derived circle over a native
// record that can go away (as a wrapper's native object does), with a property that has no setter,
// a method that hides the base's, and a method that needs an argument.
struct CircleNative {
    int radius = 1;
};

class TestShape : public XObject {
public:
    static XClassDescriptor Descriptor;
    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    void OnBeforeDestroy() override {
        ++destroyHooks;
        AddRef(); // taking and dropping a reference while dying must not destroy twice
        Release();
    }
    static inline int destroyHooks = 0;

    TWString name;
    XVariant next;
};

class TestCircle : public TestShape {
public:
    static XClassDescriptor Descriptor;
    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    CircleNative* native = &own;
    CircleNative own;
};

TestShape* Shape(XObject* o) {
    return static_cast<TestShape*>(o);
}
TestCircle* Circle(XObject* o) {
    return static_cast<TestCircle*>(o);
}

int32_t GetName(XObject* o, XVariant* r) {
    *r = Shape(o)->name;
    return 0;
}
int32_t SetName(XObject* o, const VARIANT* v) {
    XArgString text(v);
    Shape(o)->name = text.Get();
    return 0;
}
int32_t GetNext(XObject* o, XVariant* r) {
    *r = Shape(o)->next;
    return 0;
}
int32_t SetNext(XObject* o, const VARIANT* v) {
    Shape(o)->next = *v;
    return 0;
}
int32_t Describe(XObject* o, int, XArgList*, XVariant* r) {
    if (!o) return XR_INVALID;
    TWString text(u"shape:");
    text += Shape(o)->name;
    *r = text;
    return 0;
}
int32_t ShapeArea(XObject* o, int, XArgList*, XVariant* r) {
    if (!o) return XR_INVALID;
    *r = 0;
    return 0;
}
int32_t Join(XObject* o, int argc, XArgList* args, XVariant* r) {
    if (!o) return XR_INVALID;
    if (argc < 2) return XR_TOO_FEW_ARGS;
    TWString text = args->GetArg(0)->ToString();
    text += u"-";
    text += args->GetArg(1)->ToString();
    *r = text;
    return 0;
}

int32_t GetRadius(XObject* o, XVariant* r) {
    if (!Circle(o)->native) return XR_NO_NATIVE_OBJECT;
    *r = Circle(o)->native->radius;
    return 0;
}
int32_t SetRadius(XObject* o, const VARIANT* v) {
    if (!Circle(o)->native) return XR_NO_NATIVE_OBJECT;
    Circle(o)->native->radius = static_cast<const XVariant*>(v)->ToInt32();
    return 0;
}
int32_t GetDiameter(XObject* o, XVariant* r) {
    if (!Circle(o)->native) return XR_NO_NATIVE_OBJECT;
    *r = 2 * Circle(o)->native->radius;
    return 0;
}
int32_t CircleArea(XObject* o, int, XArgList*, XVariant* r) {
    if (!o || !Circle(o)->native) return XR_INVALID;
    *r = 3 * Circle(o)->native->radius * Circle(o)->native->radius;
    return 0;
}
int32_t Grow(XObject* o, int argc, XArgList* args, XVariant* r) {
    if (!o || !Circle(o)->native) return XR_INVALID;
    if (argc < 1) return XR_TOO_FEW_ARGS;
    Circle(o)->native->radius += args->GetArg(0)->ToInt32();
    *r = Circle(o)->native->radius;
    return 0;
}
int32_t GetValue(XObject* o, int argc, XArgList* args, XVariant* r) {
    return GetRadius(o, r) + 0 * argc + 0 * !args;
}

const XMemberEntry kShapeMembers[] = {
    XProperty("name", GetName, SetName),
    XProperty("next", GetNext, SetNext),
    XMethod("describe", Describe),
    XMethod("area", ShapeArea),
    XMethod("join", Join),
    XProtocol("ee://test/shape", 2),
    XMemberEnd(),
};
const XMemberEntry kCircleMembers[] = {
    XProperty("radius", GetRadius, SetRadius),
    XProperty("diameter", GetDiameter, nullptr),
    XMethod("area", CircleArea),
    XMethod("grow", Grow),
    XMethod("getValue", GetValue),
    XMemberEnd(),
};

XClassDescriptor TestShape::Descriptor = {"TestShape", 7, kShapeMembers, &XObject::Descriptor, 0, {}};
XClassDescriptor TestCircle::Descriptor = {"TestCircle", 6, kCircleMembers, &TestShape::Descriptor, 0, {}};

// Creates as the system does: construct, first reference, Initialize.
template <class T> T* Create() {
    T* p = new (std::nothrow) T;
    p->AddRef();
    EXPECT_EQ(p->Initialize(), 0);
    return p;
}

struct Name {
    explicit Name(const char16_t* s) : b(SysAllocString(s)) {}
    ~Name() { SysFreeString(b); }
    BSTR b;
};

// The calls a script engine makes for o.p, o.p = v, o.m(args...).
HRESULT ScriptGet(IDispatchEx* o, const char16_t* name, VARIANT* out) {
    Name n(name);
    DISPID id = 0;
    HRESULT hr = o->GetDispID(n.b, fdexNameCaseSensitive, &id);
    if (FAILED(hr)) return hr;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return o->InvokeEx(id, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, out, nullptr, nullptr);
}

HRESULT ScriptPut(IDispatchEx* o, const char16_t* name, const VARIANT& value, DISPID* idOut = nullptr) {
    Name n(name);
    DISPID id = 0;
    HRESULT hr = o->GetDispID(n.b, fdexNameEnsure | fdexNameCaseSensitive, &id);
    if (idOut) *idOut = id;
    if (FAILED(hr)) return hr;
    VARIANT arg = value;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &named, 1, 1};
    return o->InvokeEx(id, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
}

HRESULT ScriptCall(IDispatchEx* o, const char16_t* name, std::vector<XVariant> args, VARIANT* out) {
    Name n(name);
    DISPID id = 0;
    HRESULT hr = o->GetDispID(n.b, fdexNameCaseSensitive, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    return o->InvokeEx(id, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, out, nullptr, nullptr);
}

DISPID IdOf(IDispatchEx* o, const char16_t* name) {
    Name n(name);
    DISPID id = 0;
    o->GetDispID(n.b, 0, &id);
    return id;
}

std::u16string Text(const VARIANT& v) {
    return static_cast<const XVariant&>(v).ToString().GetString();
}

class ScriptObjectTest : public testing::Test {
protected:
    void SetUp() override {
        circle = Create<TestCircle>();
        shape = Create<TestShape>();
    }
    void TearDown() override {
        circle->Release();
        shape->Release();
    }
    TestCircle* circle = nullptr;
    TestShape* shape = nullptr;
};

TEST_F(ScriptObjectTest, PropertiesAndMethodsThroughDispatch) {
    XVariant out;
    ASSERT_EQ(ScriptPut(circle, u"radius", XVariant(u"  4 ")), S_OK) << "values are converted by the setter";
    ASSERT_EQ(ScriptGet(circle, u"radius", &out), S_OK);
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, 4);
    ASSERT_EQ(ScriptGet(circle, u"diameter", &out), S_OK);
    EXPECT_EQ(out.lVal, 8);

    ASSERT_EQ(ScriptCall(circle, u"grow", {XVariant(3)}, &out), S_OK);
    EXPECT_EQ(out.lVal, 7);
    ASSERT_EQ(ScriptCall(circle, u"join", {XVariant(u"a"), XVariant(2)}, &out), S_OK);
    EXPECT_EQ(Text(out), u"a-2") << "arguments arrive in script order";

    // Names are case-sensitive.
    EXPECT_EQ(ScriptGet(circle, u"Radius", &out), DISP_E_MEMBERNOTFOUND);
}

TEST_F(ScriptObjectTest, MembersAreFoundOverTheBaseChain) {
    XVariant out;
    ASSERT_EQ(ScriptPut(circle, u"name", XVariant(u"c1")), S_OK);
    ASSERT_EQ(ScriptCall(circle, u"describe", {}, &out), S_OK);
    EXPECT_EQ(Text(out), u"shape:c1");

    circle->native->radius = 2;
    ASSERT_EQ(ScriptCall(circle, u"area", {}, &out), S_OK);
    EXPECT_EQ(out.lVal, 12) << "the derived method hides the base's";
    ASSERT_EQ(ScriptCall(shape, u"area", {}, &out), S_OK);
    EXPECT_EQ(out.lVal, 0);

    // One id per distinct (name, kind): 5 own + 5 base entries less the hidden "area" + implementsProtocol.
    EXPECT_EQ(TestCircle::Descriptor.memberVector.size(), 10u);
    std::vector<DISPID> ids;
    for (const char16_t* n : {u"area", u"describe", u"diameter", u"getValue", u"grow", u"implementsProtocol", u"join",
                              u"name", u"next", u"radius"})
        ids.push_back(IdOf(circle, n));
    for (size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(ids[i], static_cast<DISPID>(i + 1)) << "sorted by name";

    ASSERT_EQ(ScriptCall(circle, u"implementsProtocol", {XVariant(u"ee://test/shape"), XVariant(1)}, &out), S_OK);
    EXPECT_EQ(out.vt, VT_BOOL);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE) << "declared by the base class";
    ASSERT_EQ(ScriptCall(circle, u"implementsProtocol", {XVariant(u"ee://test/shape"), XVariant(3)}, &out), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_FALSE);

    EXPECT_TRUE(XObject::IsKindOf(circle, &TestShape::Descriptor));
    EXPECT_FALSE(XObject::IsKindOf(shape, &TestCircle::Descriptor));
    EXPECT_FALSE(XObject::IsKindOf(nullptr, &XObject::Descriptor));
}

TEST_F(ScriptObjectTest, ExpandosAreCreatedReadAndDeleted) {
    DISPID id = 0;
    ASSERT_EQ(ScriptPut(shape, u"color", XVariant(u"red"), &id), S_OK);
    EXPECT_EQ(id, 0x1000000);
    XVariant out;
    ASSERT_EQ(ScriptGet(shape, u"color", &out), S_OK);
    EXPECT_EQ(Text(out), u"red");
    ASSERT_EQ(ScriptPut(shape, u"color", XVariant(5), &id), S_OK);
    EXPECT_EQ(id, 0x1000000) << "a second assignment keeps the id";
    ASSERT_EQ(ScriptPut(shape, u"size", XVariant(2), &id), S_OK);
    EXPECT_EQ(id, 0x1000001);

    Name color(u"color");
    EXPECT_EQ(shape->DeleteMemberByName(color.b, fdexNameCaseSensitive), S_OK);
    EXPECT_EQ(ScriptGet(shape, u"color", &out), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(shape->DeleteMemberByName(color.b, 0), S_OK) << "nothing to delete is no failure";
    ASSERT_EQ(ScriptPut(shape, u"color", XVariant(1), &id), S_OK);
    EXPECT_EQ(id, 0x1000002) << "ids are not reused";

    // Declared members are never deleted.
    Name declared(u"name");
    EXPECT_EQ(shape->DeleteMemberByName(declared.b, 0), S_OK);
    XVariant still;
    EXPECT_EQ(ScriptGet(shape, u"name", &still), S_OK);

    // A declared property without a setter: a put by id fails with 8; by name it becomes an expando
    // that lookups by that name never reach.
    circle->native->radius = 3;
    EXPECT_EQ(ScriptPut(circle, u"diameter", XVariant(100), &id), static_cast<HRESULT>(0x81000002));
    XVariant hundred(100);
    EXPECT_EQ(circle->SetPropertyByName(u"diameter", &hundred), 0);
    ASSERT_EQ(ScriptGet(circle, u"diameter", &out), S_OK);
    EXPECT_EQ(out.lVal, 6);
}

TEST_F(ScriptObjectTest, FailureResultsReachScriptsAsHResults) {
    XVariant out;
    ASSERT_EQ(ScriptCall(circle, u"grow", {}, &out), DISP_E_BADPARAMCOUNT); // 12
    EXPECT_EQ(out.vt, VT_EMPTY) << "no result on failure";
    ASSERT_EQ(ScriptCall(circle, u"join", {XVariant(1)}, &out), DISP_E_BADPARAMCOUNT);

    circle->native = nullptr;                                                        // the native object went away
    EXPECT_EQ(ScriptGet(circle, u"radius", &out), static_cast<HRESULT>(0x8100005C)); // 92
    EXPECT_EQ(ScriptCall(circle, u"grow", {XVariant(1)}, &out), E_INVALIDARG);       // 10
    EXPECT_EQ(ScriptCall(circle, u"area", {}, &out), E_INVALIDARG);

    // The method frame checks a missing object first.
    XArgList args;
    EXPECT_EQ(Grow(nullptr, 0, &args, &out), XR_INVALID);

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    DISPID describe = IdOf(shape, u"describe");
    DISPID name = IdOf(shape, u"name");
    EXPECT_EQ(shape->InvokeEx(name, 0, DISPATCH_METHOD, &none, &out, nullptr, nullptr),
              static_cast<HRESULT>(0x81000006))
        << "a property called as a method: 6";
    EXPECT_EQ(shape->InvokeEx(describe, 0, DISPATCH_PROPERTYGET, &none, &out, nullptr, nullptr),
              static_cast<HRESULT>(0x81000002))
        << "a method read as a property: 8";
    EXPECT_EQ(shape->InvokeEx(0x123456, 0, DISPATCH_METHOD, &none, &out, nullptr, nullptr),
              static_cast<HRESULT>(0x81000006));
    EXPECT_EQ(shape->InvokeEx(-5, 0, DISPATCH_METHOD, &none, &out, nullptr, nullptr), E_FAIL);
    EXPECT_EQ(shape->InvokeEx(DISPID_VALUE, 0, DISPATCH_PROPERTYGET, &none, &out, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND)
        << "no getValue";
    EXPECT_EQ(shape->InvokeEx(DISPID_VALUE, 0, DISPATCH_CONSTRUCT, &none, &out, nullptr, nullptr), E_FAIL);
    EXPECT_EQ(shape->InvokeEx(name, 0, DISPATCH_PROPERTYPUT, &none, nullptr, nullptr, nullptr), DISP_E_BADPARAMCOUNT)
        << "a put without its value";

    Name unknown(u"nothing");
    DISPID id = 7;
    EXPECT_EQ(shape->GetDispID(unknown.b, 0, &id), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(shape->GetDispID(nullptr, 0, &id), E_INVALIDARG);
    EXPECT_EQ(shape->GetIDsOfNames(IID_NULL, &unknown.b, 0, 0, &id), E_INVALIDARG);
    BSTR none16 = nullptr;
    EXPECT_EQ(shape->GetMemberName(1, &none16), E_NOTIMPL);
    EXPECT_EQ(shape->GetNextDispID(fdexEnumAll, DISPID_STARTENUM, &id), E_NOTIMPL);
}

TEST_F(ScriptObjectTest, ValueOfAnObjectIsItsGetValueMethod) {
    circle->native->radius = 5;
    XVariant out;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ASSERT_EQ(circle->InvokeEx(DISPID_VALUE, 0, DISPATCH_PROPERTYGET, &none, &out, nullptr, nullptr), S_OK);
    EXPECT_EQ(out.lVal, 5);
    // So conversions of the object read it.
    XVariant object(static_cast<XObject*>(circle));
    EXPECT_EQ(object.vt, VT_UNKNOWN);
    EXPECT_EQ(object.ToInt32(), 5);
    TWString text;
    EXPECT_EQ(object.GetString(&text), 0);
    EXPECT_EQ(std::u16string(text.GetString()), u"5");
}

// A script function: records the `this` it was called with and answers a value or an exception.
class FakeFunction : public IDispatchEx {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IDispatchEx) {
            *out = static_cast<IDispatchEx*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
    HRESULT GetDispID(BSTR, DWORD, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                     IServiceProvider*) override {
        seenId = id;
        seenLcid = lcid;
        seenFlags = flags;
        if (params && params->cArgs == 1 && params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] == DISPID_THIS &&
            params->rgvarg[0].vt == VT_DISPATCH)
            seenThis = params->rgvarg[0].pdispVal;
        if (throwCode) {
            info->scode = throwCode;
            info->bstrDescription = SysAllocString(u"thrown");
            return DISP_E_EXCEPTION;
        }
        result->vt = VT_I4;
        result->lVal = 99;
        return S_OK;
    }
    HRESULT DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
    HRESULT DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
    HRESULT GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
    HRESULT GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
    HRESULT GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }

    ULONG refs = 1;
    DISPID seenId = -1;
    LCID seenLcid = 0;
    WORD seenFlags = 0;
    IDispatch* seenThis = nullptr;
    HRESULT throwCode = 0;
};

TEST_F(ScriptObjectTest, ExpandoFunctionsAreCalledWithThisObject) {
    FakeFunction fn;
    XVariant value;
    value.vt = VT_DISPATCH;
    value.pdispVal = &fn;
    fn.AddRef();
    ASSERT_EQ(ScriptPut(shape, u"onClick", value), S_OK);
    XVariant out;
    ASSERT_EQ(ScriptCall(shape, u"onClick", {XVariant(1)}, &out), S_OK);
    EXPECT_EQ(out.lVal, 99);
    EXPECT_EQ(fn.seenId, DISPID_VALUE);
    EXPECT_EQ(fn.seenLcid, 1024u);
    EXPECT_EQ(fn.seenFlags, DISPATCH_METHOD);
    EXPECT_EQ(fn.seenThis, static_cast<IDispatch*>(shape));

    fn.throwCode = static_cast<HRESULT>(0x800A01B6);
    EXPECT_EQ(ScriptCall(shape, u"onClick", {}, &out), fn.throwCode) << "the thrown error's code";

    // An expando that holds no function cannot be called: 1.
    ASSERT_EQ(ScriptPut(shape, u"plain", XVariant(3)), S_OK);
    EXPECT_EQ(ScriptCall(shape, u"plain", {}, &out), E_FAIL);

    value.Clear();
    Name onClick(u"onClick");
    shape->DeleteMemberByName(onClick.b, 0);
    EXPECT_EQ(fn.refs, 1u) << "the deleted expando released its function";
}

TEST_F(ScriptObjectTest, AccessWalksPropertyPaths) {
    TestShape* b = Create<TestShape>();
    TestShape* c = Create<TestShape>();
    c->name = u"deep";
    b->next = static_cast<XObject*>(c);
    shape->next = static_cast<XObject*>(b);

    XVariant out;
    ASSERT_EQ(shape->Access(kXAccessGet, u"next.next.name", &out), 0);
    EXPECT_EQ(Text(out), u"deep");
    XVariant renamed(u"renamed");
    ASSERT_EQ(shape->Access(kXAccessPut, u"next.next.name", &renamed), 0);
    EXPECT_EQ(std::u16string(c->name.GetString()), u"renamed");
    ASSERT_EQ(shape->Access(kXAccessPut, u"next.extra", &renamed), 0) << "creates an expando on b";
    ASSERT_EQ(b->GetPropertyByName(u"extra", &out), 0);
    EXPECT_EQ(Text(out), u"renamed");

    EXPECT_EQ(shape->Access(kXAccessGet, u"name.length", &out), XR_NO_PROPERTY) << "a step that is no object";
    EXPECT_EQ(shape->Access(kXAccessGet, u"missing.x", &out), XR_NO_PROPERTY);
    EXPECT_EQ(shape->Access(kXAccessGet, u".hidden", &out), XR_NO_PROPERTY) << "one name, one access";
    EXPECT_EQ(shape->Access(kXAccessGet, u"next..x", &out), XR_NO_PROPERTY);
    EXPECT_EQ(shape->Access(0xF20, u"next.name", &out), XR_NAME_NOT_FOUND);

    shape->next.Clear();
    b->next.Clear();
    c->Release();
    b->Release();
}

TEST_F(ScriptObjectTest, NativeCallersUseTheSameMembers) {
    XVariant out;
    ASSERT_EQ(XObject::CallMethod2(circle, u"join", XVariant(u"x"), XVariant(true), &out), 0);
    EXPECT_EQ(Text(out), u"x-1");
    EXPECT_EQ(XObject::CallMethod0(circle, u"radius", &out), XR_NO_METHOD) << "a property is no method";
    EXPECT_EQ(XObject::CallMethod0(circle, u"nothing", &out), XR_NO_METHOD);
    EXPECT_EQ(XObject::CallMethod1NoResult(circle, u"grow", XVariant(2)), 0);
    EXPECT_EQ(circle->native->radius, 3);
    EXPECT_EQ(XObject::CallMethod0(nullptr, u"area", &out), XR_INVALID);

    TWString name;
    ASSERT_EQ(circle->GetMemberName(IdOf(circle, u"radius"), &name), 0);
    EXPECT_EQ(std::u16string(name.GetString()), u"radius");
    ASSERT_EQ(circle->GetMemberName(0, &name), 0);
    EXPECT_EQ(std::u16string(name.GetString()), u"getValue");
    EXPECT_EQ(circle->GetMemberName(-1, &name), XR_NAME_NOT_FOUND);
    EXPECT_EQ(circle->GetMemberName(500, &name), XR_NAME_NOT_FOUND);
}

TEST(ScriptObjectLifecycle, LastReleaseRunsTheHookOnceAndDeletes) {
    TestShape::destroyHooks = 0;
    auto* s = new TestShape;
    EXPECT_EQ(s->GetRefCount(), 0) << "the creator takes the first reference";
    s->AddRef();
    XVariant held(static_cast<XObject*>(s));
    EXPECT_EQ(s->GetRefCount(), 2);
    s->Release();
    EXPECT_EQ(TestShape::destroyHooks, 0);
    held.Clear();
    EXPECT_EQ(TestShape::destroyHooks, 1);
}

TEST(ScriptObjectLifecycle, NativeObjectsAreRecognisedBehindComPointers) {
    TestCircle* c = Create<TestCircle>();
    XObject* found = nullptr;
    IUnknown* unk = nullptr;
    ASSERT_EQ(c->QueryUnknown(&unk), 0);
    ASSERT_EQ(XObjectFromUnknown(unk, &found), 0);
    EXPECT_EQ(found, c);
    found->Release();
    unk->Release();

    FakeFunction foreign;
    EXPECT_EQ(XObjectFromUnknown(&foreign, &found), XR_NOT_FOUND) << "no proxy maker installed";
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(foreign.refs, 1u);
    EXPECT_EQ(XObjectFromUnknown(unk, nullptr), XR_INVALID);

    XVariant v(static_cast<XObject*>(c));
    XObject* viaArg = nullptr;
    ASSERT_EQ(VariantToXObject(&viaArg, &v), 0);
    EXPECT_EQ(viaArg, c);
    viaArg->Release();
    XVariant number(3);
    EXPECT_EQ(VariantToXObject(&viaArg, &number), 0);
    EXPECT_EQ(viaArg, nullptr);
    EXPECT_EQ(number.GetXObject(&viaArg), XR_NOT_OBJECT);
    v.Clear();
    EXPECT_EQ(c->GetRefCount(), 1);
    c->Release();
}

// A constructor object as scripts use one with `new`: it acts only on DISPATCH_CONSTRUCT.
class CircleConstructor : public XObject {
public:
    HRESULT Invoke(DISPID, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
        if (flags != DISPATCH_CONSTRUCT) return S_FALSE;
        TestCircle* c = Create<TestCircle>();
        if (result) static_cast<XVariant*>(result)->SetObject(c);
        c->Release();
        return S_OK;
    }
};

TEST(ScriptObjectLifecycle, ConstructThroughDispatch) {
    CircleConstructor* ctor = Create<CircleConstructor>();
    XVariant made;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ASSERT_EQ(ctor->InvokeEx(DISPID_VALUE, 0, DISPATCH_CONSTRUCT, &none, &made, nullptr, nullptr), S_OK);
    ASSERT_EQ(made.vt, VT_UNKNOWN);
    IDispatchEx* obj = nullptr;
    ASSERT_EQ(made.punkVal->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&obj)), S_OK);
    XVariant out;
    ASSERT_EQ(ScriptCall(obj, u"grow", {XVariant(4)}, &out), S_OK);
    EXPECT_EQ(out.lVal, 5);
    obj->Release();
    XVariant nothing;
    EXPECT_EQ(ctor->InvokeEx(DISPID_VALUE, 0, DISPATCH_METHOD, &none, &nothing, nullptr, nullptr), S_FALSE);
    EXPECT_EQ(nothing.vt, VT_EMPTY);
    ctor->Release();
}

} // namespace
