// The frame's window procedure: window messages turned into toolkit events.
#include "graphics/paint/canvas.h"
#include "platform/win/gdi.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/timer.h"
#include "platform/win/window_paint.h"
#include "toolkit/core/box.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/style/ui_scale.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_input.h"
#include "toolkit/widgets/frame_site.h"
#include "toolkit/widgets/input_box.h"

namespace {

constexpr UINT kMouseLeaveTimer = 100;

int32_t MouseButton(UINT message, WPARAM wParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
        return 1;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return 2;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        return 3;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
        return (wParam & 0x10000) ? 4 : 5;
    default:
        return 0;
    }
}

oxPoint PointOf(LPARAM lParam) {
    return {int16_t(LOWORD(ULONG_PTR(lParam))), int16_t(HIWORD(ULONG_PTR(lParam)))};
}

bool KeyDown(int vk) {
    return (GetKeyState(vk) & 0x8000) != 0;
}

} // namespace

LRESULT oxFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = window_;
    oxFrameSite* site = Site();
    switch (message) {
    case WM_DESTROY:
        OnWindowDestroyed();
        return 0;
    case WM_MOVE: {
        StoreWindowPosition();
        oxNotificationEvent moved(kAtomMoved, owner_);
        Dispatch(&moved);
        return 0;
    }
    case WM_SIZE: {
        if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) {
            StoreWindowSize();
            StoreWindowPosition();
            if (!firstUpdate_ && !(site && site->IsEmbedded())) Update(false);
            if (owner_) {
                owner_->SetMaximized(wParam == SIZE_MAXIMIZED);
                owner_->SetMinimized(false);
            }
        } else if (wParam == SIZE_MINIMIZED && owner_) {
            owner_->SetMinimized(true);
            owner_->SetMaximized(false);
        }
        oxNotificationEvent resized(kAtomResized, owner_);
        Dispatch(&resized);
        return 0;
    }
    case WM_ACTIVATE: {
        const bool on = LOWORD(wParam) != WA_INACTIVE;
        if (owner_) owner_->SetActive(on);
        oxNotificationEvent event(on ? kAtomActivated : kAtomDeactivated, owner_);
        Dispatch(&event);
        break;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc && canvas_ && canvas_->HasTarget()) {
            // The painting DC keeps to the update region; the canvas is copied as it is.
            canvas_->SetClipRect(nullptr);
            canvas_->ResetClip();
            canvas_->CopyToDC(dc);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        StoreWindowPosition();
        RECT box;
        if (wParam && GetClipBox(reinterpret_cast<HDC>(wParam), &box) != ERROR) {
            oxRect r;
            r.FromRECT(box);
            Invalidate(&r, false);
        }
        return 1;
    }
    case WM_GETDLGCODE:
        return 1;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: {
        const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        const bool system = message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
        if (down) {
            if (!keyDownOwner) keyDownOwner = owner_;
        } else {
            oxBox* previous = keyDownOwner;
            keyDownOwner = nullptr;
            if (previous && previous != owner_) break; // its key-down went to another frame
        }
        // Tab and F4 as system keys belong to the platform.
        if (system && (wParam == 9 || wParam == 115)) break;
        if (site) site->FlushChangeNotifications();
        HandleKeyMessage(oxInputBox::MessageToEventAtom(message), UINT(wParam), lParam, &keyDefaultAllowed_);
        break;
    }
    case WM_CHAR:
    case WM_SYSCHAR:
        if (keyDefaultAllowed_) break;
        keyDefaultAllowed_ = true; // swallowed once
        return 0;
    case WM_COMMAND:
        return HandleMenuCommand(kAtomMenuCommand, LOWORD(wParam));
    case WM_CONTEXTMENU:
        HandleContextMenu(lParam);
        return 0;
    case WM_TIMER:
        if (wParam != kMouseLeaveTimer || !trackingMouseLeave_) return 0;
        {
            POINT cursor;
            GetCursorPos(&cursor);
            const oxRect r = GetWindowRect();
            if (r.Contains(oxPoint{cursor.x, cursor.y})) return 0;
            trackingMouseLeave_ = false;
            KillTimer(hwnd, kMouseLeaveTimer);
            HWND under = WindowFromPoint(cursor);
            auto* other = under && GetWindowThreadProcessId(under, nullptr) == GetWindowThreadProcessId(hwnd, nullptr)
                              ? reinterpret_cast<oxFrame*>(GetWindowLongPtrW(under, GWL_USERDATA))
                              : nullptr;
            if (other && other->GetOwnerBox() && owner_ &&
                other->GetOwnerBox()->FindPart(kAtom_root) == owner_->FindPart(kAtom_root))
                return 0;
            ScreenToClient(hwnd, &cursor);
            HandleMouseMessage(kAtomMouseMove, 0, oxPoint{cursor.x, cursor.y}, true);
        }
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
        if (site) site->FlushChangeNotifications();
        HandleMouseMessage(oxInputBox::MessageToEventAtom(message), MouseButton(message, wParam), PointOf(lParam),
                           false);
        break;
    case kMsgForwardedMouse: {
        const UINT forwarded = UINT(wParam);
        int32_t button = MouseButton(forwarded, 0);
        if (forwarded == WM_XBUTTONDOWN || forwarded == WM_XBUTTONUP) button = 5;
        // Only the pointer's moves, presses and releases are forwarded.
        const bool pointer = forwarded >= WM_MOUSEFIRST && forwarded <= WM_MOUSELAST && forwarded != WM_MOUSEWHEEL;
        if (oxAtom atom = pointer ? oxInputBox::MessageToEventAtom(forwarded) : 0)
            HandleMouseMessage(atom, button, PointOf(lParam), false);
        return 0;
    }
    case WM_CAPTURECHANGED:
        boxCaptured_ = false;
        if (capturedBox) capturedBox->SetCaptured(false);
        capturedBox = nullptr;
        return 0;
    case kMsgFrameUpdate:
        updatePosted_ = false;
        if (site) site->UpdateWindowFrames();
        return 0;
    case kMsgFrameDestroy:
        DestroyWindow(hwnd);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void oxFrame::HandleContextMenu(LPARAM lParam) {
    oxFrameSite* site = Site();
    if (!site || !owner_ || !window_) return;
    oxBox* target = nullptr;
    oxPoint point{};
    const bool byKeyboard = lParam == LPARAM(-1);
    if (byKeyboard) {
        // From the keyboard: the focused box, at its centre.
        oxInputScene* scene = GetInputScene(owner_);
        target = scene ? scene->GetFocusedBox() : nullptr;
        if (!target) return;
        const oxPoint at = site->GetFramePosition(target);
        const oxRect r = site->GetBoxRect(target);
        point = {at.x + r.width / 2, at.y + r.height / 2};
    } else {
        POINT client = {PointOf(lParam).x, PointOf(lParam).y};
        ScreenToClient(window_, &client);
        point = {client.x, client.y};
        flags_ |= 1;
        target = site->HitTest(owner_, point);
        flags_ &= ~1;
    }
    if (!target) return;
    const oxPoint at = site->GetFramePosition(target);
    oxContextMenuEvent event(kAtomContextMenu, target, byKeyboard, KeyDown(17), KeyDown(18), KeyDown(16), point,
                             oxPoint{point.x - at.x, point.y - at.y});
    DispatchGuard guard(this);
    site->DispatchEvent(&event);
}

