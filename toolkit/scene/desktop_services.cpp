#include "toolkit/scene/desktop_services.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/crt/wide.h"
#include "platform/shell/file_dialog.h"
#include "platform/shell/file_icon.h"
#include "platform/shell/files.h"
#include "platform/shell/path_map.h"
#include "platform/shell/shell_execute.h"
#include "platform/shell/task_bar.h"
#include "platform/win/beep.h"
#include "platform/win/input.h"
#include "platform/win/sound.h"
#include "platform/win/system_params.h"
#include "platform/win/window.h"
#include "runtime/script_array.h"
#include "runtime/script_dictionary.h"
#include "runtime/stream.h"
#include "toolkit/base/uri.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scene/scene.h"

SIZE GetDesktopSize() {
    return SIZE{GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

RECT GetWorkAreaRect() {
    RECT area{0, 0, 0, 0};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

SIZE GetWorkAreaSize() {
    const RECT area = GetWorkAreaRect();
    return SIZE{area.right - area.left, area.bottom - area.top};
}

POINT GetWorkAreaOrigin() {
    const RECT area = GetWorkAreaRect();
    return POINT{area.left, area.top};
}

POINT ScreenToClientPoint(HWND window, POINT point) {
    MapWindowPoints(nullptr, window, &point, 1);
    return point;
}

POINT ClientToScreenPoint(HWND window, POINT point) {
    ClientToScreen(window, &point);
    return point;
}

RECT GetDesktopRect() {
    RECT r{0, 0, 0, 0};
    GetWindowRect(GetDesktopWindow(), &r);
    return r;
}

POINT GetCursorPosition() {
    POINT p{0, 0};
    GetCursorPos(&p);
    return p;
}

BOOL SetCursorPosition(int x, int y) {
    return SetCursorPos(x, y);
}

int32_t GetWheelScrollLines() {
    UINT lines = 0;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    return int32_t(lines);
}

RECT GetMonitorRect(HMONITOR monitor, bool workArea) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!monitor || !GetMonitorInfoW(monitor, &info)) return RECT{0, 0, 0, 0};
    return workArea ? info.rcWork : info.rcMonitor;
}

RECT GetMonitorRectFromPoint(POINT point) {
    return GetMonitorRect(MonitorFromPoint(point, MONITOR_DEFAULTTONULL), false);
}

RECT GetMonitorRectNear(POINT point, bool workArea, HWND window) {
    HMONITOR monitor = window ? MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY)
                              : MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST);
    return GetMonitorRect(monitor, workArea);
}

void GetModifierKeyStates(bool* shift, bool* ctrl, bool* alt) {
    if (shift) *shift = GetKeyState(VK_SHIFT) < 0;
    if (ctrl) *ctrl = GetKeyState(VK_CONTROL) < 0;
    if (alt) *alt = GetKeyState(VK_MENU) < 0;
}

bool IsKeyToggled(int virtualKey) {
    return (GetKeyState(virtualKey) & 1) != 0;
}

bool IsAnyKeyDown() {
    // Every key is asked, so that each one's "pressed since" bit is read and cleared.
    bool any = false;
    for (int key = 0; key < 256; ++key)
        if ((uint16_t(GetAsyncKeyState(key)) & 0x8001) == 0x8001) any = true;
    return any;
}

bool IsMouseButtonDown(bool right) {
    return GetAsyncKeyState(right ? VK_RBUTTON : VK_LBUTTON) < 0;
}

int32_t ShellOpen(const WCHAR* path) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.lpFile = path;
    return ShellExecuteEx(&info) ? 0 : 1;
}

int32_t EnumerateFonts() {
    NUBO::XObject* fonts = nullptr;
    const int32_t rc = NUBO::CreateXDictionary(&fonts);
    if (fonts) fonts->Release();
    return rc;
}

namespace {

// The last file sound, kept while it plays: the platform plays it from this memory.
std::mutex g_soundLock;
std::vector<uint8_t>* g_sound = nullptr;

// The beep type of a "syssound..." name; -1 (the default beep) for a name it does not know.
UINT SystemSoundType(const WCHAR* name) {
    static const struct {
        const char16_t* name;
        UINT type;
    } kSounds[] = {{u"syssoundasterisk", 0x40},
                   {u"syssoundexclamation", 0x30},
                   {u"syssoundhand", 0x10},
                   {u"syssoundquestion", 0x20}};
    for (const auto& s : kSounds)
        if (_wcsicmp(name, s.name) == 0) return s.type;
    return UINT(-1);
}

} // namespace

int32_t PlayNamedSound(oxScene* scene, const WCHAR* name) {
    if (!name || !*name) {
        MessageBeep(UINT(-1));
        return 0;
    }
    if (wcslen(name) > 8 && _wcsnicmp(name, u"syssound", 8) == 0) {
        MessageBeep(SystemSoundType(name));
        return 0;
    }
    const NUBO::TWString uri = oxUri::HasScheme(name)
                                   ? NUBO::TWString(name)
                                   : oxUri::JoinPath(scene ? scene->GetBase().GetString() : u"", name);
    NUBO::XStream* stream = nullptr;
    if (!SceneMayOpen(uri.GetString()) || OpenUriStream(uri.GetString(), &stream) != 0 || !stream) return 0;
    int64_t size = 0;
    std::lock_guard<std::mutex> hold(g_soundLock);
    if (stream->GetSize(&size) == 0 && size > 0 && size < (int64_t(1) << 31)) {
        if (!g_sound) g_sound = new (std::nothrow) std::vector<uint8_t>();
        if (g_sound) {
            // The buffer is about to change under what plays.
            if (!g_sound->empty()) PlaySoundW(nullptr, nullptr, SND_ASYNC);
            g_sound->assign(size_t(size), 0);
            uint32_t read = 0;
            // Differs on purpose: a file that holds no whole WAV image is not played, since the
            // platform would read its length from the header, past the end of the buffer.
            if (stream->Read(g_sound->data(), uint32_t(size), &read) == 0 && read == uint32_t(size) &&
                platform::sound::WaveImageLength(g_sound->data(), g_sound->size()) != 0)
                PlaySoundW(g_sound->data(), nullptr, SND_MEMORY | SND_ASYNC);
        }
    }
    stream->Release();
    return 0;
}

