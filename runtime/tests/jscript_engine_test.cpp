// The script engine driven through its COM interfaces only, with native objects built on XObject:
// what scripts see of declared members, expandos, dictionary keys and failure codes.
#include "platform/script/jscript_engine.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <string>

#include "dispatch_call.h"
#include "platform/com/class_registry.h"
#include "platform/script/active_script.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "runtime/script_constructors.h"
#include "runtime/script_dictionary.h"
#include "runtime/script_engine_hooks.h"
#include "runtime/startup.h"
#include "script_test_site.h"

using namespace NUBO;

namespace {

// A base shape with a name, a method its derived circle hides and methods that reach back into
// script; the circle adds a radius whose native record can go away.
class Shape : public XObject {
public:
    static XClassDescriptor Descriptor;
    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    TWString name;
    XVariant kept;
    HRESULT lastCallback = S_OK;
    TWString lastDescription;
};

class Circle : public Shape {
public:
    static XClassDescriptor Descriptor;
    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    bool hasNative = true;
    int radius = 1;
};

std::u16string Str(const TWString& text) {
    return text.GetString() ? std::u16string(text.GetString()) : std::u16string();
}

Shape* AsShape(XObject* o) {
    return static_cast<Shape*>(o);
}
Circle* AsCircle(XObject* o) {
    return static_cast<Circle*>(o);
}

int32_t GetName(XObject* o, XVariant* r) {
    *r = AsShape(o)->name;
    return XR_SUCCESS;
}
int32_t SetName(XObject* o, const VARIANT* v) {
    XArgString text(v);
    AsShape(o)->name = text.Get();
    return XR_SUCCESS;
}
int32_t ShapeDescribe(XObject* o, int, XArgList*, XVariant* r) {
    TWString text(u"shape:");
    text += AsShape(o)->name;
    *r = text;
    return XR_SUCCESS;
}
int32_t Join(XObject*, int argc, XArgList* args, XVariant* r) {
    if (argc < 2) return XR_TOO_FEW_ARGS;
    TWString text = args->GetArg(0)->ToString();
    text += u"-";
    text += args->GetArg(1)->ToString();
    *r = text;
    return XR_SUCCESS;
}
// Fails with the code it is given.
int32_t Fail(XObject*, int argc, XArgList* args, XVariant*) {
    return argc < 1 ? XR_TOO_FEW_ARGS : args->GetArg(0)->ToInt32();
}
// Keeps its last argument.
int32_t Keep(XObject* o, int argc, XArgList* args, XVariant*) {
    if (argc < 1) return XR_TOO_FEW_ARGS;
    AsShape(o)->kept = *args->GetArg(argc - 1);
    return XR_SUCCESS;
}
int32_t GetKept(XObject* o, XVariant* r) {
    *r = AsShape(o)->kept;
    return XR_SUCCESS;
}
int32_t Self(XObject* o, int, XArgList*, XVariant* r) {
    *r = o;
    return XR_SUCCESS;
}
// callBack(fn, arg): fn(arg) with this object as `this`, as native code calls script functions.
int32_t CallBack(XObject* o, int argc, XArgList* args, XVariant* r) {
    if (argc < 2) return XR_TOO_FEW_ARGS;
    XVariant* fn = args->GetArg(0);
    IDispatchEx* function = nullptr;
    if (fn->vt != VT_DISPATCH || !fn->pdispVal ||
        FAILED(fn->pdispVal->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&function))))
        return XR_INVALID;
    VARIANT argv[2];
    VariantInit(&argv[0]);
    argv[0].vt = VT_DISPATCH;
    argv[0].pdispVal = static_cast<IDispatchEx*>(o);
    VariantInit(&argv[1]);
    VariantCopy(&argv[1], args->GetArg(1));
    DISPID named = DISPID_THIS;
    DISPPARAMS params{argv, &named, 2, 1};
    EXCEPINFO info{};
    HRESULT hr = function->InvokeEx(DISPID_VALUE, 0, DISPATCH_METHOD, &params, r, &info, nullptr);
    function->Release();
    VariantClear(&argv[1]);
    AsShape(o)->lastCallback = hr;
    AsShape(o)->lastDescription = info.bstrDescription ? TWString(info.bstrDescription) : TWString();
    hr = ResultFromException(hr, &info);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return ResultFromHResult(hr);
}

