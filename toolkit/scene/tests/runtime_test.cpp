#include "toolkit/scene/runtime.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/shell/path_map.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/timer_queue.h"
#include "toolkit/library/library.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/tests/toolkit_test_support.h"

using namespace toolkit_test;

namespace {

class RuntimeTest : public ToolkitTest {
protected:
    oxScene* Open(const std::u16string& uri, NUBO::XObject* sceneListener = nullptr) {
        return runtime()->OpenSceneSimple(uri.c_str(), nullptr, u"main", nullptr, sceneListener, false);
    }
    std::string BoxFolder() const { return "hostTest" + std::to_string(getpid()); }
};

TEST_F(RuntimeTest, OpensFromBoxUriAndFilePathAndReportsTheSceneLife) {
    std::u16string boxUri = WriteBoxFile(BoxFolder() + "/main.box", SceneMarkup("<hbox/>"));
    std::u16string path = WriteFile("second.box", SceneMarkup(""));
    auto* own = new RecordingListener();
    own->AddRef();

    oxScene* first = Open(boxUri, own);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first->GetRootBox(), nullptr);
    EXPECT_EQ(first->GetRootBox()->GetChildCount(), 1);
    EXPECT_EQ(Utf8(first->GetName().GetString()), "main");
    oxScene* second = Open(path);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(runtime()->GetSceneCount(), 2);
    EXPECT_EQ(runtime()->FindSceneByName(u"main"), first);

    second->Close(false);
    first->Close(false);
    EXPECT_EQ(runtime()->GetSceneCount(), 0);
    EXPECT_EQ(listener->calls, (std::vector<std::string>{
                                   "onSceneOpen([Scene])",
                                   "onSceneOpen([Scene])",
                                   "beforeSceneClose([Scene])",
                                   "onSceneClosed([Scene])",
                                   "beforeSceneClose([Scene])",
                                   "onSceneClosed([Scene])",
                                   "onFinalSceneClose()",
                               }));
    // The scene's own listener hears its scene's opening and closing first.
    EXPECT_EQ(own->calls, (std::vector<std::string>{"onSceneOpen([Scene])", "beforeSceneClose([Scene])",
                                                    "onSceneClosed([Scene])"}));
    own->Release();
}

TEST_F(RuntimeTest, LoadFailuresReachTheListenersWithFileLineAndColumn) {
    struct Case {
        const char* name;
        std::string content; // empty: the file is not written
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"missing.box", "", {"onFinalSceneClose()"}},
        {"broken.box",
         SceneMarkup("<hbox>\n<box></hbox>\n"),
         {"onSceneLoadingError(@, 3, 7, mismatched tag)", "onFinalSceneClose()"}},
        {"foreign.box",
         "<vbox xmlns=\"urn:other\"/>",
         {"onSceneLoadingError(@, 0, 0, File not found or invalid scene (no root box))", "onFinalSceneClose()"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        listener->calls.clear();
        std::u16string path =
            c.content.empty() ? platform::DevicePathFromHost(folder + "/" + c.name) : WriteFile(c.name, c.content);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(Open(path), nullptr);
        std::string debug = ::testing::internal::GetCapturedStderr();
        std::vector<std::string> expected = c.expected;
        for (std::string& line : expected) {
            size_t at = line.find('@');
            if (at != std::string::npos) line.replace(at, 1, Utf8(path.c_str()));
        }
        EXPECT_EQ(listener->calls, expected);
        if (c.expected.size() > 1) {
            // The debug output carries the same report in its one line.
            EXPECT_NE(debug.find(". File:" + Utf8(path.c_str()) + ". Line#"), std::string::npos) << debug;
        } else {
            EXPECT_EQ(debug, "");
        }
    }
    EXPECT_EQ(runtime()->GetSceneCount(), 0);
}

TEST_F(RuntimeTest, StopClosesEveryScene) {
    std::u16string a = WriteFile("a.box", SceneMarkup(""));
    std::u16string b = WriteFile("b.box", SceneMarkup(""));
    ASSERT_NE(Open(a), nullptr);
    ASSERT_NE(Open(b), nullptr);
    listener->calls.clear();
    app->Shutdown();
    EXPECT_EQ(listener->calls, (std::vector<std::string>{"onSceneClosed([Scene])", "onSceneClosed([Scene])"}));
    app->Release();
    app = nullptr;
}

TEST_F(RuntimeTest, LibrariesLoadOnceAndUnloadWhenNoOneHoldsThem) {
    std::u16string path = WriteFile("lib.box", "<library xmlns=\"http://www.kestrum.com/weftly/resource.xsd\"/>");
    oxLibrary* library = runtime()->LoadLibrary(path.c_str());
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(runtime()->LoadLibrary(path.c_str()), library);
    EXPECT_EQ(runtime()->FindLibrary(path.c_str()), library);
    library->AddRef();
    EXPECT_FALSE(runtime()->UnloadLibrary(path.c_str())) << "someone else holds it";
    library->Release();
    EXPECT_TRUE(runtime()->UnloadLibrary(path.c_str()));
    EXPECT_EQ(runtime()->FindLibrary(path.c_str()), nullptr);
}

// The runtime's own library loads must mark a library as loading, or an import of itself recurses
// until the stack runs out.
TEST_F(RuntimeTest, ALibraryImportingItselfThroughTheRuntimeIsRefused) {
    const std::string head = "<library xmlns=\"http://www.kestrum.com/weftly/resource.xsd\""
                             " xmlns:b=\"http://www.kestrum.com/weftly/box.xsd\">\n";
    std::u16string self = WriteBoxFile(BoxFolder() + "/self.box", head + "<b:import href=\"self.box\"/>\n</library>\n");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runtime()->LoadLibrary(self.c_str()), nullptr);
    ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(listener->calls.size(), 1u);
    EXPECT_NE(listener->calls[0].find("Import of a library that is still loading"), std::string::npos)
        << listener->calls[0];
}

