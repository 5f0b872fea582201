// Script run through the engine against the runtime's collections: arrays and dictionaries made
// with `new`, live array listeners, and script objects handed to native code as proxies.
#include <gtest/gtest.h>

#include <string>

#include "runtime/live_array.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "runtime/script_array.h"
#include "runtime/script_constructors.h"
#include "runtime/script_proxy.h"
#include "runtime/startup.h"
#include "script_test_site.h"

using namespace NUBO;

namespace {

std::u16string Str(const TWString& text) {
    return text.GetString() ? std::u16string(text.GetString()) : std::u16string();
}

// The three constructors and a native array named "native" for handing values to native code.
class ScriptObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Initialize(nullptr), 1);
        ASSERT_EQ(CreateXArrayConstructor(&arrayConstructor), XR_SUCCESS);
        ASSERT_EQ(CreateXDictionaryConstructor(&dictionaryConstructor), XR_SUCCESS);
        ASSERT_EQ(CreateLiveArrayConstructor(&liveArrayConstructor), XR_SUCCESS);
        ASSERT_EQ(CreateXArray(&native), XR_SUCCESS);
        site.items = {{u"xArray", arrayConstructor},
                      {u"xDictionary", dictionaryConstructor},
                      {u"liveArray", liveArrayConstructor},
                      {u"native", static_cast<XObject*>(native)}};
        ASSERT_EQ(engine.Open(&site), S_OK);
    }
    void TearDown() override {
        EXPECT_EQ(engine.Close(), S_OK);
        EXPECT_EQ(site.refs, 0u);
        native->RemoveAll(); // script values kept natively let go after the engine closed
        for (XObject* object :
             {arrayConstructor, dictionaryConstructor, liveArrayConstructor, static_cast<XObject*>(native)}) {
            EXPECT_EQ(object->GetRefCount(), 1) << "the engine still holds a native object";
            object->Release();
        }
        Shutdown();
    }

    int Int(const char16_t* code) {
        XVariant v = engine.Eval(code);
        EXPECT_EQ(v.vt, VT_I4) << std::string(code, code + std::char_traits<char16_t>::length(code));
        return v.vt == VT_I4 ? v.lVal : -999999;
    }
    std::u16string Text(const char16_t* code) {
        XVariant v = engine.Eval(code);
        EXPECT_EQ(v.vt, VT_BSTR) << std::string(code, code + std::char_traits<char16_t>::length(code));
        return v.vt == VT_BSTR ? std::u16string(v.bstrVal) : u"";
    }
    // The native object of a script expression's value: a proxy for a script object.
    RefPtr<XObject> Object(const char16_t* code) {
        XVariant v = engine.Eval(code);
        XObject* object = nullptr;
        EXPECT_EQ(v.GetXObject(&object), XR_SUCCESS);
        return RefPtr<XObject>(object);
    }

    test::ScriptTestSite site;
    test::ScriptTestEngine engine;
    XObject* arrayConstructor = nullptr;
    XObject* dictionaryConstructor = nullptr;
    XObject* liveArrayConstructor = nullptr;
    XArray* native = nullptr;
};

TEST_F(ScriptObjectsTest, NewXArrayHoldsWhatScriptAdds) {
    ASSERT_EQ(engine.Run(u"var a = new xArray(); a.addValue(1); a.addValue('two'); a.addValue({ n: 3 });"), S_OK);
    EXPECT_EQ(Int(u"a.count"), 3);
    EXPECT_EQ(Int(u"a.getValue(0)"), 1);
    EXPECT_EQ(Text(u"a.getValue(1)"), u"two");
    EXPECT_EQ(Int(u"a.getValue(2).n"), 3) << "a script object comes back as itself";
    EXPECT_EQ(Text(u"a.getValue(2) === a.getValue(2) ? 'same' : 'distinct'"), u"same");
    EXPECT_EQ(Int(u"a.lastValue().n"), 3);
    EXPECT_EQ(Int(u"a.insertValueAtIndex('zero', 0); a.indexOfValue('two')"), 2);
    EXPECT_EQ(Text(u"(new xArray()) === (new xArray()) ? 'same' : 'distinct'"), u"distinct");
    EXPECT_EQ(Text(u"typeof xArray()"), u"undefined") << "only new makes an array";
    EXPECT_EQ(Text(u"[typeof a, typeof native, typeof new xDictionary(), typeof xArray].join()"),
              u"object,object,object,function")
        << "native objects read as objects; their constructors as functions";
    EXPECT_EQ(Int(u"try { a.getValue(9); 0 } catch (e) { e.number }"), HResultFromResult(XR_BEFORE_START));

    // What script adds to a native array, native code reads.
    ASSERT_EQ(engine.Run(u"native.addValue('from script'); native.addValue(a);"), S_OK);
    int count = 0;
    ASSERT_EQ(native->GetCount(&count), XR_SUCCESS);
    ASSERT_EQ(count, 2);
    XVariant value;
    ASSERT_EQ(native->GetValueAt(0, &value), XR_SUCCESS);
    EXPECT_EQ(Str(value.ToString()), u"from script");
    ASSERT_EQ(native->GetValueAt(1, &value), XR_SUCCESS);
    RefPtr<XObject> inner(value.ToXObject());
    ASSERT_TRUE(inner);
    EXPECT_TRUE(XObject::IsKindOf(inner.get(), &XArray::Descriptor)) << "a native array stays native";
    ASSERT_EQ(static_cast<XArray*>(inner.get())->GetCount(&count), XR_SUCCESS);
    EXPECT_EQ(count, 4);
}