int32_t GetRadius(XObject* o, XVariant* r) {
    if (!AsCircle(o)->hasNative) return XR_NO_NATIVE_OBJECT;
    *r = AsCircle(o)->radius;
    return XR_SUCCESS;
}
int32_t CircleDescribe(XObject* o, int, XArgList*, XVariant* r) {
    TWString text(u"circle:");
    text += AsShape(o)->name;
    *r = text;
    return XR_SUCCESS;
}
int32_t Grow(XObject* o, int argc, XArgList* args, XVariant* r) {
    if (!AsCircle(o)->hasNative) return XR_NO_NATIVE_OBJECT;
    if (argc < 1) return XR_TOO_FEW_ARGS;
    AsCircle(o)->radius += args->GetArg(0)->ToInt32();
    *r = AsCircle(o)->radius;
    return XR_SUCCESS;
}

const XMemberEntry kShapeMembers[] = {
    XProperty("name", GetName, SetName),
    XMethod("describe", ShapeDescribe),
    XMethod("join", Join),
    XMethod("fail", Fail),
    XMethod("keep", Keep),
    XProperty("kept", GetKept, nullptr),
    XMethod("self", Self),
    XMethod("callBack", CallBack),
    XMemberEnd(),
};
const XMemberEntry kCircleMembers[] = {
    XProperty("radius", GetRadius, nullptr),
    XMethod("describe", CircleDescribe),
    XMethod("grow", Grow),
    XMemberEnd(),
};

XClassDescriptor Shape::Descriptor = {
    "TestShape", int(std::size(kShapeMembers)), kShapeMembers, &XObject::Descriptor, 0, {}};
XClassDescriptor Circle::Descriptor = {
    "TestCircle", int(std::size(kCircleMembers)), kCircleMembers, &Shape::Descriptor, 0, {}};

int32_t CreateCircle(XObject** out) {
    *out = new (std::nothrow) Circle();
    if (!*out) return XR_OUT_OF_MEMORY;
    (*out)->AddRef();
    return XR_SUCCESS;
}

class XObjectScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Initialize(nullptr), 1); // installs the engine hooks
        circle = new Circle();
        circle->AddRef();
        circle->name = u"disc";
        ASSERT_EQ(CreateXDictionary(&dictionary), XR_SUCCESS);
        ASSERT_EQ(CreateXDictionaryConstructor(&dictionaryConstructor), XR_SUCCESS);
        ASSERT_EQ(CreateScriptObjectConstructor(CreateCircle, &circleConstructor), XR_SUCCESS);
        site.items = {{u"circle", circle},
                      {u"dict", dictionary},
                      {u"xDictionary", dictionaryConstructor},
                      {u"Circle", circleConstructor}};

        // Every step of making, starting and naming the items must answer S_OK.
        ASSERT_EQ(script.Open(&site), S_OK);
        engine = script.engine();
    }
    void TearDown() override {
        EXPECT_EQ(script.Close(), S_OK);
        EXPECT_EQ(site.refs, 0u);
        circle->kept.Clear(); // a script object kept past Close lets go harmlessly
        for (XObject* object : {static_cast<XObject*>(circle), dictionary, dictionaryConstructor, circleConstructor}) {
            EXPECT_EQ(object->GetRefCount(), 1) << "the engine still holds a native object";
            object->Release();
        }
        Shutdown();
    }

    HRESULT Run(const char16_t* code, const char16_t* item = nullptr) { return script.Run(code, item); }
    XVariant Eval(const char16_t* code) { return script.Eval(code); }
    std::u16string Text(const char16_t* code) {
        XVariant v = Eval(code);
        EXPECT_EQ(v.vt, VT_BSTR) << std::string(code, code + std::char_traits<char16_t>::length(code));
        return v.vt == VT_BSTR ? std::u16string(v.bstrVal, SysStringLen(v.bstrVal)) : u"";
    }
    int Int(const char16_t* code) {
        XVariant v = Eval(code);
        EXPECT_EQ(v.vt, VT_I4) << std::string(code, code + std::char_traits<char16_t>::length(code));
        return v.vt == VT_I4 ? v.lVal : -999999;
    }

    test::ScriptTestSite site;
    test::ScriptTestEngine script;
    IActiveScript* engine = nullptr; // the one `script` holds
    Circle* circle = nullptr;
    XObject* dictionary = nullptr;
    XObject* dictionaryConstructor = nullptr;
    XObject* circleConstructor = nullptr;
};

