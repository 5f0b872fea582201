#include "platform/script/jscript_engine.h"

#include <string>

#include <gtest/gtest.h>

#include "jscript_test_objects.h"
#include "platform/com/class_registry.h"

using jscript_test::TestHost;
using jscript_test::TestSite;

namespace {

// An engine made as the script host makes it, with a site and a host object named "host".
class JScriptEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(u"JScript", &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                                   reinterpret_cast<void**>(&engine)),
                  S_OK);
        ASSERT_EQ(engine->QueryInterface(IID_IActiveScriptParse, reinterpret_cast<void**>(&parse)), S_OK);
        ASSERT_EQ(engine->SetScriptSite(&site), S_OK);
        ASSERT_EQ(parse->InitNew(), S_OK);
        ASSERT_EQ(engine->SetScriptState(SCRIPTSTATE_STARTED), S_OK);
        host = new TestHost();
        site.items[u"host"] = host;
        ASSERT_EQ(engine->AddNamedItem(u"host", SCRIPTITEM_ISVISIBLE), S_OK);
    }
    void TearDown() override {
        Close();
        EXPECT_EQ(site.refs, 0u) << "the engine keeps its site";
        EXPECT_EQ(host->refs, 1u) << "the engine keeps the host object";
        host->Release();
    }
    void Close() {
        if (!engine) return;
        engine->InterruptScriptThread(SCRIPTTHREADID_ALL, nullptr, 0);
        EXPECT_EQ(engine->Close(), S_OK);
        parse->Release();
        engine->Release();
        engine = nullptr;
    }

    HRESULT Run(const char16_t* code, const char16_t* item = u"") {
        return parse->ParseScriptText(code, item, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE, nullptr, nullptr);
    }
    // The expression's value; VT_ERROR with the HRESULT when it failed.
    VARIANT Eval(const char16_t* code, const char16_t* item = u"") {
        VARIANT v;
        VariantInit(&v);
        HRESULT hr = parse->ParseScriptText(code, item, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISEXPRESSION, &v, nullptr);
        if (FAILED(hr)) {
            v.vt = VT_ERROR;
            v.scode = hr;
        }
        return v;
    }
    int EvalInt(const char16_t* code, const char16_t* item = u"") {
        VARIANT v = Eval(code, item);
        EXPECT_EQ(v.vt, VT_I4) << std::string(code, code + std::char_traits<char16_t>::length(code));
        int n = v.vt == VT_I4 ? v.lVal : -999999;
        VariantClear(&v);
        return n;
    }
    std::u16string EvalText(const char16_t* code, const char16_t* item = u"") {
        VARIANT v = Eval(code, item);
        EXPECT_EQ(v.vt, VT_BSTR);
        std::u16string text = v.vt == VT_BSTR ? std::u16string(v.bstrVal, SysStringLen(v.bstrVal)) : u"";
        VariantClear(&v);
        return text;
    }
    IDispatch* ScriptDispatch(const char16_t* item) {
        IDispatch* d = nullptr;
        EXPECT_EQ(engine->GetScriptDispatch(item, &d), S_OK);
        return d;
    }

    TestSite site;
    TestHost* host = nullptr;
    IActiveScript* engine = nullptr;
    IActiveScriptParse* parse = nullptr;
};

// Calls a name on a dispatch as native code does: GetIDsOfNames, then Invoke.
HRESULT CallByName(IDispatch* d, const char16_t* name, WORD flags, DISPPARAMS* params, VARIANT* result) {
    DISPID id = 0;
    auto* n = const_cast<LPOLESTR>(name);
    HRESULT hr = d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_SYSTEM_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    EXCEPINFO info{};
    hr = d->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, flags, params, result, &info, nullptr);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return hr;
}

