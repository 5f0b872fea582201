#pragma once
// oxBindableElement: the base of the resource elements of a library (bitmaps, fonts ...). The
// library that made it from markup owns it from its end tag on, when the element adds itself to the
// library's resources.
#include "toolkit/base/element.h"

class oxLibrary;

class oxBindableElement : public oxElement {
public:
    // `library` may be null (an element made by a script).
    oxBindableElement(oxAtom tag, oxLibrary* library) : oxElement(kAtomResourceNamespace, tag), library_(library) {}

    // The element adds itself to its library when its end tag is seen.
    void SetRegisterAtEnd() { register_ = true; }
    void EndElement() override;

    oxLibrary* GetLibrary() const { return library_; }

protected:
    oxLibrary* library_;

private:
    bool register_ = false;
};
