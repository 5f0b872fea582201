#include "toolkit/widgets/frame_box.h"

#include <algorithm>
#include <new>
#include <string>

#include "graphics/paint/canvas.h"
#include "platform/crt/wide.h"
#include "platform/win/html_control.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/region.h"
#include "platform/win/window_paint.h"
#include "runtime/script_variant.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_site.h"

namespace {

constexpr const WCHAR* kBoxProperty = u"oxDHTMLBoxCE";
constexpr UINT kPositionFlags = SWP_NOZORDER | SWP_NOACTIVATE;

} // namespace

// -- frame box -------------------------------------------------------------------------------------

oxFrameBox::~oxFrameBox() {
    DestroyHostedWindow();
}

HWND oxFrameBox::GetRootWindow() const {
    oxFrameSite* site = GetFrameSite(this);
    oxFrame* frame = site ? site->GetWindowBoxFrame() : nullptr;
    return frame ? frame->GetWindow() : nullptr;
}

bool oxFrameBox::IsOutOfSight() const {
    return IsCollapsed() || (GetStateFlags() & (kStateHidden | kStateHiddenByAncestor | kStateExcluded));
}

void oxFrameBox::DestroyHostedWindow() {
    if (!window_) return;
    HWND window = window_;
    window_ = nullptr;
    clipped_ = false;
    DestroyWindow(window);
    if (HWND root = GetRootWindow()) ::SetFocus(root);
}

void oxFrameBox::OnSceneAttached() {
    oxBox::OnSceneAttached();
    if (oxBoxScene* scene = GetScene()) scene->AddFrameBox(this);
    if (IsOutOfSight())
        HideWindow();
    else
        ShowWindow();
}

void oxFrameBox::SetScene(oxBoxScene* scene) {
    // Leaving the scene: the window goes while the scene's window can still take the focus back.
    if (GetScene() && scene != GetScene()) DestroyHostedWindow();
    oxBox::SetScene(scene);
}

void oxFrameBox::ShowWindow() {
    if (!TestChangeFlags(kChangeArranged)) {
        CreateWindow(true); // not placed yet: made, but shown once the layout has placed it
        return;
    }
    CreateWindow(false);
    if (GetStateFlags() & kStateFocused) SetActive(true);
}

void oxFrameBox::HideWindow() {
    if (window_)
        ::ShowWindow(window_, SW_HIDE);
    else
        CreateWindow(true);
}

void oxFrameBox::SetFocused(bool value, bool keepFrameFocus, bool quiet) {
    oxBox::SetFocused(value, keepFrameFocus, quiet);
    if (!window_) return;
    if (value && GetFocus() != window_)
        ::SetFocus(window_);
    else if (!value && GetFocus() == window_)
        ::SetFocus(nullptr);
}

void oxFrameBox::RefreshFrame() {
    oxBox::RefreshFrame();
    SyncPosition();
    UpdateVisibility(false);
}

void oxFrameBox::UpdateVisibility(bool relayout) {
    if (moving_) return;
    if (IsOutOfSight()) {
        HideWindow();
        return;
    }
    if (relayout) {
        oxFrameSite* site = GetFrameSite(this);
        if (site && site->WantsLayout()) {
            AddRef();
            site->LayoutScene();
            SyncPosition();
            const bool gone = IsBeingDeleted() || IsOutOfSight();
            Release();
            if (gone) return;
        }
    }
    ShowWindow();
}

void oxFrameBox::GetWindowRect(oxRect* rect, bool* moved, bool* resized) {
    oxRect r = GetContentRect();
    // The box's place in its frame rather than in its parent alone, so that a box nested in other
    // boxes lands where it shows.
    const oxPoint at = GetFramePosition();
    r.Offset(at);
    *moved = false;
    // A scrolled ancestor shows its children moved by its offsets.
    for (oxBox* b = GetLogicalParent(); b && TestChangeFlags(kChangeFlowed); b = b->GetLogicalParent()) {
        if (b->TestChangeFlags(kChangeFramed)) break;
        if (!b->GetLayoutIfMade()) continue;
        const int32_t dx = b->GetScrollX(), dy = b->GetScrollY();
        if (dx || dy) {
            r.Offset(oxPoint{-dx, -dy});
            *moved = true;
        }
    }
    // On the screen: in a right-to-left window the box shows as far from its right edge.
    if (HWND root = GetRootWindow()) r = ClientRectToScreen(root, r);
    *rect = r;
    RECT window{}, client{};
    if (window_) {
        ::GetWindowRect(window_, &window);
        GetClientRect(window_, &client);
    }
    *moved = !window_ || window.left != r.x || window.top != r.y;
    *resized = !window_ || client.right - client.left != r.width || client.bottom - client.top != r.height;
}

