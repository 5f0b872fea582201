#pragma once
// Desktop services: plain functions over the platform for the screen and its work area, the cursor
// and key states, system sounds and sound files, opening a document through the shell and the
// temporary folder. The script classes, the frames and the transitions call them.
#include <cstdint>

#include "platform/types.h"
#include "runtime/wide_string.h"

struct HWND__;
struct HMONITOR__;
class oxScene;
namespace NUBO {
class XObject;
class XStream;
} // namespace NUBO

SIZE GetDesktopSize();
SIZE GetWorkAreaSize();
POINT GetWorkAreaOrigin();
RECT GetWorkAreaRect();
POINT ScreenToClientPoint(HWND__* window, POINT point);
POINT ClientToScreenPoint(HWND__* window, POINT point);
RECT GetDesktopRect();
POINT GetCursorPosition();
BOOL SetCursorPosition(int x, int y);
int32_t GetWheelScrollLines();
// The monitor rectangle at the point; empty when no monitor is there.
RECT GetMonitorRectFromPoint(POINT point);
// Empty for no monitor; its work area with `workArea`, else its whole rectangle.
RECT GetMonitorRect(HMONITOR__* monitor, bool workArea);
// With a window, the primary monitor's; without, the one nearest the point.
RECT GetMonitorRectNear(POINT point, bool workArea, HWND__* window);
// Each flag that is given is set when its key is down.
void GetModifierKeyStates(bool* shift, bool* ctrl, bool* alt);
bool IsKeyToggled(int virtualKey);
// Some key went down and is still down since the last ask.
bool IsAnyKeyDown();
bool IsMouseButtonDown(bool right);
// 0 when the platform took the path, else 1.
int32_t ShellOpen(const WCHAR* path);
// Makes and drops an empty dictionary: there is no list of fonts to give.
int32_t EnumerateFonts();
// An empty name beeps; "syssound..." names a system sound; any other name is a sound file of the
// scene's folder (or an address with a scheme), played from memory, asynchronously. Answers 0.
int32_t PlayNamedSound(oxScene* scene, const WCHAR* name);
// Stops what plays and lets the sound buffer go.
void StopSound();
// The open or save dialog. `filter` holds description and pattern texts each ended by NUL, and a
// NUL after the last. `result` receives a new array of the chosen paths, empty when the user
// cancelled; the answer is 0, or the code of the array's creation when it could not be made.
int32_t ShowFileDialog(bool save, HWND__* owner, const WCHAR* title, const WCHAR* initialFile,
                       const WCHAR* initialFolder, const WCHAR* filter, const WCHAR* defaultExtension, bool multiple,
                       NUBO::XObject** result);
// The icon of the file at `path` (a device path; one that does not exist counts as a plain file)
// for `size` "16x16" or "32x32": a new PNG stream at its start in `out`, from the resources folder's
// "icons" folder or the system's icon theme. 1 for an empty path or another size; 0 with nothing in
// `out` when no icon is found.
int32_t GetFileIcon(const WCHAR* path, const WCHAR* size, NUBO::XStream** out);
// The temporary folder for type 0, empty text for any other type.
NUBO::TWString GetTempFolder(int32_t type);
