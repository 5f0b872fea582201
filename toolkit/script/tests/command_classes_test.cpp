// The CommandGroup, KeyGroup, Command and Key script classes, called from a scene's own scripts.
#include <gtest/gtest.h>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/win/input.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/command_group.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/tests/script_api_fixture.h"

namespace script_api_test {
namespace {

class CommandClassesTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        scene = Open("commands.box", "commands");
        ASSERT_NE(scene, nullptr);
        ASSERT_TRUE(Run(scene, "var scene = " + Utf8(scene->GetContextName().GetString()) + ".scene;"
                               "var log = [];"
                               "function onHelp(e) { log.push('help:' + (e ? probe.className(e) : 'none')); }"
                               "function onOther() { log.push('other'); }"
                               "var commands = scene.getCommandGroupById('markup');"
                               "var keys = scene.getKeyGroupById('markupKeys');"));
    }
    void Check(const Case* cases, size_t count) { CheckCases(scene, cases, count); }
    oxScene* scene = nullptr;
};

TEST_F(CommandClassesTest, ACommandGroupListsFindsAddsAndRemovesItsCommands) {
    const Case cases[] = {
        {"commands.id", "string:markup"},
        {"commands.commandCount", "number:1"},
        {"commands.commands.count", "number:1"},
        {"commands.getCommandById('help') === scene.getCommandById('help')", "boolean:true"},
        {"commands.getCommandById('help').action", "string:onHelp"},
        {"commands.getCommandById('')", "null"},
        {"commands.getCommandById('none')", "null"},
        {"commands.addCommand('', 'onOther')", "null"},
        {"commands.addCommand('twice', 'onHelp').id", "string:twice"},
        {"commands.addCommand('twice', 'onOther').action", "string:onOther"},
        {"commands.getCommandById('twice').action", "string:onOther"}, // the last of the id
        {"commands.commandCount", "number:3"},
        {"commands.removeCommand(keys.getKeyById('helpKey'))", "boolean:false"},
        {"commands.removeCommand(null)", "boolean:false"},
        {"commands.commandCount", "number:3"},
        {"(kept = commands.getCommandById('twice'), commands.removeCommand(kept))", "boolean:true"},
        {"commands.getCommandById('twice').action", "string:onHelp"},
        {"kept.action", kFail}, // it went with its command
        {"kept.getAttribute('disabled')", "undefined"},
        {"kept.execute(shell.create('event', scene.getBoxById('a')))", "boolean:false"},
        {"commands.removeCommand(kept)", "boolean:false"},
        {"(commands.id = 'renamed', commands.id)", "string:renamed"},
        {"scene.getCommandGroupById('renamed') === commands", "boolean:true"},
        {"commands.addCommand('x')", kBadParamCount},
        {"scene.addCommandGroup('empty').commands.count", "number:0"},
        {"scene.getCommandGroupById('empty').commandCount", "number:0"},
        {"(gone = scene.getCommandGroupById('empty'), scene.removeCommandGroup(gone))", "boolean:true"},
        {"gone.commandCount", "number:-1"},
        {"gone.commands", "null"},
        {"gone.id", kFail},
        {"gone.addCommand('a', 'b')", "null"},
        {"scene.removeCommandGroup(gone)", "boolean:false"},
        {"scene.removeCommandGroup(keys)", "boolean:false"},
        {"scene.commandGroups.count", "number:1"},
    };
    Check(cases, std::size(cases));
}

TEST_F(CommandClassesTest, AKeyGroupListsFindsAddsAndRemovesItsKeys) {
    const Case cases[] = {
        {"keys.id", "string:markupKeys"},
        {"keys.keyCount", "number:1"},
        {"keys.getKeyById('helpKey').command", "string:help"},
        {"keys.getKeyById('helpKey').key.charCodeAt(0)", "number:112"}, // F1
        {"keys.addKey('', 'a', 'help', false, false, false)", "null"},
        {"keys.addKey('f5', 'f5', 'help', true, false, false).key.charCodeAt(0)", "number:116"},
        {"keys.addKey('a', 'a', 'help', false, true, false).key", "string:A"},
        {"keys.addKey('a', 'b', 'other', false, false, true).key", "string:B"},
        {"keys.getKeyById('a').key", "string:A"}, // the first of the id
        {"[keys.getKeyById('f5').shift, keys.getKeyById('f5').alt, keys.getKeyById('f5').ctrl].join()",
         "string:true,false,false"},
        {"[keys.getKeyById('a').shift, keys.getKeyById('a').alt, keys.getKeyById('a').ctrl].join()",
         "string:false,true,false"},
        {"keys.keys.count", "number:4"},
        {"keys.getKeyById('')", "null"},
        {"keys.addKey('x', 'x', 'help', false, false)", kBadParamCount},
        {"keys.removeKey(commands.getCommandById('help'))", "boolean:false"},
        {"keys.keyCount", "number:4"},
        {"(k = keys.getKeyById('a'), keys.removeKey(k))", "boolean:true"},
        {"keys.getKeyById('a').key", "string:B"},
        {"k.key", kFail},
        {"(k.key = 'c')", kFail},
        {"keys.removeKey(k)", "boolean:false"},
        {"scene.removeKeyGroup(commands)", "boolean:false"},
        {"scene.keyGroups.count", "number:1"},
    };
    Check(cases, std::size(cases));
}

