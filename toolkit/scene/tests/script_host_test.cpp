#include "toolkit/scripthost/script_context.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/com/error_info.h"
#include "platform/shell/path_map.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/tests/toolkit_test_support.h"
#include "toolkit/script/scene.h"
#include "toolkit/scripthost/script_context_manager.h"
#include "toolkit/scripthost/script_engine.h"

using namespace toolkit_test;
using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

// A native object whose methods fail: `call(o)` calls o.run() and answers with its result code;
// `describe()` fails with code 13 and leaves a description as the thread's error object;
// `plain()` fails with code 1 and nothing more.
class Failer : public XObject {
public:
    static NUBO::XClassDescriptor Descriptor;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
};

int32_t Call(XObject*, int, XArgList* args, XVariant*) {
    XObject* target = args->GetArg(0)->ToXObject();
    if (!target) return NUBO::XR_INVALID;
    XVariant result;
    int32_t rc = XObject::CallMethod0(target, u"run", &result);
    target->Release();
    return rc;
}

int32_t Describe(XObject*, int, XArgList*, XVariant*) {
    ICreateErrorInfo* created = nullptr;
    IErrorInfo* error = nullptr;
    if (CreateErrorInfo(&created) == S_OK) {
        created->SetDescription(u"no such row");
        created->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&error));
        SetErrorInfo(0, error);
        error->Release();
        created->Release();
    }
    return NUBO::XR_BEFORE_START;
}

int32_t Plain(XObject*, int, XArgList*, XVariant*) {
    return NUBO::XR_FAIL;
}

const NUBO::XMemberEntry kFailerMembers[] = {
    NUBO::XMethod("call", Call),
    NUBO::XMethod("describe", Describe),
    NUBO::XMethod("plain", Plain),
    NUBO::XMemberEnd(),
};

NUBO::XClassDescriptor Failer::Descriptor = {"Failer", 4, kFailerMembers, &XObject::Descriptor, 0, {}};

class ScriptHostTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        probe = new Probe();
        probe->AddRef();
        failer = new Failer();
        failer->AddRef();
        ASSERT_EQ(app->GetShell()->AddNamedObject(TWString(u"probe"), probe), 0);
        ASSERT_EQ(app->GetShell()->AddNamedObject(TWString(u"failer"), failer), 0);
    }
    void TearDown() override {
        ToolkitTest::TearDown();
        EXPECT_EQ(probe->GetRefCount(), 1) << "an engine or the manager keeps the probe";
        probe->Release();
        failer->Release();
    }

    oxScriptContextManager* manager() const { return runtime()->GetScriptContextManager(); }

    // A scene whose root box holds one script file with the given text.
    oxScene* OpenSceneWithScript(const std::string& name, const std::string& script) {
        WriteFile(name + ".js", script);
        std::u16string scene =
            WriteFile(name + ".box", SceneMarkup("<script language=\"javascript\" src=\"" + name + ".js\"/>\n"));
        return runtime()->OpenSceneSimple(scene.c_str(), nullptr, nullptr, nullptr, nullptr, false);
    }

    // The context of a scene, with one reference.
    NUBO::RefPtr<oxScriptContext> ContextOf(oxScene* scene) {
        oxScriptContext* context = nullptr;
        EXPECT_EQ(manager()->GetContext(scene->GetContextName().GetString(), &context), 0);
        return NUBO::RefPtr<oxScriptContext>(context);
    }

    // The expression's value as text ("!" and the HRESULT when it failed).
    static std::string Eval(oxScriptContext* context, const WCHAR* expression) {
        XVariant value;
        HRESULT hr = context->Evaluate(TWString(expression), u"", &value);
        if (FAILED(hr)) return "!" + std::to_string(hr);
        return Utf8(value.ToString().GetString());
    }

    Probe* probe = nullptr;
    Failer* failer = nullptr;
};

