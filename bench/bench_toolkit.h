#pragma once
// The toolkit of a benchmark, started as the program starts it in a headless window.
#include <string>

#include "platform/backend/headless.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"

namespace bench_support {

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
