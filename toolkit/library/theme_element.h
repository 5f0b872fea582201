#pragma once
// Themes: named sets of resource libraries that, while active, are searched before a scene's own
// libraries when a resource reference ("#id") is resolved, so switching the theme restyles every
// open scene. The runtime owns one oxThemesElement with every theme entry; markup reaches it from
// any library through a `themes` tag, and resource elements join a theme with their `theme`
// attribute.
#include <cstdint>
#include <utility>
#include <vector>

#include "runtime/ptr_vector.h"
#include "runtime/wide_string.h"
#include "toolkit/base/element.h"

class oxLibrary;
class oxResourceRuntime;
class oxThemeElement;
class oxThemesElement;

// The `themeLibrary` child of a theme: its `src` names one library of the theme. One record per
// theme serves every such child.
class oxThemeLibraryRecord : public oxElement {
public:
    explicit oxThemeLibraryRecord(oxThemeElement* theme) : oxElement(0, kAtomThemeLibrary), theme_(theme) {}
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;

private:
    oxThemeElement* theme_;
};

class oxThemeElement : public oxElement {
public:
    oxThemeElement(oxThemesElement* themes, const WCHAR* base);
    ~oxThemeElement() override;

    // `id` and `persists`; any other attribute is kept by atom.
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;
    // Registers the entry with its themes element (merging into an entry of the same id).
    void EndElement() override;

    // Lists a library URI (resolved against the theme's base); false when it is listed already.
    bool AddLibrary(const WCHAR* uri);
    void RemoveLibrary(const WCHAR* uri);
    // Joins a resource of a library that is not one of the theme's own; 1 when it joined. The
    // library is the element's own (found from a bindable element when not given).
    int AddResource(oxElement* element, oxLibrary* library = nullptr);
    void RemoveResource(oxElement* element);
    // The resource that `fragment` ("#id") names in the theme's libraries, then among its joined
    // resources; null when none.
    oxElement* FindResource(const WCHAR* fragment, oxAtom tag) const;
    // Loads (or releases) the listed libraries and relays every scene unless the themes batch.
    void SetActive(bool active);
    bool IsActive() const { return active_; }
    // Null when the attribute was never set.
    const WCHAR* GetAttributeText(oxAtom attribute) const;
    void SetAttributeText(oxAtom attribute, const WCHAR* value);
    bool GetPersists() const { return persists_; }
    void SetPersists(bool on) { persists_ = on; }
    void SetBase(const WCHAR* base) { base_ = base; }

    size_t GetLibraryCount() const { return libraries_.size(); }
    // The listed URI at `index` and its library (null while inactive); null past the end.
    const WCHAR* GetLibraryAt(size_t index, oxLibrary** library) const;
    // Walks the listed libraries: the URI after `*cursor` (-1 starts), null past the end.
    const WCHAR* NextLibrary(int* cursor, oxLibrary** library) const;

    // Takes the libraries and attributes that `other` has and this entry lacks.
    void MergeFrom(const oxThemeElement& other);

private:
    struct Entry {
        NUBO::TWString uri;
        oxLibrary* library = nullptr; // one reference while active
    };
    void ReleaseLibraries();
    bool AddResolvedLibrary(const NUBO::TWString& resolved);

    std::vector<std::pair<oxAtom, NUBO::TWString>> attributes_;
    bool activeAllowed_ = true;
    oxThemesElement* themes_;
    NUBO::TWString base_;
    bool active_ = false;
    std::vector<Entry> libraries_;
    // Differs: a plain list, not a library of its own, since the resources stay their library's.
    std::vector<oxElement*> resources_; // joined resources of other libraries, not owned
    bool persists_ = false;
    oxThemeLibraryRecord libraryRecord_{this};
};

class oxThemesElement : public oxElement {
public:
    static constexpr int32_t kThemeExists = int32_t(0x80000008u);

    explicit oxThemesElement(oxResourceRuntime* runtime) : oxElement(0, kAtomThemes), runtime_(runtime) {}
    ~oxThemesElement() override;

    // `theme` children make theme entries, registered when their end tag is seen.
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;

    oxThemeElement* FindTheme(oxAtom id) const;
    // The entry of `id`, made and registered when missing; null when it cannot be made.
    oxThemeElement* FindOrMakeTheme(oxAtom id);
    // 0 and the entry owned; 0x80000001 for no entry or id 0; 0x80000008 when the id is taken.
    int32_t AddTheme(oxThemeElement* theme);
    // An inactive entry leaves the container (the caller then owns it).
    bool RemoveTheme(oxThemeElement* theme);
    // An entry that is still open (its end tag not seen) is handed over to its caller.
    void ForgetOpenTheme(oxThemeElement* theme) { open_.Remove(theme); }
    // The active list, asked by an entry as it turns on and off.
    bool QueueActivation(oxThemeElement* theme);
    void Dequeue(oxThemeElement* theme);
    void DeactivateAll();
    // Makes `id` the only active theme (none for 0), relaying the scenes once.
    void SetActiveTheme(oxAtom id);
    // The first active entry in creation order, or null.
    oxThemeElement* GetActiveTheme() const;
    // Active themes first, in creation order; null when none has the resource.
    oxElement* FindResource(const WCHAR* fragment, oxAtom tag) const;

    size_t GetThemeCount() const { return themes_.size(); }
    oxThemeElement* GetThemeAt(size_t index) const { return index < themes_.size() ? themes_[index] : nullptr; }
    oxResourceRuntime* GetRuntime() const { return runtime_; }
    bool IsBatching() const { return batch_; }
    void SetBatching(bool on) { batch_ = on; }

private:
    NUBO::PtrVector<oxThemeElement*> themes_; // owned
    NUBO::PtrVector<oxThemeElement*> active_;
    NUBO::PtrVector<oxThemeElement*> open_; // made from markup, owned until their end tag
    oxResourceRuntime* runtime_;
    bool batch_ = false;
};
