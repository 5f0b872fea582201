#pragma once
// The handset's services that Linux has no counterpart for, as the emulated device answers them:
// the notification LEDs (one of which is the vibrator), power states, the keyboard, the event
// sound setting, the camera, the Connection Manager and the display's orientation. Each keeps its
// state here and records what the program asked of it, so tests (and the log) can see it. The
// profile (TANDU_DEVICE=pocketpc|smartphone) decides what the device has.
#include <string>
#include <vector>

#include "platform/com/guid.h"
#include "platform/com/hresult.h"
#include "platform/types.h"
#include "platform/win/window.h"

// -- keyboard --------------------------------------------------------------------------------------
constexpr DWORD KBDI_KEYBOARD_PRESENT = 0x0001;
constexpr DWORD KBDI_KEYBOARD_ENABLED = 0x0002;
constexpr DWORD KBDI_KEYBOARD_ENTER_ESC = 0x0004;
constexpr DWORD KBDI_KEYBOARD_ALPHA_NUM = 0x0008;
// A Smartphone has its keypad; the Pocket PC profile has no hardware keyboard.
DWORD GetKeyboardStatus();

// -- notification LEDs -----------------------------------------------------------------------------
constexpr UINT NLED_COUNT_INFO_ID = 0;
constexpr UINT NLED_SUPPORTS_INFO_ID = 1;
constexpr UINT NLED_SETTINGS_INFO_ID = 2;

struct NLED_COUNT_INFO {
    UINT cLeds;
};
struct NLED_SUPPORTS_INFO {
    UINT LedNum;
    LONG lCycleAdjust; // -1: the LED is the vibrator
    BOOL fAdjustTotalCycleTime;
    BOOL fAdjustOnTime;
    BOOL fAdjustOffTime;
    BOOL fMetaCycleOn;
    BOOL fMetaCycleOff;
};
struct NLED_SETTINGS_INFO {
    UINT LedNum;
    INT OffOnBlink; // 0 off, 1 on, 2 blink
    LONG TotalCycleTime;
    LONG OnTime;
    LONG OffTime;
    INT MetaCycleOn;
    INT MetaCycleOff;
};
// The device has two: LED 0 for notifications and LED 1, the vibrator.
BOOL NLedGetDeviceInfo(UINT id, void* info);
BOOL NLedSetDevice(UINT id, void* info);

// -- power -----------------------------------------------------------------------------------------
constexpr DWORD POWER_STATE_ON = 0x00010000;
constexpr DWORD POWER_STATE_OFF = 0x00020000;
constexpr DWORD POWER_STATE_IDLE = 0x00100000;
constexpr DWORD POWER_STATE_SUSPEND = 0x00200000;
constexpr DWORD POWER_FORCE = 0x00001000;
// Off and suspend switch the display off (the screen shows black) until the power comes on again
// or a tap wakes the device; every state is recorded.
DWORD SetSystemPowerState(LPCWSTR name, DWORD state, DWORD options);

// -- event sounds ----------------------------------------------------------------------------------
constexpr int SND_EVENT_ALL = 0;
constexpr int SND_SOUNDTYPE_ON = 0;
constexpr int SND_SOUNDTYPE_FILE = 1;
constexpr int SND_SOUNDTYPE_VIBRATE = 2;
constexpr int SND_SOUNDTYPE_NONE = 3;
struct SNDFILEINFO {
    WCHAR szPathName[260];
    WCHAR szDisplayName[260];
    int sstType;
};
HRESULT SndGetSound(int event, SNDFILEINFO* info);

// -- camera ----------------------------------------------------------------------------------------
struct SHCAMERACAPTURE {
    DWORD cbSize;
    HWND hwndOwner;
    WCHAR szFile[260];
    LPCWSTR pszInitialDir;
    LPCWSTR pszDefaultFileName;
    LPCWSTR pszTitle;
    int StillQuality;
    int VideoTypes;
    DWORD nResolutionWidth;
    DWORD nResolutionHeight;
    DWORD nVideoTimeLimit;
    int Mode;
};
constexpr int CAMERACAPTURE_MODE_STILL = 0;
constexpr int CAMERACAPTURE_STILLQUALITY_DEFAULT = 0;
// The emulated device has no camera: the capture is cancelled (S_FALSE) unless a test set a result.
HRESULT SHCameraCapture(SHCAMERACAPTURE* capture);

