#include "toolkit/widgets/frame.h"

#include <algorithm>

#include "graphics/paint/canvas.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/timer.h"
#include "platform/win/window_paint.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/style/ui_scale.h"
#include "toolkit/widgets/frame_site.h"
#include "toolkit/widgets/input_box.h"
#include "toolkit/widgets/region.h"
#include "toolkit/widgets/scene_frame.h"

namespace {

constexpr UINT kFrameClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS;
constexpr UINT_PTR kMouseLeaveTimer = 100;
int classUses = 0;

} // namespace

oxBox* oxFrame::capturedBox = nullptr;
oxBox* oxFrame::lastLeftDownBox = nullptr;
oxBox* oxFrame::keyDownOwner = nullptr;

oxFrameSite* GetFrameSite(const oxBox* box) {
    oxBoxScene* scene = box ? box->GetScene() : nullptr;
    if (!scene) return nullptr;
    if (auto* site = dynamic_cast<oxFrameSite*>(scene)) return site;
    return oxSceneFrame::Of(scene);
}

bool RegisterFrameWindowClass() {
    WNDCLASSW wc{};
    if (classUses == 0 && !GetClassInfoW(GetModuleHandleW(nullptr), kFrameWindowClass, &wc)) {
        wc = WNDCLASSW{};
        wc.style = kFrameClassStyle;
        wc.lpfnWndProc = FrameWindowProc;
        wc.cbWndExtra = 4;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kFrameWindowClass;
        if (!RegisterClassW(&wc)) return false;
    }
    ++classUses;
    return true;
}

void UnregisterFrameWindowClass() {
    if (classUses <= 0) return;
    if (--classUses == 0) UnregisterClassW(kFrameWindowClass, GetModuleHandleW(nullptr));
}

LRESULT FrameWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* frame = reinterpret_cast<oxFrame*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
    // The focused input box sees every frame message first, whichever frame it came to.
    POINT cursor{0, 0};
    GetCursorPos(&cursor);
    const MSG msg{hwnd, message, wParam, lParam, 0, cursor};
    if (oxInputBox::PreTranslateMessage(&msg)) return 0;
    if (!frame) return DefWindowProcW(hwnd, message, wParam, lParam);
    return frame->HandleMessage(message, wParam, lParam);
}

oxFrame::oxFrame(oxBox* owner) : owner_(owner), dirty_(std::make_unique<oxRegion>()) {}

oxFrame::~oxFrame() {
    for (DispatchGuard* g = guard_; g; g = g->outer)
        g->gone = true;
    dirty_.reset();
    if (window_) {
        HWND w = window_;
        OnWindowDestroyed();
        DestroyWindow(w);
    }
    canvas_.reset();
    listeners_.Clear();
}

oxFrameSite* oxFrame::Site() const {
    return GetFrameSite(owner_);
}

void oxFrame::Dispatch(oxEvent* event) {
    if (oxFrameSite* site = Site()) site->DispatchEvent(event);
}

void oxFrame::SetMouseCapture(bool on) {
    if (!window_) return;
    if (on) {
        SetCapture(window_);
        return;
    }
    if (GetCapture() != window_) return;
    ReleaseCapture();
    if (capturedBox) capturedBox->SetCaptured(false);
    capturedBox = nullptr;
}

void oxFrame::BeginBoxCapture() {
    SetMouseCapture(true);
    boxCaptured_ = true;
}

void oxFrame::EndBoxCapture() {
    SetMouseCapture(false);
    boxCaptured_ = false;
}

void oxFrame::Enable() {
    if (window_) EnableWindow(window_, TRUE);
}

void oxFrame::Disable() {
    if (window_) EnableWindow(window_, FALSE);
}

bool oxFrame::IsDisabled() const {
    return window_ && !IsWindowEnabled(window_);
}

bool oxFrame::HasFocus() const {
    return window_ && GetActiveWindow() == window_;
}