void oxFrameBox::SyncPosition() {
    if (!window_ || moving_) return;
    oxRect r;
    bool moved = false, resized = false;
    GetWindowRect(&r, &moved, &resized);
    if (!moved && !resized) return;
    // The window is a child of the scene's window: its place is in that window's client area.
    oxRect at = r;
    if (HWND parent = ::GetParent(window_)) at = ScreenRectToClient(parent, r);
    moving_ = true;
    SetWindowPos(window_, nullptr, at.x, at.y, r.width, r.height,
                 kPositionFlags | (moved ? 0 : SWP_NOMOVE) | (resized ? 0 : SWP_NOSIZE));
    moving_ = false;
}

void oxFrameBox::UpdateClip(oxCanvas* canvas, int flags) {
    (void)flags;
    SyncPosition();
    if (!window_ || !canvas) return;
    HRGN visible = nullptr;
    {
        const RECT clip = canvas->GetLocalClipBounds();
        const POINT origin = canvas->GetOrigin();
        const oxPoint at = GetPacked(0), inset = GetPacked(2), size = GetPacked(3);
        RECT box{origin.x + at.x + inset.x, origin.y + at.y + inset.y, 0, 0};
        box.right = box.left + size.x;
        box.bottom = box.top + size.y;
        RECT shown = box;
        if (clip.right - clip.left >= 0 && clip.bottom - clip.top >= 0) {
            // The clip is in the current coordinates: move it onto the canvas as the box is.
            const RECT c{clip.left + origin.x, clip.top + origin.y, clip.right + origin.x, clip.bottom + origin.y};
            shown = RECT{std::max(box.left, c.left), std::max(box.top, c.top), std::min(box.right, c.right),
                         std::min(box.bottom, c.bottom)};
            if (shown.right < shown.left) shown.right = shown.left;
            if (shown.bottom < shown.top) shown.bottom = shown.top;
        }
        RECT local{shown.left - box.left, shown.top - box.top, shown.right - box.left, shown.bottom - box.top};
        // The box's part counts from its right edge in a right-to-left scene; a hosted window that
        // is not mirrored itself takes it from its left.
        auto mirrored = [](HWND w) { return w && (DWORD(GetWindowLongW(w, GWL_EXSTYLE)) & WS_EX_LAYOUTRTL) != 0; };
        if (mirrored(GetRootWindow()) && !mirrored(window_))
            local = RECT{size.x - local.right, local.top, size.x - local.left, local.bottom};
        visible = CreateRectRgn(local.left, local.top, local.right, local.bottom);
    }
    if (visible) {
        HRGN current = CreateRectRgn(0, 0, 0, 0);
        const bool same = clipped_ && current && GetWindowRgn(window_, current) != ERROR && EqualRgn(current, visible);
        if (current) DeleteObject(current);
        if (same) {
            DeleteObject(visible);
        } else {
            SetWindowRgn(window_, visible, FALSE); // the window owns the region from here
            clipped_ = true;
        }
    } else if (clipped_) {
        SetWindowRgn(window_, nullptr, FALSE);
        clipped_ = false;
    }
    InvalidateRect(window_, nullptr, FALSE);
    UpdateWindow(window_);
}

// -- HTML box --------------------------------------------------------------------------------------

oxDHTMLBox::~oxDHTMLBox() {
    DestroyControl();
}

void oxDHTMLBox::DestroyControl() {
    if (!window_) return;
    if (previousProc_) SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
    previousProc_ = nullptr;
    RemovePropW(window_, kBoxProperty);
    DestroyHostedWindow();
}

void oxDHTMLBox::CreateWindow(bool hidden) {
    if (!window_) {
        HWND root = GetRootWindow();
        if (!root) return;
        HINSTANCE instance = GetModuleHandleW(nullptr);
        if (!InitHTMLControl(instance)) return;
        HWND control =
            CreateWindowExW(0, kHTMLControlClass, u"", WS_CHILD, 0, 0, 100, 100, root, nullptr, instance, nullptr);
        if (!control) return;
        window_ = control;
        // A pointer-sized procedure: the platform's 32-bit SetWindowLongW would cut it on 64 bits.
        previousProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&oxDHTMLBox::ControlProc)));
        SetPropW(control, kBoxProperty, this);
        SendMessageW(control, DTM_ENABLESHRINK, 0, 1);
        SetContent(GetAttributeText(kAtomValue));
        if (window_ != control) return; // the box let go of it while it loaded
        // The address set before the control existed is gone to now.
        if (!href_.IsEmpty()) SendMessageW(control, DTM_NAVIGATE, 0, reinterpret_cast<LPARAM>(href_.GetString()));
        if (window_ != control) return;
    }
    if (!hidden) ::ShowWindow(window_, SW_SHOWNA);
}