TEST(ClassRegistry, KnowsOnlyRegisteredClasses) {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(u"jscript", &clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, CLSID_JScript));
    EXPECT_EQ(CLSIDFromProgID(u"VBScript", &clsid), CO_E_CLASSSTRING);
    EXPECT_TRUE(IsEqualGUID(clsid, IID_NULL));
    void* out = &clsid;
    EXPECT_EQ(CoCreateInstance(IID_NULL, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript, &out), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(out, nullptr);
}

TEST_F(JScriptEngineTest, ValuesGoOutWithTheirKinds) {
    const struct {
        const char16_t* code;
        VARTYPE vt;
    } cases[] = {
        {u"1+2", VT_I4},          {u"-2147483648", VT_I4}, {u"2147483648", VT_R8}, {u"1.5", VT_R8},
        {u"-0", VT_R8},           {u"true", VT_BOOL},      {u"'x'", VT_BSTR},      {u"null", VT_NULL},
        {u"undefined", VT_EMPTY}, {u"", VT_EMPTY},         {u"({})", VT_DISPATCH}, {u"(function(){})", VT_DISPATCH},
    };
    for (const auto& c : cases) {
        VARIANT v = Eval(c.code);
        EXPECT_EQ(v.vt, c.vt) << std::string(c.code, c.code + std::char_traits<char16_t>::length(c.code));
        VariantClear(&v);
    }
    VARIANT b = Eval(u"1 < 2");
    EXPECT_EQ(b.boolVal, VARIANT_TRUE);
    // Statements end with their completion value, as the generated gadget texts rely on.
    EXPECT_EQ(EvalInt(u"function seven() { return 7; }\nseven();\n"), 7);
}

TEST_F(JScriptEngineTest, StringsKeepUtf16UnitsBothWays) {
    EXPECT_EQ(EvalText(u"'a\\uD83D\\uDE00b'"), u"a\U0001F600b");
    EXPECT_EQ(EvalInt(u"'\U0001F600\u0416'.length"), 3);
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = SysAllocString(u"\U0001F600\u00e9");
    host->expandoNames.push_back(u"text");
    host->expandos[u"text"] = arg;
    EXPECT_EQ(EvalInt(u"host.text.length"), 3);
    EXPECT_EQ(EvalText(u"host.text + '!'"), u"\U0001F600\u00e9!");
}

