// ControlBox and TextBox called from a scene's scripts: each member on a control, an editable
// input box and a read-only text box, and what the members do once the box is gone.
#include <gtest/gtest.h>

#include <string>

#include "platform/shell/task_bar.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/tests/script_api_fixture.h"

namespace script_api_test {
namespace {

constexpr const char* kBadParamCount = "error:8002000e";
constexpr const char* kFail = "error:80004005";

class ControlBoxClassesTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        scene = Open("scene_api.box", "api");
        ASSERT_NE(scene, nullptr);
        ASSERT_TRUE(Run(scene, "var scene = " + Utf8(scene->GetContextName().GetString()) +
                                   ".scene, root = scene.rootBox;"
                                   "var c = scene.createBox('control'), i = scene.createBox('input'),"
                                   " t = scene.createBox('simpleText');"
                                   "root.addChild(c); root.addChild(i); root.addChild(t);"));
    }
    void TearDown() override {
        ScriptApiTest::TearDown();
        platform::shell::ResetShell(); // the input box may have raised the input panel
    }
    void Check(const std::pair<std::string, std::string>* cases, size_t count) {
        for (size_t k = 0; k < count; k++)
            EXPECT_EQ(Call(scene, cases[k].first), cases[k].second) << cases[k].first;
    }
    oxScene* scene = nullptr;
};

TEST_F(ControlBoxClassesTest, ControlMembers) {
    const std::pair<std::string, std::string> cases[] = {
        {"probe.className(c)", "string:ControlBox"},
        {"(c.value = 'x', c.value)", "string:x"},
        {"(c.value = 42, c.value)", "string:42"},
        {"(c.label = 'OK', c.label)", "string:OK"},
        {"c.getAttribute('label')", "string:OK"},
        {"c.toggled", "boolean:false"},
        {"(c.toggled = true, c.toggled)", "boolean:true"},
        {"(c.tristate = 258, c.tristate)", "number:2"},
        {"(c.tristate = 0, c.tristate + ' ' + c.toggled)", "string:0 false"},
        {"c.click()", "undefined"},
        {"c.command()", "undefined"},
        // A gone box fails its properties and ignores its methods.
        {"scene.destroyBox(c)", "boolean:true"},
        {"c.value", kFail},
        {"c.label = 'x'", kFail},
        {"c.tristate", kFail},
        {"c.click()", "undefined"},
        {"c.command()", "undefined"},
    };
    Check(cases, std::size(cases));
}

TEST_F(ControlBoxClassesTest, TextMembersOnEditableAndReadOnlyText) {
    const std::pair<std::string, std::string> cases[] = {
        {"probe.className(i) + ' ' + probe.className(t)", "string:TextBox TextBox"},
        {"(i.value = 'abc', i.setCaretPos(1))", "boolean:true"},
        {"i.getCaretPos()", "number:1"},
        {"(i.replaceSelection('Z'), i.value)", "string:aZbc"},
        {"i.getCaretPos()", "number:2"},
        {"i.lineCount", "number:1"},
        {"i.getLineLength(0)", "number:4"},
        {"i.getLineFromPos(3)", "number:0"},
        {"(i.inputMode = 2, i.inputMode)", "number:2"},
        {"i.getLineLength()", kBadParamCount},
        {"i.replaceSelection()", kBadParamCount},
        // Read-only text: the editing members answer 0 and change nothing.
        {"(t.value = 'fixed', t.replaceSelection('x'), t.value)", "string:fixed"},
        {"t.getCaretPos() + ' ' + t.lineCount + ' ' + t.getLineLength(0)", "string:0 0 0"},
        {"t.setCaretPos(3)", "boolean:true"},
        {"(t.inputMode = 5, t.inputMode)", "number:0"},
        {"(t.label = 'L', t.label)", "string:L"},
        // Gone: the line members fail, the caret ones answer nothing.
        {"scene.destroyBox(i)", "boolean:true"},
        {"i.lineCount", kFail},
        {"i.getLineLength(0)", kFail},
        {"i.getCaretPos()", "undefined"},
        {"i.setCaretPos(0)", "boolean:false"},
        {"i.replaceSelection('x')", "undefined"},
    };
    Check(cases, std::size(cases));
}

} // namespace
} // namespace script_api_test