TEST_F(XObjectScriptTest, HookAnswersMemberKindsOfNativeObjectsOnly) {
    DISPID describe = 0, name = 0, extra = 0, key = 0;
    BSTR text = SysAllocString(u"describe");
    ASSERT_EQ(circle->GetDispID(text, 0, &describe), S_OK);
    SysFreeString(text);
    text = SysAllocString(u"name");
    ASSERT_EQ(circle->GetDispID(text, 0, &name), S_OK);
    SysFreeString(text);
    text = SysAllocString(u"extra");
    ASSERT_EQ(circle->GetDispID(text, fdexNameEnsure, &extra), S_OK);
    SysFreeString(text);
    ASSERT_EQ(test::Put(dictionary, u"key", XVariant(1)), S_OK);
    text = SysAllocString(u"key");
    ASSERT_EQ(dictionary->GetDispID(text, 0, &key), S_OK);
    SysFreeString(text);

    // A script object is no XObject: its ids mean nothing to the object model.
    IDispatch* global = nullptr;
    ASSERT_EQ(engine->GetScriptDispatch(nullptr, &global), S_OK);

    struct Case {
        IUnknown* object;
        DISPID id;
        int kind;
    } cases[] = {
        {circle, describe, 1}, {circle, name, 2},    {circle, extra, 0},     {dictionary, key, -1},
        {circle, 0, -1},       {circle, 0x7FFF, -1}, {global, describe, -1}, {nullptr, describe, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScriptMemberKind(c.object, c.id), c.kind) << std::hex << c.id;
    EXPECT_GE(extra, kXFirstExpandoId);
    global->Release();
}

TEST_F(XObjectScriptTest, DeclaredMembersAreFoundThroughTheBaseChain) {
    EXPECT_EQ(Text(u"circle.name"), u"disc");
    EXPECT_EQ(Text(u"circle.describe()"), u"circle:disc") << "the derived method hides the base's";
    EXPECT_EQ(Text(u"circle.join('a', 2)"), u"a-2") << "arguments arrive in script order";
    EXPECT_EQ(Int(u"circle.grow(2)"), 3);
    EXPECT_EQ(Int(u"circle.radius"), 3);
    EXPECT_EQ(Text(u"typeof circle.describe"), u"function");
    EXPECT_EQ(Text(u"typeof circle.nothing"), u"undefined");
    EXPECT_EQ(Run(u"circle.name = 'ring'"), S_OK);
    EXPECT_EQ(Str(circle->name), u"ring");
    EXPECT_EQ(Text(u"var d = circle.describe; d()"), u"circle:ring") << "a method read off keeps its object";
}

// A declared property's id is remembered per object; its value never is. Objects come and go in
// numbers past the bridge's caches, and objects made later at freed addresses read their own.
TEST_F(XObjectScriptTest, RepeatedReadsOfADeclaredPropertySeeEachNewValue) {
    EXPECT_EQ(Text(u"circle.name + circle.name"), u"discdisc");
    circle->name = u"changed natively";
    EXPECT_EQ(Text(u"circle.name"), u"changed natively");
    EXPECT_EQ(Text(u"circle.name = 'by script'; circle.name"), u"by script");
    EXPECT_EQ(Text(u"var other = new Circle(); other.name = 'other'; circle.name + '/' + other.name"),
              u"by script/other");
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(Text(u"var all = [], seen = [];"
                       u"for (var i = 0; i < 300; i++) { var c = new Circle(); c.name = 'c' + i; all.push(c); }"
                       u"for (var i = 0; i < 300; i++) if (all[i].name != 'c' + i || all[i].radius != 1) "
                       u"  seen.push(i + ':' + all[i].name);"
                       u"all = null; CollectGarbage(); seen.join()"),
                  u"")
            << "round " << round;
    }
    EXPECT_EQ(Text(u"circle.name"), u"by script");
}