TEST_F(JScriptEngineTest, HostCallsFollowTheirShapes) {
    EXPECT_EQ(EvalInt(u"host.value"), 42);
    ASSERT_FALSE(host->calls.empty());
    EXPECT_EQ(host->calls.back().flags, DISPATCH_PROPERTYGET);

    // Arguments arrive last first.
    EXPECT_EQ(EvalInt(u"host.add(1, 2)"), 12);
    EXPECT_EQ(host->calls.back().flags, DISPATCH_METHOD);
    EXPECT_EQ(host->calls.back().args, 2u);
    EXPECT_EQ(host->calls.back().named, 0u);

    host->calls.clear();
    EXPECT_EQ(Run(u"host.value = 5;"), S_OK);
    EXPECT_EQ(host->value, 5);
    ASSERT_EQ(host->calls.size(), 1u);
    EXPECT_EQ(host->calls[0].flags, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(host->calls[0].firstNamed, DISPID_PROPERTYPUT);

    // Calling the object itself passes `this` as the named first argument.
    EXPECT_EQ(EvalInt(u"host(1, 2, 3)"), 4);
    EXPECT_EQ(host->calls.back().id, DISPID_VALUE);
    EXPECT_EQ(host->calls.back().named, 1u);
    EXPECT_EQ(host->calls.back().firstNamed, DISPID_THIS);

    VARIANT made = Eval(u"new host('a')");
    EXPECT_EQ(host->calls.back().flags, DISPATCH_CONSTRUCT);
    EXPECT_EQ(made.vt, VT_DISPATCH);
    VariantClear(&made);

    EXPECT_EQ(Eval(u"host.nothing").vt, VT_EMPTY);
    EXPECT_EQ(EvalInt(u"('value' in host) && !('nothing' in host) ? 1 : 0"), 1);
}

// A proxy's typeof and callability are its target's: only objects that say they can be called get a
// function target; the rest read as "object" and keep their members.
TEST_F(JScriptEngineTest, TypeofFollowsWhetherTheObjectCanBeCalled) {
    auto* plain = new TestHost();
    plain->callable = false;
    site.items[u"plain"] = plain;
    ASSERT_EQ(engine->AddNamedItem(u"plain", SCRIPTITEM_ISVISIBLE), S_OK);

    EXPECT_EQ(EvalText(u"typeof plain + ' ' + typeof host"), u"object function");
    EXPECT_EQ(EvalInt(u"plain.add(1, 2) + plain.value"), 12 + 42);
    EXPECT_EQ(EvalInt(u"try { plain(); 0 } catch (e) { e instanceof TypeError ? 1 : 2 }"), 1);
    EXPECT_EQ(EvalInt(u"try { new plain(); 0 } catch (e) { e instanceof TypeError ? 1 : 2 }"), 1);
    EXPECT_EQ(EvalInt(u"host(1, 2)"), 3) << "this and two arguments: a callable object stays callable";
    VARIANT made = Eval(u"new host()");
    EXPECT_EQ(made.vt, VT_DISPATCH);
    VariantClear(&made);

    // Passing the object back keeps its identity, whatever its target.
    EXPECT_EQ(EvalInt(u"plain.self() === plain && host.self() === host ? 1 : 0"), 1);
    EXPECT_EQ(Run(u"plain.keep(plain);"), S_OK);
    EXPECT_EQ(plain->kept.pdispVal, static_cast<IDispatch*>(plain));
    // An object that inherits from a host object is a script object of its own.
    EXPECT_EQ(Run(u"plain.keep(Object.create(plain));"), S_OK);
    EXPECT_NE(plain->kept.pdispVal, static_cast<IDispatch*>(plain));
    VariantClear(&plain->kept);

    // Script objects tell native code whether they can be called.
    for (auto [code, expected] : {std::pair{u"host.keep(function () {});", fdexPropCanCall | fdexPropCanConstruct},
                                  std::pair{u"host.keep({});", fdexPropCannotCall | fdexPropCannotConstruct}}) {
        ASSERT_EQ(Run(code), S_OK);
        IDispatchEx* ex = nullptr;
        ASSERT_EQ(host->kept.pdispVal->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&ex)), S_OK);
        DWORD props = 0;
        EXPECT_EQ(ex->GetMemberProperties(DISPID_VALUE, 0xFFFF, &props), S_OK);
        EXPECT_EQ(props, expected);
        ex->Release();
    }
    Close();
    plain->Release();
}

// Method functions are kept per object and name; a detached one, one called after another, and
// one read again after its name was deleted all still reach their own member.
TEST_F(JScriptEngineTest, MethodFunctionsStayBoundToTheirMember) {
    int direct = EvalInt(u"host.add(1, 2)");
    EXPECT_EQ(EvalInt(u"var a = host.add; a === host.add ? 1 : 0"), 1);
    EXPECT_EQ(EvalInt(u"var e = host.echo; e(7); a(1, 2)"), direct);
    EXPECT_EQ(host->calls.back().flags, DISPATCH_METHOD);
    EXPECT_EQ(Run(u"delete host.add;"), S_OK);
    EXPECT_EQ(EvalInt(u"host.add(1, 2) + a(1, 2)"), 2 * direct);
}

TEST_F(JScriptEngineTest, ExpandosAreCreatedAndDeletedFromScript) {
    EXPECT_EQ(Run(u"host.fresh = 'x'; host.fresh += 'y';"), S_OK);
    EXPECT_EQ(EvalText(u"host.fresh"), u"xy");
    EXPECT_EQ(Run(u"delete host.fresh;"), S_OK);
    ASSERT_EQ(host->deleted.size(), 1u);
    EXPECT_EQ(host->deleted[0], u"fresh");
    EXPECT_EQ(Eval(u"host.fresh").vt, VT_EMPTY);
}

