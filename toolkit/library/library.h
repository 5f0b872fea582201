#pragma once
// oxLibrary: the container of reusable resources (styles, gadgets, bitmaps, brushes, animations,
// behaviours ...) that a scene or another library imports. It owns the resources declared in it,
// finds them by id, and is the base of the scene. Resource references ("uri#id") search the named
// library, or this one and its imports depth-first.
#include <cstdint>

#include "platform/types.h"
#include "runtime/hash_map.h"
#include "runtime/ptr_vector.h"
#include "runtime/wide_string.h"
#include "toolkit/base/element.h"
#include "toolkit/style/style_library.h"

class oxLibrary;
class oxStyleRuleMaps;
class oxImportElement;
class oxMarkupLoader;
class oxUri;
namespace NUBO {
class XStream;
}

// The texts of refused imports.
inline constexpr const WCHAR* kImportStillLoading = u"Import of a library that is still loading: %s";
inline constexpr const WCHAR* kImportsTooDeep = u"Imports nested more than %d deep: %s";
inline constexpr const WCHAR* kImportOutsideResources = u"Import outside the resources folder: %s";

// What a library asks of the runtime that loaded it. The runtime lives above the library, so the
// library reaches it only through this interface.
class oxBindableElement;
// Makes the resource elements of the kinds that live above the scene (animations, menus); null for
// a tag it does not know. Each module adds its maker at start-up; the makers are asked in turn.
using oxResourceElementMaker = oxBindableElement* (*)(oxAtom tag, oxLibrary* library);
void oxSetResourceElementMaker(oxResourceElementMaker maker);

class oxLibraryRuntime {
public:
    // The library of a URI, loaded when needed; null when it cannot be loaded. Not add-referenced.
    virtual oxLibrary* LoadLibrary(const WCHAR* uri) = 0;
    // An already loaded library of a URI, or null.
    virtual oxLibrary* FindLibrary(const WCHAR* uri) = 0;
    // The runtime's themes element, or null.
    virtual oxElement* GetThemesElement() = 0;
    // Loads a markup file into `library` (its accessibility styles).
    virtual void LoadInto(const WCHAR* uri, oxLibrary* library) = 0;
    // The library is going away: forget its script wrapper.
    virtual void ForgetLibraryObject(oxLibrary* library) = 0;
    // A file that a resource names could not be opened: the listeners hear of it.
    virtual void ReportFileNotFound(const WCHAR*) {}
    // A resource was refused (an inheritance ring): the listeners hear the text.
    virtual void ReportResourceError(const WCHAR*) {}
    // The resource that "#id" names among the active themes, or null.
    virtual oxElement* FindThemeResource(const WCHAR*) { return nullptr; }
    // A resource element is going away: forget its script wrapper.
    virtual void ForgetResourceObject(oxElement*) {}

protected:
    ~oxLibraryRuntime() = default;
};

class oxLibrary : public oxElement, public oxStyleLibrary {
public:
    static constexpr uint32_t kDeletingCount = 0xC0000001u;

    // `uri` may be null (a scene before it knows its file). The count starts at 0.
    oxLibrary(oxAtom tag, const WCHAR* uri, oxLibraryRuntime* runtime);
    ~oxLibrary() override;

    // Returns the count before the call.
    ULONG AddRef();
    // At zero the library is destroyed.
    ULONG Release();

    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;

    virtual void RemoveImport(oxLibrary* library, bool recursive);
    virtual void RemoveResource(oxElement* element);
    virtual void ReplaceImport(const WCHAR* uri, oxLibrary* library);
    virtual void LoadAccessibilityStyles();

    // Fills the library from its markup with `loader`. The library counts as loading from before its
    // first import until the load ends, so an import that leads back to it is refused (the load
    // then fails with that error) instead of loading it again without end. The root element made,
    // or null when the load failed.
    oxElement* LoadMarkup(oxMarkupLoader& loader, const WCHAR* uri, NUBO::XStream* stream);
    bool IsLoading() const { return loading_; }

