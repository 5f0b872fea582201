#include "toolkit/library/theme_element.h"

#include <new>

#include "platform/crt/wide.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/uri.h"
#include "toolkit/library/bindable_element.h"
#include "toolkit/library/library.h"
#include "toolkit/library/resource_host.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/style/attribute_value.h"

using NUBO::TWString;

namespace {

TWString ResolveAgainst(const WCHAR* uri, const TWString& base) {
    TWString path;
    if (oxUri::HasScheme(uri) || base.IsEmpty() || ResolveUriToPath(uri, base.GetString(), path) != 1 || path.IsEmpty())
        return TWString(uri);
    return path;
}

} // namespace

int32_t oxThemeLibraryRecord::SetMarkupAttribute(oxAtom, oxAtom attribute, const WCHAR* value) {
    if (attribute == kAtomSrc && value && *value) theme_->AddLibrary(value);
    return 0;
}

oxThemeElement::oxThemeElement(oxThemesElement* themes, const WCHAR* base)
    : oxElement(0, kAtomTheme), themes_(themes), base_(base) {}

oxThemeElement::~oxThemeElement() {
    attributes_.clear();
    activeAllowed_ = true;
    ReleaseLibraries();
    if (themes_) {
        themes_->Dequeue(this);
        oxResourceRuntime* runtime = themes_->GetRuntime();
        if (runtime && runtime->GetScriptObjectCache()) runtime->GetScriptObjectCache()->ForgetThemeObject(this);
    }
    // Joined resources outlive the theme only when the runtime stops first; they forget it.
    for (oxElement* element : resources_)
        if (auto* bindable = dynamic_cast<oxBindableElement*>(element)) bindable->ForgetTheme(this);
}

int32_t oxThemeElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    if (attribute == kAtomId) return oxElement::SetMarkupAttribute(ns, attribute, value);
    if (attribute == kAtomPersists) {
        persists_ = ParseBool(value);
        return 0;
    }
    SetAttributeText(attribute, value);
    return 0;
}

int32_t oxThemeElement::CreateChildElement(oxAtom, oxAtom tag, oxElement** out) {
    *out = tag == kAtomThemeLibrary ? &libraryRecord_ : nullptr;
    return *out ? 0 : kElementNotHandled;
}

void oxThemeElement::EndElement() {
    oxElement::EndElement();
    if (!themes_) return;
    themes_->ForgetOpenTheme(this);
    int32_t result = themes_->AddTheme(this);
    if (result == 0) return;
    // A second declaration of a theme adds to the first; one without an id is dropped.
    if (result == oxThemesElement::kThemeExists) {
        if (oxThemeElement* existing = themes_->FindTheme(id_)) existing->MergeFrom(*this);
    }
    delete this;
}

void oxThemeElement::MergeFrom(const oxThemeElement& other) {
    for (const Entry& entry : other.libraries_)
        AddResolvedLibrary(entry.uri);
    for (const auto& [atom, text] : other.attributes_)
        if (!GetAttributeText(atom)) SetAttributeText(atom, text.GetString());
}

const WCHAR* oxThemeElement::GetAttributeText(oxAtom attribute) const {
    for (const auto& [atom, text] : attributes_)
        if (atom == attribute) return text.GetString();
    return nullptr;
}

void oxThemeElement::SetAttributeText(oxAtom attribute, const WCHAR* value) {
    if (!attribute) return;
    for (auto& [atom, text] : attributes_) {
        if (atom == attribute) {
            text = value ? value : u"";
            return;
        }
    }
    attributes_.emplace_back(attribute, TWString(value ? value : u""));
}

bool oxThemeElement::AddLibrary(const WCHAR* uri) {
    if (!uri || !*uri) return false;
    return AddResolvedLibrary(ResolveAgainst(uri, base_));
}

