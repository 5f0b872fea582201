#pragma once
// Answers the modal boxes and dialogs that come up while a call under test runs: a thread timer
// fires inside their modal loop (on the virtual clock, its waits are time passing), notes the
// active window's caption and text and acts on it once, through the screen's input as a person
// would. Nothing fires when no loop runs.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/backend/headless_input.h"
#include "platform/win/dialog.h"
#include "platform/win/timer.h"

namespace test {

class ModalAnswerer {
public:
    struct Shown {
        std::u16string caption, text; // the text of the control `textId`
    };

    explicit ModalAnswerer(std::function<void(HWND)> act, int textId = 0xFFFF) : act_(std::move(act)), textId_(textId) {
        current() = this;
        timer_ = SetTimer(nullptr, 0, 50, Fire);
    }
    ~ModalAnswerer() {
        KillTimer(nullptr, timer_);
        current() = nullptr;
    }
    ModalAnswerer(const ModalAnswerer&) = delete;
    ModalAnswerer& operator=(const ModalAnswerer&) = delete;

    std::vector<Shown> shown;

    static POINT CentreOf(HWND hwnd) {
        RECT r{};
        GetWindowRect(hwnd, &r);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    // Taps the centre of the dialog's control `id`.
    static std::function<void(HWND)> Tap(int id) {
        return [id](HWND dialog) {
            const POINT p = CentreOf(GetDlgItem(dialog, id));
            platform::headless::Tap(p.x, p.y);
        };
    }

private:
    static ModalAnswerer*& current() {
        static ModalAnswerer* answerer = nullptr;
        return answerer;
    }
    static void Fire(HWND, UINT, UINT_PTR, DWORD) {
        ModalAnswerer* self = current();
        HWND active = GetActiveWindow();
        if (!self || !active || active == self->last_) return;
        self->last_ = active;
        WCHAR caption[256] = {}, text[1024] = {};
        GetWindowTextW(active, caption, 256);
        if (HWND label = GetDlgItem(active, self->textId_)) GetWindowTextW(label, text, 1024);
        self->shown.push_back({caption, text});
        self->act_(active);
    }

    std::function<void(HWND)> act_;
    int textId_;
    UINT_PTR timer_ = 0;
    HWND last_ = nullptr;
};

} // namespace test
