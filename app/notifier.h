#pragma once
// The notifier behind app.newNotification, app.appIcon and app.dismissNotifications. On a Pocket
// PC it queues notifications and shows the current one as the shell's bubble, whose soft keys and
// spinners come back to a hidden listener window: it removes and pages through notifications,
// brings the program forward and sends the scene that asked "viewBuddyConversation" or "signIn".
// On a Smartphone it only shows and removes one tray icon.
#include <cstdint>

#include "platform/types.h"
#include "platform/win/window.h"
#include "runtime/ptr_vector.h"
#include "runtime/wide_string.h"

class Scene;
namespace NUBO {
class XObject;
}

class XNotifier {
public:
    virtual ~XNotifier() = default;
    // Keeps `scene` (when given) as the receiver of the soft keys' messages and queues `message`.
    virtual void Add(Scene* scene, const WCHAR* message, const WCHAR* buddyId, int32_t duration,
                     const WCHAR* kindName) = 0;
    virtual void DismissAll() = 0;
    // 0 no tray icon, 1 and 2 the two status icons.
    virtual void SetStatus(int32_t status) = 0;

    // Brings the window titled "Tandu" to the front.
    static void ActivateMainWindow();
    // "unknownIM" 1, "knownIM" 2, "alert" 3, "connectionLost" 4, anything else 0.
    static int KindFromName(const WCHAR* name);
};

// The bubble notifier on a Pocket PC, the tray notifier on a Smartphone; null when memory is short.
XNotifier* CreateNotifier();

class XBubbleNotifier : public XNotifier {
public:
    XBubbleNotifier();
    ~XBubbleNotifier() override;

    void Add(Scene* scene, const WCHAR* message, const WCHAR* buddyId, int32_t duration,
             const WCHAR* kindName) override;
    void DismissAll() override;
    void SetStatus(int32_t status) override;

    // For tests and the listener window.
    int GetCount() const { return int(items_.size()); }
    int GetCurrent() const { return current_; }
    HWND GetListenerWindow() const { return listener_; }

private:
    struct Item {
        int32_t duration;
        int kind;
        NUBO::TWString message;
        NUBO::TWString buddyId;
    };

    static LRESULT ListenerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCommand(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnNotify(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Show();
    bool RemoveCurrent();
    bool EnsureListenerWindow();
    Item* CurrentItem() const;
    void SendToScene(const WCHAR* name, NUBO::XObject* value);

    Scene* scene_ = nullptr; // one reference
    HWND listener_ = nullptr;
    HICON trayIcons_[2] = {};
    HICON bubbleIcons_[2] = {};
    int32_t status_ = 0;
    NUBO::PtrVector<Item*> items_; // owned
    int current_ = 0;
    WCHAR readKey_[128], keepKey_[128], markAllKey_[128], replyKey_[128], sendKey_[128], signInKey_[128];
    WCHAR oneTitle_[256], pageTitle_[256], manyTitle_[256], lostTitle_[256], manyBody_[512], todayKey_[128];
};

class XTrayNotifier : public XNotifier {
public:
    ~XTrayNotifier() override;
    void Add(Scene*, const WCHAR*, const WCHAR*, int32_t, const WCHAR*) override;
    void DismissAll() override;
    void SetStatus(int32_t) override {}

private:
    Scene* scene_ = nullptr; // never set; released all the same
    HICON icon_ = nullptr;
};