bool oxThemeElement::AddResolvedLibrary(const TWString& resolved) {
    for (const Entry& entry : libraries_)
        if (entry.uri.Compare(resolved.GetString()) == 0) return false;
    oxResourceRuntime* runtime = themes_ ? themes_->GetRuntime() : nullptr;
    bool relay = active_ && runtime && !themes_->IsBatching();
    if (relay) runtime->BeginUpdateAll();
    libraries_.push_back(Entry{resolved, nullptr});
    // An active theme takes its new library in at once.
    if (active_ && runtime) {
        if (oxLibrary* library = runtime->LoadLibrary(resolved.GetString())) {
            library->AddRef();
            libraries_.back().library = library;
        }
    }
    if (relay) runtime->EndUpdateAll();
    return true;
}

void oxThemeElement::RemoveLibrary(const WCHAR* uri) {
    if (!uri) return;
    TWString resolved = ResolveAgainst(uri, base_);
    for (size_t i = 0; i < libraries_.size(); ++i) {
        if (libraries_[i].uri.Compare(resolved.GetString()) != 0) continue;
        oxLibrary* library = libraries_[i].library;
        libraries_.erase(libraries_.begin() + long(i));
        if (library) {
            oxResourceRuntime* runtime = themes_ ? themes_->GetRuntime() : nullptr;
            bool relay = runtime && !themes_->IsBatching();
            if (relay) runtime->BeginUpdateAll();
            library->Release();
            if (runtime) runtime->UnloadLibrary(resolved.GetString());
            if (relay) runtime->EndUpdateAll();
        }
        return;
    }
}

int oxThemeElement::AddResource(oxElement* element, oxLibrary* library) {
    if (!library)
        if (auto* member = dynamic_cast<oxBindableElement*>(element)) library = member->GetLibrary();
    if (library) {
        for (const Entry& entry : libraries_)
            if (entry.uri.Compare(library->GetUri().GetString()) == 0) return 0;
    }
    for (oxElement* known : resources_)
        if (known == element) return 0;
    resources_.push_back(element);
    return 1;
}

void oxThemeElement::RemoveResource(oxElement* element) {
    for (size_t i = 0; i < resources_.size(); ++i) {
        if (resources_[i] == element) {
            resources_.erase(resources_.begin() + long(i));
            return;
        }
    }
}

oxElement* oxThemeElement::FindResource(const WCHAR* fragment, oxAtom tag) const {
    for (const Entry& entry : libraries_)
        if (entry.library)
            if (oxElement* found = entry.library->FindResourceByUri(fragment, tag)) return found;
    if (!fragment || *fragment != u'#' || !fragment[1]) return nullptr;
    oxAtom id = oxAtoms::Intern(fragment + 1);
    for (oxElement* element : resources_)
        if (element->GetId() == id && (!tag || element->GetTag() == tag)) return element;
    return nullptr;
}

void oxThemeElement::SetActive(bool active) {
    if (active == active_ || !themes_) return;
    oxResourceRuntime* runtime = themes_->GetRuntime();
    bool relay = runtime && !themes_->IsBatching();
    if (active) {
        if (!themes_->QueueActivation(this)) return;
        active_ = true;
        if (relay) runtime->BeginUpdateAll();
        for (Entry& entry : libraries_) {
            if (entry.library || !runtime) continue;
            entry.library = runtime->LoadLibrary(entry.uri.GetString());
            if (entry.library) entry.library->AddRef();
        }
    } else {
        themes_->Dequeue(this);
        active_ = false;
        if (relay) runtime->BeginUpdateAll();
        if (activeAllowed_) ReleaseLibraries();
    }
    if (relay) runtime->EndUpdateAll();
}

void oxThemeElement::ReleaseLibraries() {
    oxResourceRuntime* runtime = themes_ ? themes_->GetRuntime() : nullptr;
    for (Entry& entry : libraries_) {
        if (!entry.library) continue;
        oxLibrary* library = entry.library;
        entry.library = nullptr;
        library->Release();
        // The runtime drops the library only when nothing else holds it.
        if (runtime) runtime->UnloadLibrary(entry.uri.GetString());
    }
}