TEST_F(ScriptHostTest, ScenesRunInSeparateContextsWithTheNamedItems) {
    oxScene* a = OpenSceneWithScript("a", "var mine = 'a'; probe.tick();");
    oxScene* b = OpenSceneWithScript("b", "var mine = 'b';");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(Utf8(a->GetContextName().GetString()), "_SceneContext_0");
    EXPECT_EQ(Utf8(b->GetContextName().GetString()), "_SceneContext_1");
    auto contextA = ContextOf(a);
    auto contextB = ContextOf(b);
    ASSERT_TRUE(contextA && contextB);
    EXPECT_NE(contextA.get(), contextB.get());
    EXPECT_EQ(Eval(contextA.get(), u"mine"), "a");
    EXPECT_EQ(Eval(contextB.get(), u"mine"), "b");
    EXPECT_EQ(Eval(contextB.get(), u"typeof mineOfA === 'undefined' && this.mine"), "b");
    EXPECT_EQ(probe->ticks, 1);

    // "shell" is the application's Shell; "__scriptHelper" answers with nothing stored; the scene's
    // context name is a global whose `scene` is the scene's object.
    XVariant shell;
    ASSERT_EQ(contextA->Evaluate(TWString(u"shell"), u"", &shell), S_OK);
    XObject* shellObject = shell.ToXObject();
    EXPECT_EQ(shellObject, static_cast<XObject*>(app->GetShell()));
    if (shellObject) shellObject->Release();
    EXPECT_EQ(Eval(contextA.get(), u"__scriptHelper.getSceneProxy() === null ? 'null' : 'set'"), "null");
    XVariant scene;
    ASSERT_EQ(contextA->Evaluate(TWString(u"_SceneContext_0.scene"), u"", &scene), S_OK);
    XObject* sceneObject = scene.ToXObject();
    EXPECT_EQ(sceneObject, static_cast<XObject*>(a->GetSceneObject()));
    if (sceneObject) sceneObject->Release();

    // Named objects registered once a context exists reach no context.
    EXPECT_EQ(app->GetShell()->AddNamedObject(TWString(u"late"), probe), 1);
    EXPECT_EQ(Eval(contextB.get(), u"typeof late"), "undefined");
}

TEST_F(ScriptHostTest, EscapingScriptErrorsReachTheListenersWithFileAndLine) {
    oxScene* scene = OpenSceneWithScript("thrower", "var x = 1;\n\nthrow new Error('boom');\n");
    ASSERT_NE(scene, nullptr) << "a failing script does not fail its scene";
    std::string file = Utf8(WriteFile("thrower.js", "").c_str());
    ASSERT_GE(listener->calls.size(), 2u);
    EXPECT_EQ(listener->calls[0], "onSceneLoadingError(" + file + ", 3, 0, boom)");
    EXPECT_EQ(listener->calls[1], "onSceneOpen([Scene])");
    EXPECT_EQ(scene->GetDefaultScript(), nullptr) << "the failed script is undone";

    // A syntax error reports its line; the run answers a failure to its caller as well.
    listener->calls.clear();
    auto context = ContextOf(scene);
    ASSERT_TRUE(context);
    HRESULT hr = context->RunScript(TWString(u"var ok = 1;\nvar = ;\n"), u"", u"inline.js");
    EXPECT_TRUE(FAILED(hr));
    ASSERT_EQ(listener->calls.size(), 1u);
    EXPECT_EQ(listener->calls[0].rfind("onSceneLoadingError(inline.js, 2, 0, ", 0), 0u) << listener->calls[0];
}

TEST_F(ScriptHostTest, FailingNativeMethodsDescribeTheErrorTheScriptCatches) {
    oxScene* scene = OpenSceneWithScript("calls", "");
    ASSERT_NE(scene, nullptr);
    auto context = ContextOf(scene);
    ASSERT_TRUE(context);
    struct Case {
        const WCHAR* call;
        std::string expected; // message|number
    };
    const Case cases[] = {
        // A script error inside a callback keeps its text and code through the native caller.
        {u"failer.call({run: function () { var e = new Error('bad input'); e.number = -2147024809; throw e; }})",
         "bad input|-2147024809"},
        {u"failer.describe()", "no such row|" + std::to_string(int32_t(0x8100000D))},
        {u"failer.plain()", "Automation error 0x80004005|" + std::to_string(int32_t(E_FAIL))},
    };
    for (const Case& c : cases) {
        std::u16string text =
            u"try { " + std::u16string(c.call) + u"; 'no error' } catch (e) { e.message + '|' + e.number }";
        EXPECT_EQ(Eval(context.get(), text.c_str()), c.expected) << Utf8(c.call);
    }
}

