#include "app/notifier.h"

#include <new>

#include "app/program_resources.h"
#include "app/win_main.h"
#include "platform/crt/wide.h"
#include "platform/shell/notification.h"
#include "platform/shell/tray.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/resources.h"
#include "platform/win/system_params.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_dictionary.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/scene.h"

using NUBO::TWString;
using NUBO::XObject;

namespace {

// {138CE29D-4663-421D-A3A7-BEFACD2BCCBD}
constexpr CLSID kNotificationClass = {0x138CE29D, 0x4663, 0x421D, {0xA3, 0xA7, 0xBE, 0xFA, 0xCD, 0x2B, 0xCC, 0xBD}};
constexpr DWORD kNotificationId = 100;
constexpr UINT kTrayIconId = 101;
constexpr UINT kTrayCallback = 0x8064;
constexpr UINT kTrayFlags = NIF_MESSAGE | NIF_ICON;
constexpr DWORD kBubbleFlags = SHNF_FORCEMESSAGE | SHNF_DISPLAYON | SHNF_SILENT | SHNF_SPINNERS;
static_assert(kBubbleFlags == 0x138);
constexpr DWORD kUpdateEverything = 0x3FF;
constexpr int kSummaryCount = 10;
constexpr const WCHAR* kListenerClass = u"__Mobile_Tandu_Notification_Listener_Window_.class__";

enum Command : WPARAM {
    kKeepAsRead = 100,
    kMarkAllAsRead = 101,
    kRead = 102,
    kReply = 103,
    kSignIn = 104,
    kReadOne = 105,
};

template <size_t N> void LoadText(UINT id, WCHAR (&buffer)[N]) {
    LoadStringW(GetModuleHandleW(nullptr), id, buffer, int(N));
}

HICON LoadProgramIcon(UINT id) {
    return LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
}

NOTIFYICONDATAW TrayRecord(HWND hwnd, HICON icon) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd;
    data.uID = kTrayIconId;
    data.uFlags = kTrayFlags;
    data.uCallbackMessage = kTrayCallback;
    data.hIcon = icon;
    return data;
}

} // namespace

void XNotifier::ActivateMainWindow() {
    if (HWND main = FindWindowW(nullptr, kMainWindowTitle)) SetForegroundWindow(main);
}

int XNotifier::KindFromName(const WCHAR* name) {
    static const WCHAR* const kinds[] = {u"unknownIM", u"knownIM", u"alert", u"connectionLost"};
    for (int i = 0; name && i < 4; ++i)
        if (wcscmp(name, kinds[i]) == 0) return i + 1;
    return 0;
}

XNotifier* CreateNotifier() {
    app::RegisterProgramResources();
    WCHAR type[128] = {};
    SystemParametersInfoW(SPI_GETPLATFORMTYPE, 128, type, 0);
    if (wcscmp(type, u"SmartPhone") == 0) return new (std::nothrow) XTrayNotifier();
    return new (std::nothrow) XBubbleNotifier();
}

XBubbleNotifier::XBubbleNotifier() {
    SHNotificationRemove(&kNotificationClass, kNotificationId); // left over from an earlier run
    trayIcons_[0] = LoadProgramIcon(130);
    trayIcons_[1] = LoadProgramIcon(131);
    bubbleIcons_[0] = LoadProgramIcon(134);
    bubbleIcons_[1] = LoadProgramIcon(135);
    LoadText(137, readKey_);
    LoadText(136, keepKey_);
    LoadText(140, markAllKey_);
    LoadText(138, replyKey_);
    LoadText(141, sendKey_);
    LoadText(143, signInKey_);
    LoadText(133, oneTitle_);
    LoadText(134, pageTitle_);
    LoadText(135, manyTitle_);
    LoadText(132, lostTitle_);
    LoadText(139, manyBody_);
    LoadText(144, todayKey_);
}

