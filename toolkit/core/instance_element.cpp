#include "toolkit/core/instance_element.h"

#include <new>

#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"

namespace {

// The predefined box attributes.
constexpr oxAtom kFirstBoxAttribute = 1006;
constexpr oxAtom kLastBoxAttribute = 1133;

} // namespace

oxInstanceElement::oxInstanceElement(oxBoxScene* scene, oxBox* parent)
    : oxElement(kAtomBoxNamespace, kAtomInstance), scene_(scene), parent_(parent) {}

oxInstanceElement::~oxInstanceElement() {
    // A document that broke off before the end tag leaves a box nobody placed.
    if (box_) box_->Release();
}

int32_t oxInstanceElement::SetMarkupAttribute(oxAtom, oxAtom attribute, const WCHAR* value) {
    if (attribute == kAtomGid) {
        gid_ = value && *value ? oxAtoms::Intern(value) : 0;
        if (!box_ && !failed_) {
            box_ = scene_ && gid_ ? scene_->CreateBox(kAtomBoxNamespace, gid_) : nullptr;
            failed_ = box_ == nullptr;
        }
        return 0;
    }
    if (attribute < kFirstBoxAttribute || attribute > kLastBoxAttribute) return kElementNotHandled;
    for (auto& [atom, text] : pending_) {
        if (atom == attribute) {
            text = value ? value : u"";
            return 0;
        }
    }
    pending_.emplace_back(attribute, NUBO::TWString(value ? value : u""));
    return 0;
}

void oxInstanceElement::ApplyPendingTo(oxBox* box) {
    std::vector<std::pair<oxAtom, NUBO::TWString>> pending;
    pending.swap(pending_);
    for (const auto& [atom, text] : pending)
        (void)box->SetAttribute(atom, text.GetString(), true, false);
}

int32_t oxInstanceElement::CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) {
    *out = nullptr;
    if (!box_) return kElementNotHandled;
    ApplyPendingTo(box_);
    return box_->CreateChildElement(ns, tag, out);
}

void oxInstanceElement::EndElement() {
    if (scene_ && box_) {
        oxBox* box = box_;
        box_ = nullptr;
        box->AddRef(); // the placing takes the creation reference; this one lasts until the end
        if (parent_)
            parent_->AddChild(box, nullptr, false);
        else
            AdoptAsRoot(box);
        ApplyPendingTo(box);
        box->Release();
    }
    oxElement::EndElement();
    delete this;
}

void oxInstanceElement::AdoptAsRoot(oxBox* box) {
    box->Release();
}