void oxFrame::SetFocus(bool on) {
    oxFrameSite* site = Site();
    if (!site) return;
    if (on) {
        oxNotificationEvent activated(kAtomActivated, owner_);
        site->DispatchEvent(&activated);
        if (!window_) return;
        SetActiveWindow(window_);
        ::SetFocus(window_);
        return;
    }
    if (window_ && GetForegroundWindow() == window_) SetForegroundWindow(GetDesktopWindow());
}

void oxFrame::RequestDestroy() {
    if (window_) PostMessageW(window_, kMsgFrameDestroy, 0, 0);
}

void oxFrame::DestroyFrameWindow() {
    if (window_) DestroyWindow(window_);
}

void oxFrame::SyncCollapsed() {
    if (positioning_ || !owner_) return;
    owner_->SetCollapsed(window_ == nullptr, false);
}

namespace {

bool HiddenForFrame(const oxBox* box) {
    return box->IsEffectivelyHidden() || box->IsCollapsed() ||
           (box->GetStateFlags() & (kStateHiddenByAncestor | kStateExcluded));
}

} // namespace

void oxFrame::Refresh(bool relayout) {
    if (positioning_ || !owner_) return;
    if (HiddenForFrame(owner_)) {
        Hide();
        return;
    }
    if (owner_->GetStateFlags() & kStateMinimized) return;
    oxFrameSite* site = Site();
    if (relayout && site && site->WantsLayout()) {
        site->LayoutScene();
        PositionWindow();
        if (HiddenForFrame(owner_)) return;
    }
    Show();
}

