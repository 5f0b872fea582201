// The desktop services: screen and work-area geometry, cursor and key states, sounds, opening a
// document and the temporary folder.
#include "toolkit/scene/desktop_services.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "graphics/tests/golden.h"
#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/shell_execute.h"
#include "platform/shell/task_bar.h"
#include "platform/win/beep.h"
#include "platform/win/input.h"
#include "platform/win/sound.h"
#include "platform/win/system_params.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/tests/scene_test_support.h"

using namespace scene_test;

namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A WAV image of `samples` 8-bit mono samples at 8 kHz.
std::string Wave(int samples, char value) {
    auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    std::string data(size_t(samples), value);
    std::string fmt = "fmt " + le32(16) + std::string("\x01\x00\x01\x00", 4) + le32(8000) + le32(8000) +
                      std::string("\x01\x00\x08\x00", 4);
    std::string body = "WAVE" + fmt + "data" + le32(uint32_t(samples)) + data;
    return "RIFF" + le32(uint32_t(body.size())) + body;
}

class DesktopServicesTest : public SceneFixture {
protected:
    void SetUp() override {
        // Sounds go to the recording sink, whatever devices the machine has.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        SceneFixture::SetUp();
        platform::sound::ResetRecording();
        platform::ResetBeepCount();
        platform::shell::ResetOpenedDocuments();
    }
};

TEST_F(DesktopServicesTest, GeometryIsTheScreensAndItsWorkArea) {
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const RECT work = platform::shell::GetWorkArea();
    const SIZE desktop = GetDesktopSize();
    EXPECT_EQ(desktop.cx, screen.right);
    EXPECT_EQ(desktop.cy, screen.bottom);
    EXPECT_TRUE(SameRect(GetWorkAreaRect(), work));
    EXPECT_EQ(GetWorkAreaSize().cx, work.right - work.left);
    EXPECT_EQ(GetWorkAreaSize().cy, work.bottom - work.top);
    EXPECT_EQ(GetWorkAreaOrigin().y, work.top);
    EXPECT_TRUE(SameRect(GetDesktopRect(), screen));
    EXPECT_TRUE(SameRect(GetMonitorRectFromPoint(POINT{10, 10}), screen));
    EXPECT_TRUE(SameRect(GetMonitorRectFromPoint(POINT{-5, 10}), RECT{0, 0, 0, 0})) << "off every monitor";
    EXPECT_TRUE(SameRect(GetMonitorRect(nullptr, true), RECT{0, 0, 0, 0}));
    EXPECT_TRUE(SameRect(GetMonitorRectNear(POINT{-5, -5}, true, nullptr), work)) << "the nearest monitor";
    EXPECT_TRUE(SameRect(GetMonitorRectNear(POINT{-5, -5}, false, nullptr), screen));
    EXPECT_EQ(GetWheelScrollLines(), 3);
    const POINT p = ScreenToClientPoint(nullptr, POINT{7, 9});
    EXPECT_EQ(ClientToScreenPoint(nullptr, p).x, 7);
}

TEST_F(DesktopServicesTest, CursorAndKeysAreAsTheInputLeftThem) {
    ASSERT_TRUE(SetCursorPosition(12, 34));
    EXPECT_EQ(GetCursorPosition().x, 12);
    EXPECT_EQ(GetCursorPosition().y, 34);

    (void)IsAnyKeyDown(); // forgets what earlier tests pressed
    EXPECT_FALSE(IsAnyKeyDown());
    platform::input::KeyDown(VK_SHIFT);
    platform::headless::RunUntilIdle();
    bool shift = false, ctrl = true, alt = true;
    GetModifierKeyStates(&shift, &ctrl, nullptr);
    GetModifierKeyStates(nullptr, nullptr, &alt);
    EXPECT_TRUE(shift);
    EXPECT_FALSE(ctrl);
    EXPECT_FALSE(alt);
    EXPECT_TRUE(IsAnyKeyDown());
    EXPECT_FALSE(IsAnyKeyDown()) << "asking clears what went down since";
    platform::input::KeyUp(VK_SHIFT);
    platform::headless::RunUntilIdle();
    GetModifierKeyStates(&shift, nullptr, nullptr);
    EXPECT_FALSE(shift);

    const bool caps = IsKeyToggled(20);
    platform::headless::Key(20);
    platform::headless::RunUntilIdle();
    EXPECT_NE(IsKeyToggled(20), caps);

    EXPECT_FALSE(IsMouseButtonDown(false));
    platform::headless::Press(20, 20);
    platform::headless::RunUntilIdle();
    EXPECT_TRUE(IsMouseButtonDown(false));
    EXPECT_FALSE(IsMouseButtonDown(true));
    platform::headless::Release(20, 20);
    platform::headless::RunUntilIdle();
    EXPECT_FALSE(IsMouseButtonDown(false));
}

