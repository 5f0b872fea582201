#include "platform/win/resources.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <utility>
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
std::mutex modulesMutex;
std::vector<std::pair<HMODULE, const platform::resources::ModuleResources*>> modules;

const platform::resources::ModuleResources* ModuleTables(HMODULE module) {
    std::lock_guard<std::mutex> lock(modulesMutex);
    for (const auto& [handle, tables] : modules)
        if (handle == module) return tables;
    return nullptr;
}
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

void SetModuleResources(HMODULE module, const ModuleResources* resources) {
    std::lock_guard<std::mutex> lock(modulesMutex);
    std::erase_if(modules, [module](const auto& entry) { return entry.first == module; });
    if (module && resources) modules.emplace_back(module, resources);
}

const DialogResource* FindDialogResource(HMODULE module, UINT id) {
    const ModuleResources* tables = ModuleTables(module);
    for (int i = 0; tables && i < tables->dialogCount; ++i)
        if (tables->dialogs[i].id == id) return &tables->dialogs[i];
    return nullptr;
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

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int max) {
    if (!buffer || max <= 0) return 0;
    buffer[0] = 0;
    const platform::resources::StringResource* table = strings;
    int count = stringCount;
    if (const platform::resources::ModuleResources* tables = ModuleTables(instance)) {
        table = tables->strings;
        count = tables->stringCount;
    }
    for (int i = 0; i < count; ++i) {
        if (table[i].id != id) continue;
        int n = 0;
        while (table[i].text[n] && n < max - 1) {
            buffer[n] = table[i].text[n];
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
