#include "platform/shell/device_services.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <strings.h>

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include "platform/shell/shell_chrome.h"
#include "platform/shell/task_bar.h"
#include "platform/win/debug_output.h"
#include "platform/win/last_error.h"
#include "platform/win/messages.h"

const GUID IID_DestNetInternet = {0x436EF144, 0xB4FB, 0x4863, {0xA0, 0x41, 0x8F, 0x90, 0x5A, 0x62, 0xC5, 0x72}};

namespace {

constexpr UINT kLedCount = 2;
constexpr UINT kVibrator = 1;

std::vector<std::string> g_events;
platform::shell::DeviceSignals g_signals;
bool g_networkOverridden = false;
std::vector<std::string> g_testNetwork;
int g_eventSoundType = SND_SOUNDTYPE_FILE;
HRESULT g_cameraResult = S_FALSE;
std::set<HANDLE> g_connections;
uintptr_t g_nextConnection = 0x100;

// The display switched off by a power state: a black cover over the whole screen, above the
// shell's own bars, until the power comes on again or a tap wakes the device.
constexpr WCHAR kDisplayOffClass[] = u"TanduDisplayOff";
HWND g_displayOff = nullptr;

void DisplayOn() {
    HWND cover = g_displayOff;
    g_displayOff = nullptr;
    if (cover && IsWindow(cover)) DestroyWindow(cover);
}

LRESULT DisplayOffProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        platform::shell::ChromePainter paint(hwnd);
        RECT r{};
        GetClientRect(hwnd, &r);
        paint.Fill(r, RGB(0, 0, 0));
        return 0;
    }
    case WM_LBUTTONDOWN:
        DisplayOn(); // the device wakes
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void DisplayOff() {
    if (g_displayOff && IsWindow(g_displayOff)) return;
    if (!platform::shell::RegisterChromeClass(kDisplayOffClass, DisplayOffProc)) return;
    const RECT screen{0, 0, platform::shell::ScreenWidth(), platform::shell::ScreenHeight()};
    g_displayOff = platform::shell::CreateChromeWindow(kDisplayOffClass, screen, nullptr, true);
}

bool IsSmartphone() {
    const char* device = std::getenv("TANDU_DEVICE");
    return device && strcasecmp(device, "smartphone") == 0;
}

void Note(const std::string& event) {
    g_events.push_back(event);
    const std::string line = "device: " + event + "\n";
    OutputDebugStringW(std::u16string(line.begin(), line.end()).c_str()); // the events are ASCII
}

bool ParseDotted(const std::string& text, uint32_t* hostOrder) {
    unsigned a, b, c, d;
    char tail;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 || b > 255 || c > 255 ||
        d > 255)
        return false;
    *hostOrder = (a << 24) | (b << 16) | (c << 8) | d;
    return true;
}

// The machine's addresses in network byte order: its IPv4 interfaces that are up, loopback aside.
std::vector<uint32_t> NetworkAddresses() {
    std::vector<uint32_t> found;
    if (g_networkOverridden) {
        for (const std::string& text : g_testNetwork) {
            uint32_t host = 0;
            if (ParseDotted(text, &host)) found.push_back(htonl(host));
        }
        return found;
    }
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return found;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
        if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK)) continue;
        found.push_back(reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
    }
    freeifaddrs(list);
    return found;
}

} // namespace

DWORD GetKeyboardStatus() {
    return IsSmartphone() ? KBDI_KEYBOARD_PRESENT | KBDI_KEYBOARD_ENABLED | KBDI_KEYBOARD_ENTER_ESC : 0;
}

