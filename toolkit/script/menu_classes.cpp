#include "toolkit/script/menu_classes.h"

#include <new>

#include "runtime/result_codes.h"
#include "toolkit/script/script_class.h"
#include "toolkit/widgets/native_menu.h"

using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;
using script_class::ArgInt;
using script_class::ArgText;

Menu::Menu(oxNativeMenu* menu) : menu_(menu) {
    if (menu_) menu_->AddRef();
}

Menu::~Menu() {
    if (menu_) menu_->Release();
}

MenuItem::MenuItem(oxNativeMenuItem* item) : item_(item) {
    if (item_) item_->AddRef();
}

MenuItem::~MenuItem() {
    if (item_) item_->Release();
}

Menu* MakeMenuObject(oxNativeMenu* menu) {
    if (!menu) return nullptr;
    auto* object = new (std::nothrow) Menu(menu);
    if (object) object->AddRef();
    return object;
}

MenuItem* MakeMenuItemObject(oxNativeMenuItem* item) {
    if (!item) return nullptr;
    auto* object = new (std::nothrow) MenuItem(item);
    if (object) object->AddRef();
    return object;
}

namespace {

std::u16string Text(const NUBO::TWString& text) {
    return text.GetString() ? std::u16string(text.GetString()) : std::u16string();
}

// Hands a new native item (no reference taken yet) to the output in a new MenuItem.
void PutItem(XVariant* out, oxNativeMenuItem* item) {
    if (!item) return;
    item->AddRef();
    script_class::PutObject(out, MakeMenuItemObject(item));
    item->Release();
}

// The native menu of a menu argument, with a reference to its script object that the caller drops.
oxNativeMenu* ArgMenu(XArgList* args, int i, XObject** holder) {
    *holder = script_class::ArgObjectOf(args, i, &Menu::Descriptor);
    return *holder ? static_cast<Menu*>(*holder)->GetNativeMenu() : nullptr;
}

// -- Menu ------------------------------------------------------------------------------------------

int32_t CreateItem(Menu* self, XArgList* args, XVariant* out) {
    oxNativeMenu* menu = self->GetNativeMenu();
    if (!menu) return NUBO::XR_INVALID;
    const uint32_t id = args->GetArg(0)->ToUInt32();
    const int count = args->GetCount();
    const std::u16string label = Text(ArgText(args, 1));
    const std::u16string key = count > 2 ? Text(ArgText(args, 2)) : std::u16string();
    const std::u16string accel = count > 3 ? Text(ArgText(args, 3)) : std::u16string();
    PutItem(out, menu->CreateItem(id, label, key, accel));
    return 0;
}

int32_t CreateSeparator(Menu* self, XArgList*, XVariant* out) {
    oxNativeMenu* menu = self->GetNativeMenu();
    if (!menu) return NUBO::XR_INVALID;
    PutItem(out, menu->CreateSeparator());
    return 0;
}

int32_t InsertItem(Menu* self, XArgList* args, XVariant* out) {
    oxNativeMenu* menu = self->GetNativeMenu();
    if (!menu) return NUBO::XR_INVALID;
    XObject* item = script_class::ArgObjectOf(args, 1, &MenuItem::Descriptor);
    *out = item && menu->InsertItem(ArgInt(args, 0), static_cast<MenuItem*>(item)->GetNativeItem());
    if (item) item->Release();
    return 0;
}

int32_t RemoveItem(Menu* self, XArgList* args, XVariant* out) {
    oxNativeMenu* menu = self->GetNativeMenu();
    if (!menu) return NUBO::XR_INVALID;
    *out = menu->RemoveItem(ArgInt(args, 0));
    return 0;
}

int32_t GetItem(Menu* self, XArgList* args, XVariant* out) {
    oxNativeMenu* menu = self->GetNativeMenu();
    if (!menu) return NUBO::XR_INVALID;
    PutItem(out, menu->GetItem(ArgInt(args, 0)));
    return 0;
}

int32_t SetSubMenu(Menu* self, XArgList* args, XVariant* out) {
    oxNativeMenu* menu = self->GetNativeMenu();
    if (!menu) return NUBO::XR_INVALID;
    XObject* holder = nullptr;
    // Anything but a Menu detaches the submenu.
    oxNativeMenu* submenu = ArgMenu(args, 1, &holder);
    *out = menu->SetSubMenu(ArgInt(args, 0), submenu);
    if (holder) holder->Release();
    return 0;
}

int32_t GetSubMenu(Menu* self, XArgList* args, XVariant* out) {
    oxNativeMenu* menu = self->GetNativeMenu();
    if (!menu) return NUBO::XR_INVALID;
    oxNativeMenu* submenu = menu->GetSubMenu(ArgInt(args, 0));
    if (!submenu) return 0;
    submenu->AddRef();
    script_class::PutObject(out, MakeMenuObject(submenu));
    submenu->Release();
    return 0;
}

const NUBO::XMemberEntry kMenuMembers[] = {
    script_class::ObjectMethodRow<2, CreateItem>("createItem"),
    script_class::ObjectMethodRow<0, CreateSeparator>("createSeparator"),
    script_class::MethodRow<2, InsertItem>("insertItem"),
    script_class::MethodRow<1, RemoveItem>("removeItem"),
    script_class::ObjectMethodRow<1, GetItem>("getItem"),
    script_class::MethodRow<2, SetSubMenu>("setSubMenu"),
    script_class::ObjectMethodRow<1, GetSubMenu>("getSubMenu"),
    NUBO::XMemberEnd(),
};

// -- MenuItem --------------------------------------------------------------------------------------

int32_t GetId(MenuItem* self, XVariant* out) {
    if (!self->GetNativeItem()) return NUBO::XR_FAIL;
    *out = unsigned(self->GetNativeItem()->GetId());
    return 0;
}

int32_t SetId(MenuItem* self, const VARIANT& value) {
    if (!self->GetNativeItem()) return NUBO::XR_FAIL;
    self->GetNativeItem()->SetId(XVariant(value).ToUInt32());
    return 0;
}

template <const std::u16string& (oxNativeMenuItem::*Get)() const> int32_t GetText(MenuItem* self, XVariant* out) {
    if (!self->GetNativeItem()) return NUBO::XR_FAIL;
    *out = (self->GetNativeItem()->*Get)().c_str();
    return 0;
}

template <void (oxNativeMenuItem::*Set)(const std::u16string&)>
int32_t SetText(MenuItem* self, const VARIANT& value) {
    if (!self->GetNativeItem()) return NUBO::XR_FAIL;
    (self->GetNativeItem()->*Set)(Text(XVariant(value).ToString()));
    return 0;
}

int32_t GetIsSeparator(MenuItem* self, XVariant* out) {
    if (!self->GetNativeItem()) return NUBO::XR_FAIL;
    *out = self->GetNativeItem()->IsSeparator();
    return 0;
}

const NUBO::XMemberEntry kMenuItemMembers[] = {
    script_class::PropertyRow<GetId, SetId>("id"),
    script_class::PropertyRow<GetText<&oxNativeMenuItem::GetLabel>, SetText<&oxNativeMenuItem::SetLabel>>("label"),
    script_class::PropertyRow<GetText<&oxNativeMenuItem::GetAccessKey>, SetText<&oxNativeMenuItem::SetAccessKey>>(
        "accesskey"),
    script_class::PropertyRow<GetText<&oxNativeMenuItem::GetAccelText>, SetText<&oxNativeMenuItem::SetAccelText>>(
        "acceltext"),
    script_class::PropertyRow<GetIsSeparator>("isSeparator"),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor Menu::Descriptor = {"Menu", 8, kMenuMembers, &XObject::Descriptor, 0, {}};
NUBO::XClassDescriptor MenuItem::Descriptor = {"MenuItem", 6, kMenuItemMembers, &XObject::Descriptor, 0, {}};