TEST_F(JScriptEngineTest, FailingHResultsAreThrownWithTheirNumber) {
    EXPECT_EQ(EvalInt(u"try { host.fail(); 0 } catch (e) { e.number }"), static_cast<int>(0x81000006));
    EXPECT_EQ(EvalInt(u"try { host.add(1); 0 } catch (e) { e.number }"), static_cast<int>(DISP_E_BADPARAMCOUNT));
    // Uncaught, the text fails with the same HRESULT and the site hears of it.
    EXPECT_EQ(Run(u"host.fail();"), static_cast<HRESULT>(0x81000006));
    EXPECT_EQ(site.errors.size(), 1u);
    EXPECT_EQ(Run(u"var = ;"), SCRIPT_E_REPORTED);
    EXPECT_EQ(Run(u"throw new Error('boom');"), SCRIPT_E_REPORTED);
    ASSERT_EQ(site.errors.size(), 3u);
    EXPECT_EQ(site.errors[2], u"boom");
}

TEST_F(JScriptEngineTest, HostObjectsThatScriptsDropAreFreedWhileTheScriptRuns) {
    // Each `new host()` is a native object the script lets go of at once, as a timer that starts
    // the next one does. They go while the script runs, not when the engine collects at last.
    int before = TestHost::live;
    EXPECT_EQ(Run(u"for (var i = 0; i < 20000; i++) new host();"), S_OK);
    EXPECT_LT(TestHost::live - before, 4096);
    // Objects scripts still hold stay.
    EXPECT_EQ(Run(u"var kept = []; for (var i = 0; i < 5000; i++) kept.push(new host());"), S_OK);
    EXPECT_GE(TestHost::live - before, 5000);
    EXPECT_EQ(EvalInt(u"kept[0].value + kept[4999].value"), 84);
}

TEST_F(JScriptEngineTest, CodeOnlyItemsAreNamespacesOverTheGlobals) {
    ASSERT_EQ(engine->AddNamedItem(u"_GadgetContext_clock", SCRIPTITEM_CODEONLY), S_OK);
    EXPECT_EQ(Run(u"var shared = 10;"), S_OK);

    EXPECT_EQ(Run(u"var own = 1;\nfunction createGadget() \n{\n\t return own + shared + host.value;\n}\n\n",
                  u"_GadgetContext_clock"),
              S_OK);
    EXPECT_EQ(EvalInt(u"createGadget();\n", u"_GadgetContext_clock"), 53);
    EXPECT_EQ(EvalText(u"typeof createGadget + typeof own"), u"undefinedundefined");
    // A name no item has runs in the global namespace.
    EXPECT_EQ(Run(u"var _GadgetInstance_1 = 3;", u"http://example/clock.js"), S_OK);
    EXPECT_EQ(EvalInt(u"_GadgetInstance_1"), 3);

    IDispatch* space = ScriptDispatch(u"_GadgetContext_clock");
    ASSERT_NE(space, nullptr);
    VARIANT r;
    VariantInit(&r);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(CallByName(space, u"createGadget", DISPATCH_METHOD, &none, &r), S_OK);
    EXPECT_EQ(r.lVal, 53);
    EXPECT_EQ(CallByName(space, u"missing", DISPATCH_METHOD, &none, &r), DISP_E_UNKNOWNNAME);
    space->Release();
    IDispatch* none_ = nullptr;
    EXPECT_EQ(engine->GetScriptDispatch(u"nothing", &none_), E_INVALIDARG);
    EXPECT_EQ(none_, nullptr);
}

TEST_F(JScriptEngineTest, VisibleItemCodeSeesTheItemsMembersByName) {
    TestHost* scene = new TestHost();
    site.items[u"_SceneContext_1"] = scene;
    ASSERT_EQ(engine->AddNamedItem(u"_SceneContext_1", SCRIPTITEM_ISVISIBLE), S_OK);
    EXPECT_EQ(Run(u"function onOpen() { return value + 1; }", u"_SceneContext_1"), S_OK);
    EXPECT_EQ(EvalInt(u"onOpen()", u"_SceneContext_1"), 43);
    scene->value = 7;
    EXPECT_EQ(EvalInt(u"onOpen()", u"_SceneContext_1"), 8);
    Close();
    EXPECT_EQ(scene->Release(), 0u);
}