TEST_F(ScriptObjectsTest, EnumeratorsFromScriptFollowTheirArray) {
    // Removing the current element while walking neither skips nor repeats one; an element added
    // behind the walk is reached.
    EXPECT_EQ(Text(u"var a = new xArray(); a.addValue(1); a.addValue(2); a.addValue(3);"
                   u"var e = a.getEnumerator(), seen = [];"
                   u"while (e.moveNext()) { var v = e.current; seen.push(v);"
                   u"  if (v == 1) a.removeValueAtIndex(0); if (v == 3) a.addValue(4); }"
                   u"seen.join(',')"),
              u"1,2,3,4");
}

TEST_F(ScriptObjectsTest, DictionaryKeysNamedLikeMethodsDoNotHideThem) {
    ASSERT_EQ(engine.Run(u"var d = new xDictionary(); d.setValueForKey('shadow', 'allKeys');"
                         u"d.setValueForKey(2, 'count'); d.plain = 'p';"),
              S_OK);
    EXPECT_EQ(Text(u"typeof d.allKeys"), u"function");
    EXPECT_EQ(Int(u"d.allKeys().count"), 3) << "the declared method runs, not the key";
    EXPECT_EQ(Text(u"d.valueForKey('allKeys')"), u"shadow");
    EXPECT_EQ(Int(u"d.count"), 2) << "a key named like no member reads as a property";
    EXPECT_EQ(Text(u"d.valueForKey('plain')"), u"p") << "a property set from script is a key";
    EXPECT_EQ(Text(u"d.plain"), u"p");
    EXPECT_EQ(Text(u"typeof d.missing"), u"undefined");
    ASSERT_EQ(engine.Run(u"delete d.plain;"), S_OK);
    EXPECT_EQ(Int(u"try { d.valueForKey('plain'); 0 } catch (e) { e.number }"), HResultFromResult(XR_NO_PROPERTY));
    EXPECT_EQ(Int(u"d.allKeys().count"), 2);
}

TEST_F(ScriptObjectsTest, LiveArrayListenersAreToldInOrder) {
    ASSERT_EQ(engine.Run(u"var log = []; var arr = new liveArray();"
                         u"function listener(tag) { return { onArrayModified: function (a, kind, index, ctx) {"
                         u"  log.push(tag + kind + index + ctx + (a === arr)); } }; }"
                         u"var l1 = listener('A'), l2 = listener('B');"
                         u"arr.addListener(l1, 'x'); arr.addListener(l2, 'y');"
                         u"arr.addValue(10); arr.addValue(11);"),
              S_OK);
    EXPECT_EQ(Text(u"log.join(',')"), u"A10xtrue,B10ytrue,A11xtrue,B11ytrue");

    // Removal is announced before and after; a removed listener hears nothing more.
    ASSERT_EQ(engine.Run(u"log = []; arr.removeListener(l1); arr.removeValueAtIndex(0);"), S_OK);
    EXPECT_EQ(Text(u"log.join(',')"), u"B40ytrue,B30ytrue");
    EXPECT_EQ(Int(u"try { arr.removeListener(l1); 0 } catch (e) { e.number }"), HResultFromResult(XR_NOT_FOUND));

    // A listener that removes itself while told is told once; the others still hear the change.
    ASSERT_EQ(engine.Run(u"log = []; var once = { onArrayModified: function () { arr.removeListener(once);"
                         u"  log.push('once'); } }; arr.addListener(once); arr.addValue(12); arr.addValue(13);"),
              S_OK);
    EXPECT_EQ(Text(u"log.join(',')"), u"B11ytrue,once,B12ytrue");
    EXPECT_EQ(Int(u"try { arr.addListener(5); 0 } catch (e) { e.number }"), HResultFromResult(XR_INVALID));
}

