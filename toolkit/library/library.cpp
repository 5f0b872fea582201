#include "toolkit/library/library.h"

#include <new>
#include <string>

#include "platform/crt/wide.h"
#include "platform/win/debug_output.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/uri.h"
#include "toolkit/core/style_rule_maps.h"
#include "toolkit/library/behavior_resource.h"
#include "toolkit/library/bitmap_element.h"
#include "toolkit/library/brush_element.h"
#include "toolkit/library/font_element.h"
#include "toolkit/library/gadget_element.h"
#include "toolkit/library/gradient_brush_element.h"
#include "toolkit/library/image_element.h"
#include "toolkit/library/pen_element.h"
#include "toolkit/library/resource_reference.h"
#include "toolkit/library/theme_element.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/markup/markup_loader.h"
#include "toolkit/markup/xml_parse_session.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/style_element.h"

using NUBO::TWString;

namespace {

// The makers of resource kinds above the scene (animations, menus), asked in the order given.
constexpr int kMaxResourceMakers = 4;
oxResourceElementMaker g_resourceMakers[kMaxResourceMakers] = {};

// Loads nest one inside the other through imports; each is one loader and one expat parser deep.
constexpr int kMaxImportDepth = 32;

// The libraries loading now, outermost first.
NUBO::PtrVector<oxLibrary*>& LoadingLibraries() {
    static NUBO::PtrVector<oxLibrary*> loading;
    return loading;
}

// The file a library URI names, settled so that every spelling of one file reads the same.
TWString LoadPath(const WCHAR* uri) {
    TWString path;
    ResolveUriToPath(uri, nullptr, path);
    (void)ConfineToResources(path);
    return path;
}

// Ends the markup being read with `format` (one %s for the URI, or %d then %s).
void RefuseImport(const WCHAR* format, const WCHAR* uri, int number = 0) {
    oxXmlParseSession* session = oxXmlParseSession::Current();
    if (!session) return;
    TWString message;
    if (number)
        message.Format(format, number, uri);
    else
        message.Format(format, uri);
    session->Abort(message.GetString());
}

void WarnSkipped(oxAtom tag) {
    WCHAR name[64] = {};
    oxAtoms::GetName(tag, name, 64);
    const std::u16string message = u"No resource is made of <" + std::u16string(name) + u">: skipped";
    OutputDebugStringW(message.c_str());
}

} // namespace

oxLibrary::oxLibrary(oxAtom tag, const WCHAR* uri, oxLibraryRuntime* runtime)
    : oxElement(kAtomBoxNamespace, tag), runtime_(runtime) {
    if (uri) uri_ = NormalizeLibraryUri(uri);
    base_ = oxUri::GetDirectory(uri_.GetString());
}

oxLibrary::~oxLibrary() {
    for (oxImportElement* open : openImports_) {
        open->DetachOwner();
        delete open;
    }
    openImports_.Clear();
    // Resources of a document that broke off before their end tags.
    for (oxElement* open : openResources_)
        delete open;
    openResources_.Clear();
    for (auto it = resources_.begin(); it != resources_.end(); it = resources_.Erase(it))
        delete it->value;
    for (oxLibrary* import : imports_)
        import->Release();
    imports_.Clear();
    gadgets_.ClearNodes();
    if (runtime_) runtime_->ForgetLibraryObject(this);
    runtime_ = nullptr;
}

ULONG oxLibrary::AddRef() {
    return count_++;
}

ULONG oxLibrary::Release() {
    if (--count_ != 0) return count_;
    count_ = kDeletingCount;
    delete this;
    return 0;
}

int32_t oxLibrary::SetMarkupAttribute(oxAtom, oxAtom attribute, const WCHAR* value) {
    // `id` and every other attribute are ignored.
    if (attribute == kAtomPersists) {
        persists_ = ParseBool(value);
    } else if (attribute == kAtomAccStyles && value && *value) {
        if (oxUri::HasScheme(value))
            accStyles_ = value;
        else
            ResolveUriToPath(value, base_.GetString(), accStyles_);
    }
    return 0;
}

void oxSetResourceElementMaker(oxResourceElementMaker maker) {
    for (oxResourceElementMaker& slot : g_resourceMakers) {
        if (slot == maker) return;
        if (!slot) {
            slot = maker;
            return;
        }
    }
}

