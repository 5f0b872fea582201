#include "platform/shell/tray.h"

#include <vector>

#include "platform/shell/shell_chrome.h"
#include "platform/shell/task_bar.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/resources.h"

namespace {

std::vector<platform::shell::TrayIcon> icons;

int Find(HWND hwnd, UINT id) {
    for (size_t i = 0; i < icons.size(); ++i)
        if (icons[i].hwnd == hwnd && icons[i].id == id) return int(i);
    return -1;
}

// Each icon has a square of the bar's height.
int Slot() {
    return platform::shell::BarHeight();
}

} // namespace

BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data) {
    if (!data) return FALSE;
    const int at = Find(data->hWnd, data->uID);
    switch (message) {
    case NIM_ADD:
        if (at >= 0) return FALSE;
        icons.push_back({data->hWnd, data->uID, (data->uFlags & NIF_MESSAGE) ? data->uCallbackMessage : 0,
                         (data->uFlags & NIF_ICON) ? data->hIcon : nullptr});
        break;
    case NIM_MODIFY:
        if (at < 0) return FALSE;
        if (data->uFlags & NIF_MESSAGE) icons[size_t(at)].callback = data->uCallbackMessage;
        if (data->uFlags & NIF_ICON) icons[size_t(at)].icon = data->hIcon;
        break;
    case NIM_DELETE:
        if (at < 0) return FALSE;
        icons.erase(icons.begin() + at);
        break;
    default:
        return FALSE;
    }
    platform::shell::OnTrayChanged();
    return TRUE;
}

namespace platform::shell {

int GetTrayIconCount() {
    return int(icons.size());
}

TrayIcon GetTrayIcon(int index) {
    return index >= 0 && size_t(index) < icons.size() ? icons[size_t(index)] : TrayIcon{};
}

int TrayLeft(int right) {
    return right - int(icons.size()) * Slot();
}

void PaintTray(ChromePainter& paint, int right) {
    int x = TrayLeft(right);
    for (const TrayIcon& t : icons) {
        resources::IconImage image;
        if (t.icon && resources::GetIconImage(t.icon, &image))
            paint.Image(x + (Slot() - image.size) / 2, (BarHeight() - image.size) / 2, image.size, image.pixels);
        x += Slot();
    }
}

bool TapTray(int x, int right) {
    const int left = TrayLeft(right);
    if (x < left || x >= right) return false;
    const TrayIcon t = icons[size_t((x - left) / Slot())];
    if (t.callback) PostMessageW(t.hwnd, t.callback, t.id, WM_LBUTTONUP);
    return true;
}

void ResetTray() {
    icons.clear();
}

} // namespace platform::shell
