#pragma once
// Toolkit menus: a `menuBar` box holds `menu` boxes and each `menu` opens its `popup` box. The keys
// and the pointer move between the menus of a bar, open their popups and chain them; the bar keeps
// which menu is current and announces when menu use starts and ends.
#include <cstdint>

#include "toolkit/base/rect.h"
#include "toolkit/core/box.h"

class oxMenuBarBox;
class oxPopupBox;

class oxMenuBox : public oxBox {
public:
    explicit oxMenuBox(oxAtom tag) : oxBox(tag) {}

    oxAtom GetBoxType() const override { return kAtomMenu; }
    int32_t HandleEvent(oxEvent* event) override;
    // "accessKey" is withdrawn from the host frame before it changes and registered after.
    int32_t SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) override;
    void OnSceneAttached() override;

    // The popup the `popup` attribute names: "_child" the first child popup, else the popup of that
    // id. Null when it names no popup box.
    oxPopupBox* GetPopup();
    // The menu bar the menu sits in, unless a popup comes first on the way up.
    oxMenuBarBox* GetMenuBar() const;
    // Opens the popup at the menu when it is closed.
    void OpenPopup();
    // OpenPopup, unless the menu is disabled.
    void Open();
    // Closes another menu's open popup of the same bar or popup, then opens this one's.
    void OpenChained();
    // The open popup of another menu of the same bar or popup, or null.
    oxPopupBox* FindOtherOpenPopup();
    void Shut();

    // Disabled, hidden or collapsed, itself or through an ancestor.
    bool IsUnusable() const;
};

class oxMenuBarBox : public oxBox {
public:
    explicit oxMenuBarBox(oxAtom tag) : oxBox(tag) {}

    oxAtom GetBoxType() const override { return kAtomMenuBar; }
    int32_t HandleEvent(oxEvent* event) override;

    // -1 for none. The old item gets `current` false, the new one true; "menuStarting" and
    // "menuEnding" tell when the bar gets its first current item and loses its last.
    void SetCurrentItem(int32_t index);
    int32_t GetCurrentItem() const { return current_; }
    oxMenuBox* GetCurrentMenu();
    void FocusCurrent();
    int32_t FirstItemIndex();
    int32_t LastItemIndex();
    void ActivateFirst() { SetCurrentItem(FirstItemIndex()); }
    // The next (previous) usable menu, wrapping round.
    void SelectNext();
    void SelectPrevious();

private:
    oxMenuBox* UsableMenuAt(int32_t index);
    void HandleKey(oxEvent* event, oxBox* target);
    void HandlePointer(oxEvent* event, oxBox* target);

    int32_t current_ = -1;
    oxPoint pointer_{};
};

// The nearest menu bar at or above the box, or null.
oxMenuBarBox* FindMenuBarOf(oxBox* box);
// The first child of the box that is a menu bar, or null.
oxMenuBarBox* FindMenuBarChild(oxBox* box);

// Makes the box factory build menu and menu bar boxes for their tags.
void oxRegisterMenuBoxKinds();
