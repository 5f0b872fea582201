#pragma once
// A test with the toolkit's application started on a small headless screen: scenes open in their
// own top-level windows under the shell's chrome. Files written under the program's resources
// folder and named in `written` are removed afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/shell/path_map.h"
#include "platform/shell/task_bar.h"
#include "platform/win/input.h"
#include "platform/win/screen.h"
#include "toolkit/script/application.h"

class WindowedAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Earlier tests of the binary may leave the shell's chrome and input behind.
        platform::shell::ResetShell();
        platform::input::Reset();
        ASSERT_TRUE(ConfigureScreen(ScreenConfig{240, 320, 32, false, 96}));
        app = new oxApplication();
        app->AddRef();
        ASSERT_EQ(app->Init(), 1);
        resources = std::filesystem::path(platform::ProgramHostPath()).parent_path() / "resources";
        std::filesystem::create_directories(resources);
    }
    void TearDown() override {
        platform::headless::UseRealClock();
        app->Shutdown();
        app->Release();
        for (const std::string& name : written)
            std::filesystem::remove(resources / name);
        platform::shell::ResetShell();
        platform::input::Reset();
        ConfigureScreen(ScreenConfigFromEnvironment());
    }

    // `name` made this process's own ("a.box" is "a_<pid>.box") and removed afterwards: the tests of
    // other processes run side by side over the same resources folder and write the same names.
    std::string Own(const std::string& name) {
        const size_t dot = std::min(name.rfind('.'), name.size());
        const std::string own = name.substr(0, dot) + "_" + std::to_string(getpid()) + name.substr(dot);
        written.push_back(own);
        return own;
    }
    static std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

    oxApplication* app = nullptr;
    std::filesystem::path resources;
    std::vector<std::string> written;
};
