#include "platform/win/resources.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "platform/win/system_params.h"

namespace {

struct Icon {
    int size;
    std::vector<uint32_t> pixels;
};

const platform::resources::StringResource* strings = nullptr;
int stringCount = 0;
const platform::resources::IconResource* icons = nullptr;
int iconCount = 0;
std::mutex iconsMutex;
std::set<Icon*> liveIcons;

UINT IdOf(LPCWSTR name) {
    const auto value = reinterpret_cast<ULONG_PTR>(name);
    return value <= 0xFFFF ? UINT(value) : 0;
}

// Scales the 96-dpi picture to `size` by nearest neighbour.
HICON MakeIcon(const platform::resources::IconResource& r, int size) {
    auto* icon = new (std::nothrow) Icon{size, std::vector<uint32_t>(size_t(size) * size)};
    if (!icon) return nullptr;
    const int keys = int(std::char_traits<char>::length(r.keys));
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const char c = r.rows[y * r.size / size][x * r.size / size];
            const char* at = std::find(r.keys, r.keys + keys, c);
            if (at == r.keys + keys) continue;
            const COLORREF colour = r.colours[at - r.keys];
            icon->pixels[size_t(y) * size + x] = 0xFF000000u | (uint32_t(GetRValue(colour)) << 16) |
                                                 (uint32_t(GetGValue(colour)) << 8) | GetBValue(colour);
        }
    std::lock_guard<std::mutex> lock(iconsMutex);
    liveIcons.insert(icon);
    return reinterpret_cast<HICON>(icon);
}

} // namespace

namespace platform::resources {

void SetProgramResources(const StringResource* s, int sCount, const IconResource* i, int iCount) {
    strings = s;
    stringCount = sCount;
    icons = i;
    iconCount = iCount;
}

bool GetIconImage(HICON handle, IconImage* out) {
    auto* icon = reinterpret_cast<Icon*>(handle);
    std::lock_guard<std::mutex> lock(iconsMutex);
    if (!out || !liveIcons.count(icon)) return false;
    out->size = icon->size;
    out->pixels = icon->pixels.data();
    return true;
}

} // namespace platform::resources

int LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int max) {
    if (!buffer || max <= 0) return 0;
    buffer[0] = 0;
    for (int i = 0; i < stringCount; ++i) {
        if (strings[i].id != id) continue;
        int n = 0;
        while (strings[i].text[n] && n < max - 1) {
            buffer[n] = strings[i].text[n];
            ++n;
        }
        buffer[n] = 0;
        return n;
    }
    return 0;
}

HANDLE LoadImageW(HINSTANCE, LPCWSTR name, UINT type, int cx, int, UINT) {
    if (type != IMAGE_ICON) return nullptr;
    const UINT id = IdOf(name);
    for (int i = 0; i < iconCount; ++i)
        if (icons[i].id == id) {
            const int size = cx > 0 ? cx : icons[i].size * GetSystemMetrics(SM_CXSMICON) / 16;
            return MakeIcon(icons[i], size);
        }
    return nullptr;
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    return static_cast<HICON>(LoadImageW(instance, name, IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
}

BOOL DestroyIcon(HICON handle) {
    auto* icon = reinterpret_cast<Icon*>(handle);
    {
        std::lock_guard<std::mutex> lock(iconsMutex);
        if (!liveIcons.erase(icon)) return FALSE;
    }
    delete icon;
    return TRUE;
}
