#pragma once
// oxNativeMenu and oxNativeMenuItem: platform menus and their items, counted. A window box installs
// a native menu as its window's soft-key menu bar, whose first two items are the soft keys. An item
// inserted into a menu remembers the menu and its position there, so that changing the item's id or
// texts changes that item of the menu at once.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/menu.h"

class oxNativeMenuItem {
public:
    oxNativeMenuItem(uint32_t id, std::u16string label, std::u16string accessKey, std::u16string accelText,
                     bool separator, HMENU menu, int32_t position);
    oxNativeMenuItem(const oxNativeMenuItem&) = delete;
    oxNativeMenuItem& operator=(const oxNativeMenuItem&) = delete;
    virtual ~oxNativeMenuItem() = default;

    ULONG AddRef() { return ++refs_; }
    ULONG Release();

    uint32_t GetId() const { return id_; }
    const std::u16string& GetLabel() const { return label_; }
    const std::u16string& GetAccessKey() const { return accessKey_; }
    const std::u16string& GetAccelText() const { return accelText_; }
    bool IsSeparator() const { return separator_; }
    void SetId(uint32_t id);
    // An '&' that is not the text's last character marks the access key and is dropped.
    void SetLabel(const std::u16string& text);
    void SetAccessKey(const std::u16string& key);
    void SetAccelText(const std::u16string& text);

    // The label as the menu shows it: '&' before the first occurrence of the access key.
    std::u16string DisplayLabel() const;
    void AttachTo(HMENU menu, int32_t position) {
        menu_ = menu;
        position_ = position;
    }

private:
    // Writes the item's id and label into its menu.
    void Update();

    ULONG refs_ = 0;
    uint32_t id_;
    std::u16string label_;
    std::u16string accessKey_;
    std::u16string accelText_;
    bool separator_;
    HMENU menu_;
    int32_t position_;
};

class oxNativeMenu {
public:
    oxNativeMenu() = default;
    oxNativeMenu(const oxNativeMenu&) = delete;
    oxNativeMenu& operator=(const oxNativeMenu&) = delete;
    virtual ~oxNativeMenu();

    ULONG AddRef() { return ++refs_; }
    ULONG Release();

    // A popup menu (for submenus) or a menu bar's menu; true when made.
    bool Create(bool popup);
    // Each answers a new item with no reference taken yet, or null when memory ran out.
    oxNativeMenuItem* CreateItem(uint32_t id, const std::u16string& label, const std::u16string& accessKey,
                                 const std::u16string& accelText);
    oxNativeMenuItem* CreateSeparator();
    bool InsertItem(int32_t position, oxNativeMenuItem* item);
    // Takes the item out; a submenu it held is not destroyed.
    bool RemoveItem(int32_t position);
    // A new item read from the menu, or null when there is none at the position.
    oxNativeMenuItem* GetItem(int32_t position);
    // Turns the item into one that opens the submenu, or with null back into a plain item.
    bool SetSubMenu(int32_t position, oxNativeMenu* submenu);
    // A new wrapper over the submenu at the position, or null; it does not own the submenu.
    oxNativeMenu* GetSubMenu(int32_t position);

    HMENU GetHandle() const { return menu_; }

private:
    ULONG refs_ = 0;
    std::vector<std::pair<int32_t, uint32_t>> submenuIds_;
    HMENU menu_ = nullptr;
    bool owned_ = false;
};
