#pragma once
// Markup menus: a `menu` resource of a library holds `menuItem` children and builds from them the
// native menu that a window box installs as its soft-key menu bar. An item with `subMenu` names
// another menu resource ("url(#id)"), built as the item's submenu.
#include <cstdint>
#include <string>

#include "runtime/ptr_vector.h"
#include "toolkit/base/element.h"
#include "toolkit/library/bindable_element.h"

class oxMenuElement;
class oxNativeMenu;
class oxNativeMenuItem;

class oxMenuItemElement : public oxElement {
public:
    oxMenuItemElement() : oxElement(kAtomBoxNamespace, kAtomMenuItem) {}
    ~oxMenuItemElement() override;

    // `id` is the item's command id, a decimal number; the rest are its texts and flags.
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;

    uint32_t GetCommandId() const { return commandId_; }
    const std::u16string& GetLabel() const { return label_; }
    const std::u16string& GetAccessKey() const { return accessKey_; }
    const std::u16string& GetAccelText() const { return accelText_; }
    bool IsSeparator() const { return separator_; }
    const std::u16string& GetSubMenuText() const { return subMenuText_; }
    oxMenuElement* GetSubMenu() const { return subMenu_; }
    void SetSubMenu(oxMenuElement* menu) { subMenu_ = menu; }
    // Keeps a reference to the item built for this element.
    void SetBuiltItem(oxNativeMenuItem* item);

private:
    uint32_t commandId_ = 0;
    std::u16string label_;
    std::u16string accessKey_;
    std::u16string accelText_;
    bool separator_ = false;
    std::u16string subMenuText_;
    oxMenuElement* subMenu_ = nullptr; // a resource of a library, not owned
    oxNativeMenuItem* built_ = nullptr;
};

class oxMenuElement : public oxBindableElement {
public:
    oxMenuElement(oxAtom tag, oxLibrary* library) : oxBindableElement(tag, library) {}
    ~oxMenuElement() override;

    // `menuItem` children, in any namespace.
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;

    // Finds the menus that the items' `subMenu` references name, and theirs in turn. A menu that
    // leads back to itself is not taken again.
    void ResolveSubmenus();
    // Makes a new native menu (a popup menu when `popup` is set) from the items and keeps it;
    // false when the platform gave no menu.
    bool BuildNativeMenu(bool popup);
    oxNativeMenu* GetNativeMenu() const { return native_; }
    size_t GetItemCount() const { return items_.size(); }
    oxMenuItemElement* GetItem(size_t index) const { return items_[index]; }

private:
    void ResolveSubmenus(int depth);
    bool BuildNativeMenu(bool popup, int depth);

    NUBO::PtrVector<oxMenuItemElement*> items_;
    oxNativeMenu* native_ = nullptr;
    bool building_ = false;
};

// Makes libraries build `menu` resources; the application calls it once before it loads markup.
void oxRegisterMenuElements();
