#pragma once
// The program's main function: one instance only, the runtime library, COM and the toolkit started,
// the host objects registered with the Shell, "main.box" opened as the scene "main", the message
// loop run until the last scene closes, and everything torn down in reverse.
#include "platform/win/window.h"

class Shell;

// The title by which a second start finds the first.
inline constexpr const WCHAR* kMainWindowTitle = u"Tandu";

// The process exit code: 0, or 1 when another instance runs and could not be brought forward.
int WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);

namespace app {
// Seconds after which every open scene closes, the last opened first, 0 for never: lets a run
// without a display or a user end on its own (TANDU_RUN_SECONDS).
void SetRunBound(int seconds);

// What the main function did, step by step, for tests: "init", "listener", "device", ...
using StepLog = void (*)(const char* step);
void SetStepLog(StepLog log);

// Runs once the first scene is open, just before the message loop, so that a test can drive the
// program as a user would (timers it sets run in the main loop and in dialogs' modal loops alike).
using SceneDriver = void (*)(Shell* shell);
void SetSceneDriver(SceneDriver driver);
// Runs just before the first scene opens, so that a test can set what the scene starts with (its
// direction, for one).
void SetSceneSetup(SceneDriver setup);
} // namespace app
