#pragma once
// A fixture for host objects as scene scripts use them: the toolkit started with its Shell, a
// scene opened from a temporary folder with a script run in its context, and expressions evaluated in that
// scene's script context.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/shell/path_map.h"
#include "runtime/ref_ptr.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_context_manager.h"

namespace test {

class ScriptSceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = new oxApplication();
        app->AddRef();
        ASSERT_EQ(app->Init(), 1);
        // A parameterised test's name ends in "/<n>": one folder, not a folder left behind around it.
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        folder = std::filesystem::temp_directory_path() / ("tandu-script-" + std::to_string(getpid()) + "-" + name);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        app->Shutdown();
        app->Release();
        std::filesystem::remove_all(folder);
    }

    Shell* GetShell() { return app->GetShell(); }

    // A scene whose context has run the script. The scene lies outside the resources folder (beside
    // the test program that folder is the source tree's), where markup loads no script: the test runs it.
    oxScene* OpenSceneWithScript(const std::string& script) {
        std::ofstream(folder / "s.box") << "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\"/>";
        std::u16string path = platform::DevicePathFromHost((folder / "s.box").string());
        oxRuntime* runtime = app->GetShell()->GetRuntime();
        oxScene* scene = runtime->OpenSceneSimple(path.c_str(), nullptr, nullptr, nullptr, nullptr, false);
        oxScriptContext* raw = nullptr;
        if (!scene || runtime->GetScriptContext(kAtomJavascript, scene, false, &raw) != 0) return nullptr;
        NUBO::RefPtr<oxScriptContext> context(raw);
        std::u16string text = platform::WideFromUtf8(script);
        return context->RunScript(NUBO::TWString(text.c_str()), u"", u"s.js") == 0 ? scene : nullptr;
    }

    // The expression's value as text; "!failed" when it raised an error.
    std::string Eval(oxScene* scene, const WCHAR* expression) {
        oxScriptContext* raw = nullptr;
        auto* manager = app->GetShell()->GetRuntime()->GetScriptContextManager();
        if (manager->GetContext(scene->GetContextName().GetString(), &raw) != 0) return "!context";
        NUBO::RefPtr<oxScriptContext> context(raw);
        NUBO::XVariant value;
        if (FAILED(context->Evaluate(NUBO::TWString(expression), u"", &value))) return "!failed";
        NUBO::TWString text = value.ToString();
        return platform::Utf8FromWide(text.GetString(), size_t(text.GetLength()));
    }
    std::string Eval(oxScene* scene, const std::string& expression) {
        return Eval(scene, platform::WideFromUtf8(expression).c_str());
    }

    oxApplication* app = nullptr;
    std::filesystem::path folder;
};

} // namespace test