TEST_F(XObjectScriptTest, DeclaredMethodWinsOverSameNamedDictionaryKey) {
    // Reading a dictionary's member by name gives its key first; calling must still reach the method.
    ASSERT_EQ(test::Put(dictionary, u"valueForKey", XVariant(u"the key's own")), S_OK);
    ASSERT_EQ(test::Put(dictionary, u"plain", XVariant(5)), S_OK);
    EXPECT_EQ(Text(u"dict.valueForKey('valueForKey')"), u"the key's own");
    EXPECT_EQ(Text(u"typeof dict.valueForKey"), u"function");
    EXPECT_EQ(Int(u"dict.plain"), 5);
    EXPECT_EQ(Text(u"typeof dict.missing"), u"undefined");
    EXPECT_EQ(Run(u"dict.added = 'from script'; delete dict.plain"), S_OK);
    XVariant value;
    EXPECT_EQ(test::Method(dictionary, u"valueForKey", {XVariant(u"added")}, &value), S_OK);
    EXPECT_EQ(Str(value.ToString()), u"from script");
    bool has = true;
    dictionary->HasDynamicProperty(u"plain", &has);
    EXPECT_FALSE(has) << "delete reaches DeleteMemberByName";
}

TEST_F(XObjectScriptTest, ExpandosCreatedFromScriptLiveOnTheNativeObject) {
    EXPECT_EQ(Run(u"circle.extra = 7; circle.greet = function (x) { return this.name + x; };"), S_OK);
    int id = 0;
    ASSERT_EQ(circle->GetIdOfName(u"extra", &id), XR_SUCCESS);
    EXPECT_GE(id, kXFirstExpandoId);
    XVariant value;
    ASSERT_EQ(circle->GetPropertyByName(u"extra", &value), XR_SUCCESS);
    EXPECT_EQ(value.ToInt32(), 7);
    EXPECT_EQ(Text(u"circle.greet('!')"), u"disc!") << "an expando function runs with its object as this";

    // Native code calls the expando function by name; it gets the object as `this`.
    ASSERT_EQ(Run(u"circle.tag = function () { return 'tag:' + this.describe(); };"), S_OK);
    XVariant tagged;
    EXPECT_EQ(test::Method(circle, u"tag", {}, &tagged), S_OK);
    EXPECT_EQ(Str(tagged.ToString()), u"tag:circle:disc");

    EXPECT_EQ(Run(u"delete circle.extra"), S_OK);
    EXPECT_EQ(Text(u"typeof circle.extra"), u"undefined");
    EXPECT_NE(circle->GetPropertyByName(u"extra", &value), XR_SUCCESS);
}

TEST_F(XObjectScriptTest, FailureCodesAreThrownAsErrorsWithTheirHResult) {
    struct Case {
        const char16_t* code;
        HRESULT number;
    } cases[] = {
        {u"circle.fail(10)", E_INVALIDARG},
        {u"circle.fail(12)", DISP_E_BADPARAMCOUNT},
        {u"circle.fail(92)", HResultFromResult(XR_NO_NATIVE_OBJECT)},
        {u"circle.grow()", DISP_E_BADPARAMCOUNT},
    };
    for (const Case& c : cases) {
        std::u16string code = u"var r; try { ";
        code += c.code;
        code += u"; r = 'no error'; } catch (e) { r = (e instanceof Error) ? e.number : 'not an Error'; } r";
        XVariant v = Eval(code.c_str());
        EXPECT_EQ(v.vt, VT_I4) << std::string(c.code, c.code + std::char_traits<char16_t>::length(c.code));
        EXPECT_EQ(v.lVal, c.number);
    }
    EXPECT_EQ(Text(u"try { new circle(); '' } catch (e) { e.name }"), u"TypeError")
        << "a plain native object is no constructor: the engine refuses before any call";
    circle->hasNative = false;
    EXPECT_EQ(Int(u"try { circle.radius; 0 } catch (e) { e.number }"), HResultFromResult(XR_NO_NATIVE_OBJECT))
        << "a property whose native object went away";

    // Uncaught, the failure reaches the caller of the text and its site.
    size_t before = site.errors.size();
    HRESULT hr = Run(u"circle.fail(92)");
    EXPECT_EQ(ResultFromHResult(hr), XR_NO_NATIVE_OBJECT);
    EXPECT_EQ(site.errors.size(), before + 1);
}

