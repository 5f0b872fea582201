#pragma once
// oxInstanceElement: the `instance` tag of markup, which makes a box of the tag its `gid` names
// (a gadget's tag gives a gadget box). Its predefined box attributes wait until the box is placed,
// so they are set on a box that already has its parent. It lives from its start tag to its end tag.
#include <cstdint>
#include <utility>
#include <vector>

#include "runtime/wide_string.h"
#include "toolkit/base/element.h"

class oxBox;
class oxBoxScene;

class oxInstanceElement : public oxElement {
public:
    // `parent` is null at the top level, where the box is handed to AdoptAsRoot.
    oxInstanceElement(oxBoxScene* scene, oxBox* parent);
    ~oxInstanceElement() override;

    // `gid` makes the box; the predefined box attributes are kept until the end tag.
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    // Children go to the box, once it has its kept attributes.
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;
    // Places the box, sets the kept attributes and destroys the element.
    void EndElement() override;

    oxBox* GetBox() const { return box_; }

protected:
    // Takes over the box (its creation reference) as the scene's root.
    virtual void AdoptAsRoot(oxBox* box);

private:
    void ApplyPendingTo(oxBox* box);

    oxBoxScene* scene_;
    oxBox* parent_;
    oxBox* box_ = nullptr; // the creation reference until it is placed
    oxAtom gid_ = 0;
    bool failed_ = false;
    std::vector<std::pair<oxAtom, NUBO::TWString>> pending_;
};