TEST_F(JScriptEngineTest, NamespaceTextWritesTheGlobalsItNamesAndDeclaresItsOwn) {
    TestHost* scene = new TestHost();
    site.items[u"_SceneContext_1"] = scene;
    ASSERT_EQ(engine->AddNamedItem(u"_SceneContext_1", SCRIPTITEM_ISVISIBLE), S_OK);
    ASSERT_EQ(engine->AddNamedItem(u"_GadgetContext_clock", SCRIPTITEM_CODEONLY), S_OK);
    EXPECT_EQ(Run(u"var gEvt = 'old', shared = 'main'; function read() { return gEvt + ' ' + shared; }"), S_OK);
    for (const char16_t* item : {u"_SceneContext_1", u"_GadgetContext_clock"}) {
        SCOPED_TRACE(std::string(item, item + std::char_traits<char16_t>::length(item)));
        EXPECT_EQ(Run(u"gEvt = 'assigned'; var shared = 'own'; fresh = 1;\n"
                      u"function onEvt(e) { gEvt = e; }\nfunction read() { return 'namespace'; }",
                      item),
                  S_OK);
        EXPECT_EQ(EvalText(u"read()"), u"assigned main") << "a var and a function of the text are its own";
        EXPECT_EQ(EvalText(u"typeof fresh"), u"number") << "an undeclared name is a global";
        EXPECT_EQ(EvalText(u"shared + ' ' + read() + ' ' + fresh", item), u"own namespace 1");
        // A function of the namespace run later, as a handler is.
        EXPECT_EQ(Run(u"onEvt('handled')", item), S_OK);
        EXPECT_EQ(EvalText(u"read()"), u"handled main");
        // Declared later, the name is the namespace's own from then on.
        EXPECT_EQ(Run(u"var gEvt = 'mine';", item), S_OK);
        EXPECT_EQ(EvalText(u"read()"), u"handled main");
        EXPECT_EQ(EvalText(u"gEvt", item), u"mine");
        EXPECT_EQ(Run(u"gEvt = 'old'"), S_OK);
    }
    Close();
    EXPECT_EQ(scene->Release(), 0u);
}

TEST_F(JScriptEngineTest, ScriptFunctionsRunFromNativeCodeWithThis) {
    EXPECT_EQ(Run(u"host.keep(function (a) { return this.value + (a === undefined ? 0 : a); });"), S_OK);
    ASSERT_EQ(host->kept.vt, VT_DISPATCH);
    IDispatchEx* fn = nullptr;
    ASSERT_EQ(host->kept.pdispVal->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&fn)), S_OK);

    VARIANT self;
    VariantInit(&self);
    self.vt = VT_DISPATCH;
    self.pdispVal = host;
    DISPID named = DISPID_THIS;
    DISPPARAMS params{&self, &named, 1, 1};
    VARIANT r;
    EXPECT_EQ(fn->InvokeEx(DISPID_VALUE, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &r, nullptr, nullptr), S_OK);
    EXPECT_EQ(r.vt, VT_I4);
    EXPECT_EQ(r.lVal, 42);
    fn->Release();

    // A plain object is not a function.
    EXPECT_EQ(Run(u"host.keep({ onReadyStateChanged: function () { return 9; } });"), S_OK);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(host->kept.pdispVal->Invoke(DISPID_VALUE, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &none, &r,
                                          nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(CallByName(host->kept.pdispVal, u"onReadyStateChanged", DISPATCH_METHOD, &none, &r), S_OK);
    EXPECT_EQ(r.lVal, 9);
}

TEST_F(JScriptEngineTest, ScriptErrorsComeBackAsExceptions) {
    // Run under a cookie, the function keeps it: the site hears where the error of a later call
    // from native code came from, which no text running then could tell it.
    const char16_t* code =
        u"\nhost.keep(function () {\n  var e = new Error('bad'); e.number = -2147024809; throw e; });";
    ASSERT_EQ(parse->ParseScriptText(code, u"", nullptr, nullptr, 7, 0, SCRIPTTEXT_ISVISIBLE, nullptr, nullptr), S_OK);
    EXCEPINFO info{};
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT r;
    IDispatchEx* fn = nullptr;
    ASSERT_EQ(host->kept.pdispVal->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&fn)), S_OK);
    EXPECT_EQ(fn->InvokeEx(DISPID_VALUE, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &r, &info, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, E_INVALIDARG);
    EXPECT_EQ(std::u16string(info.bstrDescription), u"bad");
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_EQ(site.errors[0], u"bad");
    EXPECT_EQ(site.places[0].cookie, 7u);
    EXPECT_EQ(site.places[0].line, 2u);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    fn->Release();
}