TEST_F(DesktopServicesTest, NamedSoundsBeepOrPlayTheirFileFromMemory) {
    ASSERT_TRUE(platform::sound::Recording());
    struct Beep {
        const char16_t* name;
        UINT type;
    };
    const Beep beeps[] = {{u"", UINT(-1)},
                          {u"SysSoundHand", 0x10},
                          {u"syssoundquestion", 0x20},
                          {u"SYSSOUNDEXCLAMATION", 0x30},
                          {u"sysSoundAsterisk", 0x40},
                          {u"syssoundelse", UINT(-1)}};
    for (const Beep& b : beeps) {
        EXPECT_EQ(PlayNamedSound(nullptr, b.name), 0);
        EXPECT_EQ(platform::GetLastBeepType(), b.type) << toolkit_test::Utf8(b.name);
    }
    EXPECT_EQ(platform::GetBeepCount(), 6);

    const std::string ding = Wave(400, 'd'), dong = Wave(10, 'o');
    WriteFile("ding.wav", ding);
    WriteFile("syssound", dong);
    WriteFile("broken.wav", "RIFF");
    oxScene* scene = OpenMarkup("sounds.box", SceneMarkup("<box/>"));
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(PlayNamedSound(scene, u"ding.wav"), 0);
    EXPECT_EQ(PlayNamedSound(scene, u"syssound"), 0) << "the prefix alone names a file";
    EXPECT_EQ(PlayNamedSound(scene, u"missing.wav"), 0);
    EXPECT_EQ(PlayNamedSound(scene, u"broken.wav"), 0);
    EXPECT_EQ(PlayNamedSound(nullptr, u"ding.wav"), 0) << "no scene: no folder to find it in";
    EXPECT_EQ(platform::GetBeepCount(), 6) << "files do not beep";
    const std::vector<platform::sound::Played> played = platform::sound::Recorded();
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(std::string(played[0].bytes.begin(), played[0].bytes.end()), ding);
    EXPECT_EQ(std::string(played[1].bytes.begin(), played[1].bytes.end()), dong);
    EXPECT_TRUE(played[0].async);
    // Each sound file opened after the first stops the one before it; closing the last scene stops
    // the last.
    EXPECT_EQ(platform::sound::StopCount(), 2);
    ASSERT_EQ(runtime()->GetSceneCount(), 1);
    scene->Close(true);
    EXPECT_EQ(platform::sound::StopCount(), 3);
}

