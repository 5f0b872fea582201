#pragma once
// oxScriptElement: a `script` or `code` tag inside a scene's box. It keeps the attributes it needs
// and, at its end tag, loads the script file its `src` (or `href`) names into the scene, then
// destroys itself. Script text written inside the element is ignored.
#include "runtime/wide_string.h"
#include "toolkit/base/element.h"

class oxBox;
class oxScene;

inline constexpr const WCHAR* kScriptOutsideResources = u"Script outside the resources folder: %s";

// Whether a script source, already resolved against its base, may be loaded: a URI of a scheme other
// than file, or a file URI or path whose settled place lies in the resources folder.
bool IsScriptSourceInResources(const NUBO::TWString& source);

class oxScriptElement : public oxElement {
public:
    oxScriptElement(oxAtom tag, oxScene* scene, oxBox* owner)
        : oxElement(kAtomBoxNamespace, tag), scene_(scene), owner_(owner) {}

    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    // Loads the script and destroys the element.
    void EndElement() override;
    // The scene is going away before the end tag came.
    void DetachScene() { scene_ = nullptr; }

private:
    // Resolves a script file's source against the scene's base; false, with the markup failed (or
    // the error reported when no markup is being read), when it names a file outside the resources folder.
    bool Resolve(NUBO::TWString& source) const;

    oxScene* scene_;
    oxBox* owner_;
    NUBO::TWString language_;
    NUBO::TWString src_;
    NUBO::TWString href_;
};