TEST_F(JScriptEngineTest, MalformedCallParametersAreRefused) {
    EXPECT_EQ(Run(u"host.keep(function (a) { return a; });"), S_OK);
    IDispatchEx* fn = nullptr;
    ASSERT_EQ(host->kept.pdispVal->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&fn)), S_OK);
    VARIANT arg;
    VariantInit(&arg);
    DISPID named = DISPID_THIS;
    struct Case {
        DISPPARAMS params;
        const char* what;
    } cases[] = {
        {{nullptr, nullptr, 2, 0}, "arguments without their array"},
        {{&arg, nullptr, 1, 1}, "named arguments without their ids"},
        {{&arg, &named, 1, 2}, "more named arguments than arguments"},
    };
    for (Case& c : cases) {
        VARIANT r;
        EXPECT_EQ(fn->InvokeEx(DISPID_VALUE, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &c.params, &r, nullptr, nullptr),
                  E_INVALIDARG)
            << c.what;
    }
    fn->Release();
}

TEST_F(JScriptEngineTest, ScriptObjectsKeepStableIdsAndEnsureMembers) {
    EXPECT_EQ(Run(u"var o = { a: 1 }; host.keep(o);"), S_OK);
    auto* o = static_cast<IDispatchEx*>(nullptr);
    ASSERT_EQ(host->kept.pdispVal->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&o)), S_OK);
    BSTR a = SysAllocString(u"a"), b = SysAllocString(u"b");
    DISPID idA = 0, idA2 = 0, idB = 0;
    EXPECT_EQ(o->GetDispID(a, fdexNameCaseSensitive, &idA), S_OK);
    EXPECT_EQ(o->GetDispID(a, 0, &idA2), S_OK);
    EXPECT_EQ(idA, idA2);
    EXPECT_EQ(o->GetDispID(b, 0, &idB), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(o->GetDispID(b, fdexNameEnsure, &idB), S_OK);
    EXPECT_NE(idA, idB);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = 6;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&v, &named, 1, 1};
    EXPECT_EQ(o->InvokeEx(idB, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(EvalInt(u"o.a + o.b"), 7);
    EXPECT_EQ(o->DeleteMemberByName(a, fdexNameCaseSensitive), S_OK);
    EXPECT_EQ(EvalText(u"typeof o.a"), u"undefined");
    SysFreeString(a);
    SysFreeString(b);
    o->Release();
}

TEST_F(JScriptEngineTest, ObjectsKeepTheirIdentityAcrossCrossings) {
    EXPECT_EQ(Run(u"var o = {}; host.keep(o);"), S_OK);
    IDispatch* first = host->kept.pdispVal;
    first->AddRef();
    EXPECT_EQ(Run(u"host.keep(o);"), S_OK);
    EXPECT_EQ(host->kept.pdispVal, first);
    first->Release();
    EXPECT_EQ(EvalInt(u"host.echo(o) === o ? 1 : 0"), 1);
    EXPECT_EQ(EvalInt(u"host.self() === host && host.echo(host) === host ? 1 : 0"), 1);
    // Native objects come back as themselves.
    VARIANT self = Eval(u"host.echo(host)");
    EXPECT_EQ(self.vt, VT_DISPATCH);
    EXPECT_EQ(self.pdispVal, static_cast<IDispatch*>(host));
    VariantClear(&self);
    // Values scripts cannot read go back out unchanged.
    VARIANT opaque;
    VariantInit(&opaque);
    opaque.vt = VT_I8;
    opaque.llVal = 1234567890123LL;
    host->expandoNames.push_back(u"big");
    host->expandos[u"big"] = opaque;
    EXPECT_EQ(Run(u"host.keep(host.big);"), S_OK);
    EXPECT_EQ(host->kept.vt, VT_I8);
    EXPECT_EQ(host->kept.llVal, 1234567890123LL);
}

TEST_F(JScriptEngineTest, CloseReleasesEverythingAndLeavesWrappersInert) {
    EXPECT_EQ(Run(u"var t = new host(); host.keep(function () { return t; }); CollectGarbage();"), S_OK);
    IDispatch* fn = host->kept.pdispVal;
    fn->AddRef();
    Close();
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT r;
    EXPECT_EQ(fn->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &none, &r, nullptr, nullptr), E_UNEXPECTED);
    fn->Release();
    VariantClear(&host->kept);
}