void oxFrame::Create(bool hidden) {
    if (window_) return;
    oxFrameSite* site = Site();
    oxFrame* host = site ? site->GetWindowBoxFrame() : nullptr;
    if (!owner_ || !host) return;
    HWND parent = host->GetWindow();
    const bool popup = owner_->GetBoxType() == kAtomPopup;
    // Popups are made disabled, so that making them never activates anything.
    DWORD style = popup ? 0x88000000 : WS_CHILD;
    DWORD exStyle = 0;
    if (IsRightToLeft()) exStyle |= WS_EX_LAYOUTRTL | WS_EX_NOINHERITLAYOUT;
    const oxRect r = site->GetBoxRect(owner_);
    HWND w = CreateWindowExW(exStyle, kFrameWindowClass, nullptr, style, r.x, r.y, r.width, r.height, parent, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    if (!w) return;
    window_ = w;
    // The "style word" cleared after creation is the class's extra window word: clearing the
    // window style itself would turn the child into a top-level window.
    SetWindowLongW(w, 0, 0);
    // A popup must take the stylus: it is enabled as soon as it exists.
    if (popup) EnableWindow(w, TRUE);
    if (popup)
        SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    else
        SetWindowPos(w, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    SetWindowLongPtrW(w, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    PositionWindow();
    if (!hidden) {
        positioning_ = true;
        ShowWindow(w, SW_SHOWNA);
        positioning_ = false;
    }
}

void oxFrame::Show() {
    if (!owner_) return;
    const bool hidden = !owner_->TestChangeFlags(kChangeArranged);
    if (window_ && !hidden && !IsWindowVisible(window_)) {
        // A frame hidden before shows again: creating alone would leave the existing window hidden.
        positioning_ = true;
        ShowWindow(window_, SW_SHOWNA);
        positioning_ = false;
    }
    Create(hidden);
    if (!hidden && (owner_->GetStateFlags() & kStateFocused)) SetFocus(true);
}

void oxFrame::Hide() {
    if (window_)
        ShowWindow(window_, SW_HIDE);
    else
        Create(true);
}

void oxFrame::OnWindowDestroyed() {
    if (!window_) return;
    KillTimer(window_, kMouseLeaveTimer);
    trackingMouseLeave_ = false;
    SetWindowLongPtrW(window_, GWL_USERDATA, 0);
    window_ = nullptr;
    canvas_.reset();
}

void oxFrame::TrackMouseLeave() {
    if (trackingMouseLeave_ || !window_) return;
    trackingMouseLeave_ = true;
    SetTimer(window_, kMouseLeaveTimer, 100, nullptr);
}

oxRect oxFrame::GetClientRect() const {
    RECT r{0, 0, 0, 0};
    if (window_) ::GetClientRect(window_, &r);
    oxRect out;
    out.FromRECT(r);
    return out;
}

oxRect oxFrame::GetWindowRect() const {
    RECT r{0, 0, 0, 0};
    if (window_) ::GetWindowRect(window_, &r);
    oxRect out;
    out.FromRECT(r);
    return out;
}

oxPoint oxFrame::GetNonClientSize() const {
    if (!window_ || !owner_ || (owner_->GetStateFlags() & kStateMinimized)) return {};
    const oxRect w = GetWindowRect(), c = GetClientRect();
    return {w.width - c.width, w.height - c.height};
}

oxRect oxFrame::GetBoxRectInFrame() const {
    oxFrameSite* site = Site();
    if (!site || !owner_) return {};
    oxRect r = site->GetBoxRect(owner_);
    const oxPoint p = site->GetFramePosition(owner_);
    r.x = p.x, r.y = p.y;
    return r;
}

namespace {

// Between client and screen coordinates of the window, either way (`toScreen`). In a right-to-left
// window the origin is the client's top-right pixel and x runs leftwards, so a rectangle's left edge
// there is the other's right edge: the same sum serves both ways.
oxRect MapClientRect(HWND window, const oxRect& r, bool toScreen) {
    POINT origin{0, 0};
    if (!window || !ClientToScreen(window, &origin)) return r;
    const bool mirrored = (DWORD(GetWindowLongW(window, GWL_EXSTYLE)) & WS_EX_LAYOUTRTL) != 0;
    const int64_t sign = toScreen ? 1 : -1;
    const int64_t left = mirrored ? int64_t(origin.x) + 1 - r.x - r.width : r.x + sign * origin.x;
    oxRect out;
    out.Set(int32_t(std::clamp<int64_t>(left, INT32_MIN, INT32_MAX)),
            int32_t(std::clamp<int64_t>(r.y + sign * origin.y, INT32_MIN, INT32_MAX)), r.width, r.height);
    return out;
}

} // namespace

oxRect ClientRectToScreen(HWND window, const oxRect& r) {
    return MapClientRect(window, r, true);
}

oxRect ScreenRectToClient(HWND window, const oxRect& r) {
    return MapClientRect(window, r, false);
}

namespace {

// The window's place in its parent's client area (the screen for a top-level window).
oxRect PlacedRect(HWND window) {
    RECT w{0, 0, 0, 0};
    if (window) ::GetWindowRect(window, &w);
    oxRect r;
    r.Set(w.left, w.top, w.right - w.left, w.bottom - w.top);
    if (HWND parent = window ? GetParent(window) : nullptr; parent && (GetWindowLongW(window, GWL_STYLE) & WS_CHILD))
        r = ScreenRectToClient(parent, r);
    return r;
}

} // namespace

oxRect oxFrame::ComputeWindowRect(bool* positionDiffers, bool* sizeDiffers) const {
    oxFrameSite* site = Site();
    oxRect r;
    if (site && owner_) {
        r = site->GetBoxRect(owner_);
        if (owner_->GetLogicalParent()) {
            const oxPoint p = site->GetFramePosition(owner_);
            r.x = p.x, r.y = p.y;
        }
    }
    const oxRect placed = PlacedRect(window_);
    if (positionDiffers) *positionDiffers = r.x != placed.x || r.y != placed.y;
    if (sizeDiffers) *sizeDiffers = r.width != placed.width || r.height != placed.height;
    return r;
}

oxRect oxFrame::ComputeWindowRectMirrored(bool* positionDiffers, bool* sizeDiffers) const {
    oxRect r = ComputeWindowRect(positionDiffers, sizeDiffers);
    oxFrameSite* site = Site();
    oxFrame* parentFrame = site ? site->GetWindowBoxFrame() : nullptr;
    if (!site || !IsRightToLeft() || site->IsEmbedded() || !parentFrame || !parentFrame->GetOwnerBox()) return r;
    // Differs: a child window keeps its x, since the platform places a child of a right-to-left
    // window from that window's right edge already; mirroring it here too would undo that.
    if (window_ && (GetWindowLongW(window_, GWL_STYLE) & WS_CHILD)) return r;
    const oxRect parent = parentFrame->GetWindowRect();
    r.x = int32_t(std::clamp<int64_t>(int64_t(parent.x) + parent.Right() - r.x - r.width, INT32_MIN, INT32_MAX));
    const oxRect placed = PlacedRect(window_);
    if (positionDiffers) *positionDiffers = r.x != placed.x || r.y != placed.y;
    return r;
}

void oxFrame::PositionWindow() {
    if (!window_ || positioning_) return;
    oxFrameSite* site = Site();
    const bool popup = GetFrameType() == kAtomPopup;
    bool moved = false, sized = false;
    const oxRect r = site && site->GetWindowBoxFrame() && !popup ? ComputeWindowRectMirrored(&moved, &sized)
                                                                 : ComputeWindowRect(&moved, &sized);
    if (!moved && !sized) return;
    UINT flags = SWP_NOACTIVATE;
    if (!moved) flags |= SWP_NOMOVE;
    if (!sized) flags |= SWP_NOSIZE;
    if (!popup) flags |= SWP_NOZORDER;
    positioning_ = true;
    SetWindowPos(window_, popup ? HWND_TOPMOST : nullptr, r.x, r.y, r.width, r.height, flags);
    positioning_ = false;
}

void oxFrame::ExtendBounds(int32_t x, int32_t y, int32_t w, int32_t h) {
    oxFrameSite* site = Site();
    const oxRect box = site && owner_ ? site->GetBoxRect(owner_) : oxRect{};
    bounds_.left = std::min<LONG>(bounds_.left, x);
    bounds_.top = std::min<LONG>(bounds_.top, y);
    bounds_.right = std::max<LONG>(bounds_.right, w + x - box.width);
    bounds_.bottom = std::max<LONG>(bounds_.bottom, h + y - box.height);
}

oxRect oxFrame::GetBoundsRect() const {
    oxRect r;
    r.Set(bounds_.left, bounds_.top, bounds_.right, bounds_.bottom); // the four edges, as stored
    return r;
}

void oxFrame::ClearBoundsRect() {
    bounds_ = RECT{0, 0, 0, 0};
}

void oxFrame::UpdateWindowShape(const oxCanvas* painting) {
    if (!window_ || GetFrameType() == kAtomPopup || !painting) return;
    oxFrameSite* site = Site();
    if (!site || !owner_) return;
    // The clip in the coordinates the box's position is given in (the painting canvas stands at the
    // box's parent), within the box, then relative to the box.
    const oxRect box = site->GetBoxRect(owner_);
    const POINT origin = painting->GetOrigin();
    const RECT clip = painting->ClipBounds();
    oxRect visible;
    visible.Set(clip.left - origin.x, clip.top - origin.y, clip.right - clip.left, clip.bottom - clip.top);
    visible.Intersect(box);
    visible.Offset(oxPoint{-box.x, -box.y});
    // Differs from removing the shape when nothing is visible: a window scrolled or clipped out of
    // sight must show nothing, not all of itself over what covers it.
    if (visible.width <= 0 || visible.height <= 0) visible.Set(0, 0, 0, 0);
    // The clip is also cut to what this paint is for: a repaint of another part of the window says
    // nothing about the parts of the box it leaves out, which keep their shape.
    const RECT area = painting->BaseClipBounds();
    oxRect painted;
    painted.Set(area.left - origin.x - box.x, area.top - origin.y - box.y, area.right - area.left,
                area.bottom - area.top);
    oxRect whole;
    whole.Set(0, 0, box.width, box.height);
    oxRect covered = painted;
    covered.Intersect(whole);
    if (covered.width <= 0 || covered.height <= 0) return;
    HRGN shape = CreateRectRgn(visible.x, visible.y, int(visible.Right()), int(visible.Bottom()));
    HRGN current = CreateRectRgn(0, 0, 0, 0);
    const bool shaped = (flags_ & 2) && GetWindowRgn(window_, current) != ERROR;
    if (covered != whole) {
        HRGN kept = shaped ? CreateRectRgn(0, 0, 0, 0) : CreateRectRgn(0, 0, box.width, box.height);
        if (shaped) CombineRgn(kept, current, nullptr, RGN_COPY);
        HRGN cut = CreateRectRgn(covered.x, covered.y, int(covered.Right()), int(covered.Bottom()));
        CombineRgn(kept, kept, cut, RGN_DIFF);
        CombineRgn(shape, shape, kept, RGN_OR);
        DeleteObject(cut);
        DeleteObject(kept);
    }
    const bool same = shaped && EqualRgn(current, shape);
    DeleteObject(current);
    if (same)
        DeleteObject(shape);
    else
        SetWindowRgn(window_, shape, TRUE);
    flags_ |= 2;
    InvalidateRect(window_, nullptr, FALSE);
    UpdateWindow(window_);
}

WCHAR oxFrame::GetKeyCharacter(UINT keyCode) {
    MSG msg;
    if (PeekMessageW(&msg, nullptr, WM_CHAR, WM_CHAR, PM_NOREMOVE) && msg.wParam) return WCHAR(msg.wParam);
    if (keyCode == 119) return u'*';
    if (keyCode == 120) return u'#';
    return 0;
}

void oxFrame::SetTopmost(bool on) {
    if (!window_ || IsTopmost() == on) return;
    SetWindowPos(window_, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void oxFrame::MirrorOwnerBox(bool on) {
    if (on && owner_) owner_->SetStyle(u"flip", u"x");
}

const WCHAR* oxFrame::RegisterAccessKey(oxBox* box) {
    return box ? box->GetAttributeText(kAtomAccessKey) : nullptr;
}

int32_t oxFrame::UnregisterAccessKey(oxBox* box) {
    if (box) box->GetAttributeText(kAtomAccessKey);
    return 0;
}

bool oxFrame::IsTopmost() const {
    return window_ && (GetWindowLongW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

bool oxFrame::GetCursorPosition(oxPoint* screen, oxPoint* client) const {
    if (!window_) return false;
    POINT p{0, 0};
    GetCursorPos(&p);
    if (screen) *screen = oxPoint{p.x, p.y};
    ScreenToClient(window_, &p);
    if (client) *client = oxPoint{p.x, p.y};
    return true;
}

bool oxFrame::HasCapture() const {
    return window_ && GetCapture() == window_;
}

void oxFrame::AttachToParentFrame() {
    oxFrameSite* site = Site();
    oxFrame* host = site ? site->GetWindowBoxFrame() : nullptr;
    if (!window_ || !host || host == this || !host->GetWindow()) return;
    SetParent(window_, host->GetWindow());
    positioning_ = true;
    SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER);
    positioning_ = false;
}

bool oxFrame::IsRightToLeft() const {
    oxFrameSite* site = Site();
    return site && site->IsRightToLeft();
}

void oxFrame::SetScale(float scale) {
    SetUiScale(scale);
}

void oxFrame::StoreWindowPosition() {
    oxFrameSite* site = Site();
    if (!window_ || positioning_ || !owner_ || !site) return;
    positioning_ = true;
    site->StoreWindowGeometry(owner_, GetWindowRect(), true, false);
    positioning_ = false;
}

void oxFrame::StoreWindowSize() {
    oxFrameSite* site = Site();
    if (!window_ || positioning_ || !owner_ || !site) return;
    positioning_ = true;
    site->StoreWindowGeometry(owner_, GetClientRect(), false, true);
    positioning_ = false;
}
