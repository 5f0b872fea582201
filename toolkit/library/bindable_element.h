#pragma once
// oxBindableElement: the base of the resource elements of a library (bitmaps, fonts ...). The
// library that made it from markup owns it from its end tag on, when the element adds itself to the
// library's resources. A resource may inherit from others (`inherits`, a comma-separated list of
// references) and may join a theme (`theme`), which then finds it while the theme is active.
#include <vector>

#include "runtime/wide_string.h"
#include "toolkit/base/element.h"

class oxLibrary;
class oxThemeElement;

// The text of a refused inheritance ring.
inline constexpr const WCHAR* kInheritsItselfText = u"Resource inherits from itself: %s";

class oxBindableElement : public oxElement {
public:
    // `library` may be null (an element made by a script).
    oxBindableElement(oxAtom tag, oxLibrary* library) : oxElement(kAtomResourceNamespace, tag), library_(library) {}
    ~oxBindableElement() override;

    // `inherits` and `theme`; the rest goes to the element base.
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;

    // The element adds itself to its library when its end tag is seen.
    void SetRegisterAtEnd() { register_ = true; }
    void EndElement() override;

    oxLibrary* GetLibrary() const { return library_; }
    oxAtom GetThemeId() const { return theme_; }
    const NUBO::TWString& GetInheritsText() const { return inherits_; }

    // The resources named by `inherits` (of kind `tag`, 0 any), resolved on first use in the
    // library. A resource that leads back to this one is refused and reported.
    const std::vector<oxBindableElement*>& ResolveInherits(oxAtom tag);
    const std::vector<oxBindableElement*>& GetListeners() const { return listeners_; }
    // Whether this resource inherits `target`, at any depth.
    bool Inherits(const oxBindableElement* target) const;
    // The theme it joined is going away.
    void ForgetTheme(oxThemeElement* theme);

protected:
    oxLibrary* library_;

private:
    // Joins the theme (made when missing) and registers with the library.
    void OnAttached();
    bool InheritsWithin(const oxBindableElement* target, int depth) const;

    NUBO::TWString inherits_;
    std::vector<oxBindableElement*> listeners_; // resources that inherit from this one
    std::vector<oxBindableElement*> inherited_; // resources this one inherits from
    bool inheritsResolved_ = false;
    bool register_ = false;
    oxAtom theme_ = 0;
    oxThemeElement* joined_ = nullptr;
};