int32_t oxLibrary::CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) {
    *out = nullptr;
    if (ns == kAtomResourceNamespace) {
        // Nested library tags add to this library. The resource kinds are made by their own
        // elements; until a kind exists here its tag is skipped with its subtree.
        if (tag == kAtomLibrary) {
            *out = this;
        } else if (tag == kAtomStyle) {
            auto* style = new (std::nothrow) oxStyleElement(kAtomStyle, this, nullptr);
            if (style) style->AddToLibraryAtEnd();
            *out = style;
        } else {
            oxBindableElement* made = nullptr;
            switch (tag) {
            case kAtomBehavior:
                made = new (std::nothrow) oxBehaviorResource(this);
                break;
            case kAtomGadget:
                made = new (std::nothrow) oxGadgetElement(this);
                break;
            case kAtomBitmap:
                made = new (std::nothrow) oxBitmapElement(tag, this);
                break;
            case kAtomImageElement:
                made = new (std::nothrow) oxImageElement(tag, this);
                break;
            case kAtomFont:
                made = new (std::nothrow) oxFontElement(tag, this);
                break;
            case kAtomSolidBrush:
                made = new (std::nothrow) oxSolidBrushElement(tag, this);
                break;
            case kAtomImageBrush:
                made = new (std::nothrow) oxImageBrushElement(tag, this);
                break;
            case kAtomLinearGradientBrush:
            case kAtomRadialGradientBrush:
                made = new (std::nothrow) oxGradientBrushElement(tag, this);
                break;
            case kAtomPen:
                made = new (std::nothrow) oxPenElement(tag, this);
                break;
            case kAtomReliefPen:
                made = new (std::nothrow) oxReliefPenElement(tag, this);
                break;
            default:
                for (int i = 0; i < kMaxResourceMakers && g_resourceMakers[i] && !made; ++i)
                    made = g_resourceMakers[i](tag, this);
                // Said, so that a misspelt kind (or an import in the resource namespace) is found.
                if (!made) WarnSkipped(tag);
                break;
            }
            if (made) made->SetRegisterAtEnd();
            *out = made;
        }
        // Until its end tag adds it, the library frees an element it made with the library.
        if (*out && *out != this && !openResources_.PushBack(*out)) {
            delete *out;
            *out = nullptr;
        }
        return 0;
    }
    if (tag == kAtomThemes) {
        oxElement* themes = runtime_ ? runtime_->GetThemesElement() : nullptr;
        if (themes) EnterOpenElementBase(themes, base_.GetString());
        *out = themes;
        return 0;
    }
    if (tag == kAtomImport) {
        auto* import = new (std::nothrow) oxImportElement(this);
        if (import && !openImports_.PushBack(import)) {
            delete import;
            import = nullptr;
        }
        *out = import;
        return 0;
    }
    return kElementNotHandled;
}

void oxLibrary::ForgetOpenImport(oxImportElement* element) {
    openImports_.Remove(element);
}

oxElement* oxLibrary::LoadMarkup(oxMarkupLoader& loader, const WCHAR* uri, NUBO::XStream* stream) {
    NUBO::PtrVector<oxLibrary*>& loading = LoadingLibraries();
    if (!loading.PushBack(this)) return nullptr;
    loading_ = true;
    loadingPath_ = LoadPath(uri);
    oxElement* made = loader.Load(uri, stream, this);
    loading_ = false;
    loadingPath_.Empty();
    loading.PopBack();
    return made;
}

oxLibrary* oxLibrary::ImportLibrary(const WCHAR* uri) {
    if (!runtime_ || !uri) return nullptr;
    // Refused before the runtime is asked: loading a library that is loading would start it over.
    TWString path = LoadPath(uri);
    for (oxLibrary* loading : LoadingLibraries()) {
        if (_wcsicmp(loading->loadingPath_.GetString(), path.GetString()) == 0) {
            RefuseImport(kImportStillLoading, uri);
            return nullptr;
        }
    }
    if (LoadingLibraries().size() >= size_t(kMaxImportDepth)) {
        RefuseImport(kImportsTooDeep, uri, kMaxImportDepth);
        return nullptr;
    }
    oxLibrary* library = runtime_->LoadLibrary(uri);
    if (!library) {
        const std::u16string message = u"Cannot import the library \"" + std::u16string(uri) + u"\"";
        OutputDebugStringW(message.c_str());
    }
    if (library && library->loading_) {
        RefuseImport(kImportStillLoading, uri);
        return nullptr;
    }
    if (library) AppendImport(library);
    return library;
}

bool oxLibrary::Reaches(const oxLibrary* library) const {
    for (const oxLibrary* import : imports_) {
        if (import == library || import->Reaches(library)) return true;
    }
    return false;
}

