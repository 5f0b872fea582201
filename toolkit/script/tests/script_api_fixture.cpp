#include "toolkit/script/tests/script_api_fixture.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/shell/path_map.h"
#include "runtime/ref_ptr.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/native_wrapper.h"
#include "toolkit/script/shell.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_context_manager.h"

namespace fs = std::filesystem;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;

namespace script_api_test {
namespace {

// A stand-in for the toolkit's built-in dialog scene where the tree does not have it yet.
const char* kDialogStandIn = "<window xmlns=\"http://www.kestrum.com/weftly/box.xsd\" id=\"builtInDialog\"/>\n";

int32_t ClassName(XObject*, int, XArgList* args, XVariant* result) {
    XObject* object = args->GetArg(0)->ToXObject();
    *result = NUBO::TWString(object ? object->GetClassDescriptor()->name : "none", u"utf-8");
    if (object) object->Release();
    return 0;
}

int32_t Tag(XObject*, int, XArgList* args, XVariant* result) {
    XObject* object = args->GetArg(0)->ToXObject();
    auto* box = NUBO::XObject::IsKindOf(object, &wrapper_class::Box)
                    ? static_cast<oxBox*>(static_cast<oxNativeWrapper*>(object)->GetNative())
                    : nullptr;
    WCHAR name[64] = u"detached";
    if (box) oxAtoms::GetName(box->GetTag(), name, 64);
    *result = name;
    if (object) object->Release();
    return 0;
}

int32_t Tick(XObject* object, int, XArgList*, XVariant* result) {
    *result = ++static_cast<ApiProbe*>(object)->ticks;
    return 0;
}

const NUBO::XMemberEntry kProbeMembers[] = {
    NUBO::XMethod("className", ClassName),
    NUBO::XMethod("tag", Tag),
    NUBO::XMethod("tick", Tick),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor ApiProbe::Descriptor = {"ApiProbe", 4, kProbeMembers, &XObject::Descriptor, 0, {}};

// Copies a tree file by file, each written beside its place and renamed over it, so that tests
// running at the same time never read a half-written scene.
void CopyTree(const fs::path& from, const fs::path& to) {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(from, ignored)) {
        fs::path target = to / fs::relative(entry.path(), from);
        if (entry.is_directory()) {
            fs::create_directories(target, ignored);
            continue;
        }
        fs::path temp = target;
        temp += "." + std::to_string(getpid());
        fs::copy_file(entry.path(), temp, fs::copy_options::overwrite_existing, ignored);
        fs::rename(temp, target, ignored);
    }
}

std::string Utf8(const WCHAR* text) {
    std::u16string wide(text ? text : u"");
    return platform::Utf8FromWide(wide.c_str(), wide.size());
}

void ScriptApiTest::SetUp() {
    app = new oxApplication();
    app->AddRef();
    ASSERT_EQ(app->Init(), 1);
    probe = new ApiProbe();
    probe->AddRef();
    ASSERT_EQ(shell()->AddNamedObject(NUBO::TWString(u"probe"), probe), 0);

    fs::path resources = fs::path(platform::ProgramHostPath()).parent_path() / "resources";
    fs::create_directories(resources);
    fs::path source = fs::path(TEST_DATA_DIR) / ".." / ".." / ".." / ".." / "resources";
    CopyTree(source, resources);
    fs::path dialog = resources / "KestrumToolkit" / "content" / "dialog" / "dialog.box";
    if (!fs::exists(dialog)) std::ofstream(dialog) << kDialogStandIn;

    std::string pattern = (resources / "script-api-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    package = fs::path(folder).filename().string();
    CopyTree(TEST_DATA_DIR, folder);
}

void ScriptApiTest::TearDown() {
    app->Shutdown();
    app->Release();
    EXPECT_EQ(probe->GetRefCount(), 1) << "an engine still holds the probe";
    probe->Release();
    std::error_code ignored;
    if (!folder.empty()) fs::remove_all(folder, ignored);
}

Shell* ScriptApiTest::shell() const {
    return app->GetShell();
}

oxRuntime* ScriptApiTest::runtime() const {
    return shell()->GetRuntime();
}

std::u16string ScriptApiTest::FixtureUri(const std::string& name) const {
    return platform::WideFromUtf8("box://" + package + "/" + name);
}

oxScene* ScriptApiTest::Open(const std::string& fixture, const std::string& name) {
    std::u16string uri = FixtureUri(fixture);
    std::u16string wideName = platform::WideFromUtf8(name);
    return runtime()->OpenSceneSimple(uri.c_str(), nullptr, wideName.c_str(), nullptr, nullptr, false);
}

bool ScriptApiTest::Run(oxScene* scene, const std::string& text) {
    oxScriptContext* raw = nullptr;
    if (runtime()->GetScriptContextManager()->GetContext(scene->GetContextName().GetString(), &raw) != 0) return false;
    NUBO::RefPtr<oxScriptContext> context(raw);
    std::u16string wide = platform::WideFromUtf8(text);
    return context->RunScript(NUBO::TWString(wide.c_str()), u"", u"") == 0;
}

std::string ScriptApiTest::Call(oxScene* scene, const std::string& expression) {
    oxScriptContext* raw = nullptr;
    if (runtime()->GetScriptContextManager()->GetContext(scene->GetContextName().GetString(), &raw) != 0)
        return "no context";
    NUBO::RefPtr<oxScriptContext> context(raw);
    std::u16string wide = platform::WideFromUtf8("call(function () { return " + expression + "; })");
    XVariant value;
    if (context->Evaluate(NUBO::TWString(wide.c_str()), u"", &value) != 0) return "evaluation failed";
    return Utf8(value.ToString().GetString());
}

} // namespace script_api_test