XBubbleNotifier::~XBubbleNotifier() {
    SetStatus(0);
    DismissAll();
    if (listener_) DestroyWindow(listener_);
    listener_ = nullptr;
    WNDCLASSW wc{};
    if (GetClassInfoW(GetModuleHandleW(nullptr), kListenerClass, &wc))
        UnregisterClassW(kListenerClass, GetModuleHandleW(nullptr));
    if (scene_) scene_->Release();
    for (HICON icon : {trayIcons_[0], trayIcons_[1], bubbleIcons_[0], bubbleIcons_[1]})
        if (icon) DestroyIcon(icon);
}

void XBubbleNotifier::Add(Scene* scene, const WCHAR* message, const WCHAR* buddyId, int32_t duration,
                          const WCHAR* kindName) {
    if (scene) {
        scene->AddRef();
        if (scene_) scene_->Release();
        scene_ = scene;
    }
    if (!message) return;
    auto* item = new (std::nothrow) Item{duration, KindFromName(kindName), TWString(message), TWString(buddyId)};
    if (!item) return;
    if (!items_.PushBack(item)) {
        delete item;
        return;
    }
    current_ = int(items_.size()) - 1;
    Show();
}

void XBubbleNotifier::DismissAll() {
    for (Item* item : items_)
        delete item;
    items_.Clear();
    current_ = 0;
    Show();
}

void XBubbleNotifier::SetStatus(int32_t status) {
    status_ = status;
    if (listener_) {
        NOTIFYICONDATAW data = TrayRecord(listener_, nullptr);
        Shell_NotifyIconW(NIM_DELETE, &data);
    }
    if (!EnsureListenerWindow()) return;
    if (status == 1 || status == 2) {
        NOTIFYICONDATAW data = TrayRecord(listener_, trayIcons_[status - 1]);
        Shell_NotifyIconW(NIM_ADD, &data);
    }
}

XBubbleNotifier::Item* XBubbleNotifier::CurrentItem() const {
    return current_ >= 0 && size_t(current_) < items_.size() ? items_[size_t(current_)] : nullptr;
}

void XBubbleNotifier::Show() {
    if (items_.empty()) {
        SHNotificationRemove(&kNotificationClass, kNotificationId);
        return;
    }
    Item* item = CurrentItem();
    if (!item || !EnsureListenerWindow()) return;
    SHNOTIFICATIONDATA data{};
    data.cbStruct = sizeof(data);
    SHNotificationGetData(&kNotificationClass, kNotificationId, &data);
    data.dwID = kNotificationId;
    data.npPriority = SHNP_INFORM;
    data.csDuration = DWORD(item->duration);
    if (status_ == 1 || status_ == 2) data.hicon = bubbleIcons_[status_ - 1];
    data.grfFlags = kBubbleFlags;
    data.clsid = kNotificationClass;
    data.hwndSink = listener_;
    data.lParam = 0;
    data.pszTodaySK = todayKey_;
    const int count = int(items_.size());
    WCHAR title[256], body[512];
    if (count < kSummaryCount) {
        if (item->kind == 4) {
            data.pszTitle = lostTitle_;
        } else if (count == 1) {
            data.pszTitle = oneTitle_;
        } else {
            swprintf(title, 256, pageTitle_, current_ + 1, count);
            data.pszTitle = title;
        }
        data.pszHTML = item->message.GetString();
        // The first soft key by the item's kind, 0 to 4.
        const struct {
            const WCHAR* text;
            WPARAM command;
        } first[] = {
            {readKey_, kRead}, {readKey_, kReadOne}, {replyKey_, kReply}, {sendKey_, kReply}, {signInKey_, kSignIn}};
        const auto& key = first[item->kind >= 0 && item->kind <= 4 ? item->kind : 0];
        data.rgskn[0] = {key.text, {key.command, data.rgskn[0].skc.grfFlags}};
        data.rgskn[1] = {keepKey_, {kKeepAsRead, data.rgskn[1].skc.grfFlags}};
    } else {
        swprintf(title, 256, manyTitle_, count);
        swprintf(body, 512, manyBody_, count);
        data.pszTitle = title;
        data.pszHTML = body;
        data.rgskn[0] = {readKey_, {kRead, data.rgskn[0].skc.grfFlags}};
        data.rgskn[1] = {markAllKey_, {kMarkAllAsRead, data.rgskn[1].skc.grfFlags}};
    }
    if (SHNotificationUpdate(kUpdateEverything, &data) == ERROR_NO_MATCH) SHNotificationAdd(&data);
}

