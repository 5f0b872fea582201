#include "platform/win/menu.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Item {
    UINT flags;
    UINT_PTR id;
    HMENU submenu;
    std::u16string text;
};

struct Menu {
    bool popup;
    std::vector<Item> items;
};

std::mutex menuMutex;
std::map<uintptr_t, std::unique_ptr<Menu>> menus;
uintptr_t nextMenu = 0x50000; // handles are never reused

Menu* Find(HMENU menu) {
    auto it = menus.find(reinterpret_cast<uintptr_t>(menu));
    return it == menus.end() ? nullptr : it->second.get();
}

HMENU Make(bool popup) {
    std::lock_guard lock(menuMutex);
    auto m = std::make_unique<Menu>();
    m->popup = popup;
    const uintptr_t h = nextMenu++;
    menus[h] = std::move(m);
    return reinterpret_cast<HMENU>(h);
}

// The index of the item, by position or by command id (searched through submenus); -1 when absent.
Menu* Locate(HMENU menu, UINT item, UINT flags, int* index) {
    Menu* m = Find(menu);
    if (!m) return nullptr;
    if (flags & MF_BYPOSITION) {
        if (item >= m->items.size()) return nullptr;
        *index = int(item);
        return m;
    }
    for (size_t i = 0; i < m->items.size(); ++i) {
        const Item& it = m->items[i];
        if (it.submenu) {
            if (Menu* inner = Locate(it.submenu, item, flags, index)) return inner;
        } else if (!(it.flags & MF_SEPARATOR) && it.id == item) {
            *index = int(i);
            return m;
        }
    }
    return nullptr;
}

void DestroyLocked(HMENU menu) {
    auto it = menus.find(reinterpret_cast<uintptr_t>(menu));
    if (it == menus.end()) return;
    std::unique_ptr<Menu> m = std::move(it->second);
    menus.erase(it);
    for (const Item& item : m->items)
        if (item.submenu) DestroyLocked(item.submenu);
}

} // namespace

HMENU CreateMenu() {
    return Make(false);
}

HMENU CreatePopupMenu() {
    return Make(true);
}

BOOL DestroyMenu(HMENU menu) {
    std::lock_guard lock(menuMutex);
    if (!Find(menu)) return FALSE;
    DestroyLocked(menu);
    return TRUE;
}

BOOL IsMenu(HMENU menu) {
    std::lock_guard lock(menuMutex);
    return Find(menu) != nullptr;
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text) {
    std::lock_guard lock(menuMutex);
    Menu* m = Find(menu);
    if (!m) return FALSE;
    Item item{flags & (MF_GRAYED | MF_DISABLED | MF_POPUP | MF_SEPARATOR), 0, nullptr, text ? text : u""};
    if (flags & MF_POPUP) {
        item.submenu = reinterpret_cast<HMENU>(idOrSubmenu);
        if (!Find(item.submenu) || item.submenu == menu) return FALSE;
    } else {
        item.id = idOrSubmenu;
    }
    size_t at = m->items.size();
    if (flags & MF_BYPOSITION) {
        at = std::min<size_t>(position, m->items.size());
    } else {
        int index;
        if (Menu* owner = Locate(menu, position, flags, &index); owner == m) at = size_t(index);
    }
    m->items.insert(m->items.begin() + ptrdiff_t(at), std::move(item));
    return TRUE;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text) {
    return InsertMenuW(menu, UINT(-1), flags | MF_BYPOSITION, idOrSubmenu, text);
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) {
    std::lock_guard lock(menuMutex);
    int index;
    Menu* m = Locate(menu, position, flags, &index);
    if (!m) return FALSE;
    m->items.erase(m->items.begin() + index);
    return TRUE;
}

int GetMenuItemCount(HMENU menu) {
    std::lock_guard lock(menuMutex);
    Menu* m = Find(menu);
    return m ? int(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
    std::lock_guard lock(menuMutex);
    Menu* m = Find(menu);
    if (!m || position < 0 || size_t(position) >= m->items.size()) return UINT(-1);
    const Item& item = m->items[size_t(position)];
    return item.submenu ? UINT(-1) : UINT(item.id);
}

HMENU GetSubMenu(HMENU menu, int position) {
    std::lock_guard lock(menuMutex);
    Menu* m = Find(menu);
    if (!m || position < 0 || size_t(position) >= m->items.size()) return nullptr;
    return m->items[size_t(position)].submenu;
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxCount, UINT flags) {
    std::lock_guard lock(menuMutex);
    int index;
    Menu* m = Locate(menu, item, flags, &index);
    if (!m) return 0;
    const std::u16string& text = m->items[size_t(index)].text;
    if (!buffer || maxCount <= 0) return int(text.size());
    const size_t n = std::min(text.size(), size_t(maxCount - 1));
    std::copy_n(text.begin(), n, buffer);
    buffer[n] = 0;
    return int(n);
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    std::lock_guard lock(menuMutex);
    int index;
    Menu* m = Locate(menu, item, flags, &index);
    return m ? m->items[size_t(index)].flags : UINT(-1);
}
