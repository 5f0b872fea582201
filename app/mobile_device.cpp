#include "app/mobile_device.h"

#include <cstring>
#include <iterator>
#include <vector>

#include "platform/crt/wide.h"
#include "platform/shell/device_services.h"
#include "platform/shell/display.h"
#include "platform/shell/input_panel.h"
#include "platform/shell/menu_bar.h"
#include "platform/shell/picture_picker.h"
#include "platform/shell/registry.h"
#include "platform/shell/task_bar.h"
#include "platform/win/beep.h"
#include "platform/win/sound.h"
#include "platform/win/ime.h"
#include "platform/win/last_error.h"
#include "platform/win/sync.h"
#include "platform/win/system_params.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "toolkit/script/script_class.h"

using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;
using script_class::ArgBool;
using script_class::ArgInt;
using script_class::ArgText;

namespace {

constexpr DWORD kConnectTimeoutMs = 60000;

bool IsSmartphone() {
    WCHAR type[128] = {};
    return SystemParametersInfoW(SPI_GETPLATFORMTYPE, 128, type, 0) && wcscmp(type, u"SmartPhone") == 0;
}

HWND ArgWindow(XArgList* args, int i) {
    return reinterpret_cast<HWND>(uintptr_t(args->GetArg(i)->ToUInt32()));
}

// A REG_SZ value of at most `bytes` bytes, terminator included; false when it is not there, of
// another type or longer.
bool ReadRegistryText(HKEY root, const WCHAR* path, const WCHAR* name, DWORD bytes, TWString* out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    std::vector<WCHAR> buffer(bytes / sizeof(WCHAR) + 1, 0);
    DWORD type = 0, size = bytes;
    const LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ) return false;
    *out = TWString(buffer.data());
    return true;
}

// A REG_DWORD value; false when the key or value is missing or of another type.
bool ReadRegistryNumber(HKEY root, const WCHAR* path, const WCHAR* name, DWORD* out, bool* keyOpened = nullptr) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    if (keyOpened) *keyOpened = true;
    DWORD type = 0, value = 0, size = sizeof value;
    const LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_DWORD) return false;
    *out = value;
    return true;
}