BOOL NLedGetDeviceInfo(UINT id, void* info) {
    if (!info) return FALSE;
    if (id == NLED_COUNT_INFO_ID) {
        static_cast<NLED_COUNT_INFO*>(info)->cLeds = kLedCount;
        return TRUE;
    }
    if (id == NLED_SUPPORTS_INFO_ID) {
        auto* supports = static_cast<NLED_SUPPORTS_INFO*>(info);
        if (supports->LedNum >= kLedCount) return FALSE;
        const bool vibrator = supports->LedNum == kVibrator;
        supports->lCycleAdjust = vibrator ? -1 : 1000;
        supports->fAdjustTotalCycleTime = supports->fAdjustOnTime = supports->fAdjustOffTime = vibrator ? FALSE : TRUE;
        supports->fMetaCycleOn = supports->fMetaCycleOff = FALSE;
        return TRUE;
    }
    return FALSE;
}

BOOL NLedSetDevice(UINT id, void* info) {
    if (id != NLED_SETTINGS_INFO_ID || !info) return FALSE;
    const auto* settings = static_cast<const NLED_SETTINGS_INFO*>(info);
    if (settings->LedNum >= kLedCount || settings->OffOnBlink < 0 || settings->OffOnBlink > 2) return FALSE;
    const char* state = settings->OffOnBlink == 0 ? "off" : settings->OffOnBlink == 1 ? "on" : "blink";
    Note(std::string(settings->LedNum == kVibrator ? "vibrator " : "led ") + state);
    if (settings->LedNum == kVibrator)
        g_signals.vibrating = settings->OffOnBlink != 0;
    else
        g_signals.led = settings->OffOnBlink;
    platform::shell::OnTrayChanged();
    return TRUE;
}

DWORD SetSystemPowerState(LPCWSTR, DWORD state, DWORD) {
    char text[32];
    std::snprintf(text, sizeof text, "power 0x%x", unsigned(state));
    Note(text);
    if (state == POWER_STATE_OFF || state == POWER_STATE_SUSPEND) DisplayOff();
    if (state == POWER_STATE_ON) DisplayOn();
    return 0;
}

HRESULT SndGetSound(int event, SNDFILEINFO* info) {
    if (!info || event != SND_EVENT_ALL) return E_INVALIDARG;
    std::memset(info, 0, sizeof *info);
    info->sstType = g_eventSoundType;
    return S_OK;
}

HRESULT SHCameraCapture(SHCAMERACAPTURE* capture) {
    if (!capture) return E_INVALIDARG;
    Note("camera");
    return g_cameraResult;
}

HRESULT ConnMgrEstablishConnectionSync(CONNMGR_CONNECTIONINFO* info, HANDLE* connection, DWORD, DWORD* status) {
    if (!info || !connection || !status || info->cbSize < 64) return E_INVALIDARG;
    const bool internet = (info->dwParams & CONNMGR_PARAM_GUIDDESTNET) && info->guidDestNet == IID_DestNetInternet;
    *connection = reinterpret_cast<HANDLE>(g_nextConnection++);
    g_connections.insert(*connection);
    *status = internet && !NetworkAddresses().empty() ? CONNMGR_STATUS_CONNECTED : CONNMGR_STATUS_DISCONNECTED;
    return S_OK;
}

HRESULT ConnMgrConnectionStatus(HANDLE connection, DWORD* status) {
    if (!status || !g_connections.count(connection)) return E_INVALIDARG;
    *status = NetworkAddresses().empty() ? CONNMGR_STATUS_DISCONNECTED : CONNMGR_STATUS_CONNECTED;
    return S_OK;
}

HRESULT ConnMgrReleaseConnection(HANDLE connection, LONG) {
    return g_connections.erase(connection) ? S_OK : E_INVALIDARG;
}