TEST_F(JScriptEngineTest, VisibleItemObjectsComeFromTheSiteOnce) {
    EXPECT_EQ(site.itemLookups, 0);
    EXPECT_EQ(EvalInt(u"host.value + host.value"), 84);
    EXPECT_EQ(site.itemLookups, 1);
    ASSERT_EQ(engine->AddNamedItem(u"absent", SCRIPTITEM_ISVISIBLE), S_OK);
    EXPECT_EQ(EvalInt(u"try { absent; 0 } catch (e) { e.number }"), static_cast<int>(TYPE_E_ELEMENTNOTFOUND));
}

} // namespace

// Objects whose members are fixed per class, seen from script: plain objects, one per native object
// while scripts hold it, whose members reach the object by id.
class FixedMemberTest : public JScriptEngineTest {
protected:
    void SetUp() override {
        JScriptEngineTest::SetUp();
        chain = new jscript_test::FixedHost(1);
        site.items[u"chain"] = static_cast<IDispatch*>(chain);
        ASSERT_EQ(engine->AddNamedItem(u"chain", SCRIPTITEM_ISVISIBLE), S_OK);
    }
    void TearDown() override {
        JScriptEngineTest::TearDown();
        EXPECT_EQ(chain->refs, 1u) << "the engine keeps the chain";
        chain->Release();
        EXPECT_EQ(jscript_test::FixedHost::live, 0);
    }
    jscript_test::FixedHost* chain = nullptr;
};