void oxLibrary::AppendImport(oxLibrary* library) {
    // A library that imports itself, directly or through its imports, would send every search
    // round the loop for ever and keep the whole ring alive.
    if (!library || library == this || library->Reaches(this)) return;
    library->AddRef();
    if (!imports_.PushBack(library)) library->Release();
}

oxLibrary* oxLibrary::GetImportAt(int index) const {
    return index >= 0 && index < GetImportCount() ? imports_[size_t(index)] : nullptr;
}

void oxLibrary::AddResource(oxElement* element) {
    if (!element) return;
    openResources_.Remove(element);
    resources_.Insert(element->GetId(), element);
    if (element->GetTag() == kAtomGadget) {
        // The last gadget of an id defines the tag.
        gadgets_.Erase(element->GetId());
        gadgets_.Insert(element->GetId(), element);
    }
}

oxElement* oxLibrary::MakeBitmapResource(const WCHAR* src, oxAtom id) {
    if (!src || !id) return nullptr;
    auto* bitmap = new (std::nothrow) oxBitmapElement(kAtomBitmap, this);
    if (!bitmap) return nullptr;
    bitmap->SetId(id);
    bitmap->SetSrcUri(src);
    AddResource(bitmap);
    return bitmap;
}

oxElement* oxLibrary::FirstResource(void** position) {
    *position = nullptr;
    return NextResource(position);
}

oxElement* oxLibrary::NextResource(void** position) {
    auto it =
        *position ? ++decltype(resources_)::iterator(static_cast<NUBO::oxHashLink*>(*position)) : resources_.begin();
    if (it == resources_.end()) {
        *position = nullptr;
        return nullptr;
    }
    *position = it.link();
    return it->value;
}

oxElement* oxLibrary::FindResourceById(oxAtom id, oxAtom tag) {
    oxLibrary* where = nullptr;
    return FindByIdIn(id, tag, &where);
}

oxElement* oxLibrary::FindByIdIn(oxAtom id, oxAtom tag, oxLibrary** where) {
    if (!id) return nullptr;
    auto [it, last] = resources_.EqualRange(id);
    for (; it != last; ++it) {
        if (it->value && (!tag || it->value->GetTag() == tag)) {
            *where = this;
            return it->value;
        }
    }
    for (oxLibrary* import : imports_) {
        if (oxElement* found = import->FindByIdIn(id, tag, where)) return found;
    }
    return nullptr;
}

oxElement* oxLibrary::FindGadgetByTag(oxAtom tag) {
    if (oxElement* gadget = gadgets_.Lookup(tag)) return gadget;
    for (oxLibrary* import : imports_) {
        if (oxElement* found = import->FindGadgetByTag(tag)) return found;
    }
    return nullptr;
}

oxLibrary* oxLibrary::FindLibraryByKey(const TWString& key, bool importsOnly) {
    if (key.IsEmpty()) return nullptr;
    for (oxLibrary* import : imports_) {
        if (wcscmp(import->uri_.GetString(), key.GetString()) == 0) return import;
        if (oxLibrary* found = import->FindLibraryByKey(key, importsOnly)) return found;
    }
    return importsOnly || !runtime_ ? nullptr : runtime_->FindLibrary(key.GetString());
}

oxLibrary* oxLibrary::FindLibrary(const WCHAR* uri, bool importsOnly) {
    oxUri parsed(uri);
    oxResourceReference reference;
    reference.Set(parsed);
    return FindLibraryByKey(reference.library, importsOnly);
}

oxElement* oxLibrary::FindResource(const oxUri& uri, oxAtom tag) {
    oxLibrary* where = nullptr;
    return FindResourceIn(uri, tag, &where);
}

oxElement* oxLibrary::FindResourceIn(const oxUri& uri, oxAtom tag, oxLibrary** where) {
    oxResourceReference reference;
    reference.Set(uri);
    oxLibrary* library = this;
    if (!reference.library.IsEmpty() && _wcsicmp(reference.library.GetString(), uri_.GetString()) != 0) {
        library = FindLibraryByKey(reference.library, false);
        if (!library) return nullptr;
    }
    return library->FindByIdIn(reference.id, tag, where);
}

oxElement* oxLibrary::FindResourceByUri(const WCHAR* text, oxAtom tag) {
    if (!text) return nullptr;
    oxUri parsed(text);
    return FindResource(parsed, tag);
}

