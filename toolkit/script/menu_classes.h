#pragma once
// The script classes of native menus: Menu over an oxNativeMenu and MenuItem over one of its
// items. Each holds a reference to its native object; every native object a member hands out
// comes in a new script object.
#include <cstdint>

#include "runtime/script_object.h"

class oxNativeMenu;
class oxNativeMenuItem;

class Menu : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "Menu"

    // Takes a reference to the menu (null: a script object without its native menu).
    explicit Menu(oxNativeMenu* menu);
    ~Menu() override;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    oxNativeMenu* GetNativeMenu() const { return menu_; }

private:
    oxNativeMenu* menu_;
};

class MenuItem : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "MenuItem"

    explicit MenuItem(oxNativeMenuItem* item);
    ~MenuItem() override;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    oxNativeMenuItem* GetNativeItem() const { return item_; }

private:
    oxNativeMenuItem* item_;
};

// A new script object over the native object with one reference; null for a null object or when
// memory ran out.
Menu* MakeMenuObject(oxNativeMenu* menu);
MenuItem* MakeMenuItemObject(oxNativeMenuItem* item);
