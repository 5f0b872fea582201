#pragma once
// The HTML control: a child window class that shows an HTML page (HtmlView) fed to it as text or
// named by a box:// URI or a file of the resources folder. It tells its own window procedure (and
// through it its parent) of followed links, ready states and keys by WM_NOTIFY, so a box that
// subclasses the control hears them; a followed link never navigates by itself.
#include <string>

#include "platform/shell/notification.h"
#include "platform/types.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"

inline constexpr const WCHAR* kHTMLControlClass = u"DISPLAYCLASS";

// Registers the class for `instance`; TRUE when it is (or already was) registered.
BOOL InitHTMLControl(HINSTANCE instance);

// Messages (wParam 0 unless said).
constexpr UINT DTM_ADDTEXTW = WM_USER + 102;     // lParam: text to append to the source
constexpr UINT DTM_ENDOFSOURCE = WM_USER + 104;  // the source is complete: parse and show it
constexpr UINT DTM_CLEAR = WM_USER + 113;        // drops the page and any source received
constexpr UINT DTM_ENABLESHRINK = WM_USER + 115; // lParam nonzero: images wider than the control shrink to fit
constexpr UINT DTM_NAVIGATE = WM_USER + 120;     // lParam: URL; box:// and resources files load
constexpr UINT DTM_STOP = WM_USER + 125;         // abandons source received but not yet ended

// Notification codes (WM_NOTIFY, sent to the control's own window first).
constexpr UINT NM_HOTSPOT = WM_USER + 101;         // NMHTMLLINK: a link was followed
constexpr UINT NM_HTMLLOADING = WM_USER + 109;     // NMHDR: a page is on its way
constexpr UINT NM_HTMLLOADED = WM_USER + 110;      // NMHDR: the source is parsed
constexpr UINT NM_HTMLINTERACTIVE = WM_USER + 111; // NMHDR: laid out and shown
constexpr UINT NM_HTMLKEYDOWN = UINT(-15);         // NMHTMLKEY: a key went down in the control

struct NMHTMLLINK {
    NMHDR hdr;
    const char* target; // the link's href as written, UTF-8
};

struct NMHTMLKEY {
    NMHDR hdr;
    UINT keyCode;
};
