#pragma once
// The toolkit started around each test with the toolkit's own scenes beside the program, the test's
// scene fixtures in a fresh resources folder, and a `probe` every scene's scripts know: it names a
// script object's class, a box object's tag, and counts ticks.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "runtime/script_object.h"
#include "toolkit/script/application.h"

class oxRuntime;
class oxScene;
class Shell;

namespace script_api_test {

class ApiProbe : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    int ticks = 0;
};

std::string Utf8(const WCHAR* text);
// Copies a tree file by file, each written beside its place and renamed over it, so that tests
// running at the same time never read a half-written scene.
void CopyTree(const std::filesystem::path& from, const std::filesystem::path& to);

// One script expression and the value `call` describes for it.
struct Case {
    const char* expression;
    const char* expected;
};

// What `call` describes for a call with too few arguments, and for one that failed with code 1.
constexpr const char* kBadParamCount = "error:8002000e";
constexpr const char* kFail = "error:80004005";

class ScriptApiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Shell* shell() const;
    oxRuntime* runtime() const;
    // The box:// URI of a fixture of tests/data.
    std::u16string FixtureUri(const std::string& name) const;
    // Opens a fixture through the Shell under a name; null when it did not open.
    oxScene* Open(const std::string& fixture, const std::string& name);
    // Runs script text in a scene's engine; false when it failed.
    bool Run(oxScene* scene, const std::string& text);
    // The script expression's value as the fixture script's `call` describes it.
    std::string Call(oxScene* scene, const std::string& expression);
    // Each case's expression in the scene, against its expected value.
    void CheckCases(oxScene* scene, const Case* cases, size_t count) {
        for (size_t i = 0; i < count; ++i)
            EXPECT_EQ(Call(scene, cases[i].expression), cases[i].expected) << cases[i].expression;
    }

    oxApplication* app = nullptr;
    ApiProbe* probe = nullptr;
    std::string folder;  // host path of this test's fixtures
    std::string package; // its name, as box:// URIs name it
};

} // namespace script_api_test
