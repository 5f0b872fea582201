#pragma once
// The toolkit of a benchmark, started as the program starts it in a headless window.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/backend/headless.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"

namespace bench_support {

// The folders WriteTempFile made, removed when the process ends.
struct TempFolders {
    std::set<std::filesystem::path> made;
    ~TempFolders() {
        std::error_code ignored;
        for (const std::filesystem::path& folder : made)
            std::filesystem::remove_all(folder, ignored);
    }
};

// Writes a generated file into a folder of this process named after `prefix`; answers its device
// path ("\\tmp\\..."), as scenes are opened.
inline std::string WriteTempFile(const std::string& prefix, const std::string& name, const std::string& text) {
    namespace fs = std::filesystem;
    static TempFolders folders;
    const fs::path folder = fs::temp_directory_path() / (prefix + "-" + std::to_string(getpid()));
    fs::create_directories(folder);
    folders.made.insert(folder);
    const fs::path path = folder / name;
    std::ofstream(path) << text;
    std::string device = path.string();
    for (char& c : device)
        if (c == '/') c = '\\';
    return device;
}

// The toolkit started as the program starts it; stopped when it goes.
class Toolkit {
public:
    Toolkit() {
        app_ = new oxApplication();
        app_->AddRef();
        ok_ = app_->Init() == 1;
    }
    ~Toolkit() {
        app_->Shutdown();
        app_->Release();
        platform::headless::RunUntilIdle();
    }
    bool Ok() const { return ok_; }
    oxRuntime* Runtime() const { return app_->GetShell()->GetRuntime(); }
    ::Shell* Shell() const { return app_->GetShell(); }

    // Opens `uri` in its window and runs the loop until the window is laid out and painted.
    oxScene* Open(const std::u16string& uri, const WCHAR* name = nullptr) {
        oxScene* scene = Runtime()->OpenSceneSimple(uri.c_str(), nullptr, name, nullptr, nullptr, false);
        platform::headless::RunUntilIdle();
        return scene;
    }
    static void Close(oxScene* scene) {
        scene->Close(true);
        platform::headless::RunUntilIdle();
    }

private:
    oxApplication* app_ = nullptr;
    bool ok_ = false;
};

} // namespace bench_support
