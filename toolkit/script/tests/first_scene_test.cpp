// The program's first scene, resources/main.box, opened as the program opens it: its background
// fills the window's work area and its title is drawn in the title's colour near the top.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/shell/path_map.h"
#include "platform/win/screen.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"

namespace {

namespace fs = std::filesystem;

TEST(FirstSceneTest, MainBoxPaintsItsBackgroundAndTitle) {
    ASSERT_TRUE(ConfigureScreen(ScreenConfig{480, 800, 32, false, 192}));
    auto* app = new oxApplication();
    app->AddRef();
    ASSERT_EQ(app->Init(), 1);
    // A copy under a name of this process: other tests of this binary share the folder.
    const fs::path resources = fs::path(platform::ProgramHostPath()).parent_path() / "resources";
    fs::create_directories(resources);
    const std::string name = "first_scene_" + std::to_string(getpid()) + ".box";
    fs::copy_file(fs::path(TEST_DATA_DIR) / ".." / ".." / ".." / ".." / "resources" / "main.box", resources / name,
                  fs::copy_options::overwrite_existing);
    const std::u16string uri(name.begin(), name.end());
    oxScene* scene =
        app->GetShell()->GetRuntime()->OpenSceneSimple(uri.c_str(), nullptr, u"main", nullptr, nullptr, false);
    ASSERT_NE(scene, nullptr);
    platform::headless::RunUntilIdle();

    // The work area lies between the task bar and the soft-key bar; the scene's fill covers it
    // down to the strip that names the soft keys.
    const std::vector<uint32_t> background = platform::headless::ReadScreen(RECT{478, 300, 479, 690});
    for (uint32_t px : background)
        ASSERT_EQ(px & 0xFFFFFF, 0xF4F6FAu);
    // The title's ink: pixels of the title colour in the band under the task bar, none right of it.
    const std::vector<uint32_t> band = platform::headless::ReadScreen(RECT{0, 60, 480, 150});
    int ink = 0;
    for (uint32_t px : band)
        ink += (px & 0xFFFFFF) == 0x203048u;
    EXPECT_GT(ink, 500) << "the bold title beside the mark is drawn";
    for (uint32_t px : platform::headless::ReadScreen(RECT{400, 60, 480, 120}))
        EXPECT_EQ(px & 0xFFFFFF, 0xF4F6FAu) << "the short title leaves the right of its line empty";

    app->Shutdown();
    app->Release();
    fs::remove(resources / name);
    ConfigureScreen(ScreenConfigFromEnvironment());
}

} // namespace