void oxDHTMLBox::SetContent(const WCHAR* text) {
    if (text) {
        // The attribute may be the very text given: keep a copy before it is stored again.
        const NUBO::TWString copy(text);
        StoreAttribute(kAtomValue, copy.GetString(), false);
        if (!window_) return;
        SendMessageW(window_, DTM_CLEAR, 0, 0);
        if (window_) SendMessageW(window_, DTM_ADDTEXTW, 0, reinterpret_cast<LPARAM>(copy.GetString()));
        if (window_) SendMessageW(window_, DTM_ENDOFSOURCE, 0, 0);
        return;
    }
    RemoveAttribute(kAtomValue);
    NotifyAttributeChange(kAtomValue, true);
    if (!window_) return;
    SendMessageW(window_, DTM_CLEAR, 0, 0);
    if (window_) SendMessageW(window_, DTM_ADDTEXTW, 0, reinterpret_cast<LPARAM>(u""));
    if (window_) SendMessageW(window_, DTM_ENDOFSOURCE, 0, 0);
}

void oxDHTMLBox::SetHref(const WCHAR* href) {
    href_ = href ? href : u"";
    if (window_) SendMessageW(window_, DTM_NAVIGATE, 0, reinterpret_cast<LPARAM>(href_.GetString()));
}

LRESULT oxDHTMLBox::StopNavigate() {
    return window_ ? SendMessageW(window_, DTM_STOP, 0, 0) : 0;
}

void oxDHTMLBox::Paint(oxCanvas* canvas) {
    UpdateClip(canvas, 0);
    SyncPosition();
    oxBox::Paint(canvas);
}

void oxDHTMLBox::SetHidden(bool value) {
    oxFrameBox::SetHidden(value);
    ApplyVisibility();
}

void oxDHTMLBox::SetHiddenByAncestor(bool value) {
    oxFrameBox::SetHiddenByAncestor(value);
    ApplyVisibility();
}

void oxDHTMLBox::SetCollapsed(bool value, bool forced) {
    oxFrameBox::SetCollapsed(value, forced);
    ApplyVisibility();
}

void oxDHTMLBox::ApplyVisibility() {
    if (!GetScene()) return;
    if (IsOutOfSight()) {
        DestroyControl();
        return;
    }
    const bool made = window_ != nullptr;
    ShowWindow();
    // A control made just now went to the stored address itself.
    if (made && window_) SendMessageW(window_, DTM_NAVIGATE, 0, reinterpret_cast<LPARAM>(href_.GetString()));
}

void oxDHTMLBox::RaiseNavigate(const WCHAR* url) {
    oxNotificationEvent navigate(kAtomNavigate, this);
    navigate.SetParam(u"url", NUBO::XVariant(url ? url : u""));
    HandleEvent(&navigate);
}

void oxDHTMLBox::OnNotify(const NMHDR* hdr) {
    switch (hdr->code) {
    case NM_HOTSPOT: {
        // The target comes in the system code page, unless it turns out to be wide text already:
        // then its first character's high byte ends the narrow text at once.
        const char* narrow = reinterpret_cast<const NMHTMLLINK*>(hdr)->target;
        if (!narrow) return;
        const int units = MultiByteToWideChar(CP_ACP, 0, narrow, -1, nullptr, 0);
        if (units > 2) {
            std::u16string url(size_t(units), u'\0');
            MultiByteToWideChar(CP_ACP, 0, narrow, -1, url.data(), units);
            RaiseNavigate(url.c_str());
        } else {
            RaiseNavigate(reinterpret_cast<const WCHAR*>(narrow));
        }
        return;
    }
    case NM_HTMLLOADING:
    case NM_HTMLLOADED:
    case NM_HTMLINTERACTIVE: {
        oxNotificationEvent changed(kAtomReadyStateChanged, this);
        changed.SetParam(u"readyState", NUBO::XVariant(int(hdr->code - NM_HTMLLOADING + 1)));
        HandleEvent(&changed);
        return;
    }
    case NM_HTMLKEYDOWN: {
        oxFrameSite* site = GetFrameSite(this);
        if (!site) return;
        const UINT key = reinterpret_cast<const NMHTMLKEY*>(hdr)->keyCode;
        const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0,
                   alt = GetKeyState(VK_MENU) < 0;
        oxKeyEvent keyDown(kAtomKeyDown, this, nullptr, oxFrame::GetKeyCharacter(key), shift, ctrl, alt, uint16_t(key));
        site->DispatchEvent(&keyDown);
        return;
    }
    default:
        return;
    }
}

LRESULT oxDHTMLBox::ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* box = static_cast<oxDHTMLBox*>(GetPropW(hwnd, kBoxProperty));
    if (!box) return 0;
    // The previous procedure is read first: the box may let go of the control from its events.
    const WNDPROC previous = box->previousProc_;
    box->AddRef();
    if (message == WM_NOTIFY && lParam)
        box->OnNotify(reinterpret_cast<const NMHDR*>(lParam));
    else if (message == DTM_NAVIGATE)
        box->RaiseNavigate(reinterpret_cast<const WCHAR*>(lParam));
    box->Release();
    return previous ? CallWindowProcW(previous, hwnd, message, wParam, lParam) : 0;
}

void oxRegisterDHTMLBoxKind() {
    oxBoxFactory::RegisterKind(kAtomDhtml, [](oxAtom tag) -> oxBox* { return new (std::nothrow) oxDHTMLBox(tag); });
}
