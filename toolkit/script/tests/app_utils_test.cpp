// AppUtils and Factory called from a scene's scripts: every member with its answer, the fixed
// answers kept for other platforms, and the failures of missing arguments.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win/beep.h"
#include "platform/win/sound.h"
#include "runtime/ref_ptr.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/app_utils.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/script_api_fixture.h"

namespace script_api_test {
namespace {

constexpr const char* kBadParamCount = "error:8002000e";
constexpr const char* kFail = "error:80004005";

class AppUtilsTest : public ScriptApiTest {
protected:
    void SetUp() override {
        // Sounds go to the recording sink, whatever audio the machine has.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ScriptApiTest::SetUp();
        utils = new AppUtils();
        utils->AddRef();
        ASSERT_EQ(shell()->AddNamedObject(NUBO::TWString(u"appUtils"), utils), 0);
        std::ofstream(std::filesystem::path(folder) / "note.txt") << "a note";
        scene = Open("scene_api.box", "api");
        ASSERT_NE(scene, nullptr);
        ASSERT_TRUE(Run(scene, "var scene = " + Utf8(scene->GetContextName().GetString()) +
                                   ".scene, factory = shell.factory, r;"));
        platform::ResetBeepCount();
    }
    void TearDown() override {
        ScriptApiTest::TearDown();
        utils->Release();
    }
    void Check(const std::pair<std::string, std::string>* cases, size_t count) {
        for (size_t i = 0; i < count; i++)
            EXPECT_EQ(Call(scene, cases[i].first), cases[i].second) << cases[i].first;
    }