TEST_F(RuntimeTest, LoadingListenersTakeTheEventsInstead) {
    auto* loading = new RecordingListener();
    loading->AddRef();
    runtime()->AddLoadingListener(loading);
    std::u16string good = WriteFile("good.box", SceneMarkup(""));
    std::u16string bad = WriteFile("bad.box", "<vbox");
    ::testing::internal::CaptureStderr();
    oxScene* scene = Open(good);
    EXPECT_EQ(Open(bad), nullptr);
    ::testing::internal::GetCapturedStderr();
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(loading->calls, (std::vector<std::string>{"loadingComplete()", "loadingError(0)"}));
    EXPECT_TRUE(listener->calls.empty());
    loading->Release();
}

TEST_F(RuntimeTest, ScriptLanguageChangesOnlyWhileNoSceneIsOpen) {
    runtime()->SetScriptLanguage(kAtomJavascript);
    EXPECT_EQ(runtime()->GetScriptLanguage(), kAtomJavascript);
    runtime()->SetScriptLanguage(kAtomNativeObject);
    EXPECT_EQ(runtime()->GetScriptLanguage(), kAtomJavascript);
    ASSERT_NE(Open(WriteFile("a.box", SceneMarkup(""))), nullptr);
    runtime()->SetScriptLanguage(kAtomJscript);
    EXPECT_EQ(runtime()->GetScriptLanguage(), kAtomJavascript);
}

TEST(ApplicationTest, TwoApplicationsStartTheServicesOnce) {
    auto* a = new oxApplication();
    auto* b = new oxApplication();
    a->AddRef();
    b->AddRef();
    ASSERT_EQ(a->Init(), 1);
    EXPECT_NE(oxTimerQueue::Instance(), nullptr);
    EXPECT_EQ(oxAtoms::Find(u"vbox"), kAtomVbox);
    EXPECT_EQ(a->Init(), 0) << "a second start of one application object fails";
    EXPECT_EQ(oxApplication::GetStartCount(), 1);
    ASSERT_EQ(b->Init(), 1);
    EXPECT_EQ(oxApplication::GetStartCount(), 2);
    EXPECT_NE(a->GetShell(), b->GetShell());
    a->Shutdown();
    EXPECT_NE(oxTimerQueue::Instance(), nullptr) << "the services stop at the last stop";
    b->Shutdown();
    EXPECT_EQ(oxTimerQueue::Instance(), nullptr);
    EXPECT_EQ(oxApplication::GetStartCount(), 0);
    a->Release();
    b->Release();
}

} // namespace