    // Null, and the markup being read fails, for a library still loading or nested too deep.
    oxLibrary* ImportLibrary(const WCHAR* uri);
    // An import that would lead back to this library is refused.
    void AppendImport(oxLibrary* library);
    int GetImportCount() const { return int(imports_.size()); }
    oxLibrary* GetImportAt(int index) const;

    // The library takes ownership of `element`.
    void AddResource(oxElement* element) override;
    oxElement* MakeBitmapResource(const WCHAR* src, oxAtom id) override;
    size_t GetResourceCount() const { return resources_.Count(); }
    // Walks every resource in the map's order; `position` starts null; null after the last.
    oxElement* FirstResource(void** position);
    oxElement* NextResource(void** position);

    // `tag` 0 accepts any kind.
    oxElement* FindResourceById(oxAtom id, oxAtom tag) override;
    oxElement* FindResource(const oxUri& uri, oxAtom tag = 0);
    oxElement* FindResourceByUri(const WCHAR* text, oxAtom tag = 0) override;
    oxElement* FindResourceWithLibrary(const WCHAR* text, NUBO::TWString* definingUri) override;
    oxElement* FindThemeResource(const WCHAR* fragment) override {
        return runtime_ ? runtime_->FindThemeResource(fragment) : nullptr;
    }
    bool JoinTheme(oxElement* element, oxAtom theme) override;
    void LeaveTheme(oxElement* element, oxAtom theme) override;
    // Hands the style elements of this library's imports (each library once, imports first) and then
    // its own to the scene's rule maps.
    void ApplyStyleElements(oxStyleRuleMaps* maps, NUBO::PtrVector<oxLibrary*>* visited, int flag);
    oxElement* FindGadgetByTag(oxAtom tag);
    oxLibrary* FindLibrary(const WCHAR* uri, bool importsOnly);

    const NUBO::TWString& GetUri() const { return uri_; }
    const NUBO::TWString& GetBase() const { return base_; }
    const NUBO::TWString& GetAccStyles() const { return accStyles_; }
    bool GetPersists() const { return persists_; }
    oxLibraryRuntime* GetRuntime() const { return runtime_; }

    // Import elements tell their library when they end, so one left open by a broken document is
    // still freed with the library.
    void ForgetOpenImport(oxImportElement* element);

private:
    // Whether `library` is among the imports, at any depth.
    bool Reaches(const oxLibrary* library) const;
    // FindResourceById that also tells which library holds the resource.
    oxElement* FindByIdIn(oxAtom id, oxAtom tag, oxLibrary** where);
    oxElement* FindResourceIn(const oxUri& uri, oxAtom tag, oxLibrary** where);
    oxLibrary* FindLibraryByKey(const NUBO::TWString& key, bool importsOnly);

    uint32_t count_ = 0;
    NUBO::TWString uri_;
    NUBO::TWString base_;
    NUBO::TWString accStyles_;
    bool accStylesLoaded_ = false;
    NUBO::oxIdHashMap<oxElement*> resources_;
    NUBO::PtrVector<oxLibrary*> imports_;
    NUBO::oxIdHashMap<oxElement*> gadgets_;
    bool persists_ = false;
    bool loading_ = false;
    NUBO::TWString loadingPath_; // the file being loaded, as ConfineToResources settles it
    oxLibraryRuntime* runtime_;
    NUBO::PtrVector<oxImportElement*> openImports_;
    NUBO::PtrVector<oxElement*> openResources_; // made from markup, owned until their end tag
};

// `import` in markup: imports the library its href (or src) names into the owner. It lives only
// until its end tag.
class oxImportElement : public oxElement {
public:
    explicit oxImportElement(oxLibrary* owner) : owner_(owner) {}

    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    // Destroys the element.
    void EndElement() override;
    void DetachOwner() { owner_ = nullptr; }

private:
    oxLibrary* owner_;
};