LRESULT oxFrame::HandleMouseMessage(oxAtom atom, int32_t button, const oxPoint& point, bool outside) {
    oxFrameSite* site = Site();
    if (!site || !owner_ || !window_) return 0;
    flags_ |= 1;
    POINT screen{point.x, point.y};
    ClientToScreen(window_, &screen);
    oxBox* target = site->HitTest(owner_, point);
    if (atom == kAtomMouseDown && target) {
        if (target->GetDragMode())
            BeginBoxCapture();
        else
            SetMouseCapture(true);
        capturedBox = target;
        target->SetCaptured(true);
    } else if (atom == kAtomMouseUp) {
        if (boxCaptured_)
            EndBoxCapture();
        else
            SetMouseCapture(false);
        capturedBox = nullptr;
    }
    if (button == 1) {
        if (atom == kAtomMouseDown) lastLeftDownBox = target;
        if (atom == kAtomDoubleClick && target != lastLeftDownBox) {
            flags_ &= ~1;
            return 0;
        }
    }
    oxMouseEvent event(atom, outside ? nullptr : target, nullptr, button, HasCapture() ? this : nullptr, 0, point,
                       oxPoint{screen.x, screen.y}, KeyDown(16), KeyDown(17), KeyDown(18));
    DispatchGuard guard(this);
    site->DispatchEvent(&event);
    if (guard.gone) return 0; // a handler closed the scene and its frame
    flags_ &= ~1;
    return 0;
}

namespace {

// The toolkit's own keys under Ctrl+Shift+Alt: the add and subtract keys scale the interface up and
// down by a tenth, the digits set it.
bool ScaleShortcut(UINT keyCode, float* scale) {
    static constexpr float kByDigit[10] = {1.0f, 0.5f, 0.75f, 1.25f, 1.5f, 1.75f, 2.0f, 2.25f, 2.5f, 2.75f};
    if (keyCode == 107)
        *scale = GetUiScale() * 1.1f;
    else if (keyCode == 109)
        *scale = GetUiScale() / 1.1f;
    else if (keyCode >= '0' && keyCode <= '9')
        *scale = kByDigit[keyCode - '0'];
    else
        return false;
    return true;
}

} // namespace