TEST_F(XObjectScriptTest, NewMakesNativeObjectsThroughConstructors) {
    EXPECT_EQ(Int(u"var d = new xDictionary(); d.setValueForKey(4, 'a'); d.valueForKey('a')"), 4);
    EXPECT_EQ(Text(u"var c = new Circle(); c.name = 'new'; c.describe()"), u"circle:new");
    EXPECT_EQ(Text(u"(new Circle()) === (new Circle()) ? 'same' : 'distinct'"), u"distinct");
}

TEST_F(XObjectScriptTest, ScriptCallbacksRunFromNativeCodeWithThisAndErrorsCrossBothWays) {
    EXPECT_EQ(Text(u"circle.callBack(function (x) { return this.describe() + x; }, '?')"), u"circle:disc?");
    EXPECT_EQ(circle->lastCallback, S_OK);

    // A script error reaches native code as DISP_E_EXCEPTION; its number goes back to script.
    EXPECT_EQ(Int(u"try { circle.callBack(function () { var e = new Error('bad'); e.number = -2147024809; "
                  u"throw e; }, 0); 0 } catch (e) { e.number }"),
              E_INVALIDARG);
    EXPECT_EQ(circle->lastCallback, DISP_E_EXCEPTION);
    EXPECT_EQ(Str(circle->lastDescription), u"bad");

    // A native failure inside a callback comes back through script to native code and out again.
    EXPECT_EQ(Int(u"try { circle.callBack(function () { circle.fail(92); }, 0); 0 } catch (e) { e.number }"),
              HResultFromResult(XR_NO_NATIVE_OBJECT));
}

TEST_F(XObjectScriptTest, ObjectsKeepTheirIdentityAcrossCrossings) {
    EXPECT_EQ(Text(u"circle.self() === circle ? 'same' : 'other'"), u"same");
    EXPECT_EQ(Text(u"var o = { v: 1 }; circle.keep(o); circle.kept === o ? 'same' : 'other'"), u"same");
    ASSERT_EQ(circle->kept.vt, VT_DISPATCH);
    IDispatch* first = circle->kept.pdispVal;
    ASSERT_EQ(Run(u"circle.keep(o)"), S_OK);
    EXPECT_EQ(circle->kept.pdispVal, first) << "one wrapper per script object";

    // A script object crossing as a later argument is the one kept alive while native code holds
    // it, even after script drops it.
    ASSERT_EQ(Run(u"circle.keep(1, { v: 1 }); CollectGarbage();"), S_OK);
    ASSERT_EQ(circle->kept.vt, VT_DISPATCH);
    auto* kept = static_cast<IDispatchEx*>(circle->kept.pdispVal);
    XVariant v;
    EXPECT_EQ(test::Get(kept, u"v", &v), S_OK);
    EXPECT_EQ(v.ToInt32(), 1);
    EXPECT_EQ(test::Put(kept, u"w", XVariant(circle)), S_OK);
    EXPECT_EQ(Text(u"circle.kept.w === circle ? 'same' : 'other'"), u"same");
}

TEST_F(XObjectScriptTest, CodeOnlyNamespacesSeeNativeGlobals) {
    ASSERT_EQ(engine->AddNamedItem(u"scene", SCRIPTITEM_CODEONLY), S_OK);
    ASSERT_EQ(Run(u"var size = 2; function area() { return circle.grow(0) * size; }", u"scene"), S_OK);
    EXPECT_EQ(Text(u"typeof area"), u"undefined") << "the namespace's functions stay in it";
    IDispatch* scene = nullptr;
    ASSERT_EQ(engine->GetScriptDispatch(u"scene", &scene), S_OK);
    IDispatchEx* sceneEx = nullptr;
    ASSERT_EQ(scene->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&sceneEx)), S_OK);
    XVariant v;
    EXPECT_EQ(test::Method(sceneEx, u"area", {}, &v), S_OK);
    EXPECT_EQ(v.ToInt32(), 2);
    sceneEx->Release();
    scene->Release();
}

} // namespace