bool XBubbleNotifier::RemoveCurrent() {
    if (items_.empty()) return false;
    if (Item* item = CurrentItem()) {
        delete item;
        items_.Erase(size_t(current_));
    }
    const int last = int(items_.size()) - 1;
    if (current_ >= last) current_ = last < 0 ? 0 : last;
    Show();
    return true;
}

bool XBubbleNotifier::EnsureListenerWindow() {
    if (listener_) return true;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    if (!GetClassInfoW(instance, kListenerClass, &wc)) {
        wc.style = CS_GLOBALCLASS;
        wc.lpfnWndProc = ListenerProc;
        wc.hInstance = instance;
        wc.lpszClassName = kListenerClass;
        if (!RegisterClassW(&wc)) return false;
    }
    listener_ =
        CreateWindowExW(WS_EX_NOACTIVATE, kListenerClass, u"", 0, 0, 0, 50, 50, nullptr, nullptr, instance, nullptr);
    if (!listener_) return false;
    SetWindowLongPtrW(listener_, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

void XBubbleNotifier::SendToScene(const WCHAR* name, XObject* value) {
    if (oxScene* scene = scene_ ? scene_->GetScene() : nullptr) (void)scene->SendMessage(name, value);
}

LRESULT XBubbleNotifier::OnCommand(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (wParam) {
    case kKeepAsRead:
        RemoveCurrent();
        return 1;
    case kMarkAllAsRead:
        DismissAll();
        break;
    case kRead:
        ActivateMainWindow();
        break;
    case kReply:
    case kReadOne:
        if (Item* item = CurrentItem(); item && scene_) {
            XObject* made = nullptr;
            if (NUBO::CreateXDictionary(&made) == 0) {
                NUBO::RefPtr<XObject> values(made);
                NUBO::XVariant id(item->buddyId);
                static_cast<NUBO::XDictionary*>(made)->SetValueForKey(&id, u"buddyId");
                SendToScene(u"viewBuddyConversation", made);
            }
        }
        ActivateMainWindow();
        break;
    case kSignIn:
        if (scene_) SendToScene(u"signIn", nullptr);
        ActivateMainWindow();
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT XBubbleNotifier::OnNotify(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header) return DefWindowProcW(hwnd, message, wParam, lParam);
    const int count = int(items_.size());
    switch (header->code) {
    case SHNN_ACTIVATE:
        if (RemoveCurrent()) return 1;
        break;
    case SHNN_NAVNEXT:
        if (++current_ >= count) {
            current_ = count - 1;
            return 0;
        }
        Show();
        return 0;
    case SHNN_NAVPREV:
        if (--current_ < 0) {
            current_ = 0;
            return 0;
        }
        Show();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT XBubbleNotifier::ListenerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<XBubbleNotifier*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_COMMAND:
        return self->OnCommand(hwnd, message, wParam, lParam);
    case kTrayCallback:
        ActivateMainWindow();
        break;
    case WM_NOTIFY:
        return self->OnNotify(hwnd, message, wParam, lParam);
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

XTrayNotifier::~XTrayNotifier() {
    NOTIFYICONDATAW data = TrayRecord(GetDesktopWindow(), nullptr);
    Shell_NotifyIconW(NIM_DELETE, &data);
    if (icon_) DestroyIcon(icon_);
    if (scene_) scene_->Release();
}

void XTrayNotifier::Add(Scene*, const WCHAR*, const WCHAR*, int32_t, const WCHAR*) {
    if (!icon_)
        icon_ = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(135), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    NOTIFYICONDATAW data = TrayRecord(GetDesktopWindow(), icon_);
    if (!Shell_NotifyIconW(NIM_MODIFY, &data)) Shell_NotifyIconW(NIM_ADD, &data);
}

void XTrayNotifier::DismissAll() {
    NOTIFYICONDATAW data = TrayRecord(GetDesktopWindow(), nullptr);
    Shell_NotifyIconW(NIM_DELETE, &data);
}