void StopSound() {
    PlaySoundW(nullptr, nullptr, SND_ASYNC);
    std::lock_guard<std::mutex> hold(g_soundLock);
    delete g_sound;
    g_sound = nullptr;
}

int32_t GetFileIcon(const WCHAR* path, const WCHAR* size, NUBO::XStream** out) {
    if (!out) return 1;
    *out = nullptr;
    if (!path || !*path || !size) return 1;
    int pixels = 0;
    if (wcscmp(size, u"16x16") == 0)
        pixels = 16;
    else if (wcscmp(size, u"32x32") == 0)
        pixels = 32;
    else
        return 1;
    const std::string ownIcons = platform::HostPathFromDevice(GetResourcesFolder().GetString()) + "icons";
    std::vector<uint8_t> png;
    if (!platform::shell::FileIconPng(platform::HostPathFromDevice(path), pixels, ownIcons, &png)) return 0;
    NUBO::XStream* stream = nullptr;
    if (NUBO::XStream::Create(&stream) != 0) return 0;
    uint32_t written = 0;
    if (stream->Write(png.data(), uint32_t(png.size()), &written) != 0 || written != png.size() ||
        stream->Seek(0, 0) != 0) {
        stream->Release();
        return 0;
    }
    *out = stream;
    return 0;
}

NUBO::TWString GetTempFolder(int32_t type) {
    if (type != 0) return NUBO::TWString(u"");
    WCHAR folder[128] = {};
    GetTempPathW(128, folder);
    return NUBO::TWString(folder);
}

namespace {

constexpr size_t kFileBufferUnits = 260001;

bool IsAbsolutePath(const NUBO::TWString& name) {
    const WCHAR* t = name.GetString();
    const size_t n = size_t(name.GetLength());
    return (n > 1 && t[1] == u':') || (n > 2 && t[2] == u'\\');
}

void Append(NUBO::XArray* array, const NUBO::TWString& path) {
    (void)array->AddValue(NUBO::XVariant(path));
}

} // namespace

int32_t ShowFileDialog(bool save, HWND owner, const WCHAR* title, const WCHAR* initialFile, const WCHAR* initialFolder,
                       const WCHAR* filter, const WCHAR* defaultExtension, bool multiple, NUBO::XObject** result) {
    if (result) *result = nullptr;
    NUBO::XArray* array = nullptr;
    if (int32_t rc = NUBO::CreateXArray(&array); rc != 0) return rc;
    std::vector<WCHAR> buffer;
    try {
        buffer.assign(kFileBufferUnits, 0);
    } catch (...) {
        buffer.clear();
    }
    if (!buffer.empty()) {
        const size_t initial = initialFile ? std::min(wcslen(initialFile), kFileBufferUnits - 1) : 0;
        std::copy(initialFile, initialFile + initial, buffer.begin());
        // Differs on purpose: the record's size is this platform's, not the phone's 76 bytes.
        OPENFILENAMEW record{};
        record.lStructSize = sizeof record;
        record.hwndOwner = owner;
        record.lpstrFilter = filter;
        record.nFilterIndex = 1;
        record.lpstrFile = buffer.data();
        record.nMaxFile = DWORD(kFileBufferUnits);
        record.lpstrInitialDir = initialFolder;
        record.lpstrTitle = title;
        if (defaultExtension && *defaultExtension) record.lpstrDefExt = defaultExtension;
        record.Flags = save ? OFN_OVERWRITEPROMPT
                            : (OFN_LONGNAMES | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY) |
                                  (multiple ? OFN_ALLOWMULTISELECT : 0);
        if (save ? GetSaveFileNameW(&record) : GetOpenFileNameW(&record)) {
            buffer.back() = 0;
            const NUBO::TWString first(buffer.data());
            const WCHAR* next = buffer.data() + first.GetLength() + 1;
            if (!save && multiple && first.GetLength() > 0 && size_t(next - buffer.data()) < buffer.size() && *next) {
                // The folder, then each name up to the empty one.
                const bool endsInSlash = first.GetString()[first.GetLength() - 1] == u'\\';
                while (size_t(next - buffer.data()) < buffer.size() && *next) {
                    const NUBO::TWString name(next);
                    NUBO::TWString path = name;
                    if (!IsAbsolutePath(name)) {
                        path = first;
                        if (!endsInSlash) path.Append(u"\\", 1);
                        path.Append(name.GetString(), name.GetLength());
                    }
                    Append(array, path);
                    next += name.GetLength() + 1;
                }
            } else {
                Append(array, first);
            }
        }
    }
    if (result)
        *result = array;
    else
        array->Release();
    return 0;
}
