// What reaches the focused input box from the platform rather than as toolkit events: window
// messages seen before any frame handles them (editing keys, typed characters, the input method's
// composition, the Back key), the naming of window messages as event atoms, the clipboard, the
// input method's modes and the menu bar's Back key.
#include <cstring>
#include <string>

#include "platform/shell/menu_bar.h"
#include "platform/win/beep.h"
#include "platform/win/clipboard.h"
#include "platform/win/ime.h"
#include "platform/win/input.h"
#include "platform/win/local_memory.h"
#include "platform/win/messages.h"
#include "platform/win/system_params.h"
#include "toolkit/base/atoms.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_site.h"
#include "toolkit/widgets/input_box.h"

namespace {

constexpr UINT kMenuBarOverrideKey = 0x593;
constexpr int kCompositionBytes = 62;

// A high surrogate typed as its own character, waiting for the low one.
WCHAR pendingHigh = 0;

bool IsHigh(WCHAR c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLow(WCHAR c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Text from outside (the clipboard) as the box can hold it: a surrogate without its partner
// becomes U+FFFD, line breaks become the box's own ("\n" where it has lines, else a space) and
// other control characters go.
std::u16string CleanText(const WCHAR* text, size_t length, bool lines) {
    std::u16string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        const WCHAR c = text[i];
        if (IsHigh(c) && i + 1 < length && IsLow(text[i + 1])) {
            out += c;
            out += text[++i];
        } else if (IsHigh(c) || IsLow(c)) {
            out += u'\xFFFD';
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < length && text[i + 1] == u'\n') ++i;
            out += lines ? u'\n' : u' ';
        } else if (c == u'\t') {
            out += u' ';
        } else if (c >= 0x20 && c != 0x7F) {
            out += c;
        }
    }
    return out;
}

HWND BoxWindow(oxBox* box) {
    oxFrameSite* site = GetFrameSite(box);
    oxFrame* frame = site ? site->GetWindowBoxFrame() : nullptr;
    return frame ? frame->GetWindow() : nullptr;
}

// A character typed into the focused box.
void TypeCharacter(oxInputBox* box, WCHAR c) {
    const WCHAR high = pendingHigh;
    pendingHigh = 0;
    switch (c) {
    case 22: // Ctrl+V
        oxInputBox::Paste();
        return;
    case 24: // Ctrl+X
        oxInputBox::Cut();
        return;
    case 3: // Ctrl+C
        oxInputBox::Copy();
        return;
    case 1: // Ctrl+A
        box->SelectAll();
        return;
    case 8: // Backspace
        box->DeleteChar(false);
        box->RequestRepaint();
        return;
    case 13:
        // Return starts a new line where the box keeps lines; elsewhere it belongs to the scene.
        if (box->KeepsLines()) box->ReplaceSelection(u"\n");
        return;
    default:
        break;
    }
    // Tab, Escape and the other control characters are not text.
    if (c < 0x20 || c == 0x7F) return;
    if (IsHigh(c)) {
        pendingHigh = c;
        return;
    }
    WCHAR text[3] = {c, 0, 0};
    if (IsLow(c)) {
        // A low surrogate alone is not a character.
        if (!high) return;
        text[0] = high, text[1] = c;
    }
    box->ReplaceSelection(text);
    box->RequestRepaint();
}

void Composition(oxInputBox* box, HWND window, LPARAM parts) {
    HIMC context = ImmGetContext(window);
    if (parts & GCS_COMPSTR) {
        WCHAR buffer[kCompositionBytes / 2 + 1] = {};
        const LONG bytes = ImmGetCompositionStringW(context, GCS_COMPSTR, buffer, kCompositionBytes);
        if (bytes > 1) {
            const int32_t n = int32_t(bytes / 2);
            buffer[n] = 0;
            box->ReplaceSelection(buffer);
            const int32_t caret = box->GetCaretPos();
            box->SelectRange(caret - n, caret);
        }
    }
    if (parts & GCS_RESULTSTR) {
        box->ClearSelection();
        box->RequestRepaint();
    }
    ImmReleaseContext(window, context);
}

} // namespace

