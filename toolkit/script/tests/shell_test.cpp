#include "toolkit/script/shell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "platform/shell/path_map.h"
#include "platform/win/gdi.h"
#include "runtime/ref_ptr.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/script/application.h"
#include "toolkit/script/scene.h"
#include "toolkit/style/ui_scale.h"

namespace {

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = new oxApplication();
        app->AddRef();
        ASSERT_EQ(app->Init(), 1);
        shell = app->GetShell();
        resources = std::filesystem::path(platform::ProgramHostPath()).parent_path() / "resources";
        std::filesystem::create_directories(resources);
    }
    void TearDown() override {
        app->Shutdown();
        app->Release();
        EXPECT_EQ(oxApplication::GetStartCount(), 0);
        if (!sceneFile.empty()) std::filesystem::remove(resources / sceneFile);
    }
    oxApplication* app = nullptr;
    Shell* shell = nullptr;
    std::filesystem::path resources;
    std::string sceneFile; // one per process: ctest runs the tests of this fixture side by side
};

TEST_F(ShellTest, TheFirstStartScalesByTheScreensDotsPerInch) {
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    EXPECT_FLOAT_EQ(GetUiScale(), dpi <= 96 ? 1.0f : float(dpi / 96.0));

    struct {
        int percent;
        float scale;
    } cases[] = {{130, 1.3f}, {100, 1.0f}, {20, 0.5f}, {1000, 3.0f}};
    for (auto c : cases) {
        EXPECT_EQ(shell->SetUiScale(NUBO::XVariant(c.percent)), 0);
        EXPECT_EQ(GetUiScale(), c.percent == 130 ? 130 * 0.01f : c.scale) << c.percent; // single precision
    }
}

TEST_F(ShellTest, EntryPointsRefuseWhatTheyCannotUse) {
    auto* object = new NUBO::XObject();
    object->AddRef();
    NUBO::XVariant out;
    EXPECT_EQ(shell->AddDOMObject(NUBO::TWString(u""), object, &out), 1);
    EXPECT_EQ(shell->AddDOMObject(NUBO::TWString(u"device"), nullptr, &out), 1);
    EXPECT_EQ(out.vt, VT_EMPTY);
    EXPECT_EQ(shell->AddDOMObject(NUBO::TWString(u"device"), object, &out), 0);
    EXPECT_TRUE(out.ToBool());
    NUBO::XVariant stored;
    EXPECT_EQ(shell->GetPropertyByName(u"device", &stored), 0);
    NUBO::RefPtr<NUBO::XObject> storedObject(stored.ToXObject());
    EXPECT_EQ(storedObject.get(), object);
    storedObject = nullptr;

    EXPECT_EQ(shell->CloseScene(object), 1) << "not a Scene";
    EXPECT_EQ(shell->CloseScene(nullptr), 1);
    NUBO::XVariant accel(true);
    EXPECT_EQ(shell->PreTranslateAccelerator(nullptr, 0x100, 0x41, 0, &accel), 0);
    EXPECT_EQ(accel.vt, VT_BOOL);
    EXPECT_FALSE(accel.ToBool());
    NUBO::XVariant scene;
    EXPECT_EQ(shell->OpenScene(NUBO::TWString(u"no-such.box"), nullptr, NUBO::TWString(u"main"), nullptr, nullptr,
                               false, &scene),
              1);
    EXPECT_EQ(shell->OpenScene(NUBO::TWString(u""), nullptr, NUBO::TWString(u"main"), nullptr, nullptr, false, &scene),
              1);
    EXPECT_EQ(scene.vt, VT_EMPTY);
    stored.Clear();
    object->Release();
}

TEST_F(ShellTest, OpensABareNameFromTheResourcesFolderAndClosesItAgain) {
    sceneFile = "shell_test_" + std::to_string(getpid()) + ".box";
    std::ofstream(resources / sceneFile) << "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\"/>";
    std::u16string name(sceneFile.begin(), sceneFile.end());
    NUBO::XVariant scene;
    ASSERT_EQ(shell->OpenScene(NUBO::TWString(name.c_str()), nullptr, NUBO::TWString(u"main"), nullptr, nullptr,
                               false, &scene),
              0);
    NUBO::RefPtr<NUBO::XObject> held(scene.ToXObject());
    NUBO::XObject* object = held.get();
    ASSERT_TRUE(NUBO::XObject::IsKindOf(object, &Scene::Descriptor));
    EXPECT_EQ(shell->GetRuntime()->GetSceneCount(), 1);
    EXPECT_EQ(shell->CloseScene(object), 0);
    EXPECT_EQ(shell->GetRuntime()->GetSceneCount(), 0);
    EXPECT_EQ(static_cast<Scene*>(object)->GetScene(), nullptr) << "the Scene object is inert now";
    EXPECT_EQ(shell->CloseScene(object), 0) << "closing a gone scene does nothing";
    // Named objects must come before the first scene: a context exists now.
    auto* late = new NUBO::XObject();
    late->AddRef();
    EXPECT_EQ(shell->AddNamedObject(NUBO::TWString(u"late"), late), 0) << "no context is left after the close";
    late->Release();
}

} // namespace
