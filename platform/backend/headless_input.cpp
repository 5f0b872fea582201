#include "platform/backend/headless_input.h"

#include <initializer_list>
#include <iterator>

#include "platform/win/input.h"

namespace platform::headless {

void MoveTo(int x, int y) {
    input::PointerMove(x, y);
}

void Press(int x, int y) {
    input::PointerDown(x, y);
}

void Release(int x, int y) {
    input::PointerUp(x, y);
}

void Tap(int x, int y) {
    input::PointerDown(x, y);
    input::PointerUp(x, y);
}

void Drag(POINT from, POINT to, int steps) {
    input::PointerDown(from.x, from.y);
    for (int i = 1; i <= steps; ++i)
        input::PointerMove(from.x + int((int64_t(to.x) - from.x) * i / steps),
                           from.y + int((int64_t(to.y) - from.y) * i / steps));
    input::PointerUp(to.x, to.y);
}

void Key(UINT vk, UINT modifier) {
    if (modifier) input::KeyDown(modifier);
    input::KeyDown(vk);
    input::KeyUp(vk);
    if (modifier) input::KeyUp(modifier);
}

void KeyChord(UINT vk, std::initializer_list<UINT> modifiers) {
    for (UINT m : modifiers)
        input::KeyDown(m);
    input::KeyDown(vk);
    input::KeyUp(vk);
    for (auto m = std::rbegin(modifiers); m != std::rend(modifiers); ++m)
        input::KeyUp(*m);
}

void SoftKey(int which) {
    input::SoftKey(which, true);
    input::SoftKey(which, false);
}

void Back() {
    input::BackKey(true);
    input::BackKey(false);
}

} // namespace platform::headless