TEST_F(DesktopServicesTest, AFileIconIsThePictureOfItsTypeFromTheIconTheme) {
    namespace fs = std::filesystem;
    // A theme and a type table of our own, in the place of the system's.
    const fs::path data = fs::temp_directory_path() / ("icons-" + std::to_string(getpid()));
    struct Cleanup {
        fs::path folder;
        std::string oldDirs;
        bool had;
        ~Cleanup() {
            std::error_code ignored;
            fs::remove_all(folder, ignored);
            if (had)
                setenv("XDG_DATA_DIRS", oldDirs.c_str(), 1);
            else
                unsetenv("XDG_DATA_DIRS");
        }
    } cleanup{data, getenv("XDG_DATA_DIRS") ? getenv("XDG_DATA_DIRS") : "", getenv("XDG_DATA_DIRS") != nullptr};
    fs::create_directories(data / "mime");
    std::ofstream(data / "mime" / "globs2") << "# weight:type:pattern\n50:text/plain:*.txt\n50:image/png:*.png\n";
    struct Icon {
        int size;
        const char* context;
        const char* name;
        char colour; // the red of every pixel, telling the icons apart
    };
    const Icon icons[] = {{16, "places", "folder", 10},
                          {32, "places", "folder", 20},
                          {16, "mimetypes", "text-x-generic", 30},
                          {32, "mimetypes", "text-x-generic", 40},
                          {16, "mimetypes", "application-x-generic", 50}};
    for (const Icon& icon : icons) {
        const fs::path where =
            data / "icons" / "hicolor" / (std::to_string(icon.size) + "x" + std::to_string(icon.size)) / icon.context;
        fs::create_directories(where);
        std::string rgba;
        for (int i = 0; i < icon.size * icon.size; ++i)
            rgba += std::string{icon.colour, 0, 0, char(255)};
        ASSERT_TRUE(WritePng((where / (std::string(icon.name) + ".png")).string(), rgba, icon.size, icon.size));
    }
    setenv("XDG_DATA_DIRS", data.string().c_str(), 1);

    const std::u16string text = WriteFile("letter.txt", "Dear");
    const std::u16string textFolder = text.substr(0, text.find_last_of(u'\\'));
    const struct {
        std::u16string path;
        const WCHAR* size;
        int pixels;
        int colour;
    } cases[] = {
        {textFolder, u"16x16", 16, 10},
        {textFolder, u"32x32", 32, 20},
        {text, u"16x16", 16, 30},
        {text, u"32x32", 32, 40},
        {u"\\no\\such\\notes.txt", u"16x16", 16, 30}, // by its type: the file need not exist
        {u"\\no\\such\\file.unknowntype", u"16x16", 16, 50},
    };
    const std::string decoded = (data / "decoded.png").string();
    for (const auto& c : cases) {
        const std::string label = toolkit_test::Utf8(c.path.c_str()) + " " + toolkit_test::Utf8(c.size);
        NUBO::XStream* raw = nullptr;
        ASSERT_EQ(GetFileIcon(c.path.c_str(), c.size, &raw), 0) << label;
        ASSERT_NE(raw, nullptr) << label;
        NUBO::RefPtr<NUBO::XStream> stream(raw);
        std::string bytes;
        char chunk[512];
        for (uint32_t read = 0; stream->Read(chunk, sizeof chunk, &read) == 0 && read > 0;)
            bytes.append(chunk, read);
        std::ofstream(decoded, std::ios::binary) << bytes;
        std::string rgba;
        int width = 0, height = 0;
        ASSERT_TRUE(ReadPng(decoded, rgba, width, height)) << label << ": not a picture";
        EXPECT_EQ(width, c.pixels) << label;
        EXPECT_EQ(height, c.pixels) << label;
        EXPECT_EQ(int(rgba[0]), c.colour) << label;
    }
    // Refusals, and no icon of the size: nothing.
    NUBO::XStream* raw = nullptr;
    EXPECT_EQ(GetFileIcon(text.c_str(), u"20x20", &raw), 1);
    EXPECT_EQ(GetFileIcon(u"", u"16x16", &raw), 1);
    EXPECT_EQ(GetFileIcon(nullptr, u"16x16", &raw), 1);
    EXPECT_EQ(GetFileIcon(text.c_str(), u"16x16", nullptr), 1);
    EXPECT_EQ(raw, nullptr);
    unsetenv("XDG_DATA_DIRS");
    setenv("XDG_DATA_DIRS", (data / "none").string().c_str(), 1);
    EXPECT_EQ(GetFileIcon(text.c_str(), u"16x16", &raw), 0) << "no theme: no icon, no failure";
    EXPECT_EQ(raw, nullptr);
}

TEST_F(DesktopServicesTest, ShellOpenTakesWhatExistsAndTheTempFolderIsType0Only) {
    const std::u16string file = WriteFile("letter.txt", "Dear");
    // Without an opener a document has no association.
    unsetenv("TANDU_SHELL_OPEN");
    EXPECT_EQ(ShellOpen(file.c_str()), 1);
    setenv("TANDU_SHELL_OPEN", "true", 1);
    EXPECT_EQ(ShellOpen(file.c_str()), 0);
    EXPECT_EQ(ShellOpen(u"http://127.0.0.1/"), 0);
    EXPECT_EQ(ShellOpen(u"\\no\\such\\file.txt"), 1);
    EXPECT_EQ(ShellOpen(u""), 1);
    unsetenv("TANDU_SHELL_OPEN");
    EXPECT_EQ(platform::shell::OpenedDocuments(), (std::vector<std::u16string>{file, u"http://127.0.0.1/"}));
    EXPECT_EQ(EnumerateFonts(), 0);
    EXPECT_FALSE(GetTempFolder(0).IsEmpty());
    EXPECT_TRUE(GetTempFolder(1).IsEmpty());
}

} // namespace
