#include "toolkit/widgets/top_level_frame.h"

#include <algorithm>
#include <vector>

#include "platform/shell/input_panel.h"
#include "platform/shell/menu_bar.h"
#include "platform/shell/task_bar.h"
#include "platform/win/input.h"
#include "platform/win/menu.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/sync.h"
#include "platform/win/system_params.h"
#include "platform/win/window_paint.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/widgets/frame_input.h"
#include "toolkit/widgets/frame_site.h"
#include "toolkit/widgets/menu_box.h"
#include "toolkit/widgets/popup_box.h"
#include "toolkit/widgets/scene_frame.h"

namespace {

constexpr DWORD kTopLevelStyle = 0x10000 | WS_CLIPCHILDREN;
constexpr DWORD kTopLevelExStyle = 0x80000000;
constexpr UINT kSoftKey1 = 10001, kSoftKey2 = 10002;
constexpr UINT kBackOverride = 0x30003;

RECT WorkArea() {
    RECT r{0, 0, 0, 0};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

void Notify(oxBox* box, oxAtom type) {
    oxFrameSite* site = GetFrameSite(box);
    if (!site || !box) return;
    oxNotificationEvent event(type, box);
    site->DispatchEvent(&event);
}

// Every window frame that exists, for the snap groups: windows snap to the other windows of the
// program's open scenes.
std::vector<oxWindowFrame*>& WindowFrames() {
    static std::vector<oxWindowFrame*> frames;
    return frames;
}

// Overlapping or sharing an edge.
bool Touch(const oxRect& a, const oxRect& b) {
    return a.x <= b.Right() && b.x <= a.Right() && a.y <= b.Bottom() && b.y <= a.Bottom();
}

} // namespace

const oxRect& oxWindowBoxInfo::GetSnapToOffset() const {
    static const oxRect none;
    return none;
}

oxWindowFrame::oxWindowFrame(oxBox* owner) : oxFrame(owner), dockAffinity_(kAtomDesktop) {
    WindowFrames().push_back(this);
}

oxWindowFrame::~oxWindowFrame() {
    auto& frames = WindowFrames();
    frames.erase(std::remove(frames.begin(), frames.end(), this), frames.end());
    for (oxWindowFrame* f : frames)
        if (f->snapAnchor_ == this) f->snapAnchor_ = nullptr;
    if (alive_) *alive_ = false;
    if (focusAtDeactivation_) focusAtDeactivation_->Release();
    if (window_) {
        HWND w = window_;
        OnWindowDestroyed();
        DestroyWindow(w);
    }
    if (softKeyMenu_) DestroyMenu(softKeyMenu_);
}

oxWindowBoxInfo* oxWindowFrame::Info() const {
    return dynamic_cast<oxWindowBoxInfo*>(owner_);
}

oxWindowScene* oxWindowFrame::WindowScene() const {
    oxBoxScene* scene = owner_ ? owner_->GetScene() : nullptr;
    if (!scene) return nullptr;
    if (auto* own = dynamic_cast<oxWindowScene*>(scene)) return own;
    return oxSceneFrame::Of(scene);
}

void oxWindowFrame::Create(bool hidden) {
    if (window_ || !owner_) return;
    savedWorkArea_ = WorkArea();
    oxWindowBoxInfo* info = Info();
    oxWindowScene* scene = WindowScene();
    oxFrameSite* site = Site();
    const WCHAR* title = info ? info->GetTitle() : nullptr;
    const bool chromeless = (info && info->IsChromeless()) || owner_->TestChangeFlags(kChangeTranslucent);
    const oxAtom affinity = info ? info->GetDockAffinity() : 0;
    DWORD style = kTopLevelStyle | (hidden ? 0 : WS_VISIBLE);
    DWORD exStyle = kTopLevelExStyle;
    if (info && info->IsFloating()) exStyle |= WS_EX_TOOLWINDOW;
    if (info && info->IsAlwaysOnTop()) exStyle |= WS_EX_TOPMOST;
    if (IsRightToLeft()) exStyle |= WS_EX_LAYOUTRTL | WS_EX_NOINHERITLAYOUT;
    if (info) info->SetChromeless(chromeless);
    oxWindowFrame* ownerFrame = scene ? scene->GetOwnerWindowFrame() : nullptr;
    HWND ownerWindow = ownerFrame ? ownerFrame->GetWindow() : nullptr;
    const oxRect r = site ? site->GetBoxRect(owner_) : oxRect{};
    window_ = CreateWindowExW(exStyle, kFrameWindowClass, nullptr, style, r.x, r.y, r.width, r.height, ownerWindow,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window_) {
        SetDockAffinity(affinity);
        SetDockSide(info ? info->GetDockSide() : 0);
        return;
    }
    if (chromeless) {
        SetWindowLongW(window_, GWL_STYLE, LONG(style));
        SetWindowRgn(window_, nullptr, TRUE);
    }
    // The device never gives these windows icons of their own.
    SendMessageW(window_, WM_SETICON, 0, 0);
    SendMessageW(window_, WM_SETICON, 1, 0);
    SetDockAffinity(affinity);
    SetDockSide(info ? info->GetDockSide() : 0);
    SetWindowLongPtrW(window_, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetForegroundWindow(window_);
    if (hidden) return;
    positioning_ = true;
    const bool quiet = scene && scene->ShowsWithoutActivation();
    ShowWindow(window_, quiet ? SW_SHOWNA : SW_SHOWNORMAL);
    if (!quiet) SetForegroundWindow(window_);
    positioning_ = false;
    if (!(info && info->RefreshMenu())) {
        // A window without a menu of its own still gets the two (empty) soft keys.
        if (!softKeyMenu_) {
            softKeyMenu_ = CreateMenu();
            AppendMenuW(softKeyMenu_, MF_STRING, kSoftKey1, u"");
            AppendMenuW(softKeyMenu_, MF_STRING, kSoftKey2, u"");
        }
        SetMenuBar(softKeyMenu_);
    }
    if (SipStatus() == SIP_STATUS_AVAILABLE) {
        FitToVisibleArea();
    } else {
        const RECT& w = savedWorkArea_;
        SetWindowPos(window_, nullptr, w.left, w.top, w.right - w.left, w.bottom - w.top, SWP_NOZORDER);
    }
    SHDoneButton(window_, SHDB_SHOWCANCEL);
    SetTitle(title);
    SetForegroundWindow(window_);
    UpdateWindow(window_);
    oxInputScene* input = GetInputScene(owner_);
    oxBox* focused = input ? input->GetFocusedBox() : nullptr;
    HWND menuBar = SHFindMenuBar(window_);
    if (focused && menuBar && (focused->GetBoxType() == kAtomInput || focused->GetBoxType() == kAtomNativeText))
        SendMessageW(menuBar, SHCMBM_OVERRIDEKEY, VK_TBACK, kBackOverride);
}

void oxWindowFrame::PositionWindow() {
    if (!window_ || positioning_) return;
    oxFrameSite* site = Site();
    oxRect r = GetBoxRectInFrame();
    if (site && site->IsEmbedded()) r.x = r.y = 0;
    const oxRect w = GetWindowRect(), c = GetClientRect();
    const bool moved = r.x != w.x || r.y != w.y;
    const bool sized = r.width != c.width || r.height != c.height;
    if (moved || sized) {
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (!moved) flags |= SWP_NOMOVE;
        if (!sized) flags |= SWP_NOSIZE;
        positioning_ = true;
        SetWindowPos(window_, nullptr, r.x, r.y, r.width, r.height, flags);
        positioning_ = false;
    }
    windowFlags_ |= kPositioned;
}

void oxWindowFrame::StoreWindowPosition() {
    if (!(windowFlags_ & kPositioned) || !window_ || positioning_ || !owner_) return;
    oxFrameSite* site = Site();
    if (!site) return;
    if (site->IsEmbedded()) {
        POINT origin{0, 0};
        ClientToScreen(window_, &origin);
        const oxPoint now{origin.x, origin.y};
        if (now.x != lastClientOrigin_.x || now.y != lastClientOrigin_.y) {
            lastClientOrigin_ = now;
            Notify(owner_, kAtomMoved);
        }
        return;
    }
    // The window's place relative to the work area, as the box's "left" and "top".
    oxRect r = GetWindowRect();
    const RECT work = WorkArea();
    r.x -= work.left;
    r.y -= work.top;
    const oxPoint nonClient = GetNonClientSize();
    r.width -= nonClient.x;
    r.height -= nonClient.y;
    positioning_ = true;
    site->StoreWindowGeometry(owner_, r, true, false);
    positioning_ = false;
}

void oxWindowFrame::StoreWindowSize() {
    if (windowFlags_ & kPositioned) oxFrame::StoreWindowSize();
}

void oxWindowFrame::Hide() {
    if (owner_ && owner_->GetScene()) oxFrame::Hide();
}

void oxWindowFrame::TrackMouseLeave() {
    oxFrameSite* site = Site();
    if (site && site->IsEmbedded()) StoreWindowPosition();
    oxFrame::TrackMouseLeave();
}

LRESULT oxWindowFrame::HandleMouseMessageTopLevel(oxAtom atom, int32_t button, const oxPoint& point) {
    oxFrameSite* site = Site();
    if (site && site->IsEmbedded()) StoreWindowPosition();
    return oxFrame::HandleMouseMessage(atom, button, point, false);
}

void oxWindowFrame::BringToFront() {
    if (!window_) return;
    SetForegroundWindow(window_);
    SetActiveWindow(window_);
}

void oxWindowFrame::RequestDestroy() {
    oxWindowScene* scene = WindowScene();
    if (scene && scene->IsDispatching()) {
        scene->DeferDestroy();
        return;
    }
    oxFrame::RequestDestroy();
}

void oxWindowFrame::SetFlashing(bool on) {
    windowFlags_ = on ? (windowFlags_ | kFlashing) : (windowFlags_ & ~kFlashing);
    if (!window_) return;
    FLASHWINFO info{sizeof(FLASHWINFO), window_, on ? FLASHW_ALL | FLASHW_TIMER : FLASHW_STOP, 0, 0};
    FlashWindowEx(&info);
}

void oxWindowFrame::SetFullScreen(bool on) {
    if (!window_) return;
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    if (on) {
        SetForegroundWindow(window_);
        SetActiveWindow(window_);
        SHFullScreen(window_, SHFS_HIDESIPBUTTON);
        SHFullScreen(window_, SHFS_HIDETASKBAR);
    } else {
        SHFullScreen(window_, SHFS_SHOWTASKBAR);
        SHFullScreen(window_, SHFS_SHOWSIPBUTTON);
    }
    MoveWindow(window_, 0, 0, w, h, TRUE);
    SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

void oxWindowFrame::SetToolWindow(bool on) {
    if (!window_) return;
    const LONG ex = GetWindowLongW(window_, GWL_EXSTYLE);
    SetWindowLongW(window_, GWL_EXSTYLE, on ? LONG(ex | WS_EX_TOOLWINDOW) : LONG(ex & ~WS_EX_TOOLWINDOW));
    SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void oxWindowFrame::SetResizable(bool on) {
    oxWindowBoxInfo* info = Info();
    if (!window_ || (info && info->IsChromeless())) return;
    const LONG style = GetWindowLongW(window_, GWL_STYLE);
    SetWindowLongW(window_, GWL_STYLE, on ? LONG(style | WS_THICKFRAME) : LONG(style & ~WS_THICKFRAME));
}

void oxWindowFrame::FitToVisibleArea() {
    if (!window_) return;
    SIPINFO info{};
    info.cbSize = sizeof info;
    if (!SHSipInfo(SPI_GETSIPINFO, 0, &info, 0)) return;
    RECT r = info.rcVisibleDesktop;
    HWND menuBar = SHFindMenuBar(window_);
    if (!(info.fdwFlags & SIPF_ON) && menuBar) {
        RECT bar;
        ::GetWindowRect(menuBar, &bar);
        r.bottom -= bar.bottom - bar.top;
    }
    SetWindowPos(window_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void oxWindowFrame::AdjustForWorkArea(int32_t* x, int32_t* y) const {
    const RECT work = WorkArea();
    RECT desktop{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (x) *x += work.left - desktop.left;
    if (y) *y += work.top - desktop.top;
}

void oxWindowFrame::SetDockSide(int32_t side) {
    if (side == dockSide_) return;
    if (dockSide_ == 0 && side != 0)
        windowFlags_ = IsTopmost() ? (windowFlags_ | kHadTopmost) : (windowFlags_ & ~kHadTopmost);
    dockSide_ = side;
    if (oxWindowBoxInfo* info = Info()) info->SetDockSide(side);
}

void oxWindowFrame::SetDockAffinity(oxAtom atom) {
    if (atom) dockAffinity_ = atom;
}

bool oxWindowFrame::SetMenuBar(HMENU menu) {
    if (!window_ || !menu) return false;
    SHMENUBARINFO bar{};
    bar.cbSize = sizeof bar;
    bar.hwndParent = window_;
    bar.dwFlags = SHCMBF_HMENU;
    bar.nToolBarId = reinterpret_cast<UINT_PTR>(menu);
    bar.hInstRes = GetModuleHandleW(nullptr);
    return SHCreateMenuBar(&bar) != FALSE;
}

void oxWindowFrame::SetTitle(const WCHAR* text) {
    if (window_) SetWindowTextW(window_, text ? text : u"");
}

void oxWindowFrame::SetDeferDoubleClick(bool on) {
    windowFlags_ = on ? (windowFlags_ | kDeferDoubleClick) : (windowFlags_ & ~kDeferDoubleClick);
}

void oxWindowFrame::RunModalLoop() {
    bool alive = true;
    alive_ = &alive;
    windowFlags_ |= kModal;
    bool quit = false;
    MSG msg;
    while (alive && (windowFlags_ & kModal)) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            Sleep(50);
            continue;
        }
        if (msg.message == WM_QUIT) {
            // Posted again for the loops outside, not consumed: a program told to end while a dialog
            // was up would otherwise run on with nothing left to end it.
            PostQuitMessage(int(msg.wParam));
            quit = true;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (!alive) return;
    alive_ = nullptr;
    if (!quit) windowFlags_ &= ~kModal;
}

void oxWindowFrame::EndModal() {
    if (!(windowFlags_ & kModal)) return;
    windowFlags_ &= ~kModal;
    // The loop may be asleep: a message wakes it.
    if (window_) PostMessageW(window_, WM_NULL, 0, 0);
}

bool oxWindowFrame::IsPopupFrameOfThisThread(HWND hwnd) const {
    if (!hwnd || GetWindowThreadProcessId(hwnd, nullptr) != GetCurrentThreadId()) return false;
    if (GetWindowLongPtrW(hwnd, GWL_WNDPROC) != reinterpret_cast<LONG_PTR>(FrameWindowProc)) return false;
    auto* frame = reinterpret_cast<oxFrame*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
    return frame && frame->GetFrameType() == kAtomPopup;
}

void oxWindowFrame::Activate(bool on, HWND other) {
    if (IsPopupFrameOfThisThread(other) || !owner_ || !owner_->GetScene()) return;
    oxInputScene* input = GetInputScene(owner_);
    oxWindowScene* scene = WindowScene();
    if (on) {
        if ((windowFlags_ & kPositioned) && SipStatus() == SIP_STATUS_AVAILABLE) FitToVisibleArea();
        owner_->SetActive(true);
        if (input) {
            oxBox* focus = input->GetFocusedBox();
            if (!focus) focus = focusAtDeactivation_;
            if (focus) input->SetFocusedBox(focus);
        }
        if (scene) scene->SetActive(true);
        Notify(owner_, kAtomActivated);
    } else {
        owner_->SetActive(false);
        // The scene's open popups close with its window; another scene's stay.
        if (oxFrameInput* frameInput = input ? input->GetFrameInput() : nullptr) {
            oxBoxScene* own = owner_->GetScene();
            oxPopupBox* tracked = frameInput->GetTrackedPopup();
            if (tracked && tracked->GetScene() == own) frameInput->CloseTrackedPopup();
            oxPopupBox* chain = frameInput->GetPopupChain();
            if (chain && chain->GetOutermostPopup()->GetScene() == own) frameInput->ClosePopups(true);
        }
        if (oxMenuBarBox* bar = FindMenuBarChild(owner_)) bar->SetCurrentItem(-1);
        if (input) {
            oxBox* focused = input->GetFocusedBox();
            if (focused) focused->AddRef();
            if (focusAtDeactivation_) focusAtDeactivation_->Release();
            focusAtDeactivation_ = focused;
            input->SetFocusedBox(nullptr);
        }
        if (scene) scene->SetActive(false);
        Notify(owner_, kAtomDeactivated);
    }
}

void oxWindowFrame::LetGoOfActivation() {
    if (!window_ || GetActiveWindow() != window_ || !owner_ || !owner_->GetScene()) return;
    if (oxInputScene* input = GetInputScene(owner_)) input->SetFocusedBox(nullptr);
}

void oxWindowFrame::ApplyWorkArea() {
    const RECT now = WorkArea();
    const RECT old = savedWorkArea_;
    oxFrameSite* site = Site();
    bool relayout = now.right != old.right || now.bottom != old.bottom;
    if ((now.left != old.left || now.top != old.top) && site && owner_) {
        // The box keeps its place on the screen: its offsets in the work area change.
        oxRect r = GetWindowRect();
        r.x = std::max(0, int(r.x - now.left));
        r.y = std::max(0, int(r.y - now.top));
        if (r.x == 0 || r.y == 0) relayout = true;
        positioning_ = true;
        site->StoreWindowGeometry(owner_, r, true, false);
        positioning_ = false;
    }
    if (relayout)
        if (oxWindowBoxInfo* info = Info()) info->Relayout();
    savedWorkArea_ = now;
}

LRESULT oxWindowFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const bool positioned = (windowFlags_ & kPositioned) != 0;
    switch (message) {
    case WM_DESTROY: {
        LetGoOfActivation();
        oxWindowScene* scene = WindowScene();
        oxWindowFrame* ownerFrame = scene ? scene->GetOwnerWindowFrame() : nullptr;
        if (ownerFrame && ownerFrame->GetWindow() && GetActiveWindow() == window_)
            SetActiveWindow(ownerFrame->GetWindow());
        return oxFrame::HandleMessage(message, wParam, lParam);
    }
    case WM_MOVE: {
        if (!positioned) return 0;
        const LRESULT result = oxFrame::HandleMessage(message, wParam, lParam);
        MoveSnapFollowers();
        return result;
    }
    case WM_SIZE:
        if (!positioned) return 0;
        if (wParam == SIZE_RESTORED && HasSnapClass()) ReleaseSnapGroup(false);
        return oxFrame::HandleMessage(message, wParam, lParam);
    case WM_ACTIVATE: {
        const LRESULT result = DefWindowProcW(window_, message, wParam, lParam);
        Activate(LOWORD(wParam) != WA_INACTIVE, reinterpret_cast<HWND>(lParam));
        return result;
    }
    case WM_CLOSE:
        if (oxWindowScene* scene = WindowScene()) scene->Close(false);
        return 0;
    case WM_SETTINGCHANGE: {
        if (!positioned) return 0;
        const LRESULT result = oxFrame::HandleMessage(message, wParam, lParam);
        if (wParam == SPI_SETWORKAREA) {
            if (dockSide_)
                windowFlags_ |= kWorkAreaChangedWhileDocked;
            else
                ApplyWorkArea();
            PostMessageW(window_, kMsgDisplayChanged, 0, 0);
        } else if (wParam == SPI_SETSIPINFO) {
            if (SipStatus() == SIP_STATUS_AVAILABLE) {
                FitToVisibleArea();
            } else {
                const RECT& w = savedWorkArea_;
                SetWindowPos(window_, nullptr, w.left, w.top, w.right - w.left, w.bottom - w.top, SWP_NOZORDER);
            }
        }
        return result;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            // The title bar's cancel button puts the program aside; it does not close the scene.
            if (owner_ && owner_->GetScene()) ShowWindow(window_, SW_MINIMIZE);
            return 0;
        }
        return oxFrame::HandleMessage(message, wParam, lParam);
    case WM_INITMENUPOPUP:
        windowFlags_ |= kMenuPopupSeen;
        if (ULONG_PTR(lParam) > 0xFFFF) return 0;
        return oxFrame::HandleMessage(message, wParam, lParam);
    case WM_LBUTTONDBLCLK:
        if (windowFlags_ & kDeferDoubleClick) {
            deferredMessage_ = message;
            deferredWParam_ = wParam;
            deferredLParam_ = lParam;
            windowFlags_ |= kDoubleClickDeferred;
            return 0;
        }
        return oxFrame::HandleMessage(message, wParam, lParam);
    case kMsgDisplayChanged:
        Notify(owner_, kAtomDisplayChanged);
        return 0;
    default:
        return oxFrame::HandleMessage(message, wParam, lParam);
    }
}

int32_t oxWindowFrame::GetPlacement() {
    FitChromelessToMonitor();
    return 0;
}

void oxWindowFrame::FitChromelessToMonitor() {
    oxWindowBoxInfo* info = Info();
    if (!window_ || !info || !info->IsChromeless()) return;
    // The device has one monitor: the screen.
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    const oxRect r = GetWindowRect();
    if (r.width == w && r.height == h) SetWindowPos(window_, nullptr, 0, 0, w, h - 1, SWP_NOMOVE | SWP_NOZORDER);
}

bool oxWindowFrame::HasSnapClass() const {
    oxWindowBoxInfo* info = Info();
    const std::u16string* cls = info ? info->GetSnapToBoxClass() : nullptr;
    if (!cls) return false;
    const oxRect& m = info->GetSnapToOffset();
    return m.x > 0 || m.y > 0 || m.width > 0 || m.height > 0;
}

bool oxWindowFrame::SnapsWith(const oxWindowFrame* other) const {
    if (!HasSnapClass() || !other->HasSnapClass()) return false;
    const std::u16string& a = *Info()->GetSnapToBoxClass();
    const std::u16string& b = *other->Info()->GetSnapToBoxClass();
    return a == b || a == u"*" || b == u"*";
}

int32_t oxWindowFrame::SnapOrder() const {
    oxWindowBoxInfo* info = Info();
    return info ? info->GetSnapToBoxOrder() : 0;
}

oxRect oxWindowFrame::GetSnapRect() const {
    if (!window_) return {};
    oxRect r = GetWindowRect();
    oxWindowBoxInfo* info = Info();
    if (!info) return r;
    const oxRect& m = info->GetSnapToOffset();
    r.x -= m.x;
    r.y -= m.y;
    r.width += m.x + m.width;
    r.height += m.y + m.height;
    return r;
}

void oxWindowFrame::AttachSnapGroup() {
    if (!window_ || !HasSnapClass()) return;
    const oxRect mine = GetSnapRect();
    const oxRect at = GetWindowRect();
    const int32_t order = SnapOrder();
    for (oxWindowFrame* f : WindowFrames()) {
        if (f == this || f == snapAnchor_ || !f->window_ || !SnapsWith(f)) continue;
        if (f->SnapOrder() <= order || !Touch(mine, f->GetSnapRect())) continue;
        if (f->snapAnchor_ && f->snapAnchor_->SnapOrder() <= order) continue;
        const oxRect theirs = f->GetWindowRect();
        f->snapAnchor_ = this;
        f->snapOffset_ = {theirs.x - at.x, theirs.y - at.y};
    }
}

void oxWindowFrame::ReleaseSnapGroup(bool destroying) {
    std::vector<oxWindowFrame*> group;
    for (oxWindowFrame* f : WindowFrames())
        if (f == this || SnapsWith(f)) group.push_back(f);
    for (oxWindowFrame* f : group)
        f->snapAnchor_ = nullptr;
    for (oxWindowFrame* f : group)
        if (!(destroying && f == this)) f->AttachSnapGroup();
}

void oxWindowFrame::MoveSnapFollowers() {
    if (!window_) return;
    const oxRect at = GetWindowRect();
    for (oxWindowFrame* f : WindowFrames()) {
        if (f->snapAnchor_ != this || !f->window_) continue;
        SetWindowPos(f->window_, nullptr, at.x + f->snapOffset_.x, at.y + f->snapOffset_.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void oxWindowFrame::OnWindowDestroyed() {
    if (!window_) return;
    SetDockSide(0);
    const bool snaps = HasSnapClass();
    oxFrame::OnWindowDestroyed();
    if (snaps) ReleaseSnapGroup(true);
    for (oxWindowFrame* f : WindowFrames())
        if (f->snapAnchor_ == this) f->snapAnchor_ = nullptr;
    if (oxWindowScene* scene = WindowScene()) scene->OnWindowGone();
}