int oxInputBox::PreTranslateMessage(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_IME_SETCONTEXT) {
        DefWindowProcW(msg->hwnd, msg->message, msg->wParam, 0);
        return 1;
    }
    oxInputBox* box = focused_;
    if (!box || box->IsInert()) return 0;
    const UINT m = msg->message;
    if (!((m >= WM_KEYDOWN && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) ||
          (m >= WM_IME_STARTCOMPOSITION && m <= WM_IME_COMPOSITION) || m == WM_HOTKEY))
        return 0;
    // The box may go while it edits: a handler of "modified" can remove it.
    box->AddRef();
    int result = 0;
    switch (m) {
    case WM_KEYDOWN: {
        // Shift as of this key, not as of now: keys queued behind it must not change its meaning.
        const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        switch (msg->wParam) {
        // Tab is left to the frame's key rule, which moves the focus once and lets a handler
        // prevent it; moving it here as well would move it twice.
        case VK_END:
        case VK_HOME: {
            const bool end = msg->wParam == VK_END;
            if (shift) {
                const Pos from = box->hasSelection_ ? box->selectionEnd_ : box->caret_;
                box->ExtendSelection(end ? box->LineEndColumn(from.line) - from.column : -from.column);
            } else {
                box->CaretToLineEdge(end);
            }
            box->RestartBlink();
            box->caretVisible_ = true;
            box->RequestRepaint();
            break;
        }
        case VK_DELETE:
            box->DeleteChar(true);
            box->RequestRepaint();
            break;
        default:
            break;
        }
        break;
    }
    case WM_CHAR:
        TypeCharacter(box, WCHAR(msg->wParam));
        break;
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
        result = 1;
        break;
    case WM_IME_COMPOSITION:
        Composition(box, msg->hwnd, msg->lParam);
        result = 1;
        break;
    case WM_HOTKEY:
        // The Back key that the menu bar hands over while an input box has the focus.
        if (HIWORD(ULONG_PTR(msg->lParam)) == VK_TBACK && LOWORD(ULONG_PTR(msg->lParam)) == 0) {
            box->DeleteChar(false);
            box->RequestRepaint();
        }
        break;
    default:
        break;
    }
    box->Release();
    return result;
}

oxAtom oxInputBox::MessageToEventAtom(UINT message) {
    switch (message) {
    case WM_KEYDOWN:
        return kAtomKeyDown;
    case WM_KEYUP:
        return kAtomKeyUp;
    case WM_SYSKEYDOWN:
        return kAtomSysKeyDown;
    case WM_SYSKEYUP:
        return kAtomSysKeyUp;
    case WM_COMMAND:
        return kAtomMenuCommand;
    case WM_MOUSEMOVE:
        return kAtomMouseMove;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
        return kAtomMouseDown;
    case WM_LBUTTONDBLCLK:
        return kAtomDoubleClick;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_XBUTTONUP:
        return kAtomMouseUp;
    case WM_MOUSEWHEEL:
        return kAtomMouseWheel;
    default:
        return 0;
    }
}

// The clipboard.

void oxInputBox::Copy() {
    oxInputBox* box = focused_;
    if (!box) return;
    if (box->IsPassword()) {
        MessageBeep(UINT(-1));
        return;
    }
    const WCHAR* v = box->Value();
    int32_t start = 0, length = 0;
    box->GetSelectionRange(&start, &length);
    if (!box->hasSelection_ || !v || !*v || start + length > box->ValueLength()) return;
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    auto* block = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (size_t(length) + 1) * sizeof(WCHAR)));
    if (block) {
        std::memcpy(block, v + start, size_t(length) * sizeof(WCHAR));
        block[length] = 0;
        if (!SetClipboardData(CF_UNICODETEXT, block)) LocalFree(block);
    }
    CloseClipboard();
}

void oxInputBox::Cut() {
    oxInputBox* box = focused_;
    if (!box) return;
    box->AddRef();
    Copy();
    box->DeleteSelection();
    box->Release();
}

void oxInputBox::Paste() {
    oxInputBox* box = focused_;
    if (!box || !IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(nullptr)) return;
    std::u16string text;
    bool any = false;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        const auto* units = static_cast<const WCHAR*>(data);
        const size_t room = LocalSize(data) / sizeof(WCHAR);
        size_t n = 0;
        while (n < room && units[n])
            ++n;
        text = CleanText(units, n, box->KeepsLines());
        any = true;
    }
    CloseClipboard();
    if (!any) return;
    box->AddRef();
    box->ReplaceSelection(text.c_str());
    box->RequestRepaint();
    box->Release();
}

// The input method and the Back key.

void oxInputBox::ApplyInputMode() {
    HWND window = BoxWindow(this);
    HIMC context = ImmGetContext(window);
    if (!context) return;
    ImmSetOpenStatus(context, TRUE);
    WCHAR type[32] = {};
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    const bool smartphone =
        SystemParametersInfoW(SPI_GETPLATFORMTYPE, 32, type, 0) && std::u16string(type) == u"SmartPhone";
    const bool v51 = GetVersionExW(&version) && version.dwMajorVersion == 5 && version.dwMinorVersion == 1;
    if (smartphone || v51) {
        const int mapped = inputMode_ == 1 ? 0 : inputMode_ == 4 ? 1 : inputMode_ == 7 ? 2 : -1;
        if (mapped >= 0) ImmEscapeW(nullptr, context, IME_ESC_SET_MODE, reinterpret_cast<void*>(intptr_t(mapped)));
    }
    ImmReleaseContext(window, context);
}

void oxInputBox::OverrideBackKey(bool on) {
    HWND bar = SHFindMenuBar(BoxWindow(this));
    if (bar) SendMessageW(bar, kMenuBarOverrideKey, VK_TBACK, on ? 0x30003 : 3);
}