TEST_F(CommandClassesTest, ACommandAndAKeyReadAndWriteTheirFields) {
    const Case cases[] = {
        {"(c = commands.getCommandById('help'), c.update)", "string:onUpdateHelp"},
        {"c.disabled", "boolean:false"},
        {"(c.disabled = true, c.getAttribute('disabled'))", "string:true"},
        {"(c.disabled = false, c.getAttribute('disabled'))", "string:false"},
        {"c.setAttribute('', 'x')", "boolean:false"},
        {"c.setAttribute('toggled', 'true')", "boolean:true"},
        {"c.getAttribute('toggled')", "string:true"},
        {"c.getAttribute('')", "undefined"},
        {"c.getAttribute('nothing')", "undefined"},
        {"(c.action = 'onOther', c.action)", "string:onOther"},
        {"(c.update = '', c.update)", "string:"},
        {"(c.id = '')", kFail},
        {"c.id", "string:help"},
        {"(c.id = 'aid', c.id)", "string:aid"},
        {"c.execute(scene.getBoxById('a'))", "boolean:false"},
        {"c.execute()", kBadParamCount},
        {"c.execute(shell.create('event', scene.getBoxById('a')))", "boolean:true"},
        {"log.join()", "string:other"},
        {"(k = keys.getKeyById('helpKey'), k.key = 'f1', k.key.charCodeAt(0))", "number:112"},
        {"(k.key = 'z', k.key)", "string:Z"},
        {"(k.key = '', k.key)", "string:Z"},
        {"(k.command = '', k.command)", "string:help"},
        {"(k.command = 'aid', k.command)", "string:aid"},
        {"(k.shift = true, k.ctrl = 1, k.alt = false, [k.shift, k.ctrl, k.alt].join())", "string:true,true,false"},
        {"(k.id = 'renamedKey', keys.getKeyById('renamedKey') === k)", "boolean:true"},
    };
    Check(cases, std::size(cases));
}

// A command's attributes reach the boxes bound to it, whichever script changes them.
TEST_F(CommandClassesTest, ACommandChangedFromScriptReachesItsBoxes) {
    oxCommandElement* command = scene->FindCommand(oxAtoms::Intern(u"help"), nullptr);
    ASSERT_NE(command, nullptr);
    oxBox* a = scene->GetBoxById(oxAtoms::Intern(u"a"), false);
    command->AttachBox(a);
    ASSERT_FALSE(a->IsEffectivelyDisabled());
    EXPECT_EQ(Call(scene, "(scene.getCommandById('help').disabled = true)"), "boolean:true");
    EXPECT_TRUE(a->IsEffectivelyDisabled());
    EXPECT_EQ(Call(scene, "scene.getCommandById('help').setAttribute('disabled', 'false')"), "boolean:true");
    EXPECT_FALSE(a->IsEffectivelyDisabled());
    command->DetachBox(a);
}

// A key binding added from script runs its command when the key comes.
TEST_F(CommandClassesTest, AKeyAddedFromScriptRunsItsCommandOnTheKey) {
    ASSERT_EQ(Call(scene, "keys.addKey('f2', 'F2', 'help', false, false, false).command"), "string:help");
    ASSERT_EQ(Call(scene, "scene.addKeyGroup('late').addKey('f4', 'F4', 'help', true, false, false).shift"),
              "boolean:true");
    platform::headless::Tap(240, 400); // the scene's window takes the keys
    platform::headless::RunUntilIdle();
    platform::headless::Key(VK_F2);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Call(scene, "log.join()"), "string:help:none");
    platform::headless::Key(VK_F4); // without shift: no binding
    platform::headless::Key(VK_F4, VK_SHIFT);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Call(scene, "log.join()"), "string:help:none,help:none");
    EXPECT_EQ(Call(scene, "(keys.removeKey(keys.getKeyById('f2')), keys.keyCount)"), "number:1");
    platform::headless::Key(VK_F2);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Call(scene, "log.length"), "number:2");
}

// Controls bound to a command follow it, at the top level and inside other boxes.
class BoundControlsTest : public ScriptApiTest {};
TEST_F(BoundControlsTest, ACommandDisabledFromScriptDisablesEveryControlBoundToIt) {
    oxScene* scene = Open("commands_controls.box", "controls");
    ASSERT_NE(scene, nullptr);
    ASSERT_TRUE(Run(scene, "var scene = " + Utf8(scene->GetContextName().GetString()) + ".scene;"));
    auto box = [&](const char16_t* id) { return scene->GetBoxById(oxAtoms::Intern(id), false); };
    ASSERT_FALSE(box(u"one")->IsEffectivelyDisabled());
    EXPECT_EQ(Call(scene, "(scene.getCommandById('help').disabled = true)"), "boolean:true");
    EXPECT_TRUE(box(u"one")->IsEffectivelyDisabled());
    EXPECT_TRUE(box(u"two")->IsEffectivelyDisabled());
    EXPECT_FALSE(box(u"other")->IsEffectivelyDisabled());
    EXPECT_EQ(Call(scene, "(scene.getCommandById('help').disabled = false)"), "boolean:false");
    EXPECT_FALSE(box(u"one")->IsEffectivelyDisabled());
    EXPECT_FALSE(box(u"two")->IsEffectivelyDisabled());
}

} // namespace
} // namespace script_api_test