// -- Connection Manager ----------------------------------------------------------------------------
constexpr DWORD CONNMGR_STATUS_CONNECTED = 0x10;
constexpr DWORD CONNMGR_STATUS_DISCONNECTED = 0x20;
constexpr DWORD CONNMGR_PARAM_GUIDDESTNET = 0x1;
constexpr DWORD CONNMGR_PRIORITY_USERINTERACTIVE = 0x08000;
extern const GUID IID_DestNetInternet; // {436EF144-B4FB-4863-A041-8F905A62C572}

struct CONNMGR_CONNECTIONINFO {
    DWORD cbSize;
    DWORD dwParams;
    DWORD dwFlags;
    DWORD dwPriority;
    BOOL bExclusive;
    BOOL bDisabled;
    GUID guidDestNet;
    HWND hWnd;
    UINT uMsg;
    LPARAM lParam;
    ULONG ulMaxCost;
    ULONG ulMinRcvBw;
    ULONG ulMaxConnLatency;
};

// An IPv4 address in network byte order.
struct IN_ADDR {
    uint32_t s_addr;
};
struct CONNMGR_CONNECTION_IPADDR {
    DWORD cIPAddr;
    IN_ADDR IPAddr[1];
};
struct CONNMGR_CONNECTION_DETAILED_STATUS {
    CONNMGR_CONNECTION_DETAILED_STATUS* pNext;
    DWORD dwStatus;
    CONNMGR_CONNECTION_IPADDR* pIPAddr; // null when the connection has no address
};

// Connected when the machine has an interface up with an IPv4 address other than loopback. The
// handle is given even when the answer is not connected.
HRESULT ConnMgrEstablishConnectionSync(CONNMGR_CONNECTIONINFO* info, HANDLE* connection, DWORD timeoutMs,
                                       DWORD* status);
HRESULT ConnMgrConnectionStatus(HANDLE connection, DWORD* status);
HRESULT ConnMgrReleaseConnection(HANDLE connection, LONG cache);
// The records of every connection, in a buffer of `*size` bytes; E_OUTOFMEMORY-style
// HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) with the size needed when it is too small.
HRESULT ConnMgrQueryDetailedStatus(CONNMGR_CONNECTION_DETAILED_STATUS* records, DWORD* size);
// Dotted text of an address, in a buffer that the next call overwrites.
char* inet_ntoa(IN_ADDR address);

namespace platform::shell {

// What the program did to the device, in order: "vibrator on", "vibrator off", "power 0x10000".
const std::vector<std::string>& DeviceEvents();

// The device's signals, shown in the task bar left of the tray as the handset would give them: the
// notification LED (0 off, 1 on, 2 blinking) and the vibrator running.
struct DeviceSignals {
    int led = 0;
    bool vibrating = false;
};
DeviceSignals GetDeviceSignals();
class ChromePainter;
// Their place in the task bar, from `right` leftwards; answers its left edge.
int DeviceSignalsLeft(int right);
void PaintDeviceSignals(ChromePainter& paint, int right);
// Whether a power state switched the display off.
bool IsDisplayOff();
void ResetDeviceServices();

// Tests: the machine's network as the Connection Manager sees it (addresses in dotted text; none
// means not connected), instead of the interfaces the machine has.
void SetNetworkForTesting(const std::vector<std::string>* addresses);
// Tests: the event sound type SndGetSound answers (SND_SOUNDTYPE_...).
void SetEventSoundType(int type);
// Tests: the camera's answer (S_OK: a picture was taken).
void SetCameraResult(HRESULT result);
int ConnectionCount(); // connections held

} // namespace platform::shell
