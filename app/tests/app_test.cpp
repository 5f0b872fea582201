// The app host object as scene scripts read it: the program's identity, protected strings, the
// picture picker, and the main window's minimise and Back-key override.
#include "app/app.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/tests/script_scene.h"
#include "platform/backend/headless.h"
#include "platform/crt/wide.h"
#include "platform/shell/data_protection.h"
#include "platform/shell/files.h"
#include "platform/shell/menu_bar.h"
#include "platform/shell/picture_picker.h"
#include "platform/shell/registry.h"
#include "platform/shell/task_bar.h"
#include "platform/win/input.h"
#include "platform/win/menu.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"

namespace {

class AppTest : public test::ScriptSceneTest {
protected:
    void SetUp() override {
        test::ScriptSceneTest::SetUp();
        platform::registry::CloseDatabase();
        setenv("TANDU_REGISTRY", (folder / "registry.sqlite3").c_str(), 1);
        setenv("TANDU_RUNTIME_DIR", folder.c_str(), 1); // no other process's windows are asked
        appObject = new App();
        appObject->AddRef();
        NUBO::XVariant out;
        ASSERT_EQ(GetShell()->AddDOMObject(NUBO::TWString(u"app"), appObject, &out), 0);
        scene = OpenSceneWithScript("var app = shell.app;\n");
        ASSERT_NE(scene, nullptr);
    }
    void TearDown() override {
        test::ScriptSceneTest::TearDown();
        appObject->Release();
        platform::shell::SetPictureChoice(nullptr);
        platform::shell::ResetShell();
        platform::registry::CloseDatabase();
        unsetenv("TANDU_REGISTRY");
        unsetenv("TANDU_RUNTIME_DIR");
    }