TEST_F(ScriptObjectsTest, ScriptObjectsAreCalledBackThroughProxies) {
    ASSERT_EQ(engine.Run(u"var o = { n: 2, twice: function (x) { return x * this.n; },"
                         u"  boom: function () { var e = new Error('boom'); e.number = 0x81000020 | 0; throw e; } };"),
              S_OK);
    RefPtr<XObject> proxy = Object(u"o");
    ASSERT_TRUE(proxy);
    EXPECT_TRUE(XObject::IsKindOf(proxy.get(), &XProxy::Descriptor));

    XVariant result;
    ASSERT_EQ(XObject::CallMethod1(proxy.get(), u"twice", XVariant(21), &result), XR_SUCCESS);
    EXPECT_EQ(result.ToInt32(), 42) << "the method runs with its object as this";
    EXPECT_EQ(proxy->GetPropertyByName(u"n", &result), XR_SUCCESS);
    EXPECT_EQ(result.ToInt32(), 2);

    // A property written natively is seen by script, a missing one reads as on native objects.
    XVariant seven(7);
    EXPECT_EQ(proxy->SetPropertyByName(u"n", &seven), XR_SUCCESS);
    EXPECT_EQ(proxy->SetPropertyByName(u"fresh", &seven), XR_SUCCESS);
    EXPECT_EQ(Int(u"o.n + o.fresh"), 14);
    EXPECT_EQ(proxy->GetPropertyByName(u"absent", &result), XR_NO_PROPERTY);
    EXPECT_EQ(proxy->DeleteMember(u"fresh"), XR_SUCCESS);
    EXPECT_EQ(Text(u"typeof o.fresh"), u"undefined");

    // Failures: a missing method, a thrown error's number, a protocol question nobody answers.
    XArgList none;
    EXPECT_EQ(proxy->InvokeMethodByName(u"nothing", &none, &result), XR_NO_METHOD);
    EXPECT_EQ(proxy->InvokeMethodByName(u"boom", &none, &result), 0x20);
    bool yes = true;
    EXPECT_EQ(proxy->implementsProtocol(u"p", 1, &yes), XR_NO_METHOD);
    EXPECT_FALSE(yes);

    // Paths walk into nested script objects.
    ASSERT_EQ(engine.Run(u"o.inner = { leaf: 'deep' };"), S_OK);
    EXPECT_EQ(proxy->GetPropertyByName(u"inner.leaf", &result), XR_SUCCESS);
    EXPECT_EQ(Str(result.ToString()), u"deep");
}

TEST_F(ScriptObjectsTest, OneProxyPerScriptObjectWhileItLives) {
    ASSERT_EQ(engine.Run(u"var o = {}; var p = {};"), S_OK);
    RefPtr<XObject> first = Object(u"o");
    RefPtr<XObject> second = Object(u"o");
    ASSERT_TRUE(first);
    EXPECT_EQ(first.get(), second.get());
    RefPtr<XObject> other = Object(u"p");
    EXPECT_NE(other.get(), first.get());

    // Once the proxy is gone the registry holds nothing for the object; a new one is made.
    IDispatch* foreign = static_cast<XProxy*>(first.get())->GetForeign();
    foreign->AddRef();
    first.reset();
    second.reset();
    XProxy* found = nullptr;
    EXPECT_EQ(XProxy::FindInRegistry(foreign, &found), XR_NOT_FOUND);
    RefPtr<XObject> again = Object(u"o");
    ASSERT_TRUE(again);
    EXPECT_EQ(static_cast<XProxy*>(again.get())->GetForeign(), foreign);
    foreign->Release();

    // A proxy handed back to script is the script object itself.
    ASSERT_EQ(native->AddValue(XVariant(again.get())), XR_SUCCESS);
    EXPECT_EQ(Text(u"native.getValue(0) === o ? 'same' : 'distinct'"), u"same");
}

} // namespace