const WCHAR* oxThemeElement::GetLibraryAt(size_t index, oxLibrary** library) const {
    if (library) *library = nullptr;
    if (index >= libraries_.size()) return nullptr;
    if (library) *library = libraries_[index].library;
    return libraries_[index].uri.GetString();
}

const WCHAR* oxThemeElement::NextLibrary(int* cursor, oxLibrary** library) const {
    if (library) *library = nullptr;
    if (!cursor || libraries_.empty() || *cursor >= int(libraries_.size())) return nullptr;
    ++*cursor;
    return GetLibraryAt(size_t(*cursor), library);
}

oxThemesElement::~oxThemesElement() {
    batch_ = true; // the runtime is going: no scene is relaid
    DeactivateAll();
    while (!themes_.empty()) {
        oxThemeElement* theme = themes_.Back();
        themes_.PopBack();
        delete theme;
    }
    while (!open_.empty()) {
        oxThemeElement* theme = open_.Back();
        open_.PopBack();
        delete theme;
    }
}

int32_t oxThemesElement::CreateChildElement(oxAtom, oxAtom tag, oxElement** out) {
    *out = nullptr;
    if (tag != kAtomTheme) return kElementNotHandled;
    const TWString* base = FindOpenElementBase(this);
    auto* theme = new (std::nothrow) oxThemeElement(this, base ? base->GetString() : nullptr);
    if (!theme) return kElementNotHandled;
    if (!open_.PushBack(theme)) {
        delete theme;
        return kElementNotHandled;
    }
    *out = theme;
    return 0;
}

oxThemeElement* oxThemesElement::FindTheme(oxAtom id) const {
    for (oxThemeElement* theme : themes_)
        if (theme->GetId() == id) return theme;
    return nullptr;
}

oxThemeElement* oxThemesElement::FindOrMakeTheme(oxAtom id) {
    if (!id) return nullptr;
    if (oxThemeElement* theme = FindTheme(id)) return theme;
    auto* theme = new (std::nothrow) oxThemeElement(this, nullptr);
    if (!theme) return nullptr;
    theme->SetId(id);
    if (AddTheme(theme) != 0) {
        delete theme;
        return nullptr;
    }
    return theme;
}

int32_t oxThemesElement::AddTheme(oxThemeElement* theme) {
    if (!theme || !theme->GetId()) return kElementNotHandled;
    if (FindTheme(theme->GetId())) return kThemeExists;
    return themes_.PushBack(theme) ? 0 : kElementNotHandled;
}

bool oxThemesElement::RemoveTheme(oxThemeElement* theme) {
    if (!theme || theme->IsActive()) return false;
    return themes_.Remove(theme);
}

bool oxThemesElement::QueueActivation(oxThemeElement* theme) {
    if (!theme || theme->IsActive()) return false;
    for (oxThemeElement* active : active_)
        if (active == theme) return false;
    return active_.PushBack(theme) != 0;
}

void oxThemesElement::Dequeue(oxThemeElement* theme) {
    active_.Remove(theme);
}

void oxThemesElement::DeactivateAll() {
    while (!active_.empty())
        active_[0]->SetActive(false);
}

void oxThemesElement::SetActiveTheme(oxAtom id) {
    bool wasBatching = batch_;
    if (runtime_ && !wasBatching) runtime_->BeginUpdateAll();
    batch_ = true;
    DeactivateAll();
    if (oxThemeElement* theme = id ? FindTheme(id) : nullptr) theme->SetActive(true);
    batch_ = wasBatching;
    if (runtime_ && !wasBatching) runtime_->EndUpdateAll();
}

oxThemeElement* oxThemesElement::GetActiveTheme() const {
    for (oxThemeElement* theme : themes_)
        if (theme->IsActive()) return theme;
    return nullptr;
}

oxElement* oxThemesElement::FindResource(const WCHAR* fragment, oxAtom tag) const {
    // Differs: only active themes answer, so an inactive theme's joined resources never override.
    for (oxThemeElement* theme : active_)
        if (oxElement* found = theme->FindResource(fragment, tag)) return found;
    return nullptr;
}
