#pragma once
// What the style system asks of the library a style stands in (a scene is a library too): finding
// resources by reference or id, and taking in the style elements its markup makes. Libraries live
// above the style system, so it reaches them only through this interface.
#include "platform/types.h"
#include "toolkit/base/atoms.h"

class oxElement;
namespace NUBO {
class TWString;
}

class oxStyleLibrary {
public:
    // A resource reference "library#id" (an empty library part means this library and its imports);
    // `tag` 0 accepts any kind. Null when nothing is found.
    virtual oxElement* FindResourceByUri(const WCHAR* text, oxAtom tag = 0) = 0;
    virtual oxElement* FindResourceById(oxAtom id, oxAtom tag) = 0;
    // Looks a reference up like FindResourceByUri and gives the URI of the library that defines what
    // was found in `definingUri`.
    virtual oxElement* FindResourceWithLibrary(const WCHAR* text, NUBO::TWString* definingUri) = 0;
    // The resource that a fragment "#id" names among the active themes, or null.
    virtual oxElement* FindThemeResource(const WCHAR* fragment) {
        (void)fragment;
        return nullptr;
    }
    // A style of the library joins the theme of id `theme` (made when missing); false when it
    // stays out. LeaveTheme takes it out again as it goes.
    virtual bool JoinTheme(oxElement* element, oxAtom theme) {
        (void)element;
        (void)theme;
        return false;
    }
    virtual void LeaveTheme(oxElement* element, oxAtom theme) {
        (void)element;
        (void)theme;
    }
    // The library takes ownership of an element that its markup made.
    virtual void AddResource(oxElement* element) = 0;
    // A new bitmap resource of id `id` with `src` as its source, owned by the library; null when
    // the library makes none.
    virtual oxElement* MakeBitmapResource(const WCHAR* src, oxAtom id) {
        (void)src;
        (void)id;
        return nullptr;
    }

protected:
    ~oxStyleLibrary() = default;
};
