// device as scripts use it, on the emulated handset: rotation, vibration and power states as the
// device records them, the sound profile and sounds from the registry and the event sound
// setting, maker and model, the data connection and its address, and both device profiles.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/tests/host_script.h"
#include "platform/shell/device_services.h"
#include "platform/shell/input_panel.h"
#include "platform/shell/picture_picker.h"
#include "platform/shell/registry.h"
#include "platform/win/beep.h"
#include "platform/win/sound.h"
#include "platform/win/clock.h"
#include "platform/win/screen.h"

namespace {

class MobileDeviceTest : public test::HostScriptTest {
protected:
    void SetUp() override {
        // Tests run in parallel processes: each has a folder of its own.
        folder = std::filesystem::path(::testing::TempDir()) / ("mobile_device_test_" + std::to_string(getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        platform::registry::CloseDatabase();
        setenv("TANDU_REGISTRY", (folder / "registry.sqlite3").c_str(), 1);
        platform::shell::ResetDeviceServices();
        platform::ResetBeepCount();
        // Sounds go to the recording sink, whatever audio the machine has.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        platform::sound::ResetRecording();
        HostScriptTest::SetUp();
    }
    void TearDown() override {
        HostScriptTest::TearDown();
        platform::shell::ResetDeviceServices();
        platform::registry::CloseDatabase();
        unsetenv("TANDU_REGISTRY");
        unsetenv("TANDU_DEVICE");
        std::filesystem::remove_all(folder);
    }

    void SetText(HKEY root, const WCHAR* path, const WCHAR* name, const std::u16string& value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       DWORD((value.size() + 1) * sizeof(char16_t)));
        RegCloseKey(key);
    }
    void SetNumber(HKEY root, const WCHAR* path, const WCHAR* name, DWORD value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        RegCloseKey(key);
    }
    std::string Events() {
        std::string joined;
        for (const std::string& event : platform::shell::DeviceEvents())
            joined += (joined.empty() ? "" : ",") + event;
        platform::shell::ResetDeviceServices();
        return joined;
    }

    std::filesystem::path folder;
};

TEST_F(MobileDeviceTest, RotationTurnsTheScreen) {
    const ScreenConfig before = GetScreen().config;
    EXPECT_EQ(Eval("device.screenRotation"), "0");
    const char* queries[][2] = {{"0", "false"}, {"90", "true"}, {"180", "true"}, {"270", "true"}, {"45", "false"}};
    for (auto& q : queries)
        EXPECT_EQ(Eval(std::string("device.queryScreenRotation(") + q[0] + ")"), q[1]) << q[0];

    Run("device.screenRotation = 90;");
    EXPECT_EQ(Eval("device.screenRotation"), "90");
    EXPECT_EQ(GetScreen().config.width, before.height);
    EXPECT_EQ(GetScreen().config.height, before.width);
    Run("device.screenRotation = 270;");
    EXPECT_EQ(Eval("device.screenRotation"), "270");
    EXPECT_EQ(GetScreen().config.width, before.height) << "a turn from one side to the other keeps the shape";
    Run("device.screenRotation = 45;");
    EXPECT_EQ(Eval("device.screenRotation"), "0") << "an angle the display has not resets it";
    EXPECT_EQ(GetScreen().config.width, before.width);
    EXPECT_EQ(GetScreen().config.height, before.height);
    EXPECT_EQ(Eval("device.queryScreenRotation()"), "!error 8002000e");
}

TEST_F(MobileDeviceTest, VibrationAndPowerStatesAreRecorded) {
    platform::VirtualClock clock(1000);
    platform::Clock* real = platform::SetClock(&clock);
    Run("device.vibrate(100, 50, 0);");
    EXPECT_EQ(Events(), "vibrator on,vibrator off") << "a repeat count of 0 vibrates once";
    EXPECT_EQ(clock.NowMs(), 1150u) << "the pattern's time passes while it vibrates";
    Run("device.vibrate(10, 0, 2);");
    EXPECT_EQ(Events(), "vibrator on,vibrator off,vibrator on,vibrator off,vibrator on,vibrator off");
    EXPECT_EQ(clock.NowMs(), 1180u) << "no off time, no pause";
    Run("device.vibrate(0, 50, 3); device.vibrate(-5, 50, 3);");
    EXPECT_EQ(Events(), "");
    platform::SetClock(real);

    const char* states[][2] = {{"ON", "0x10000"},       {"on", "0x10000"},  {"oFf", "0x20000"}, {"idle", "0x100000"},
                               {"SUSPEND", "0x200000"}, {"standby", "0x0"}, {"", "0x0"}};
    for (auto& s : states) {
        Run(std::string("device.setPowerState('") + s[0] + "');");
        EXPECT_EQ(Events(), std::string("power ") + s[1]) << s[0];
    }
    EXPECT_EQ(Eval("device.vibrate(1, 2)"), "!error 8002000e");
}

TEST_F(MobileDeviceTest, SoundProfileAndSoundsOnAPocketPc) {
    EXPECT_EQ(Eval("device.touchscreen + ' ' + device.hwKeyboard"), "true false");
    EXPECT_EQ(Eval("device.soundProfile"), "sound");
    platform::shell::SetEventSoundType(SND_SOUNDTYPE_VIBRATE);
    EXPECT_EQ(Eval("device.soundProfile"), "vibrate");
    platform::shell::SetEventSoundType(SND_SOUNDTYPE_NONE);
    EXPECT_EQ(Eval("device.soundProfile"), "none");
    SetNumber(HKEY_LOCAL_MACHINE, u"System\\State\\Hardware", u"Ringer", 1);
    EXPECT_EQ(Eval("device.soundProfile"), "sound") << "the ringer overrides the event sound";
    SetNumber(HKEY_LOCAL_MACHINE, u"System\\State\\Hardware", u"Ringer", 0);
    EXPECT_EQ(Eval("device.soundProfile"), "vibrate");

    // Profile "vibrate": the numbers make the pattern and no sound plays.
    platform::VirtualClock clock;
    platform::Clock* real = platform::SetClock(&clock);
    Run("device.playSoundOrVibrate('sysSoundHand', 5, 0, 0);");
    platform::SetClock(real);
    EXPECT_EQ(Events(), "vibrator on,vibrator off");
    EXPECT_EQ(platform::GetBeepCount(), 0);

    SetNumber(HKEY_LOCAL_MACHINE, u"System\\State\\Hardware", u"Ringer", 1);
    Run("device.playSoundOrVibrate('sysSoundQuestion', 5, 0, 0);");
    EXPECT_EQ(platform::GetBeepCount(), 1);
    EXPECT_EQ(platform::GetLastBeepType(), 0x20u);
    Run("device.playSoundOrVibrate('sysSoundDefault', 5, 0, 0);");
    EXPECT_EQ(platform::GetLastBeepType(), 0xFFFFFFFFu);
    EXPECT_EQ(Events(), "") << "profile sound never vibrates";

    // Any other name, wrong case included, is a file.
    const std::string file = (folder / "chime.wav").string();
    std::ofstream(file, std::ios::binary) << std::string("RIFF\x04\0\0\0WAVE", 12);
    Run("device.playSoundOrVibrate('sysSoundquestion', 5, 0, 0);");
    EXPECT_EQ(platform::GetBeepCount(), 2) << "a name that is no file plays nothing";
    Run("device.playSoundOrVibrate('" + file + "', 5, 0, 0);");
    EXPECT_EQ(platform::GetLastSound(), std::u16string(file.begin(), file.end()));
}

TEST_F(MobileDeviceTest, MakerAndModel) {
    EXPECT_EQ(Eval("device.manufacturer"), "Tandu");
    EXPECT_EQ(Eval("device.model"), "Tandu Pocket PC Emulator");
    SetText(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\ActiveSync", u"DeviceManufacturer", u"Kestrel Devices");
    SetText(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\ActiveSync", u"DeviceModel", u"K-31");
    EXPECT_EQ(Eval("device.manufacturer + '/' + device.model"), "Kestrel Devices/K-31");
    // 31 characters and the terminator fill the 64 bytes; one more falls back to the platform.
    SetText(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\ActiveSync", u"DeviceModel", std::u16string(31, u'm'));
    EXPECT_EQ(Eval("device.model.length"), "31");
    SetText(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\ActiveSync", u"DeviceModel", std::u16string(32, u'm'));
    EXPECT_EQ(Eval("device.model"), "Tandu Pocket PC Emulator");
    SetNumber(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\ActiveSync", u"DeviceManufacturer", 7);
    EXPECT_EQ(Eval("device.manufacturer"), "Tandu") << "a value that is no text falls back too";
}

TEST_F(MobileDeviceTest, DataConnectionAndItsAddress) {
    std::vector<std::string> network = {"10.1.2.3", "192.168.0.7"};
    platform::shell::SetNetworkForTesting(&network);
    EXPECT_EQ(Eval("device.ipAddress"), "") << "no connection yet";
    EXPECT_EQ(Eval("device.ensureDataConnection()"), "true");
    EXPECT_EQ(Eval("device.ipAddress"), "192.168.0.7") << "the last address of the connected record";
    EXPECT_EQ(Eval("device.ensureDataConnection()"), "true");
    EXPECT_EQ(platform::shell::ConnectionCount(), 1) << "a connection that holds is kept";

    network = {"172.16.0.9"};
    platform::shell::SetNetworkForTesting(&network);
    EXPECT_EQ(Eval("device.ipAddress"), "192.168.0.7") << "cached until a new connection";

    std::vector<std::string> none;
    platform::shell::SetNetworkForTesting(&none);
    EXPECT_EQ(Eval("device.ensureDataConnection()"), "false");
    EXPECT_EQ(Eval("device.ipAddress"), "");
    EXPECT_EQ(platform::shell::ConnectionCount(), 1) << "the stale handle went; the new one is kept";

    platform::shell::SetNetworkForTesting(&network);
    EXPECT_EQ(Eval("device.ensureDataConnection() + ' ' + device.ipAddress"), "true 172.16.0.9");
}

TEST_F(MobileDeviceTest, PickersPanelAndWindows) {
    EXPECT_EQ(Eval("device.cameraCapture('Snap')"), "false");
    platform::shell::SetCameraResult(S_OK);
    EXPECT_EQ(Eval("device.cameraCapture('Snap')"), "true");

    EXPECT_EQ(Eval("device.browseForImage('Pick', true)"), "");
    platform::shell::SetPictureChoice(u"\\My Documents\\cat.jpg");
    EXPECT_EQ(Eval("device.browseForImage('Pick', false)"), "\\My Documents\\cat.jpg");
    EXPECT_EQ(platform::shell::GetLastPicker().exFlags, 0x20202u);
    platform::shell::SetPictureChoice(nullptr);

    EXPECT_EQ(Eval("device.sip"), "false");
    Run("device.sip = true;");
    EXPECT_EQ(Eval("device.sip"), "true");
    Run("device.sip = false;");
    EXPECT_EQ(Eval("device.sip"), "false");
    platform::shell::ResetInputPanel();

    // A null window does nothing.
    Run("device.minimize(0); device.setIMEState(0, true); device.showMenuBar(0, false);");
}

TEST_F(MobileDeviceTest, SmartphoneProfile) {
    setenv("TANDU_DEVICE", "smartphone", 1);
    EXPECT_EQ(Eval("device.touchscreen + ' ' + device.hwKeyboard"), "false true");
    EXPECT_EQ(Eval("device.model"), "Tandu Smartphone Emulator");
    EXPECT_EQ(Eval("device.soundProfile"), "sound");
    const WCHAR* notification = u"ControlPanel\\SoundCategories\\Notification";
    SetNumber(HKEY_CURRENT_USER, notification, u"InitVol", 0);
    EXPECT_EQ(Eval("device.soundProfile"), "none");
    SetText(HKEY_CURRENT_USER, notification, u"Script", u"vibrate-then-ring");
    EXPECT_EQ(Eval("device.soundProfile"), "vibrate");

    // System sound names play the files their keys name; without a key nothing plays.
    SetNumber(HKEY_CURRENT_USER, notification, u"InitVol", 5);
    SetText(HKEY_CURRENT_USER, notification, u"Script", u"ring");
    Run("device.playSoundOrVibrate('sysSoundAsterisk', 5, 0, 0);");
    EXPECT_EQ(platform::GetBeepCount(), 0);
    EXPECT_EQ(platform::GetLastSound(), u"");
    const std::string file = (folder / "asterisk.wav").string();
    std::ofstream(file, std::ios::binary) << std::string("RIFF\x04\0\0\0WAVE", 12);
    SetText(HKEY_CURRENT_USER, u"ControlPanel\\Sounds\\SystemAsterisk", u"Sound",
            std::u16string(file.begin(), file.end()));
    Run("device.playSoundOrVibrate('sysSoundAsterisk', 5, 0, 0);");
    EXPECT_EQ(platform::GetLastSound(), std::u16string(file.begin(), file.end()));
    Run("device.playSoundOrVibrate('\\\\missing.wav', 5, 0, 0);");
    EXPECT_EQ(platform::GetBeepCount(), 1) << "a file that does not play beeps instead";
}

} // namespace