// The ActiveSync value (64 bytes at most), else the platform's answer.
TWString DeviceText(const WCHAR* registryName, UINT platformQuery) {
    TWString text;
    if (ReadRegistryText(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\ActiveSync", registryName, 64, &text)) return text;
    WCHAR buffer[256] = {};
    if (SystemParametersInfoW(platformQuery, 256, buffer, 0)) return TWString(buffer);
    return TWString(u"");
}

struct SystemSound {
    const WCHAR* name;
    UINT beep;
    const WCHAR* smartphoneKey;
};
constexpr SystemSound kSystemSounds[] = {
    {u"sysSoundDefault", 0xFFFFFFFF, u"ControlPanel\\Sounds\\SystemDefault"},
    {u"sysSoundQuestion", 0x20, u"ControlPanel\\Sounds\\SystemQuestion"},
    {u"sysSoundExclamation", 0x30, u"ControlPanel\\Sounds\\SystemExclamation"},
    {u"sysSoundHand", 0x10, u"ControlPanel\\Sounds\\SystemHand"},
    {u"sysSoundAsterisk", 0x40, u"ControlPanel\\Sounds\\SystemAsterisk"},
};

const SystemSound* FindSystemSound(const TWString& name) {
    for (const SystemSound& sound : kSystemSounds)
        if (wcscmp(name.GetString() ? name.GetString() : u"", sound.name) == 0) return &sound;
    return nullptr;
}

LONG Orientation(DWORD fields) {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = fields;
    if (ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_TEST, nullptr) != DISP_CHANGE_SUCCESSFUL) return -1;
    return LONG(mode.dmDisplayOrientation);
}

// -- methods ----------------------------------------------------------------------------------------

int32_t QueryScreenRotation(XMobileDevice*, XArgList* args, XVariant* out) {
    const int angle = ArgInt(args, 0);
    const LONG bit = angle == 90 ? DMDO_90 : angle == 180 ? DMDO_180 : angle == 270 ? DMDO_270 : 0;
    const LONG supported = bit ? Orientation(DM_DISPLAYQUERYORIENTATION) : -1;
    *out = bit != 0 && supported != -1 && (supported & bit) != 0;
    return 0;
}

int32_t EnsureDataConnectionBody(XMobileDevice* self, XArgList*, XVariant* out) {
    *out = self->EnsureDataConnection();
    return 0;
}

int32_t CameraCapture(XMobileDevice*, XArgList* args, XVariant* out) {
    TWString title = ArgText(args, 0);
    SHCAMERACAPTURE capture{};
    capture.cbSize = sizeof capture;
    capture.pszTitle = title.GetString();
    capture.StillQuality = CAMERACAPTURE_STILLQUALITY_DEFAULT;
    capture.VideoTypes = 0xFFFF;
    capture.Mode = CAMERACAPTURE_MODE_STILL;
    *out = SHCameraCapture(&capture) == S_OK;
    return 0;
}

int32_t BrowseForImage(XMobileDevice*, XArgList* args, XVariant* out) {
    TWString title = ArgText(args, 0);
    const bool thumbnails = ArgBool(args, 1);
    WCHAR file[260] = {};
    OPENFILENAMEEX info{};
    info.lStructSize = sizeof info;
    info.hwndOwner = GetActiveWindow();
    info.lpstrFile = file;
    info.nMaxFile = 260;
    info.lpstrTitle = title.GetString();
    info.ExFlags = thumbnails ? 0x20002 : 0x20202;
    *out = TWString(u"");
    if (GetOpenFileNameEx(&info)) *out = TWString(file);
    return 0;
}

int32_t SetImeState(XMobileDevice*, XArgList* args, XVariant*) {
    HWND window = ArgWindow(args, 0);
    const bool open = ArgBool(args, 1);
    if (!window) return 0;
    HIMC context = ImmGetContext(window);
    if (!context) return 0;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    const bool version51 = GetVersionExW(&version) && version.dwMajorVersion == 5 && version.dwMinorVersion == 1;
    if (IsSmartphone() && !version51) {
        ImmSetOpenStatus(context, open ? TRUE : FALSE);
        if (open) ImmEscapeW(nullptr, context, IME_ESC_SET_MODE, nullptr);
    }
    ImmReleaseContext(window, context);
    return 0;
}

int32_t VibrateBody(XMobileDevice*, XArgList* args, XVariant*) {
    XMobileDevice::Vibrate(ArgInt(args, 0), ArgInt(args, 1), ArgInt(args, 2));
    return 0;
}

int32_t PlaySoundOrVibrate(XMobileDevice*, XArgList* args, XVariant*) {
    const TWString profile = XMobileDevice::SoundProfile();
    if (wcscmp(profile.GetString(), u"sound") == 0)
        XMobileDevice::PlaySound(ArgText(args, 0));
    else if (wcscmp(profile.GetString(), u"vibrate") == 0)
        XMobileDevice::Vibrate(ArgInt(args, 1), ArgInt(args, 2), ArgInt(args, 3));
    return 0;
}

int32_t SetPowerStateBody(XMobileDevice*, XArgList* args, XVariant*) {
    const TWString name = ArgText(args, 0);
    const WCHAR* text = name.GetString() ? name.GetString() : u"";
    const DWORD state = _wcsicmp(text, u"ON") == 0        ? POWER_STATE_ON
                        : _wcsicmp(text, u"OFF") == 0     ? POWER_STATE_OFF
                        : _wcsicmp(text, u"IDLE") == 0    ? POWER_STATE_IDLE
                        : _wcsicmp(text, u"SUSPEND") == 0 ? POWER_STATE_SUSPEND
                                                          : 0;
    SetSystemPowerState(nullptr, state, POWER_FORCE);
    return 0;
}

int32_t ShowMenuBar(XMobileDevice*, XArgList* args, XVariant*) {
    HWND window = ArgWindow(args, 0);
    const bool show = ArgBool(args, 1);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (IsSmartphone()) {
        SHFullScreen(window, show ? SHFS_SHOWSIPBUTTON : SHFS_HIDESIPBUTTON);
        HWND bar = SHFindMenuBar(window);
        if (show) {
            RECT r{};
            const int height = bar && GetWindowRect(bar, &r) ? r.bottom - r.top : 0;
            SetWindowPos(bar, nullptr, 0, screenHeight - height, screenWidth, height, SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            SetWindowPos(bar, nullptr, -1, -1, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
        }
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        MoveWindow(window, work.left, work.top, work.right, work.bottom, FALSE);
        return 0;
    }
    SHINITDLGINFO init{SHIDIM_FLAGS, window, SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR};
    SHInitDialog(&init);
    HWND bar = SHFindMenuBar(window);
    HWND sipButton = FindWindowW(u"MS_SIPBUTTON", nullptr);
    for (HWND hwnd : {bar, sipButton}) {
        if (!hwnd) continue;
        if (show)
            ShowWindow(hwnd, SW_SHOW);
        else
            SetWindowPos(hwnd, nullptr, -1, -1, 0, 0, SWP_HIDEWINDOW);
    }
    return 0;
}

int32_t Minimize(XMobileDevice*, XArgList* args, XVariant*) {
    if (HWND window = ArgWindow(args, 0)) ShowWindow(window, SW_MINIMIZE);
    return 0;
}

// -- properties -------------------------------------------------------------------------------------

int32_t GetScreenRotation(XMobileDevice*, XVariant* out) {
    const LONG orientation = Orientation(DM_DISPLAYORIENTATION);
    *out = orientation == DMDO_90 ? 90 : orientation == DMDO_180 ? 180 : orientation == DMDO_270 ? 270 : 0;
    return 0;
}

int32_t SetScreenRotation(XMobileDevice*, const VARIANT& value) {
    const int angle = static_cast<const XVariant&>(value).ToInt32();
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = angle == 90 ? DMDO_90 : angle == 180 ? DMDO_180 : angle == 270 ? DMDO_270 : DMDO_0;
    ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr);
    return 0;
}

int32_t GetSip(XMobileDevice*, XVariant* out) {
    SIPINFO info{};
    info.cbSize = sizeof info;
    *out = SHSipInfo(SPI_GETSIPINFO, 0, &info, 0) && (info.fdwFlags & SIPF_ON) != 0;
    return 0;
}

int32_t SetSip(XMobileDevice*, const VARIANT& value) {
    SIPINFO info{};
    info.cbSize = sizeof info;
    SHSipInfo(SPI_GETSIPINFO, 0, &info, 0);
    info.fdwFlags = static_cast<const XVariant&>(value).ToBool() ? 1 : 0;
    SHSipInfo(SPI_SETSIPINFO, 0, &info, 0);
    return 0;
}

int32_t GetHwKeyboard(XMobileDevice*, XVariant* out) {
    *out = (GetKeyboardStatus() & KBDI_KEYBOARD_PRESENT) != 0;
    return 0;
}

int32_t GetTouchscreen(XMobileDevice*, XVariant* out) {
    *out = !IsSmartphone();
    return 0;
}

int32_t GetManufacturer(XMobileDevice*, XVariant* out) {
    *out = DeviceText(u"DeviceManufacturer", SPI_GETPLATFORMMANUFACTURER);
    return 0;
}

int32_t GetModel(XMobileDevice*, XVariant* out) {
    *out = DeviceText(u"DeviceModel", SPI_GETPLATFORMNAME);
    return 0;
}

int32_t GetSoundProfile(XMobileDevice*, XVariant* out) {
    *out = XMobileDevice::SoundProfile();
    return 0;
}

int32_t GetIpAddress(XMobileDevice* self, XVariant* out) {
    *out = self->IpAddress();
    return 0;
}

using script_class::MethodRow;
using script_class::PropertyRow;
const NUBO::XMemberEntry kMembers[] = {
    MethodRow<1, QueryScreenRotation>("queryScreenRotation"),
    MethodRow<0, EnsureDataConnectionBody>("ensureDataConnection"),
    MethodRow<1, CameraCapture>("cameraCapture"),
    MethodRow<2, BrowseForImage>("browseForImage"),
    MethodRow<2, SetImeState>("setIMEState"),
    MethodRow<3, VibrateBody>("vibrate"),
    MethodRow<4, PlaySoundOrVibrate>("playSoundOrVibrate"),
    MethodRow<1, SetPowerStateBody>("setPowerState"),
    MethodRow<2, ShowMenuBar>("showMenuBar"),
    MethodRow<1, Minimize>("minimize"),
    PropertyRow<GetScreenRotation, SetScreenRotation>("screenRotation"),
    PropertyRow<GetSip, SetSip>("sip"),
    PropertyRow<GetHwKeyboard>("hwKeyboard"),
    PropertyRow<GetTouchscreen>("touchscreen"),
    PropertyRow<GetManufacturer>("manufacturer"),
    PropertyRow<GetModel>("model"),
    PropertyRow<GetSoundProfile>("soundProfile"),
    PropertyRow<GetIpAddress>("ipAddress"),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor XMobileDevice::Descriptor = {
    "XMobileDevice", int(std::size(kMembers)), kMembers, &XObject::Descriptor, 0, {}};

XMobileDevice::~XMobileDevice() {
    DropConnection();
}

void XMobileDevice::DropConnection() {
    ipAddress_ = TWString(u"");
    if (!connection_) return;
    ConnMgrReleaseConnection(connection_, 0);
    connection_ = nullptr;
}

bool XMobileDevice::EnsureDataConnection() {
    if (connection_) {
        DWORD status = 0;
        if (SUCCEEDED(ConnMgrConnectionStatus(connection_, &status)) && status == CONNMGR_STATUS_CONNECTED) return true;
        DropConnection();
    }
    CONNMGR_CONNECTIONINFO info{};
    info.cbSize = 64;
    info.dwParams = CONNMGR_PARAM_GUIDDESTNET;
    info.dwPriority = CONNMGR_PRIORITY_USERINTERACTIVE;
    info.guidDestNet = IID_DestNetInternet;
    DWORD status = 0;
    const HRESULT hr = ConnMgrEstablishConnectionSync(&info, &connection_, kConnectTimeoutMs, &status);
    const bool connected = SUCCEEDED(hr) && status == CONNMGR_STATUS_CONNECTED;
    if (connected) ipAddress_ = TWString(u""); // the next read asks again
    return connected;
}

TWString XMobileDevice::IpAddress() {
    if (!connection_ || !ipAddress_.IsEmpty()) return ipAddress_.GetString() ? ipAddress_ : TWString(u"");
    DWORD size = 96;
    std::vector<uint8_t> probe(size, 0);
    HRESULT hr = ConnMgrQueryDetailedStatus(reinterpret_cast<CONNMGR_CONNECTION_DETAILED_STATUS*>(probe.data()), &size);
    std::vector<uint8_t> buffer(size, 0);
    if (FAILED(hr)) {
        hr = ConnMgrQueryDetailedStatus(reinterpret_cast<CONNMGR_CONNECTION_DETAILED_STATUS*>(buffer.data()), &size);
    } else {
        buffer = probe;
    }
    TWString address(u"");
    if (SUCCEEDED(hr)) {
        for (auto* record = reinterpret_cast<CONNMGR_CONNECTION_DETAILED_STATUS*>(buffer.data()); record;
             record = record->pNext) {
            if (record->dwStatus != CONNMGR_STATUS_CONNECTED || !record->pIPAddr) continue;
            for (DWORD i = 0; i < record->pIPAddr->cIPAddr; i++) {
                const char* dotted = inet_ntoa(record->pIPAddr->IPAddr[i]);
                address = TWString(std::u16string(dotted, dotted + std::strlen(dotted)).c_str());
            }
            break;
        }
    }
    ipAddress_ = address;
    return ipAddress_;
}

TWString XMobileDevice::SoundProfile() {
    if (!IsSmartphone()) {
        SNDFILEINFO info{};
        const WCHAR* profile = u"sound";
        if (SUCCEEDED(SndGetSound(SND_EVENT_ALL, &info))) {
            if (info.sstType == SND_SOUNDTYPE_VIBRATE) profile = u"vibrate";
            if (info.sstType == SND_SOUNDTYPE_NONE) profile = u"none";
        }
        DWORD ringer = 0;
        if (ReadRegistryNumber(HKEY_LOCAL_MACHINE, u"System\\State\\Hardware", u"Ringer", &ringer))
            profile = ringer ? u"sound" : u"vibrate";
        return TWString(profile);
    }
    const WCHAR* key = u"ControlPanel\\SoundCategories\\Notification";
    TWString script;
    if (ReadRegistryText(HKEY_CURRENT_USER, key, u"Script", 520, &script) && script.GetString() &&
        script.GetString()[0] == u'v')
        return TWString(u"vibrate");
    DWORD volume = 1;
    if (ReadRegistryNumber(HKEY_CURRENT_USER, key, u"InitVol", &volume) && volume == 0) return TWString(u"none");
    return TWString(u"sound");
}

void XMobileDevice::Vibrate(int onMs, int offMs, int repeat) {
    if (onMs <= 0) return;
    NLED_COUNT_INFO count{};
    if (!NLedGetDeviceInfo(NLED_COUNT_INFO_ID, &count)) count.cLeds = 0;
    int vibrator = -1;
    for (UINT led = 0; led < count.cLeds && vibrator < 0; led++) {
        NLED_SUPPORTS_INFO supports{};
        supports.LedNum = led;
        if (NLedGetDeviceInfo(NLED_SUPPORTS_INFO_ID, &supports) && supports.lCycleAdjust == -1) vibrator = int(led);
    }
    if (vibrator < 0) return;
    for (int i = 0; i <= repeat; i++) {
        NLED_SETTINGS_INFO settings{};
        settings.LedNum = UINT(vibrator);
        settings.OffOnBlink = 1;
        NLedSetDevice(NLED_SETTINGS_INFO_ID, &settings);
        Sleep(DWORD(onMs));
        settings.OffOnBlink = 0;
        NLedSetDevice(NLED_SETTINGS_INFO_ID, &settings);
        if (offMs > 0) Sleep(DWORD(offMs));
    }
}

void XMobileDevice::PlaySound(const TWString& name) {
    const SystemSound* system = FindSystemSound(name);
    if (!IsSmartphone()) {
        if (system)
            MessageBeep(system->beep);
        else
            PlaySoundW(name.GetString(), nullptr, SND_FILENAME | SND_ASYNC);
        return;
    }
    TWString file;
    if (system) {
        if (!ReadRegistryText(HKEY_CURRENT_USER, system->smartphoneKey, u"Sound", 520, &file)) return;
    } else {
        if (!name.GetString() || wcslen(name.GetString()) > 259) return;
        file = name;
    }
    // The platform has no "aygshell.dll" with the Smartphone sound functions: the device's
    // fallback for a library without them plays the file, else beeps.
    if (!PlaySoundW(file.GetString(), nullptr, SND_FILENAME | SND_ASYNC)) MessageBeep(0xFFFFFFFF);
}