TEST_F(ScriptHostTest, ARunawayScriptCannotBeInterrupted) {
    // Scripts run on the message-loop thread and the engine has no time guard, so nothing else can
    // run while a script loops. Interrupting the engine from inside the loop does not stop it
    // either: only an error raised by a call out of the script ends it.
    oxScene* scene = OpenSceneWithScript("idle", "");
    ASSERT_NE(scene, nullptr);
    auto context = ContextOf(scene);
    ASSERT_TRUE(context);
    probe->ticks = 0;
    probe->limit = 1000;
    probe->context = context->GetEngine()->GetScript();
    probe->onTick = [](Probe* p) {
        static_cast<IActiveScript*>(p->context)->InterruptScriptThread(SCRIPTTHREADID_ALL, nullptr, 0);
    };
    listener->calls.clear();
    HRESULT hr = context->RunScript(TWString(u"\nfor (;;) {\n  probe.tick();\n}"), u"", u"loop.js");
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(probe->ticks, 1000);
    // The failure is placed at the script's line that made the call.
    EXPECT_EQ(listener->calls,
              (std::vector<std::string>{"onSceneLoadingError(loop.js, 3, 0, Automation error 0x80004005)"}));
    probe->onTick = nullptr;
    probe->limit = 0;
}

TEST_F(ScriptHostTest, ClosingASceneReleasesItsEngine) {
    oxScene* scene = OpenSceneWithScript("once", "probe.tick();");
    ASSERT_NE(scene, nullptr);
    TWString name = scene->GetContextName();
    auto* sceneObject = static_cast<Scene*>(scene->GetSceneObject());
    sceneObject->AddRef();
    EXPECT_GT(probe->GetRefCount(), 2) << "the engine holds the probe as a named item";
    scene->Close(false);
    oxScriptContext* context = nullptr;
    EXPECT_EQ(manager()->GetContext(name.GetString(), &context), 1);
    EXPECT_EQ(probe->GetRefCount(), 2) << "only the test and the manager's global list hold it";
    EXPECT_EQ(sceneObject->GetScene(), nullptr) << "the scene object stays, inert";
    EXPECT_EQ(sceneObject->GetRefCount(), 1);
    sceneObject->Release();
}