    AppUtils* utils = nullptr;
    oxScene* scene = nullptr;
};

TEST_F(AppUtilsTest, EveryMemberAnswers) {
    const std::string note = "box://" + package + "/note.txt";
    const std::pair<std::string, std::string> cases[] = {
        {"appUtils.generateGUID()", "undefined"},
        {"appUtils.getString('a', 'b')", "undefined"},
        {"appUtils.getString('a')", kBadParamCount},
        {"appUtils.boxURLToPath('http://example.org/x')", "string:"},
        {"appUtils.boxURLToPath('file:///tmp/x.txt')", "string:\\tmp/x.txt"},
        {"appUtils.boxURLToPath('" + note + "').slice(-9)", "string:\\note.txt"},
        {"appUtils.boxURLToPath()", kBadParamCount},
        // With a scene the dialogs show; the file dialog tests answer them.
        {"appUtils.openFileDialog(factory, 'a', 'b', 'c', 'Text|*.txt', true)", "undefined"},
        {"appUtils.openFileDialog(scene, 'a', 'b', 'c', 'Text|*.txt')", kBadParamCount},
        {"appUtils.browseFolderDialog(scene, 'a', 'b', 'c')", "undefined"},
        {"appUtils.fontDialog(scene, 'a', 3)", "undefined"},
        {"appUtils.colorDialog(scene, 0xFF102030)", "number:4279246896"},
        {"appUtils.colorDialog(null, 7)", "number:7"},
        {"appUtils.enumFonts()", "undefined"},
        {"appUtils.trimWorkingSet(true)", "undefined"},
        {"appUtils.saveFontOutline('a', 'b', 1, 2, 'c')", "boolean:true"},
        {"appUtils.hasAutohideBar(scene, 'top')", "boolean:false"},
        {"appUtils.getResourceStream('" + note + "')", "[XFileStream]"},
        {"appUtils.getResourceStream('box://" + package + "/missing.txt')", kFail},
        {"(r = appUtils.monitorRectFromPoint(5, 5)).width + 'x' + r.height", "string:480x800"},
        {"appUtils.shellExecute('\\\\no\\\\such\\\\program')", kFail},
        {"appUtils.shellExecute('" + note + "')", kFail},
        {"appUtils.getFolderByType(1)", "string:"},
        {"appUtils.getFolderByType(0).length > 0", "boolean:true"},
        {"[appUtils.TRANSFER_OPERATION_NONE, appUtils.TRANSFER_OPERATION_COPY, appUtils.TRANSFER_OPERATION_MOVE,"
         " appUtils.TRANSFER_OPERATION_LINK, appUtils.TRANSFER_OPERATION_BLOCK].join()",
         "string:0,1,2,4,8"},
        {"appUtils.desktopWidth + 'x' + appUtils.desktopHeight", "string:480x800"},
        {"[appUtils.workAreaX, appUtils.workAreaY, appUtils.workAreaWidth, appUtils.workAreaHeight].join()",
         "string:0,52,480,696"},
        {"appUtils.accScreenReader", "undefined"},
        {"appUtils.systemFontDiff", "undefined"},
        {"typeof appUtils.mouseX + typeof appUtils.mouseY", "string:numbernumber"},
        {"appUtils.mouseWheelScrollLines", "number:3"},
        {"appUtils.capsLockState", "boolean:false"},
    };
    Check(cases, std::size(cases));
}

TEST_F(AppUtilsTest, SoundsBeepByNameOrPlayAFile) {
    struct Case {
        const char* call;
        int beeps;
        UINT last;
    } cases[] = {
        {"appUtils.playSound('syssoundhand')", 1, 0x10},     {"appUtils.playSound(scene, 'SysSoundQuestion')", 2, 0x20},
        {"appUtils.playSound('sysSoundAsterisk')", 3, 0x40}, {"appUtils.playSound('syssoundexclamation')", 4, 0x30},
        {"appUtils.playSound('')", 5, 0xFFFFFFFF},           {"appUtils.playSound(scene, 'note.txt')", 5, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Call(scene, c.call), "undefined") << c.call;
        EXPECT_EQ(platform::GetBeepCount(), c.beeps) << c.call;
        EXPECT_EQ(platform::GetLastBeepType(), c.last) << c.call;
    }
    // A sound file of the scene's folder plays from memory, with its bytes; one that is no WAV does not.
    platform::sound::ResetRecording();
    const std::string wave("RIFF\x28\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x40\x1f\0\0\x01\0\x08\0"
                           "data\x04\0\0\0\x10\x20\x30\x40",
                           48);
    std::ofstream(std::filesystem::path(folder) / "ding.wav", std::ios::binary) << wave;
    EXPECT_EQ(Call(scene, "appUtils.playSound(scene, 'ding.wav')"), "undefined");
    const std::vector<platform::sound::Played> played = platform::sound::Recorded();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(std::string(played[0].bytes.begin(), played[0].bytes.end()), wave);
    EXPECT_TRUE(played[0].async);
    EXPECT_EQ(Call(scene, "appUtils.playSound(scene, 'a', 'b')"), kBadParamCount);
    EXPECT_EQ(Call(scene, "appUtils.playSound()"), kBadParamCount);
}

TEST_F(AppUtilsTest, FactoryMembers) {
    const std::pair<std::string, std::string> cases[] = {
        {"(r = factory.createRect(10, 20, 30, 40)).right + ',' + r.bottom", "string:40,60"},
        {"r.left = 5, [r.x, r.width, r.right].join()", "string:5,30,35"},
        {"r.top = 1, [r.y, r.height, r.bottom].join()", "string:1,40,41"},
        {"factory.createRect(1, 2, 3)", kBadParamCount},
        {"(r = factory.createPoint(-3, 7)).x + ',' + r.y", "string:-3,7"},
        {"factory.createPoint(1)", kBadParamCount},
        {"factory.createEvent(scene.getBoxById('a'))", "[UserEvent]"},
        {"factory.createEvent(factory)", "null"},
        {"factory.createEvent()", kBadParamCount},
        {"factory.createBitmap('id', '', scene)", "null"},
        {"factory.createBitmap('id', 'a.png', factory)", "null"},
        {"(r = factory.createBitmap('made', 'green.png', scene), probe.className(r) + ' ' + r.id)",
         "string:Bitmap made"},
        {"r.src.slice(-10)", "string:\\green.png"},
        {"scene.library.getResourceById('made') === r", "boolean:true"},
        {"(r.deleteBitmap(), scene.library.getResourceById('made'))", "undefined"},
        {"probe.className(shell.bitmap('shown', 'b.png', scene))", "string:Bitmap"},
        {"(r = factory.createImageElement('cut', scene), probe.className(r) + ' ' + r.id)", "string:ImageElement cut"},
        {"factory.createImageElement('cut', factory)", "null"},
        {"factory.createBitmap('id', 'a.png')", kBadParamCount},
        {"factory.createImageElement('', scene)", "null"},
        {"factory.createImageElement('id')", kBadParamCount},
        {"shell.factory === shell.factory", "boolean:false"},
        {"probe.className(shell.factory)", "string:Factory"},
    };
    Check(cases, std::size(cases));
}

} // namespace
} // namespace script_api_test
