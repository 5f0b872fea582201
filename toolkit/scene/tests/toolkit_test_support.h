#pragma once
// What the runtime and script host tests share: the toolkit started through the application
// object, a listener that records the calls it gets, and scene files written for the test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/script_object.h"
#include "toolkit/script/application.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/script/shell.h"

namespace toolkit_test {

// Records every listener call as one line: "name(arg, arg, ...)"; objects read "[Scene]".
class RecordingListener : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    std::vector<std::string> calls;
};

// A script-visible counter: `tick()` counts and answers the count; `limit` makes the tick that
// reaches it fail with code 1; a hook runs on every tick.
class Probe : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    int ticks = 0;
    int limit = 0;
    void (*onTick)(Probe* probe) = nullptr;
    void* context = nullptr;
};

std::string Utf8(const WCHAR* text);
std::u16string Wide(const std::string& text);

// The toolkit started and stopped around each test, with a recording Shell listener.
class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    oxRuntime* runtime() const { return app->GetShell()->GetRuntime(); }
    // Writes a file in the test's own folder (inside the resources folder); answers its device path.
    std::u16string WriteFile(const std::string& name, const std::string& content);
    // Writes the file a box:// URI names; answers the URI.
    std::u16string WriteBoxFile(const std::string& path, const std::string& content);
    // A scene document: a vbox holding the given markup.
    static std::string SceneMarkup(const std::string& inner);

    oxApplication* app = nullptr;
    RecordingListener* listener = nullptr;
    std::string folder;                  // host path
    std::vector<std::string> boxFolders; // made under the program folder, removed after the test
};

} // namespace toolkit_test
