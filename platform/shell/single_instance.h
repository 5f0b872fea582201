#pragma once
// Top-level windows of other processes of the same user, so that a second start of the program
// finds the first one's window by its title and brings it to the front. Each process that owns a
// top-level window listens on a socket in the user's runtime folder ($TANDU_RUNTIME_DIR, else
// $XDG_RUNTIME_DIR/tandu, else /tmp/tandu-<uid>); a finder asks every live process in turn, and
// the owner answers from its message loop. Windows of other processes have handles of their own
// that only SetForegroundWindow understands.
#include "platform/types.h"

struct HWND__;
using HWND = HWND__*;

namespace platform {

// Makes the calling thread's top-level windows findable from other processes; the first call of
// the process starts listening (on this thread's loop), later ones do nothing.
void PublishWindows();
// A visible top-level window of another process with this title, or null. Only a search by title
// alone (no class) looks beyond this process. Null also while answering another process's
// question, so two processes never ask each other in a circle.
HWND FindWindowOfOtherProcess(LPCWSTR className, LPCWSTR windowName);
bool IsWindowOfOtherProcess(HWND hwnd);
// Asks the owner to bring the window to the front: TRUE when it did.
BOOL ActivateWindowOfOtherProcess(HWND hwnd);

} // namespace platform
