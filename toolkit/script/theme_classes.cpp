// The ThemeManager and Theme script classes: the script face of the runtime's themes element and
// of its theme entries. Setting `activeTheme` makes one theme the only active one, relaying every
// open scene once.
#include <new>

#include "runtime/script_args.h"
#include "runtime/script_variant.h"
#include "toolkit/base/atoms.h"
#include "toolkit/library/theme_element.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/script/native_wrapper.h"
#include "toolkit/script/script_class.h"
#include "toolkit/script/theme_classes.h"
#include "toolkit/scripthost/script_object_cache.h"

using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;
using script_class::ArgInt;
using script_class::ArgText;
using script_class::PutObject;

namespace {

oxThemesElement* ThemesOf(oxNativeWrapper* self) {
    return static_cast<oxThemesElement*>(self->GetNative());
}

oxThemeElement* ThemeOf(oxNativeWrapper* self) {
    return static_cast<oxThemeElement*>(self->GetNative());
}

// The theme's Theme object into `out`; null without a runtime or cache.
void PutTheme(oxThemesElement* themes, oxThemeElement* theme, XVariant* out) {
    oxResourceRuntime* runtime = themes ? themes->GetRuntime() : nullptr;
    oxScriptObjectCache* cache = runtime ? runtime->GetScriptObjectCache() : nullptr;
    XObject* object = nullptr;
    if (cache && theme) cache->GetThemeObject(theme, &object);
    PutObject(out, object);
}

TWString NameOf(oxAtom atom) {
    WCHAR name[oxAtoms::kLookupUnits] = {};
    if (atom) oxAtoms::GetName(atom, name, oxAtoms::kLookupUnits);
    return TWString(name);
}

// -- ThemeManager ----------------------------------------------------------------------------------

int32_t CreateTheme(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    oxThemesElement* themes = ThemesOf(self);
    if (!themes) return NUBO::XR_FAIL;
    auto* theme = new (std::nothrow) oxThemeElement(themes, nullptr);
    if (!theme) return 0;
    TWString id = ArgText(args, 0);
    theme->SetId(id.IsEmpty() ? 0 : oxAtoms::Intern(id.GetString()));
    if (themes->AddTheme(theme) != 0) {
        delete theme;
        return 0;
    }
    PutTheme(themes, theme, out);
    return 0;
}

int32_t DeleteTheme(oxNativeWrapper* self, XArgList* args, XVariant*) {
    oxThemesElement* themes = ThemesOf(self);
    if (!themes) return NUBO::XR_FAIL;
    TWString id = ArgText(args, 0);
    oxThemeElement* theme = id.IsEmpty() ? nullptr : themes->FindTheme(oxAtoms::Intern(id.GetString()));
    if (theme && themes->RemoveTheme(theme)) delete theme;
    return 0;
}

int32_t GetThemeAt(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    oxThemesElement* themes = ThemesOf(self);
    if (!themes) return NUBO::XR_FAIL;
    int32_t index = ArgInt(args, 0);
    PutTheme(themes, index < 0 ? nullptr : themes->GetThemeAt(size_t(index)), out);
    return 0;
}

int32_t GetThemeById(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    oxThemesElement* themes = ThemesOf(self);
    if (!themes) return NUBO::XR_FAIL;
    TWString id = ArgText(args, 0);
    PutTheme(themes, id.IsEmpty() ? nullptr : themes->FindTheme(oxAtoms::Intern(id.GetString())), out);
    return 0;
}

int32_t GetActiveTheme(oxNativeWrapper* self, XVariant* out) {
    oxThemesElement* themes = ThemesOf(self);
    if (!themes) return NUBO::XR_FAIL;
    oxThemeElement* active = themes->GetActiveTheme();
    if (active)
        *out = NameOf(active->GetId());
    else
        *out = int32_t(0);
    return 0;
}

int32_t SetActiveTheme(oxNativeWrapper* self, const VARIANT& value) {
    oxThemesElement* themes = ThemesOf(self);
    if (!themes) return NUBO::XR_FAIL;
    if (!themes->GetRuntime()) return 0;
    // A value that is no text leaves no theme active.
    XVariant text(value);
    oxAtom id = value.vt == VT_BSTR && !text.ToString().IsEmpty() ? oxAtoms::Intern(text.ToString().GetString()) : 0;
    themes->SetActiveTheme(id);
    return 0;
}

int32_t GetThemeCount(oxNativeWrapper* self, XVariant* out) {
    oxThemesElement* themes = ThemesOf(self);
    if (!themes) return NUBO::XR_FAIL;
    *out = int32_t(themes->GetThemeCount());
    return 0;
}

int32_t SetReadOnly(oxNativeWrapper*, const VARIANT&) {
    return 0;
}

// -- Theme -----------------------------------------------------------------------------------------

int32_t SetThemeAttribute(oxNativeWrapper* self, XArgList* args, XVariant*) {
    oxThemeElement* theme = ThemeOf(self);
    if (!theme) return NUBO::XR_FAIL;
    TWString name = ArgText(args, 0);
    if (!name.IsEmpty()) theme->SetAttributeText(oxAtoms::Intern(name.GetString()), ArgText(args, 1).GetString());
    return 0;
}

int32_t GetThemeAttribute(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    oxThemeElement* theme = ThemeOf(self);
    if (!theme) return NUBO::XR_FAIL;
    TWString name = ArgText(args, 0);
    const WCHAR* text = name.IsEmpty() ? nullptr : theme->GetAttributeText(oxAtoms::Intern(name.GetString()));
    *out = TWString(text ? text : u"");
    return 0;
}

int32_t AddThemeLibrary(oxNativeWrapper* self, XArgList* args, XVariant*) {
    oxThemeElement* theme = ThemeOf(self);
    if (!theme) return NUBO::XR_FAIL;
    (void)theme->AddLibrary(ArgText(args, 0).GetString());
    return 0;
}

int32_t RemoveThemeLibrary(oxNativeWrapper* self, XArgList* args, XVariant*) {
    oxThemeElement* theme = ThemeOf(self);
    if (!theme) return NUBO::XR_FAIL;
    theme->RemoveLibrary(ArgText(args, 0).GetString());
    return 0;
}

int32_t GetPersists(oxNativeWrapper* self, XVariant* out) {
    oxThemeElement* theme = ThemeOf(self);
    if (!theme) return NUBO::XR_FAIL;
    *out = theme->GetPersists();
    return 0;
}

int32_t SetPersists(oxNativeWrapper* self, const VARIANT& value) {
    oxThemeElement* theme = ThemeOf(self);
    if (!theme) return NUBO::XR_FAIL;
    theme->SetPersists(XVariant(value).ToBool());
    return 0;
}

int32_t GetThemeId(oxNativeWrapper* self, XVariant* out) {
    oxThemeElement* theme = ThemeOf(self);
    if (!theme) return NUBO::XR_FAIL;
    *out = NameOf(theme->GetId());
    return 0;
}

int32_t SetThemeId(oxNativeWrapper* self, const VARIANT& value) {
    oxThemeElement* theme = ThemeOf(self);
    if (!theme) return NUBO::XR_FAIL;
    TWString id = XVariant(value).ToString();
    theme->SetId(id.IsEmpty() ? 0 : oxAtoms::Intern(id.GetString()));
    return 0;
}

int32_t GetActive(oxNativeWrapper* self, XVariant* out) {
    oxThemeElement* theme = ThemeOf(self);
    if (!theme) return NUBO::XR_FAIL;
    *out = theme->IsActive();
    return 0;
}

int32_t SetActive(oxNativeWrapper* self, const VARIANT& value) {
    oxThemeElement* theme = ThemeOf(self);
    if (!theme) return NUBO::XR_FAIL;
    theme->SetActive(XVariant(value).ToBool());
    return 0;
}

int32_t GetLibraryCount(oxNativeWrapper* self, XVariant* out) {
    oxThemeElement* theme = ThemeOf(self);
    if (!theme) return NUBO::XR_FAIL;
    *out = int32_t(theme->GetLibraryCount());
    return 0;
}

int32_t GetFirstLibrary(oxNativeWrapper* self, XVariant* out) {
    oxThemeElement* theme = ThemeOf(self);
    if (!theme) return NUBO::XR_FAIL;
    auto* object = static_cast<oxThemeObject*>(self);
    if (theme->GetLibraryCount() == 0) return 0;
    object->cursor = 0;
    object->cursorValid = true;
    *out = TWString(theme->GetLibraryAt(0, nullptr));
    return 0;
}

int32_t GetNextLibrary(oxNativeWrapper* self, XVariant* out) {
    oxThemeElement* theme = ThemeOf(self);
    if (!theme) return NUBO::XR_FAIL;
    auto* object = static_cast<oxThemeObject*>(self);
    if (!object->cursorValid) return GetFirstLibrary(self, out);
    const WCHAR* uri = theme->NextLibrary(&object->cursor, nullptr);
    if (uri) *out = TWString(uri);
    return 0;
}

using script_class::MethodRow;
using script_class::ObjectMethodRow;
using script_class::PropertyRow;

const NUBO::XMemberEntry kManagerMembers[] = {
    ObjectMethodRow<1, CreateTheme>("createTheme"),
    MethodRow<1, DeleteTheme>("deleteTheme"),
    ObjectMethodRow<1, GetThemeAt>("getThemeAt"),
    ObjectMethodRow<1, GetThemeById>("getThemeById"),
    PropertyRow<GetActiveTheme, SetActiveTheme>("activeTheme"),
    PropertyRow<GetThemeCount, SetReadOnly>("themeCount"),
    NUBO::XMemberEnd(),
};

const NUBO::XMemberEntry kThemeMembers[] = {
    MethodRow<2, SetThemeAttribute>("setAttribute"),
    MethodRow<1, GetThemeAttribute>("getAttribute"),
    MethodRow<1, AddThemeLibrary>("addLibrary"),
    MethodRow<1, RemoveThemeLibrary>("removeLibrary"),
    PropertyRow<GetPersists, SetPersists>("persists"),
    PropertyRow<GetThemeId, SetThemeId>("id"),
    PropertyRow<GetActive, SetActive>("active"),
    PropertyRow<GetLibraryCount, SetReadOnly>("libraryCount"),
    PropertyRow<GetFirstLibrary, SetReadOnly>("firstLibrary"),
    PropertyRow<GetNextLibrary, SetReadOnly>("nextLibrary"),
    NUBO::XMemberEnd(),
};

} // namespace

oxThemeObject::oxThemeObject(void* theme) : oxNativeWrapper(&wrapper_class::Theme, theme) {}

namespace wrapper_class {
NUBO::XClassDescriptor ThemeManager = {"ThemeManager", 7, kManagerMembers, &XObject::Descriptor, 0, {}};
NUBO::XClassDescriptor Theme = {"Theme", 11, kThemeMembers, &XObject::Descriptor, 0, {}};
} // namespace wrapper_class