TEST_F(ScriptHostTest, ContextsFollowTheirOperationsEdges) {
    oxScriptContext* context = nullptr;
    EXPECT_EQ(manager()->CreateContext(kAtomNativeObject, u"x", &context), 1);
    EXPECT_EQ(manager()->CreateContext(0, u"x", &context), 1);
    ASSERT_EQ(manager()->CreateContext(kAtomJavascript, u"x", &context), 0);
    NUBO::RefPtr<oxScriptContext> held(context);
    EXPECT_EQ(manager()->CreateContext(kAtomJscript, u"x", &context), 1) << "a name in use";
    EXPECT_EQ(held->GetLanguage(), kAtomJscript);
    EXPECT_EQ(held->RunScript(TWString(u""), u"", u""), 1);
    XVariant empty;
    EXPECT_EQ(held->Evaluate(TWString(u""), u"", &empty), S_OK);
    EXPECT_EQ(empty.vt, VT_EMPTY);

    // A code-only item is announced but not recorded; of two items of one name the first answers.
    oxScriptEngine* engine = held->GetEngine();
    EXPECT_EQ(held->AddNamedItem(u"codeOnly", nullptr), S_OK);
    IUnknown* item = nullptr;
    EXPECT_EQ(engine->GetItemInfo(u"codeOnly", SCRIPTINFO_IUNKNOWN, &item, nullptr), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(held->AddNamedItem(u"twice", failer), S_OK);
    EXPECT_EQ(held->AddNamedItem(u"twice", probe), S_OK);
    ASSERT_EQ(engine->GetItemInfo(u"twice", SCRIPTINFO_IUNKNOWN, &item, nullptr), S_OK);
    EXPECT_EQ(item, static_cast<IUnknown*>(static_cast<IDispatchEx*>(failer)));
    item->Release();
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(&item);
    EXPECT_EQ(engine->GetItemInfo(u"twice", SCRIPTINFO_ITYPEINFO, nullptr, &info), E_NOTIMPL);
    EXPECT_EQ(info, nullptr);

    // The report flag reaches existing contexts and later ones.
    manager()->SetReportErrors(1);
    EXPECT_TRUE(held->GetReportErrors());
    ASSERT_EQ(manager()->CreateGadgetContext(kAtomJscript, &context), 0);
    EXPECT_TRUE(context->GetReportErrors());
    context->Release();
    EXPECT_EQ(manager()->CollectGarbage(), 0);
    EXPECT_EQ(manager()->RemoveContext(u"x"), 0);
    EXPECT_EQ(manager()->RemoveContext(u"x"), 1);
}

} // namespace

// A script's src or href used to read and run any file on the host, through a file URI or an absolute
// path, from a scene opened by its bare name as the program opens "main.box".
TEST_F(ScriptHostTest, ScriptsOutsideTheResourcesFolderAreRefused) {
    namespace fs = std::filesystem;
    const fs::path programFolder = fs::path(platform::ProgramHostPath()).parent_path();
    const std::string unique = fs::path(folder).filename().string();
    const fs::path outside = programFolder / ("outside-" + unique + ".js");
    const fs::path sceneFile = programFolder / "resources" / (unique + ".box");
    std::ofstream(outside) << "probe.tick();";
    WriteFile("inside.js", "probe.tick();");
    std::string climb;
    for (int i = 0; i < 30; ++i)
        climb += "../";
    const std::string device = Utf8(platform::DevicePathFromHost(outside.string()).c_str());
    struct Case {
        std::string attribute;
        bool refused;
        int runs;
    } cases[] = {
        {"src=\"file://" + outside.string() + "\"", true, 0},
        {"href=\"file://" + outside.string() + "\"", true, 0},
        {"src=\"" + device + "\"", true, 0},
        {"src=\"" + Utf8(GetResourcesFolder().GetString()) + "..\\" + outside.filename().string() + "\"", true, 0},
        {"src=\"" + climb + outside.filename().string() + "\"", false, 0}, // stays inside: not found
        {"src=\"" + unique + "/inside.js\"", false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attribute);
        listener->calls.clear();
        probe->ticks = 0;
        std::ofstream(sceneFile, std::ios::trunc)
            << SceneMarkup("<script language=\"javascript\" " + c.attribute + "/>\n");
        oxScene* scene =
            runtime()->OpenSceneSimple(Wide(unique + ".box").c_str(), nullptr, nullptr, nullptr, nullptr, false);
        EXPECT_EQ(scene == nullptr, c.refused);
        EXPECT_EQ(probe->ticks, c.runs);
        if (c.refused) {
            // Where the end tag is read, then the refusal with the reference as written.
            const size_t quote = c.attribute.find('"');
            const std::string value = c.attribute.substr(quote + 1, c.attribute.size() - quote - 2);
            const std::string report = listener->calls.empty() ? "" : listener->calls[0];
            EXPECT_NE(report.find(unique + ".box, 2, "), std::string::npos) << report;
            const std::string tail = ", Script outside the resources folder: " + value + ")";
            EXPECT_TRUE(report.size() > tail.size() &&
                        report.compare(report.size() - tail.size(), tail.size(), tail) == 0)
                << report;
        }
        if (scene) scene->Close(false);
    }
    fs::remove(outside);
    fs::remove(sceneFile);
}
