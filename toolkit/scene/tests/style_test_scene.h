#pragma once
// A small stand-in for the scene as far as styles go: a library that loads its markup, makes plain
// boxes, registers its libraries' style rules when it opens and builds box styles from them. Shared
// by the style tests and the style benchmark.
#include <new>

#include "runtime/ptr_vector.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/style_rule_maps.h"
#include "toolkit/library/library.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/markup/markup_loader.h"

namespace markup_test {

class StyleScene : public oxLibrary, public oxBoxScene {
public:
    StyleScene(oxLibraryRuntime* runtime, const WCHAR* uri) : oxLibrary(0, uri, runtime) {}
    ~StyleScene() override {
        if (root) root->Release();
        root = nullptr;
        maps.Clear();
    }

    // The first box tag under the document becomes the root box.
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override {
        if (ns != kAtomBoxNamespace) return oxLibrary::CreateChildElement(ns, tag, out);
        *out = nullptr;
        if (root) return kElementNotHandled;
        root = CreateBox(ns, tag);
        *out = root;
        return root ? 0 : kElementNotHandled;
    }
    // Plain boxes, but for the kinds that layouts tell apart by type, which the box factory makes.
    oxBox* CreateBox(oxAtom, oxAtom tag) override {
        oxBoxFactory factory;
        const bool kind = tag == kAtomDeck || tag == kAtomRange || tag == kAtomMDIContainer;
        oxBox* box = kind ? factory.CreateBox(tag, 0, tag) : new (std::nothrow) oxBox(tag);
        if (box) box->SetScene(this);
        return box;
    }
    oxBox* FindBoxById(oxAtom id) override {
        for (oxBox* b = root; b; b = b->GetNextBox(root, false, false))
            if (b->GetId() == id) return b;
        return nullptr;
    }
    oxBox* GetRootBox() override { return root; }
    oxElement* GetLibraryElement() override { return this; }
    bool IsRunning() const override { return running; }
    oxBoxStyle* BuildBoxStyle(oxBox* box) override { return running ? maps.BuildBoxStyle(box) : nullptr; }
    oxBoxStyle* GetSubStyle(oxBox* box, oxAtom part) override { return maps.GetSubStyle(box, part); }
    oxStyleLibrary* GetStyleLibrary() override { return this; }

    // Reads the scene's markup from its own file; false when the file cannot be opened.
    bool LoadFile(oxMarkupLoader& loader) {
        NUBO::XStream* raw = nullptr;
        if (OpenUriStream(GetUri().GetString(), &raw) != 0 || !raw) return false;
        NUBO::RefPtr<NUBO::XStream> stream(raw);
        LoadMarkup(loader, GetUri().GetString(), stream.get());
        return true;
    }

    // Registers the style rules of the library chain, announces the boxes and styles the tree.
    void Open() {
        NUBO::PtrVector<oxLibrary*> visited;
        ApplyStyleElements(&maps, &visited, 0);
        running = true;
        for (oxBox* b = root; b; b = b->GetNextBox(root, false, false)) {
            b->SetChangeFlag(kChangeConstructed, true);
            b->OnSceneAttached();
        }
        if (root) root->RestyleTree();
    }

    oxBox* root = nullptr;
    oxStyleRuleMaps maps;
    bool running = false;
};

} // namespace markup_test