    App* appObject = nullptr;
    oxScene* scene = nullptr;
};

TEST_F(AppTest, PropertiesTellTheProgramAndItsPlatform) {
    WCHAR program[261] = {};
    GetModuleFileNameW(nullptr, program, 260);
    std::u16string folderPath(program);
    folderPath.resize(folderPath.rfind(u'\\'));
    const struct {
        const char* expression;
        std::string expected;
    } cases[] = {
        {"app.version", "1.0.20.1"},
        {"app.productName", "Tandu"},
        {"app.productId", "mobileTandu"},
        {"app.devKey", "qT4nWz8RkeLs2VbH"},
        {"app.locale", "ru-RU"},
        {"app.buildName", "weftlyMobileTandu"},
        {"app.platform", "Windows CE 5.2"},
        {"app.userAgent", "mobileTandu/1.0.20.1 (Windows CE 5.2)"},
        {"app.path", platform::Utf8FromWide(folderPath.data(), folderPath.size())},
        {"typeof app.debugLog('anything')", "undefined"},
        {"try { app.version = '2'; 'set' } catch (e) { 'refused' }", "refused"},
        {"try { app.newNotification(1, 2, 3, 4); 'called' } catch (e) { 'too few' }", "too few"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Eval(scene, c.expression), c.expected) << c.expression;
    EXPECT_EQ(folderPath.find(u'/'), std::u16string::npos) << "the device's separators";
}

TEST_F(AppTest, ProtectedStringsComeBackOnlyForTheirOwner) {
    const struct { const char* text; } texts[] = {{"''"}, {"'пароль secret'"}, {"new Array(400).join('ж')"}};
    for (const auto& t : texts) {
        SCOPED_TRACE(t.text);
        const std::string script = "var plain = " + std::string(t.text) +
                                   "; var sealed = app.protectString(plain);"
                                   " (typeof sealed) + ' ' + (app.unprotectString(sealed) === plain)";
        EXPECT_EQ(Eval(scene, script), "object true");
    }
    struct stat st {};
    ASSERT_EQ(stat(platform::protection::KeyFilePath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the key is its owner's alone";

    // The sealed bytes: nothing of the text shows, and one changed byte spoils them.
    DATA_BLOB in{6, reinterpret_cast<BYTE*>(const_cast<char*>("hello"))}, sealed{}, plain{};
    ASSERT_TRUE(CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, 0, &sealed));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(sealed.pbData), sealed.cbData).find("hello"), std::string::npos);
    for (DWORD at : {DWORD(0), DWORD(10), sealed.cbData - 1}) {
        sealed.pbData[at] ^= 1;
        EXPECT_FALSE(CryptUnprotectData(&sealed, nullptr, nullptr, nullptr, nullptr, 0, &plain)) << at;
        sealed.pbData[at] ^= 1;
    }
    ASSERT_TRUE(CryptUnprotectData(&sealed, nullptr, nullptr, nullptr, nullptr, 0, &plain));
    EXPECT_STREQ(reinterpret_cast<char*>(plain.pbData), "hello");
    LocalFree(plain.pbData);
    LocalFree(sealed.pbData);

    EXPECT_EQ(Eval(scene, "var kept = app.protectString('mine'); typeof app.unprotectString(kept)"), "string");
    // Another user has another key file: what this one sealed does not open there.
    platform::registry::CloseDatabase();
    setenv("TANDU_REGISTRY", (folder / "other" / "registry.sqlite3").c_str(), 1);
    EXPECT_EQ(Eval(scene, "typeof app.unprotectString(kept)"), "undefined");
    EXPECT_EQ(Eval(scene, "typeof app.unprotectString('not a stream') + ' ' + typeof app.unprotectString(app)"),
              "undefined undefined");

    // A key file others could read is no secret: nothing is sealed with it.
    chmod(platform::protection::KeyFilePath().c_str(), 0644);
    EXPECT_EQ(Eval(scene, "typeof app.protectString('x')"), "undefined");

    // A pipe in the key's place is refused at once, not waited on.
    unlink(platform::protection::KeyFilePath().c_str());
    ASSERT_EQ(mkfifo(platform::protection::KeyFilePath().c_str(), 0600), 0);
    EXPECT_EQ(Eval(scene, "typeof app.protectString('x') + ' ' + typeof app.unprotectString(kept)"),
              "undefined undefined");
}

TEST_F(AppTest, ThePicturePickerAnswersThePathChosenOrNothing) {
    EXPECT_EQ(Eval(scene, "typeof app.pictureThumbnailGrid(0)"), "undefined") << "cancelled";
    platform::shell::PickerShown shown = platform::shell::GetLastPicker();
    EXPECT_EQ(std::u16string(shown.title), u"Thumbnail View");
    EXPECT_EQ(shown.exFlags, 0x20002u);
    platform::shell::SetPictureChoice(u"\\My Documents\\My Pictures\\cat.jpg");
    EXPECT_EQ(Eval(scene, "app.pictureThumbnailGrid(0)"), "\\My Documents\\My Pictures\\cat.jpg");
}

std::vector<std::pair<UINT, WPARAM>> received;

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE || message == WM_HOTKEY) received.push_back({message, wParam});
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(AppTest, MinimiseAndTheBackKeyActOnTheProgramsWindows) {
    EXPECT_EQ(Eval(scene, "app.minimize(); 'no window, no harm'"), "no window, no harm");
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = u"AppTestMain";
    ASSERT_TRUE(RegisterClassW(&wc));
    HWND main = CreateWindowExW(0, u"AppTestMain", u"Tandu", WS_POPUP | WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(main);
    received.clear();
    EXPECT_EQ(Eval(scene, "app.minimize(); 'done'"), "done");
    EXPECT_EQ(received, (std::vector<std::pair<UINT, WPARAM>>{{WM_SIZE, SIZE_MINIMIZED}}));

    const std::string handle = std::to_string(reinterpret_cast<uintptr_t>(main));
    EXPECT_EQ(Eval(scene, "app.overrideBackButton(" + handle + ", true); 'no bar, no harm'"), "no bar, no harm");
    HMENU menu = CreateMenu();
    AppendMenuW(menu, MF_STRING, 1, u"Left");
    SHMENUBARINFO info{};
    info.cbSize = sizeof(info);
    info.hwndParent = main;
    info.dwFlags = SHCMBF_HMENU;
    info.nToolBarId = reinterpret_cast<UINT_PTR>(menu);
    ASSERT_TRUE(SHCreateMenuBar(&info));
    Eval(scene, "app.overrideBackButton(" + handle + ", true)");
    EXPECT_EQ(platform::shell::GetKeyOverride(info.hwndMB, VK_TBACK), 0x3u) << "no default, and notified";
    Eval(scene, "app.overrideBackButton(" + handle + ", false)");
    EXPECT_EQ(platform::shell::GetKeyOverride(info.hwndMB, VK_TBACK), 0x0u) << "the shell's own handling again";
    DestroyWindow(main);
    DestroyMenu(menu);
    UnregisterClassW(u"AppTestMain", GetModuleHandleW(nullptr));
}

} // namespace
