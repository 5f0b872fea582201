// The setup extension driven as the installer drives it: the library is loaded with dlopen into this
// process, which stands for the installer, and its boxes and dialog are answered through the
// screen's input, from inside their modal loops. Each test has a device root, a registry and a
// runtime folder of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/folders.h"
#include "platform/shell/path_map.h"
#include "platform/shell/registry.h"
#include "platform/tests/modal_answerer.h"
#include "platform/tests/screen_golden.h"
#include "platform/tests/small_volume.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/module.h"
#include "platform/win/timer.h"
#include "setup/driver/installer.h"

namespace {

namespace fs = std::filesystem;

constexpr char16_t kFolder[] = u"\\Program Files\\Tandu";
constexpr char16_t kCaption[] = u"Установка Tandu";
constexpr char16_t kFailedText[] = u"Установка не выполнена!!\n\nПроцесс установки будет отменен.";

std::string Utf8(const std::u16string& text) {
    return platform::Utf8FromWide(text.data(), text.size());
}

using Answerer = test::ModalAnswerer;

std::function<void(HWND)> TapButton(int id) {
    return Answerer::Tap(id);
}

// The values under a key and its subkeys, one line each, in enumeration order.
void DumpKey(HKEY key, const std::string& path, std::vector<std::string>* out) {
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD nameSize = 256, type = 0, size = 4096;
        BYTE data[4096];
        if (RegEnumValueW(key, i, name, &nameSize, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::ostringstream line;
        line << path << " " << Utf8(name) << " " << type << ":";
        for (DWORD b = 0; b < size; ++b)
            line << std::hex << int(data[b]) << ".";
        out->push_back(line.str());
    }
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD nameSize = 256;
        if (RegEnumKeyExW(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::string child = path + "\\" + Utf8(name);
        out->push_back(child);
        HKEY sub = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
            DumpKey(sub, child, out);
            RegCloseKey(sub);
        }
    }
}

std::vector<std::string> Registry() {
    std::vector<std::string> lines;
    DumpKey(HKEY_CURRENT_USER, "HKCU", &lines);
    return lines;
}

void PutText(const char16_t* path, const char16_t* name, const std::u16string& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(2 * value.size() + 2)),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

// Waits for the one child process this test started, for at most `boundMs`; its exit status, or
// -1 when it did not end.
int WaitForChild(int boundMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
        const pid_t pid = waitpid(-1, &status, WNOHANG);
        if (pid > 0) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (pid < 0) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

bool NoChildStarted() {
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

class FernsetTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("fernset-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
        setenv("TANDU_ROOT", root_.c_str(), 1);
        setenv("TANDU_REGISTRY", (root_ / "registry.sqlite3").c_str(), 1);
        setenv("TANDU_RUNTIME_DIR", root_.c_str(), 1);
        platform::registry::CloseDatabase();
        platform::headless::UseVirtualClock(0);
        std::string error;
        ASSERT_TRUE(installer_.Load(FERNSET_LIBRARY, &error)) << error;
        fs::create_directories(Host(kFolder));
    }
    void TearDown() override {
        platform::SetFreeSpaceOverride(std::nullopt);
        platform::headless::UseRealClock();
        platform::registry::CloseDatabase();
        for (const char* name : {"TANDU_ROOT", "TANDU_REGISTRY", "TANDU_RUNTIME_DIR", "TANDU_RUN_SECONDS"})
            unsetenv(name);
        fs::remove_all(root_);
    }

    static fs::path Host(const std::u16string& device) { return platform::HostPathFromDevice(device); }

    // What the library asks for: a fixed part and the size of its own image, in KB.
    DWORD RequiredKb() const {
        MODULEINFO info{};
        HMODULE module = platform::ModuleFromAddress(reinterpret_cast<const void*>(installer_.installInit));
        EXPECT_TRUE(GetModuleInformation(GetCurrentProcess(), module, &info, sizeof(info)));
        return 2886 + info.SizeOfImage / 1024;
    }

    static std::u16string NoRoomText(DWORD requiredKb) {
        char number[32];
        std::snprintf(number, sizeof number, "%.1f", double(float(requiredKb) / 1024.0f));
        return u"Не удалось установить Tandu.\n\nОсвободите " + platform::WideFromUtf8(number) +
               u" Мб памяти и повторите попытку.";
    }

    // A program file in the install folder that notes where it was started from.
    void PlaceStubProgram() {
        const fs::path program = Host(kFolder) / "tandu.exe";
        std::ofstream(program) << "#!/bin/sh\necho \"$0 $#\" > \"" << (root_ / "started").string() << "\"\n";
        fs::permissions(program, fs::perms::owner_all);
    }

    fs::path root_;
    fernset_driver::Installer installer_;
};

TEST_F(FernsetTest, InstallInitContinuesWithTheRoomItNeedsAndCancelsWithOneKbLess) {
    const DWORD required = RequiredKb();
    struct Case {
        const char* what;
        BOOL firstCall;
        uint64_t freeBytes;
        int answer;
    };
    const Case cases[] = {
        {"a second call checks nothing", FALSE, 0, codeINSTALL_INIT_CONTINUE},
        {"exactly the room needed", TRUE, uint64_t(required) * 1024, codeINSTALL_INIT_CONTINUE},
        {"one byte short of a KB more is still exactly enough", TRUE, uint64_t(required) * 1024 + 1023,
         codeINSTALL_INIT_CONTINUE},
        {"one KB less", TRUE, uint64_t(required - 1) * 1024 + 1023, codeINSTALL_INIT_CANCEL},
        {"nothing free", TRUE, 0, codeINSTALL_INIT_CANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::SetFreeSpaceOverride(c.freeBytes);
        Answerer answerer(TapButton(IDOK));
        EXPECT_EQ(installer_.installInit(nullptr, c.firstCall, FALSE, kFolder), c.answer);
        if (c.answer == codeINSTALL_INIT_CONTINUE) {
            EXPECT_TRUE(answerer.shown.empty());
        } else {
            ASSERT_EQ(answerer.shown.size(), 1u);
            EXPECT_EQ(answerer.shown[0].caption, kCaption);
            EXPECT_EQ(Utf8(answerer.shown[0].text), Utf8(NoRoomText(required)));
        }
    }
}

TEST_F(FernsetTest, AnInstallFolderThatCannotBeAskedCancels) {
    Answerer answerer(TapButton(IDOK));
    EXPECT_EQ(installer_.installInit(nullptr, TRUE, FALSE, u"\\No Such Folder\\Tandu"), codeINSTALL_INIT_CANCEL);
    ASSERT_EQ(answerer.shown.size(), 1u);
    EXPECT_EQ(Utf8(answerer.shown[0].text), Utf8(NoRoomText(RequiredKb())));
}

// A real volume of a known size: the room on it decides, as statvfs tells it. Its free space
// comes in whole pages, so the volumes lie half a page either side of the need.
TEST_F(FernsetTest, InstallInitReadsTheRoomOfTheInstallFoldersOwnVolume) {
    const uint64_t need = uint64_t(RequiredKb()) * 1024, page = uint64_t(sysconf(_SC_PAGESIZE));
    struct Case {
        const char* folder;
        uint64_t size;
        int answer;
    };
    const Case cases[] = {
        {"small", need / page * page, codeINSTALL_INIT_CANCEL},
        {"large", (need + page - 1) / page * page, codeINSTALL_INIT_CONTINUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const fs::path volume = root_ / "volumes" / c.folder;
        if (!test::MountSmallVolume(volume, c.size)) GTEST_SKIP() << "this machine does not let the test mount";
        fs::create_directories(volume / "Tandu");
        const std::u16string folder = u"\\volumes\\" + platform::WideFromUtf8(c.folder) + u"\\Tandu";
        Answerer answerer(TapButton(IDOK));
        EXPECT_EQ(installer_.installInit(nullptr, TRUE, FALSE, folder.c_str()), c.answer);
        EXPECT_EQ(answerer.shown.size(), c.answer == codeINSTALL_INIT_CANCEL ? 1u : 0u);
        test::UnmountSmallVolume(volume);
    }
}

TEST_F(FernsetTest, AnyFailureIsReportedWithTheFiveCountsAndAsksForTheRemoval) {
    PlaceStubProgram();
    struct Case {
        WORD counts[5];
        const char16_t* line;
    };
    const Case cases[] = {
        {{1, 0, 0, 0, 0}, u"(1/0/0/0/0)"},
        {{0, 0, 0, 0, 7}, u"(0/0/0/0/7)"},
        {{3, 2, 1, 4, 65535}, u"(3/2/1/4/65535)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.line));
        Answerer answerer(TapButton(IDOK));
        const WORD* n = c.counts;
        EXPECT_EQ(installer_.installExit(nullptr, kFolder, n[0], n[1], n[2], n[3], n[4]), codeINSTALL_EXIT_UNINSTALL);
        ASSERT_EQ(answerer.shown.size(), 1u);
        EXPECT_EQ(answerer.shown[0].caption, kCaption);
        EXPECT_EQ(Utf8(answerer.shown[0].text), Utf8(std::u16string(kFailedText) + u"\n" + c.line));
    }
    EXPECT_TRUE(NoChildStarted());
}

// The dialog after a clean installation starts the program only from "Запустить Tandu".
TEST_F(FernsetTest, OnlyTheStartButtonStartsTheProgramFromTheInstallFolder) {
    PlaceStubProgram();
    struct Case {
        const char* what;
        std::function<void(HWND)> act;
        bool starts;
    };
    const Case cases[] = {
        {"Запустить Tandu", TapButton(1000), true},
        {"Enter presses the default button", [](HWND) { platform::headless::Key(VK_RETURN); }, true},
        {"Закрыть", TapButton(1001), false},
        {"Back", [](HWND) { platform::headless::Back(); }, false},
        {"the close box, the caption strip's last corner on the right",
         [](HWND dialog) {
             RECT r{};
             GetWindowRect(dialog, &r);
             platform::headless::Tap(r.right - 4, r.top + 4);
         },
         false},
        {"another command", [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, 4242, 0); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(root_ / "started");
        Answerer answerer(c.act);
        EXPECT_EQ(installer_.installExit(nullptr, kFolder, 0, 0, 0, 0, 0), codeINSTALL_EXIT_DONE);
        ASSERT_EQ(answerer.shown.size(), 1u);
        EXPECT_EQ(answerer.shown[0].caption, u"MobileTandu");
        EXPECT_EQ(answerer.shown[0].text, u"Установка выполнена успешно!!");
        if (c.starts) {
            ASSERT_EQ(WaitForChild(30000), 0);
            std::ifstream note(root_ / "started");
            std::string line;
            std::getline(note, line);
            EXPECT_EQ(line, (Host(kFolder) / "tandu.exe").string() + " 0") << "by its path, with no arguments";
        } else {
            EXPECT_TRUE(NoChildStarted());
        }
    }
}

// The dialog as a person sees it: caption strip with its close box, the text and the two buttons,
// the template's units fitted to the 480-pixel screen.
TEST_F(FernsetTest, TheInstalledDialogShowsOnTheScreen) {
    Answerer answerer([](HWND dialog) {
        platform::headless::RunUntilIdle();
        RECT r{};
        GetWindowRect(dialog, &r);
        EXPECT_TRUE(MatchesScreenGolden(r, "installed_dialog"));
        TapButton(1001)(dialog);
    });
    EXPECT_EQ(installer_.installExit(nullptr, kFolder, 0, 0, 0, 0, 0), codeINSTALL_EXIT_DONE);
    EXPECT_EQ(answerer.shown.size(), 1u);
}

// What each removal leaves of the vendor's keys, beside the program's storage.
TEST_F(FernsetTest, RemovalDeletesTheProgramsStorageAndOnlyTheParentsLeftEmpty) {
    struct Case {
        const char* what;
        std::function<void()> seed;         // besides the program's storage
        std::vector<std::string> remaining; // what is left under HKCU
    };
    const Case cases[] = {
        {"nothing else: every key goes", [] {}, {}},
        {"another program's storage keeps the parents",
         [] { PutText(u"Software\\Kestrum\\XKeyValueStorage\\otherApp", u"n", u"x"); },
         {"HKCU\\Software", "HKCU\\Software\\Kestrum", "HKCU\\Software\\Kestrum\\XKeyValueStorage",
          "HKCU\\Software\\Kestrum\\XKeyValueStorage\\otherApp",
          "HKCU\\Software\\Kestrum\\XKeyValueStorage\\otherApp n 1:78.0.0.0."}},
        {"a value of the vendor's key keeps that key",
         [] { PutText(u"Software\\Kestrum", u"v", u"x"); },
         {"HKCU\\Software", "HKCU\\Software\\Kestrum", "HKCU\\Software\\Kestrum v 1:78.0.0.0."}},
        {"another key of the vendor keeps the vendor's key",
         [] { PutText(u"Software\\Kestrum\\Other", u"v", u"x"); },
         {"HKCU\\Software", "HKCU\\Software\\Kestrum", "HKCU\\Software\\Kestrum\\Other",
          "HKCU\\Software\\Kestrum\\Other v 1:78.0.0.0."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HKEY software = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software", 0, KEY_ALL_ACCESS, &software) == ERROR_SUCCESS) {
            RegDeleteKeyW(software, u"Kestrum");
            RegCloseKey(software);
        }
        PutText(u"Software\\Kestrum\\XKeyValueStorage\\mobileTandu", u"login", u"ann");
        PutText(u"Software\\Kestrum\\XKeyValueStorage\\mobileTandu\\history", u"last", u"hi");
        c.seed();
        EXPECT_EQ(installer_.uninstallExit(nullptr), codeUNINSTALL_EXIT_DONE);
        std::vector<std::string> remaining = Registry();
        std::erase(remaining, std::string("HKCU\\Software")); // kept or not, it is not the vendor's
        std::vector<std::string> expected = c.remaining;
        std::erase(expected, std::string("HKCU\\Software"));
        EXPECT_EQ(remaining, expected);
    }
}

TEST_F(FernsetTest, RemovalWithoutTheVendorsKeyStillDeletesTheShortcut) {
    // The Windows folder exists: its Start Menu's shortcut goes and nothing else there. Without
    // it, the folder query fails with an empty path and the root's Start Menu is used.
    struct Case {
        const char* what;
        bool windowsFolder;
        const char16_t* shortcut;
    };
    const Case cases[] = {
        {"the Windows folder", true, u"\\Windows\\Start Menu\\tandu.lnk"},
        {"no Windows folder: the root", false, u"\\Start Menu\\tandu.lnk"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(root_ / "Windows");
        fs::remove_all(root_ / "Start Menu");
        const fs::path shortcut = Host(c.shortcut);
        fs::create_directories(shortcut.parent_path());
        std::ofstream(shortcut) << "link";
        std::ofstream(shortcut.parent_path() / "other.lnk") << "link";
        EXPECT_EQ(fs::exists(root_ / "Windows"), c.windowsFolder);
        EXPECT_EQ(installer_.uninstallExit(nullptr), codeUNINSTALL_EXIT_DONE);
        EXPECT_FALSE(fs::exists(shortcut));
        EXPECT_TRUE(fs::exists(shortcut.parent_path() / "other.lnk"));
        EXPECT_TRUE(Registry().empty());
    }
}

TEST_F(FernsetTest, UninstallInitLetsTheRemovalGoOnAndTouchesNothing) {
    PutText(u"Software\\Kestrum\\XKeyValueStorage\\mobileTandu", u"login", u"ann");
    const std::vector<std::string> before = Registry();
    EXPECT_EQ(installer_.uninstallInit(nullptr, kFolder), codeUNINSTALL_INIT_CONTINUE);
    EXPECT_EQ(Registry(), before);
}

// The whole road with the real program: installed, started from the dialog, run until it ends,
// and removed. The removal takes exactly what the program stored and leaves the rest.
TEST_F(FernsetTest, RemovalAfterARealRunDeletesWhatTheProgramStoredAndNothingElse) {
    platform::SetFreeSpaceOverride(uint64_t(1) << 40);
    PutText(u"Software\\Kestrum\\XKeyValueStorage\\otherApp", u"n", u"kept");
    PutText(u"Software\\Kestrum", u"vendor", u"kept");
    PutText(u"Software\\Other", u"v", u"kept");
    const std::vector<std::string> before = Registry();
    platform::registry::CloseDatabase(); // the program writes the same file

    const fs::path package = root_ / "package";
    fs::create_directories(package / "resources");
    std::ofstream(package / "resources" / "main.box")
        << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" id=\"main\">\n"
           "  <script language=\"javascript\" src=\"main.js\"/>\n</vbox>\n";
    std::ofstream(package / "resources" / "main.js")
        << "var s = new keyValueStorage();\n"
           "var id = shell.app.productId;\n"
           "s.open(id); s.setValue('login', 'ann'); s.setValue('count', 3);\n"
           "s.open(id + '.history'); s.setValue('last', 'hello');\n";
    setenv("TANDU_RUN_SECONDS", "1", 1);

    Answerer answerer(TapButton(1000));
    EXPECT_EQ(installer_.Install(nullptr, kFolder, {TANDU_PROGRAM, (package / "resources").string()}),
              fernset_driver::Outcome::kInstalled);
    ASSERT_EQ(answerer.shown.size(), 1u);
    ASSERT_EQ(WaitForChild(60000), 0) << "the program ran and ended on its own";
    EXPECT_TRUE(fs::exists(Host(fernset_driver::ShortcutPath())));

    std::vector<std::string> stored = Registry();
    const std::string storage = "HKCU\\Software\\Kestrum\\XKeyValueStorage\\mobileTandu";
    EXPECT_NE(std::find(stored.begin(), stored.end(), storage + " count 4:3.0.0.0."), stored.end());
    EXPECT_NE(std::find(stored.begin(), stored.end(), storage + "\\history"), stored.end());
    std::erase_if(stored, [&](const std::string& line) { return line.rfind(storage, 0) == 0; });
    EXPECT_EQ(stored, before) << "the program stored only in its own storage";

    installer_.Remove(nullptr, kFolder);
    EXPECT_EQ(Registry(), before);
    EXPECT_FALSE(fs::exists(Host(kFolder)));
    EXPECT_FALSE(fs::exists(Host(fernset_driver::ShortcutPath())));
}

// The driver program runs the whole road from the command line, as scripts would, answering the
// dialog and the boxes with the control it is told to press.
TEST_F(FernsetTest, TheDriverProgramInstallsAndRemovesFromTheCommandLine) {
    const fs::path stub = root_ / "stub";
    std::ofstream(stub) << "#!/bin/sh\n";
    fs::permissions(stub, fs::perms::owner_all);
    PutText(u"Software\\Kestrum\\XKeyValueStorage\\mobileTandu", u"login", u"ann");
    platform::registry::CloseDatabase();
    auto run = [](const std::string& arguments) {
        const std::string command = std::string(FERNSET_DRIVER) + " " + FERNSET_LIBRARY + " " + arguments;
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const std::string folder = "'\\Program Files\\Tandu' ";
    EXPECT_EQ(run("install " + folder + stub.string() + " --press 1001"), 0);
    EXPECT_TRUE(fs::exists(Host(kFolder) / "tandu.exe"));
    EXPECT_TRUE(fs::exists(Host(fernset_driver::ShortcutPath())));

    EXPECT_EQ(run("remove " + folder + "--press 1"), 0);
    EXPECT_EQ(Registry(), std::vector<std::string>{"HKCU\\Software"});
    EXPECT_FALSE(fs::exists(Host(kFolder)));
    EXPECT_FALSE(fs::exists(Host(fernset_driver::ShortcutPath())));

    EXPECT_EQ(run("install " + folder + stub.string() + " --fail 0/1/0/0/0 --press 1"), 2)
        << "a failed installation is reported and removed again";
    EXPECT_FALSE(fs::exists(Host(kFolder)));
    for (const char* bad : {"bogus folder", "install folder", "remove folder extra", "install f p --press x"})
        EXPECT_EQ(run(bad), 3) << bad;
}

} // namespace
