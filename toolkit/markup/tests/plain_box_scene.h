#pragma once
// A scene that makes plain boxes and a stand-in for the scene's root slot; shared by the markup
// tests, the markup fuzz target and the markup benchmark.
#include <new>

#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/base/element.h"

namespace markup_test {

// Makes plain boxes for box-namespace tags.
class PlainBoxScene : public oxBoxScene {
public:
    oxBox* CreateBox(oxAtom, oxAtom tag) override {
        auto* box = new (std::nothrow) oxBox(tag);
        if (box) box->SetScene(this);
        return box;
    }
};

// Stands where a scene stands under the root tag: makes the root box and holds it.
class RootHolder : public oxElement {
public:
    explicit RootHolder(oxBoxScene* scene) : scene_(scene) {}
    ~RootHolder() override {
        if (root) root->Release();
    }
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override {
        *out = nullptr;
        if (ns != kAtomBoxNamespace || root) return kElementNotHandled;
        root = scene_->CreateBox(ns, tag);
        *out = root;
        return 0;
    }
    oxBox* root = nullptr;

private:
    oxBoxScene* scene_;
};

} // namespace markup_test