TEST_F(FixedMemberTest, MembersBehaveAsThroughAProxy) {
    struct Case {
        const char16_t* code;
        const char16_t* result;
    } cases[] = {
        {u"chain.count = 5; chain.count += 2; chain.count", u"7"},
        {u"chain.label + ' ' + chain.next.label", u"node 1 node 2"},
        {u"chain.twice(21)", u"42"},
        {u"var f = chain.next.twice; f(4) + ' ' + (f === chain.next.twice)", u"8 true"},
        {u"chain.far + chain.next.far", u"3"},
        {u"typeof chain + ' ' + typeof chain.twice + ' ' + typeof chain.nothing", u"object function undefined"},
        {u"('count' in chain) + ' ' + ('twice' in chain) + ' ' + ('nothing' in chain)", u"true true false"},
        {u"var k = []; for (var n in chain) k.push(n); k.length + ' ' + Object.keys(chain).length + ' ' + "
         u"JSON.stringify(chain)",
         u"0 0 {}"},
        {u"String(chain)", u"[object]"},
        {u"try { chain.fail; 'no error' } catch (e) { (e.number >>> 0).toString(16) }", u"81000006"},
        {u"try { chain.twice(); 'no error' } catch (e) { (e.number >>> 0).toString(16) }", u"8002000e"},
        // Read-only properties and methods refuse a value as the object does.
        {u"try { chain.label = 'x'; 'no error' } catch (e) { (e.number >>> 0).toString(16) }", u"80020003"},
        {u"try { chain.twice = 1; 'no error' } catch (e) { (e.number >>> 0).toString(16) }", u"80020003"},
        {u"String(Object.getPrototypeOf(chain.next.next) === Object.getPrototypeOf(chain))", u"true"},
        {u"delete chain.count; chain.count", u"7"},
        // Other names are the script object's own: native code never hears of them.
        {u"chain.extra = 'mine'; chain.extra + ' ' + Object.keys(chain)", u"mine extra"},
        // A script's own object made on top of it reads its members from it.
        {u"var d = Object.create(chain); d.label + ' ' + d.twice(2)", u"node 1 4"},
    };
    for (const Case& c : cases) {
        VARIANT v = Eval(c.code);
        VARIANT text;
        VariantInit(&text);
        EXPECT_EQ(VariantChangeType(&text, &v, 0, VT_BSTR), S_OK);
        EXPECT_EQ(std::u16string(text.bstrVal ? text.bstrVal : u""), c.result)
            << std::string(c.code, c.code + std::char_traits<char16_t>::length(c.code));
        VariantClear(&text);
        VariantClear(&v);
    }
    // The class is laid out once: no script reshapes it for every other object.
    EXPECT_EQ(EvalText(u"var p = Object.getPrototypeOf(chain); p.extra = 2; p.toString = null; "
                       u"String(p.extra) + ' ' + Object.isFrozen(p) + ' ' + String(chain)"),
              u"undefined true [object]");
    EXPECT_EQ(EvalInt(u"try { p.count; 0 } catch (e) { e.number }"), static_cast<int>(E_UNEXPECTED));
    EXPECT_EQ(chain->count, 7);
}

TEST_F(FixedMemberTest, ObjectsKeepTheirIdentityAndGoWhenDropped) {
    EXPECT_EQ(EvalInt(u"var a = chain.next; CollectGarbage(); a === chain.next && a.next === chain.next.next ? 1 : 0"),
              1);
    // A native object comes back to native code as itself.
    VARIANT back = Eval(u"chain.next");
    ASSERT_EQ(back.vt, VT_DISPATCH);
    EXPECT_EQ(back.pdispVal, static_cast<IDispatch*>(chain->next));
    VariantClear(&back);
    // A long walk: each node the script lets go of is freed at once, and nothing else is.
    EXPECT_EQ(EvalInt(u"a = null; var n = chain; for (var i = 0; i < 30000; i++) n = n.next; n.far"), 30001);
    EXPECT_EQ(chain->next->refs, 1u) << "no wrapper left on a node the script dropped";
    // An object made on top of a node and dropped takes nothing of the node with it.
    EXPECT_EQ(EvalInt(u"var d = Object.create(n); d = null; CollectGarbage(); n.far"), 30001);
}

TEST_F(FixedMemberTest, AGetterThatDropsItsObjectFinishesOnIt) {
    // While "touch" runs, script drops every reference to the node and collects.
    chain->onTouch = [this] { EXPECT_EQ(Run(u"held = null; CollectGarbage();"), S_OK); };
    EXPECT_EQ(Run(u"var held = chain.next;"), S_OK);
    chain->next->onTouch = chain->onTouch;
    EXPECT_EQ(EvalInt(u"held.touch"), 2);
    EXPECT_EQ(Run(u"CollectGarbage();"), S_OK);
    EXPECT_EQ(chain->next->refs, 1u);
    // And a getter that closes the engine under the running script.
    chain->onTouch = [this] { engine->Close(); };
    Eval(u"chain.touch");
}
