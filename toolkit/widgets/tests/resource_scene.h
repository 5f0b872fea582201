#pragma once
// What the image box and rich text tests share: a scene that is its own library and runtime, making
// its boxes through the box factory and counting the files it is told could not be read, and the
// graphics tests' picture files, and the placing part of box painting.
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/paint/canvas.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/style_rule_maps.h"
#include "toolkit/library/library.h"

namespace widgets_test {

#ifdef TEST_DATA_DIR
inline std::string ImageFixture(const std::string& name) {
    std::ifstream in(std::string(TEST_DATA_DIR) + "/../../../../graphics/tests/data/images/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
#endif

// Boxes come from the box factory, so the kinds registered by the widgets are their own classes;
// styles come from the scene's rules and the boxes' inline styles.
class FactoryScene : public oxBoxScene {
public:
    oxBox* CreateBox(oxAtom, oxAtom tag) override {
        oxBox* box = factory.CreateBox(tag, 0, tag);
        if (box) box->SetScene(this);
        return box;
    }
    oxBoxStyle* BuildBoxStyle(oxBox* box) override { return rules.BuildBoxStyle(box); }
    oxBox* GetRootBox() override { return root; }
    bool IsRightToLeft() const override { return rtl; }
    bool GetRtlFormatting() const override { return rtlFormatting; }
    oxBox* FindBoxById(oxAtom id) override {
        auto at = ids.find(id);
        return at == ids.end() ? nullptr : at->second;
    }
    bool NotifySceneOfChange(oxBox*) override {
        ++layoutRequests;
        return true;
    }

    int layoutRequests = 0;
    std::map<oxAtom, oxBox*> ids; // what FindBoxById answers
    oxStyleRuleMaps rules;
    oxBoxFactory factory;
    oxBox* root = nullptr;
    bool rtl = false;
    bool rtlFormatting = false;
};

// A factory scene that is its own library and runtime, counting the files it could not read.
class ResourceScene : public oxLibrary, public FactoryScene, public oxLibraryRuntime {
public:
    explicit ResourceScene(const WCHAR* uri) : oxLibrary(kAtomLibrary, uri, this) {}

    oxStyleLibrary* GetStyleLibrary() override { return this; }

    oxLibrary* LoadLibrary(const WCHAR*) override { return nullptr; }
    oxLibrary* FindLibrary(const WCHAR*) override { return nullptr; }
    oxElement* GetThemesElement() override { return nullptr; }
    void LoadInto(const WCHAR*, oxLibrary*) override {}
    void ForgetLibraryObject(oxLibrary*) override {}
    void ReportFileNotFound(const WCHAR* uri) override { reports.push_back(uri ? uri : u""); }

    std::vector<std::u16string> reports;
};

// The painter's part of box painting as far as placing goes: each box is painted at its position,
// inside its clip. Fills and strokes are left out.
class PlacingServices : public oxBoxPaintServices {
public:
    bool GetClipRect(oxCanvas* canvas, oxRect* out) override {
        const RECT r = canvas->GetLocalClipBounds();
        *out = oxRect{r.left, r.top, r.right - r.left, r.bottom - r.top};
        return true;
    }
    void OffsetOrigin(oxCanvas* canvas, int32_t dx, int32_t dy) override { canvas->OffsetOrigin(float(dx), float(dy)); }
    void PushClip(oxCanvas* canvas) override { canvas->PushClip(); }
    void PopClip(oxCanvas* canvas) override { canvas->PopClip(); }
    void IntersectClip(oxCanvas* canvas, const oxRect& r) override {
        canvas->IntersectClip(oxCanvasRect{r.x, r.y, r.width, r.height});
    }
    void PushMatrix(oxCanvas* canvas) override { canvas->PushMatrix(); }
    void PopMatrix(oxCanvas* canvas) override { canvas->PopMatrix(); }
    void BeginBoxPaint(oxCanvas* canvas, oxBox* box) override {
        canvas->PushMatrix();
        canvas->PushClip();
        const oxPoint at = box->GetPacked(0);
        canvas->OffsetOrigin(float(at.x), float(at.y));
    }
    void EndBoxPaint(oxCanvas* canvas, oxBox*) override {
        canvas->PopClip();
        canvas->PopMatrix();
    }
};

} // namespace widgets_test
