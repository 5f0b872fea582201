// Keys pressed on the device in a window scene: each key bound in the scene's key group reaches
// its command once, and Space presses and releases a control.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/command_group.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/windowed_app_test.h"

namespace {

struct BoundKey {
    const char* name; // as the key group names it
    UINT key;         // the virtual key the device sends
};

// Keys without a character (arrows, function keys, Insert, Delete) among them: a binding matches
// the virtual key, never the character. F1 and F2 come from the soft keys too, but pressed as keys
// they are the scene's; F4 is the platform's only with Alt.
const BoundKey kKeys[] = {
    {"DOWN", VK_DOWN}, {"UP", VK_UP},    {"LEFT", VK_LEFT},     {"RIGHT", VK_RIGHT},  {"F1", VK_F1},
    {"F2", VK_F2},     {"F3", 0x72},     {"F4", VK_F4},         {"F5", 0x74},         {"F6", 0x75},
    {"F7", 0x76},      {"F8", 0x77},     {"F9", 0x78},          {"F10", 0x79},        {"F11", 0x7A},
    {"F12", 0x7B},     {"INSERT", 0x2D}, {"DELETE", VK_DELETE}, {"a", 'A'},           {"Z", 'Z'},
    {"0", '0'},        {"7", '7'},       {"ESCAPE", VK_ESCAPE}, {"ENTER", VK_RETURN},
};

std::string Markup() {
    std::string keys, commands;
    for (const BoundKey& k : kKeys) {
        keys += std::string("<key key=\"") + k.name + "\" command=\"run" + k.name + "\"/>";
        commands += std::string("<command id=\"run") + k.name + "\"/>";
    }
    return R"(<window xmlns="http://www.kestrum.com/weftly/box.xsd" id="root" title="Keys">)"
           "<keyGroup>" +
           keys + "</keyGroup><commandGroup>" + commands +
           R"(</commandGroup><box id="plain" focusMode="normal" width="40" height="20"/>)"
           R"(<control id="button" focusMode="normal" width="40" height="20"/></window>)";
}

// The ids of the commands the scene hears of, in order.
class CommandLog : public oxSceneEventListener {
public:
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    int32_t HandleEvent(oxEvent* event) override {
        auto* fired = dynamic_cast<oxCommandEvent*>(event);
        auto* command = fired ? static_cast<oxCommandElement*>(fired->command) : nullptr;
        WCHAR id[64] = {};
        if (command) oxAtoms::GetName(command->GetId(), id, 64);
        std::string text;
        for (const WCHAR* p = id; *p; ++p)
            text += char(*p);
        ran.push_back(text);
        return 1;
    }
    std::vector<std::string> ran;
};

class KeyBindingsTest : public WindowedAppTest {
public:
    void SetUp() override {
        // A still clock: no timer of the scene (caret, hold, repeat) fires between a key's down and up
        // however slow the machine.
        platform::headless::UseVirtualClock(0);
        WindowedAppTest::SetUp();
        if (HasFatalFailure()) return;
        const std::string file = Own("key_bindings_test.box");
        std::ofstream(resources / file) << Markup();
        scene = app->GetShell()->GetRuntime()->OpenSceneSimple(Wide(file).c_str(), nullptr, nullptr, nullptr, nullptr,
                                                               false);
        platform::headless::RunUntilIdle();
        ASSERT_NE(scene, nullptr);
        scene->AddEventListener(kAtomCommand, &log);
    }

    oxScene* scene = nullptr;
    CommandLog log;
};

TEST_F(KeyBindingsTest, EachBoundKeyRunsItsCommandOnceWithAPlainBoxFocused) {
    oxBox* plain = scene->GetBoxById(oxAtoms::Find(u"plain"), false);
    ASSERT_NE(plain, nullptr);
    for (const BoundKey& k : kKeys) {
        scene->SetFocusedBox(plain);
        ASSERT_EQ(scene->GetFocusedBox(), plain);
        log.ran.clear();
        platform::headless::Key(k.key);
        platform::headless::RunUntilIdle();
        EXPECT_EQ(log.ran, std::vector<std::string>{std::string("run") + k.name}) << k.name;
    }
}

// The key-up carries no character: the control tells Space by its virtual key.
TEST_F(KeyBindingsTest, SpacePressesAFocusedControlAndItsReleaseLetsGo) {
    oxBox* button = scene->GetBoxById(oxAtoms::Find(u"button"), false);
    ASSERT_NE(button, nullptr);
    scene->SetFocusedBox(button);
    platform::input::KeyDown(VK_SPACE);
    platform::headless::RunUntilIdle();
    EXPECT_TRUE(button->GetStateFlags() & kStatePressed);
    platform::input::KeyUp(VK_SPACE);
    platform::headless::RunUntilIdle();
    EXPECT_FALSE(button->GetStateFlags() & kStatePressed);
}

} // namespace
