#pragma once
// Shell notifications: a program adds a notification under its class id and a number, and the
// shell shows it as a bubble above the menu-bar strip: an icon and a title in the bubble's title
// bar (text after a tab stands at the right, before the spinners that page through the program's
// queue), the body, and two soft keys. A soft key tapped (or pressed) posts WM_COMMAND with its command to the
// sink window; a spinner sends it WM_NOTIFY with SHNN_NAVPREV or SHNN_NAVNEXT. The bubble hides
// after the notification's duration; the notification itself stays until it is removed. Each
// notification shown is also written to the debug output. The body is laid out as HTML, as the
// HTML control lays pages out; the debug output gets it as plain text: tags are dropped, line and
// paragraph breaks kept and the common entities decoded.
#include <string>

#include "platform/com/guid.h"
#include "platform/types.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"

enum SHNP { SHNP_ICONIC = 0, SHNP_INFORM = 0x1B1 };

constexpr DWORD SHNF_STRAIGHTTOTRAY = 0x0001;
constexpr DWORD SHNF_CRITICAL = 0x0002;
constexpr DWORD SHNF_FORCEMESSAGE = 0x0008;
constexpr DWORD SHNF_DISPLAYON = 0x0010;
constexpr DWORD SHNF_SILENT = 0x0020;
constexpr DWORD SHNF_HASMENU = 0x0040;
constexpr DWORD SHNF_TITLETIME = 0x0080;
constexpr DWORD SHNF_SPINNERS = 0x0100;
constexpr DWORD SHNF_ALERTONUPDATE = 0x0200;

constexpr DWORD SHNUM_PRIORITY = 0x0001;
constexpr DWORD SHNUM_DURATION = 0x0002;
constexpr DWORD SHNUM_ICON = 0x0004;
constexpr DWORD SHNUM_HTML = 0x0008;
constexpr DWORD SHNUM_TITLE = 0x0010;
constexpr DWORD SHNUM_SOFTKEYS = 0x0020;
constexpr DWORD SHNUM_TODAYKEY = 0x0040;
constexpr DWORD SHNUM_TODAYEXEC = 0x0080;
constexpr DWORD SHNUM_SOFTKEYCMDS = 0x0100;
constexpr DWORD SHNUM_FLAGS = 0x0200;

constexpr UINT SHNN_LINKSEL = UINT(-1000);
constexpr UINT SHNN_DISMISS = UINT(-1001);
constexpr UINT SHNN_SHOW = UINT(-1002);
constexpr UINT SHNN_NAVPREV = UINT(-1003);
constexpr UINT SHNN_NAVNEXT = UINT(-1004);
constexpr UINT SHNN_ACTIVATE = UINT(-1005);

constexpr LONG ERROR_NO_MATCH = 1169;

struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};

// lParam of WM_NOTIFY from the shell's bubble.
struct NMSHN {
    NMHDR hdr;
    LPARAM lParam;
    DWORD dwReturn;
};

struct SOFTKEYCMD {
    WPARAM wpCmd;
    DWORD grfFlags;
};

struct SOFTKEYNOTIFY {
    LPCWSTR pszTitle;
    SOFTKEYCMD skc;
};

constexpr int NOTIF_NUM_SOFTKEYS = 2;

// Texts that SHNotificationGetData fills in point into the shell's copy of the notification and
// stay valid until that notification next changes.
struct SHNOTIFICATIONDATA {
    DWORD cbStruct;
    DWORD dwID;
    SHNP npPriority;
    DWORD csDuration;
    HICON hicon;
    DWORD grfFlags;
    CLSID clsid;
    HWND hwndSink;
    LPCWSTR pszHTML;
    LPCWSTR pszTitle;
    LPARAM lParam;
    SOFTKEYNOTIFY rgskn[NOTIF_NUM_SOFTKEYS];
    LPCWSTR pszTodaySK;
    LPCWSTR pszTodayExec;
};

// Answer ERROR_SUCCESS, or ERROR_NO_MATCH when there is no notification of that class id and number.
LONG SHNotificationAdd(SHNOTIFICATIONDATA* data);
LONG SHNotificationUpdate(DWORD updateMask, SHNOTIFICATIONDATA* data);
LONG SHNotificationRemove(const CLSID* clsid, DWORD id);
LONG SHNotificationGetData(const CLSID* clsid, DWORD id, SHNOTIFICATIONDATA* data);

namespace platform::shell {
enum class BubblePart { kWhole, kTitle, kBody, kPrevious, kNext, kSoftKey1, kSoftKey2 };
// The bubble's parts on the screen; empty when no bubble shows (spinners only with SHNF_SPINNERS).
RECT GetBubblePart(BubblePart part);
// The bubble window, or null when none shows.
HWND GetBubbleWindow();
// While a bubble shows, the soft keys are its own: the message soft key `which` (0 or 1) sends.
bool BubbleSoftKeyMessage(int which, MSG* out);
// The body as the bubble shows it.
std::u16string PlainTextFromHtml(const WCHAR* html);
// Forgets every notification and the bubble (tests, and the shell going).
void ResetNotifications();
} // namespace platform::shell