void oxFrame::RelayoutAllScenes(oxRuntime* runtime) {
    if (!runtime) return;
    auto openRoot = [runtime](int i) -> oxBox* {
        oxScene* scene = runtime->GetSceneAt(i);
        return scene && (scene->GetState() & oxScene::kOpen) ? scene->GetRootBox() : nullptr;
    };
    for (int i = 0; i < runtime->GetSceneCount(); ++i)
        if (oxBox* root = openRoot(i)) root->InvalidateUpToPopup();
    for (int i = 0; i < runtime->GetSceneCount(); ++i) {
        oxBox* root = openRoot(i);
        if (!root) continue;
        // A layout handler may close the scene: it stays until its layout is over.
        oxScene* scene = runtime->GetSceneAt(i);
        scene->AddRef();
        scene->QueueLayout(root);
        scene->Layout();
        if (scene->GetRootBox() == root) root->RequestRepaint();
        scene->Release();
    }
}

int32_t oxFrame::HandleKeyMessage(oxAtom atom, UINT keyCode, LPARAM lParam, bool* allowed) {
    oxFrameSite* site = Site();
    if (!site || !owner_) return 0;
    const bool shift = KeyDown(16), ctrl = KeyDown(17), alt = KeyDown(18);
    if (atom == kAtomSysKeyUp && keyCode == 18) keyCode = 136;
    const bool down = atom == kAtomKeyDown || atom == kAtomSysKeyDown;
    const WCHAR ch = down ? GetKeyCharacter(keyCode) : 0;
    oxInputScene* scene = GetInputScene(owner_);
    oxFrameInput* input = scene ? scene->GetFrameInput() : nullptr;
    oxBox* target = input ? input->GetKeyTarget(scene) : owner_;
    if (!target) target = owner_;
    bool ok = true;
    // A handler may close the scene and with it this frame: nothing of it is touched afterwards.
    DispatchGuard guard(this);
    if (down) {
        oxBox* focusBefore = scene ? scene->GetFocusedBox() : nullptr;
        if (LOWORD(ULONG_PTR(lParam)) == 1) {
            oxKeyEvent keyDown(kAtomKeyDown, target, nullptr, ch, shift, ctrl, alt, uint16_t(keyCode));
            site->DispatchEvent(&keyDown);
            if (guard.gone) return 0;
            ok = (keyDown.GetFlags() & kEventPropagating) != 0;
        }
        float scale = 0;
        if (shift && ctrl && alt && ScaleShortcut(keyCode, &scale)) {
            SetScale(scale);
            oxScene* own = dynamic_cast<oxScene*>(owner_->GetScene());
            RelayoutAllScenes(own ? own->GetSceneRuntime() : nullptr);
            if (guard.gone) return 0;
        }
        // A key-down that moved the focus has been acted on: no key press follows.
        const bool focusMoved = scene && scene->GetFocusedBox() != focusBefore;
        if (!(shift && ctrl && alt) && !focusMoved) {
            oxKeyEvent keyPress(kAtomKeyPress, target, nullptr, ch, shift, ctrl, alt, uint16_t(keyCode));
            site->DispatchEvent(&keyPress);
            if (guard.gone) return 0;
            if (!(keyPress.GetFlags() & kEventPropagating)) ok = false;
        }
    } else {
        oxKeyEvent keyUp(kAtomKeyUp, target, nullptr, ch, shift, ctrl, alt, uint16_t(keyCode));
        site->DispatchEvent(&keyUp);
        if (guard.gone) return 0;
    }
    if (allowed) *allowed = ok;
    return 0;
}

int32_t oxFrame::HandleMenuCommand(oxAtom atom, int32_t id) {
    oxFrameSite* site = Site();
    if (atom != kAtomMenuCommand || !site) return 0;
    oxFrame* host = site->GetWindowBoxFrame();
    oxBox* owner = host ? host->GetOwnerBox() : nullptr;
    if (!owner) return 0;
    // A handler may close the scene: it stays until the event has let go of its box, whose
    // destruction still tells the scene.
    oxScene* scene = dynamic_cast<oxScene*>(owner->GetScene());
    if (scene) scene->AddRef();
    {
        oxMenuEvent event(kAtomMenuCommand, owner, id);
        // Bubbling, it reaches the scene's own listeners before the window box.
        event.AddFlags(kEventBubbles);
        site->DispatchEvent(&event);
    }
    if (scene) scene->Release();
    return 0;
}