HRESULT ConnMgrQueryDetailedStatus(CONNMGR_CONNECTION_DETAILED_STATUS* records, DWORD* size) {
    if (!size) return E_INVALIDARG;
    const std::vector<uint32_t> addresses = NetworkAddresses();
    // One record: the Internet connection, with its addresses when connected.
    const size_t count = addresses.empty() ? 1 : addresses.size();
    const size_t need =
        sizeof(CONNMGR_CONNECTION_DETAILED_STATUS) + sizeof(CONNMGR_CONNECTION_IPADDR) + (count - 1) * sizeof(IN_ADDR);
    if (!records || *size < need) {
        *size = static_cast<DWORD>(need);
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memset(records, 0, need);
    records->dwStatus = addresses.empty() ? CONNMGR_STATUS_DISCONNECTED : CONNMGR_STATUS_CONNECTED;
    if (!addresses.empty()) {
        auto* list = reinterpret_cast<CONNMGR_CONNECTION_IPADDR*>(records + 1);
        list->cIPAddr = static_cast<DWORD>(addresses.size());
        for (size_t i = 0; i < addresses.size(); i++)
            list->IPAddr[i].s_addr = addresses[i];
        records->pIPAddr = list;
    }
    return S_OK;
}

char* inet_ntoa(IN_ADDR address) {
    static char text[16];
    const uint32_t host = ntohl(address.s_addr);
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", host >> 24, (host >> 16) & 255, (host >> 8) & 255, host & 255);
    return text;
}

namespace platform::shell {

const std::vector<std::string>& DeviceEvents() {
    return g_events;
}

bool IsDisplayOff() {
    return g_displayOff != nullptr;
}

void ResetDeviceServices() {
    DisplayOn();
    g_events.clear();
    g_signals = DeviceSignals{};
    g_networkOverridden = false;
    g_testNetwork.clear();
    g_eventSoundType = SND_SOUNDTYPE_FILE;
    g_cameraResult = S_FALSE;
    g_connections.clear();
}

DeviceSignals GetDeviceSignals() {
    return g_signals;
}

int DeviceSignalsLeft(int right) {
    return right - (int(g_signals.led != 0) + int(g_signals.vibrating)) * BarHeight();
}

void PaintDeviceSignals(ChromePainter& paint, int right) {
    const int slot = BarHeight();
    int x = DeviceSignalsLeft(right);
    if (g_signals.vibrating) {
        // The handset outline with buzz marks on both sides.
        const int w = slot * 3 / 10, h = slot * 6 / 10, left = x + (slot - w) / 2, top = (slot - h) / 2;
        paint.Outline(RECT{left, top, left + w, top + h}, kChromeTextColour);
        paint.Fill(RECT{left + w / 2 - 1, top + h - 4, left + w / 2 + 1, top + h - 2}, kChromeTextColour);
        for (int side = 0; side < 2; ++side) {
            for (int mark = 0; mark < 2; ++mark) {
                const int gap = 3 + mark * 3, length = h * (2 - mark) / 4;
                const int mx = side ? left + w + gap - 1 : left - gap;
                paint.Fill(RECT{mx, (slot - length) / 2, mx + 1, (slot + length) / 2}, kChromeTextColour);
            }
        }
        x += slot;
    }
    if (g_signals.led != 0) {
        // The lamp: lit through while on, a lit ring while it blinks.
        constexpr uint32_t kLit = 0xFF3CE05Au; // opaque, as the icon pixels are given
        const int d = slot / 2 | 1;
        std::vector<uint32_t> lamp(size_t(d) * size_t(d), 0);
        const double r = d / 2.0;
        for (int row = 0; row < d; ++row) {
            for (int col = 0; col < d; ++col) {
                const double dx = col + 0.5 - r, dy = row + 0.5 - r, dist2 = dx * dx + dy * dy;
                const bool inside = dist2 <= r * r && (g_signals.led == 1 || dist2 >= (r - 2) * (r - 2));
                if (inside) lamp[size_t(row) * size_t(d) + size_t(col)] = kLit;
            }
        }
        paint.Image(x + (slot - d) / 2, (slot - d) / 2, d, lamp.data());
    }
}

void SetNetworkForTesting(const std::vector<std::string>* addresses) {
    g_networkOverridden = addresses != nullptr;
    g_testNetwork = addresses ? *addresses : std::vector<std::string>();
}

void SetEventSoundType(int type) {
    g_eventSoundType = type;
}

void SetCameraResult(HRESULT result) {
    g_cameraResult = result;
}

int ConnectionCount() {
    return static_cast<int>(g_connections.size());
}

} // namespace platform::shell
