#include "toolkit/widgets/menu_element.h"

#include <new>

#include "toolkit/library/library.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/style_parser.h"
#include "toolkit/style/style_value.h"
#include "toolkit/widgets/native_menu.h"

namespace {

oxBindableElement* MakeMenuElement(oxAtom tag, oxLibrary* library) {
    return tag == kAtomMenu ? new (std::nothrow) oxMenuElement(tag, library) : nullptr;
}

std::u16string Text(const WCHAR* value) {
    return value ? value : u"";
}

} // namespace

void oxRegisterMenuElements() {
    oxSetResourceElementMaker(MakeMenuElement);
}

// -- menu items ------------------------------------------------------------------------------------

oxMenuItemElement::~oxMenuItemElement() {
    if (built_) built_->Release();
}

int32_t oxMenuItemElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    (void)ns;
    switch (attribute) {
    case kAtomId:
        commandId_ = uint32_t(ParseInt(value));
        break;
    case kAtomLabel:
        label_ = Text(value);
        break;
    case kAtomAccessKey:
        accessKey_ = Text(value);
        break;
    case kAtomAccelText:
        accelText_ = Text(value);
        break;
    case kAtomSeparator:
        separator_ = ParseBool(value);
        break;
    case kAtomSubMenu:
        subMenuText_ = Text(value);
        break;
    default:
        break;
    }
    return 0;
}

void oxMenuItemElement::SetBuiltItem(oxNativeMenuItem* item) {
    if (item) item->AddRef();
    if (built_) built_->Release();
    built_ = item;
}

// -- menus -----------------------------------------------------------------------------------------

namespace {

// Submenus nest no deeper than this; a reference ring stops here too.
constexpr int kMaxMenuDepth = 8;

} // namespace

oxMenuElement::~oxMenuElement() {
    for (oxMenuItemElement* item : items_)
        delete item;
    if (native_) native_->Release();
}

int32_t oxMenuElement::CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) {
    (void)ns;
    *out = nullptr;
    if (tag != kAtomMenuItem) return kElementNotHandled;
    auto* item = new (std::nothrow) oxMenuItemElement();
    if (!item || !items_.PushBack(item)) {
        delete item;
        return kElementNotHandled;
    }
    *out = item;
    return 0;
}

void oxMenuElement::ResolveSubmenus() {
    ResolveSubmenus(0);
}

void oxMenuElement::ResolveSubmenus(int depth) {
    if (depth >= kMaxMenuDepth) return;
    for (oxMenuItemElement* item : items_) {
        if (item->GetSubMenuText().empty()) continue;
        oxStyleValue value;
        oxMenuElement* found = nullptr;
        if (ParseStyleValue(item->GetSubMenuText().c_str(), kStyleMaskReference, &value) &&
            value.GetType() == kStyleUrl && library_)
            found = dynamic_cast<oxMenuElement*>(value.ResolveResource(library_));
        item->SetSubMenu(found);
        if (found) found->ResolveSubmenus(depth + 1);
    }
}

bool oxMenuElement::BuildNativeMenu(bool popup) {
    return BuildNativeMenu(popup, 0);
}

bool oxMenuElement::BuildNativeMenu(bool popup, int depth) {
    if (building_) return false;
    auto* menu = new (std::nothrow) oxNativeMenu();
    if (!menu) return false;
    menu->AddRef();
    if (!menu->Create(popup)) {
        menu->Release();
        return false;
    }
    if (native_) native_->Release();
    native_ = menu;
    building_ = true;
    for (size_t i = 0; i < items_.size(); ++i) {
        oxMenuItemElement* element = items_[i];
        oxNativeMenuItem* item =
            element->IsSeparator()
                ? menu->CreateSeparator()
                : menu->CreateItem(element->GetCommandId(), element->GetLabel(), element->GetAccessKey(),
                                   element->GetAccelText());
        if (!item) continue;
        item->AddRef();
        element->SetBuiltItem(item);
        const bool inserted = menu->InsertItem(int32_t(i), item);
        item->Release();
        oxMenuElement* sub = element->GetSubMenu();
        // A submenu that leads back to a menu being built is left out rather than nested forever.
        if (!inserted || !sub || depth + 1 >= kMaxMenuDepth) continue;
        if (sub->BuildNativeMenu(true, depth + 1)) menu->SetSubMenu(int32_t(i), sub->native_);
    }
    building_ = false;
    return true;
}