oxElement* oxLibrary::FindResourceWithLibrary(const WCHAR* text, TWString* definingUri) {
    if (!text) return nullptr;
    oxUri parsed(text);
    oxLibrary* where = nullptr;
    oxElement* found = FindResourceIn(parsed, 0, &where);
    if (found && where && definingUri) *definingUri = where->uri_;
    return found;
}

void oxLibrary::ApplyStyleElements(oxStyleRuleMaps* maps, NUBO::PtrVector<oxLibrary*>* visited, int flag) {
    (void)flag;
    if (!maps || !visited || !visited->PushBack(this)) return;
    for (oxLibrary* import : imports_) {
        bool seen = false;
        for (oxLibrary* v : *visited)
            seen = seen || v == import;
        if (!seen) import->ApplyStyleElements(maps, visited, flag);
    }
    for (auto& node : resources_) {
        if (auto* style = dynamic_cast<oxStyleElement*>(node.value)) {
            ApplyFontToDeclaration(style, this);
            maps->AddStyleRule(style);
        }
    }
}

bool oxLibrary::JoinTheme(oxElement* element, oxAtom theme) {
    auto* themes = runtime_ ? dynamic_cast<oxThemesElement*>(runtime_->GetThemesElement()) : nullptr;
    oxThemeElement* entry = themes ? themes->FindOrMakeTheme(theme) : nullptr;
    return entry && entry->AddResource(element, this);
}

void oxLibrary::LeaveTheme(oxElement* element, oxAtom theme) {
    // By id: the entry may be gone already when the runtime stopped first.
    auto* themes = runtime_ ? dynamic_cast<oxThemesElement*>(runtime_->GetThemesElement()) : nullptr;
    if (oxThemeElement* entry = themes ? themes->FindTheme(theme) : nullptr) entry->RemoveResource(element);
}

void oxLibrary::RemoveImport(oxLibrary* library, bool recursive) {
    for (size_t i = 0; i < imports_.size(); ++i) {
        oxLibrary* import = imports_[i];
        if (recursive) import->RemoveImport(library, recursive);
        if (import == library) {
            imports_.Erase(i);
            import->Release();
            return;
        }
    }
}

void oxLibrary::ReplaceImport(const WCHAR* uri, oxLibrary* library) {
    if (!uri || !library) return;
    for (size_t i = 0; i < imports_.size(); ++i) {
        oxLibrary* import = imports_[i];
        if (_wcsicmp(import->uri_.GetString(), uri) == 0) {
            if (library == this || library->Reaches(this)) continue; // would close a loop
            library->AddRef();
            imports_[i] = library;
            import->Release();
        } else {
            import->ReplaceImport(uri, library);
        }
    }
}

void oxLibrary::RemoveResource(oxElement* element) {
    if (!element) return;
    auto [it, last] = resources_.EqualRange(element->GetId());
    for (; it != last; ++it) {
        if (it->value == element) {
            resources_.Erase(it);
            if (gadgets_.Lookup(element->GetId()) == element) gadgets_.Erase(element->GetId());
            delete element;
            return;
        }
    }
}

void oxLibrary::LoadAccessibilityStyles() {
    if (!runtime_ || accStylesLoaded_) return;
    accStylesLoaded_ = true;
    if (!accStyles_.IsEmpty()) runtime_->LoadInto(accStyles_.GetString(), this);
    for (size_t i = 0; i < imports_.size(); ++i)
        imports_[i]->LoadAccessibilityStyles();
}

int32_t oxImportElement::SetMarkupAttribute(oxAtom, oxAtom attribute, const WCHAR* value) {
    if ((attribute == kAtomHref || attribute == kAtomSrc) && value && owner_) {
        oxAtom scheme = oxUri::SchemeAtom(value);
        if (scheme == kAtomBox || scheme == kAtomEe) {
            owner_->ImportLibrary(value); // resolves inside the resources folder
            return 0;
        }
        // A file or relative path is imported by the place it resolves to, which must lie in the
        // resources folder; other schemes are not files.
        TWString path;
        ResolveUriToPath(value, owner_->GetBase().GetString(), path);
        if (oxUri::HasScheme(value) && scheme != kAtomFile) {
            owner_->ImportLibrary(value);
        } else if (ConfineToResources(path)) {
            owner_->ImportLibrary(path.GetString());
        } else if (oxXmlParseSession* session = oxXmlParseSession::Current()) {
            TWString message;
            message.Format(kImportOutsideResources, value);
            session->Abort(message.GetString());
        }
    }
    return 0;
}

void oxImportElement::EndElement() {
    if (owner_) owner_->ForgetOpenImport(this);
    delete this;
}
