#include "toolkit/widgets/native_menu.h"

#include <new>

namespace {

constexpr int kLabelUnits = 256;

void RemoveFirstAmpersand(std::u16string* label) {
    const size_t at = label->find(u'&');
    if (at != std::u16string::npos) label->erase(at, 1);
}

// The '&' of a menu text marks its access key unless it is the last character.
void SplitAccessKey(std::u16string* label, std::u16string* key) {
    const size_t at = label->find(u'&');
    if (at == std::u16string::npos || at + 1 >= label->size()) return;
    *key = label->substr(at + 1, 1);
    label->erase(at, 1);
}

std::u16string ReadLabel(HMENU menu, int32_t position) {
    WCHAR text[kLabelUnits] = {};
    GetMenuStringW(menu, UINT(position), text, kLabelUnits, MF_BYPOSITION);
    return text;
}

} // namespace

oxNativeMenuItem::oxNativeMenuItem(uint32_t id, std::u16string label, std::u16string accessKey,
                                   std::u16string accelText, bool separator, HMENU menu, int32_t position)
    : id_(id), label_(std::move(label)), accessKey_(std::move(accessKey)), accelText_(std::move(accelText)),
      separator_(separator), menu_(menu), position_(position) {}

ULONG oxNativeMenuItem::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

std::u16string oxNativeMenuItem::DisplayLabel() const {
    std::u16string shown = label_;
    if (!shown.empty() && !accessKey_.empty()) {
        const size_t at = shown.find(accessKey_);
        if (at != std::u16string::npos) shown.insert(at, 1, u'&');
    }
    return shown;
}

void oxNativeMenuItem::Update() {
    if (separator_ || !menu_) return;
    const std::u16string shown = DisplayLabel();
    HMENU submenu = ::GetSubMenu(menu_, position_);
    // The platform has no call that rewrites an item in place: it is taken out and put back.
    if (!RemoveMenu(menu_, UINT(position_), MF_BYPOSITION)) return;
    if (submenu)
        InsertMenuW(menu_, UINT(position_), MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(submenu),
                    shown.c_str());
    else
        InsertMenuW(menu_, UINT(position_), MF_BYPOSITION, id_, shown.c_str());
}

void oxNativeMenuItem::SetId(uint32_t id) {
    id_ = id;
    Update();
}

void oxNativeMenuItem::SetLabel(const std::u16string& text) {
    std::u16string label = text;
    SplitAccessKey(&label, &accessKey_);
    label_ = label;
    Update();
}

void oxNativeMenuItem::SetAccessKey(const std::u16string& key) {
    accessKey_ = key;
    Update();
}

void oxNativeMenuItem::SetAccelText(const std::u16string& text) {
    accelText_ = text;
    Update();
}

oxNativeMenu::~oxNativeMenu() {
    if (owned_ && menu_) DestroyMenu(menu_);
    submenuIds_.clear();
}

ULONG oxNativeMenu::Release() {
    const ULONG left = --refs_;
    if (left == 0) {
        refs_ = 0xC0000001;
        delete this;
    }
    return left;
}

bool oxNativeMenu::Create(bool popup) {
    if (menu_) return false;
    menu_ = popup ? CreatePopupMenu() : CreateMenu();
    owned_ = menu_ != nullptr;
    return owned_;
}

oxNativeMenuItem* oxNativeMenu::CreateItem(uint32_t id, const std::u16string& label, const std::u16string& accessKey,
                                           const std::u16string& accelText) {
    std::u16string text = label;
    if (!text.empty() && !accessKey.empty()) RemoveFirstAmpersand(&text);
    return new (std::nothrow) oxNativeMenuItem(id, text, accessKey, accelText, false, menu_, 0);
}

oxNativeMenuItem* oxNativeMenu::CreateSeparator() {
    return new (std::nothrow) oxNativeMenuItem(0, u"", u"", u"", true, menu_, 0);
}

bool oxNativeMenu::InsertItem(int32_t position, oxNativeMenuItem* item) {
    if (!menu_ || !item) return false;
    BOOL done;
    if (item->IsSeparator())
        done = InsertMenuW(menu_, UINT(position), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    else
        done = InsertMenuW(menu_, UINT(position), MF_BYPOSITION, item->GetId(), item->DisplayLabel().c_str());
    if (!done) return false;
    item->AttachTo(menu_, position);
    return true;
}

bool oxNativeMenu::RemoveItem(int32_t position) {
    return menu_ && RemoveMenu(menu_, UINT(position), MF_BYPOSITION);
}

oxNativeMenuItem* oxNativeMenu::GetItem(int32_t position) {
    if (!menu_) return nullptr;
    const UINT state = GetMenuState(menu_, UINT(position), MF_BYPOSITION);
    if (state == UINT(-1)) return nullptr;
    if (state & MF_SEPARATOR) return new (std::nothrow) oxNativeMenuItem(0, u"", u"", u"", true, menu_, position);
    std::u16string label = ReadLabel(menu_, position), key;
    SplitAccessKey(&label, &key);
    uint32_t id = GetMenuItemID(menu_, position);
    if (state & MF_POPUP) {
        id = 0;
        for (const auto& entry : submenuIds_) {
            if (entry.first == position) {
                id = entry.second;
                break;
            }
        }
    }
    return new (std::nothrow) oxNativeMenuItem(id, label, key, u"", false, menu_, position);
}

bool oxNativeMenu::SetSubMenu(int32_t position, oxNativeMenu* submenu) {
    if (!menu_) return false;
    const UINT state = GetMenuState(menu_, UINT(position), MF_BYPOSITION);
    if (state == UINT(-1) || (state & MF_SEPARATOR)) return false;
    if (submenu) {
        if (!submenu->menu_) return false;
        const std::u16string label = ReadLabel(menu_, position);
        const uint32_t id = GetMenuItemID(menu_, position);
        submenuIds_.emplace_back(position, id);
        if (!RemoveMenu(menu_, UINT(position), MF_BYPOSITION)) return false;
        if (!InsertMenuW(menu_, UINT(position), MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(submenu->menu_),
                         label.c_str()))
            return false;
        // The parent menu now destroys the submenu with itself: its wrapper must not as well.
        submenu->owned_ = false;
        return true;
    }
    HMENU held = ::GetSubMenu(menu_, position);
    if (!held) return false;
    std::u16string label = ReadLabel(menu_, position), key;
    SplitAccessKey(&label, &key);
    uint32_t id = 0;
    for (auto it = submenuIds_.begin(); it != submenuIds_.end(); ++it) {
        if (it->first == position) {
            id = it->second;
            submenuIds_.erase(it);
            break;
        }
    }
    if (!RemoveMenu(menu_, UINT(position), MF_BYPOSITION)) return false;
    // Taken out, the submenu belongs to nobody any more.
    DestroyMenu(held);
    oxNativeMenuItem plain(id, label, key, u"", false, menu_, position);
    return InsertMenuW(menu_, UINT(position), MF_BYPOSITION, id, plain.DisplayLabel().c_str()) != 0;
}

oxNativeMenu* oxNativeMenu::GetSubMenu(int32_t position) {
    if (!menu_) return nullptr;
    HMENU held = ::GetSubMenu(menu_, position);
    if (!held) return nullptr;
    auto* wrapper = new (std::nothrow) oxNativeMenu();
    if (wrapper) wrapper->menu_ = held;
    return wrapper;
}
