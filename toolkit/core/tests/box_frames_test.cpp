// Boxes with native frames of their own, seen from the tree: the frame is made and dropped with
// `framed`, follows the box's states, arrangement and paint, and the tree's questions about frames
// (hover, cursor, the root's window) reach the services the frames install.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_frame.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

std::vector<std::string> gCalls;

class FakeFrame : public oxBoxFrame {
public:
    explicit FakeFrame(oxBox* owner) : owner_(owner) {}
    ~FakeFrame() override { gCalls.push_back("destroyed"); }
    oxAtom GetFrameType() const override { return kAtomFrame; }
    oxBox* GetOwnerBox() const override { return owner_; }
    void SetFocus(bool on) override { gCalls.push_back(on ? "focus" : "blur"); }
    void Update(bool) override { gCalls.push_back("update"); }
    void UpdateWindowShape(const oxCanvas*) override { gCalls.push_back("shape"); }
    void Invalidate(const oxRect*, bool) override { gCalls.push_back("invalidate"); }
    void SyncCollapsed() override {}
    void Refresh(bool) override {
        gCalls.push_back(owner_->IsEffectivelyHidden() || owner_->IsCollapsed() ? "hide" : "show");
    }
    void PositionWindow() override { gCalls.push_back("position"); }
    void AttachToParentFrame() override { gCalls.push_back("attach"); }
    bool IsRightToLeft() const override { return false; }
    bool GetCursorPosition(oxPoint* screen, oxPoint* client) const override {
        *screen = {300, 400};
        *client = {30, 40};
        return true;
    }

private:
    oxBox* owner_;
};

class FakeServices : public oxBoxFrameServices {
public:
    oxBoxFrame* CreateFrame(oxBox* box) override { return box->GetParent() || !root ? new FakeFrame(box) : nullptr; }
    oxBoxFrame* FindFrame(oxBox* box) override { return box == root ? &rootFrame : nullptr; }
    void ForgetHoveredBox(oxBox* box) override { forgotten.push_back(box); }
    bool GetCursorPosition(oxBox* box, oxPoint* screen, oxPoint* client) override {
        oxBoxFrame* host = box->GetHostFrame();
        return host && host->GetCursorPosition(screen, client);
    }
    oxBox* root = nullptr;
    FakeFrame rootFrame{nullptr};
    std::vector<oxBox*> forgotten;
};

class Scene : public oxBoxScene {
public:
    oxBox* GetRootBox() override { return root; }
    bool IsRunning() const override { return true; }
    void AddFrameBox(oxBox* box) override { frameBoxes.push_back(box); }
    void RefitWindow() override { ++refits; }
    oxBox* root = nullptr;
    std::vector<oxBox*> frameBoxes;
    int refits = 0;
};

// Paint services whose canvas clips everything away; counts the boxes that begin painting.
class ClippingPaint : public oxBoxPaintServices {
public:
    bool GetClipRect(oxCanvas*, oxRect* out) override {
        *out = {1000, 1000, 10, 10};
        return true;
    }
    void BeginBoxPaint(oxCanvas*, oxBox* box) override { painted.push_back(box); }
    std::vector<oxBox*> painted;
};

// Records the "captureReleased" events it handles.
class CaptureBox : public oxBox {
public:
    CaptureBox() : oxBox(kAtomBox) {}
    int32_t HandleEvent(oxEvent* event) override {
        if (event->GetType() == kAtomCaptureReleased) {
            auto* mouse = static_cast<oxMouseEvent*>(event);
            released.push_back({mouse->framePoint, mouse->secondPoint});
        }
        return oxBox::HandleEvent(event);
    }
    struct Points {
        oxPoint client, screen;
    };
    std::vector<Points> released;
};

class BoxFramesTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        gCalls.clear();
        oxSetBoxFrameServices(&services);
        root = new oxBox(kAtomBox);
        root->SetChangeFlag(kChangeFramed, true); // the scene's window shows it
        services.root = root;
        scene.root = root;
        group = new oxBox(kAtomBox);
        root->AddChild(group);
        framed = new CaptureBox;
        group->AddChild(framed);
        inner = new oxBox(kAtomBox);
        framed->AddChild(inner);
        root->AttachSubtreeToScene(&scene);
    }
    void TearDown() override {
        root->Release();
        oxSetBoxFrameServices(nullptr);
        oxSetBoxPaintServices(nullptr);
    }

public:
    void MakeFramed() {
        framed->SetAttribute(kAtomFramed, u"true", true, false);
        gCalls.clear();
    }

    FakeServices services;
    Scene scene;
    oxBox* root;
    oxBox* group;
    CaptureBox* framed;
    oxBox* inner;
};

TEST_F(BoxFramesTest, FramedMakesTheFrameAndClearingItDestroysIt) {
    EXPECT_EQ(framed->GetFrame(), nullptr);
    EXPECT_FALSE(root->HasFramedDescendants());
    framed->SetAttribute(kAtomFramed, u"true", true, false);
    oxBoxFrame* frame = framed->GetFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(framed->HasSideTableEntry(kHasFrame));
    EXPECT_EQ(framed->GetFrame(), frame) << "made once";
    EXPECT_EQ(scene.frameBoxes, std::vector<oxBox*>{framed}) << "an attached box joins the scene's window boxes";
    EXPECT_TRUE(root->HasFramedDescendants());
    EXPECT_TRUE(group->HasFramedDescendants());
    EXPECT_FALSE(inner->HasFramedDescendants());
    // Boxes inside show in the framed box's frame, the others in the scene's window.
    EXPECT_EQ(inner->GetHostFrame(), frame);
    EXPECT_EQ(group->GetHostFrame(), &services.rootFrame);
    framed->SetAttribute(kAtomFramed, u"false", true, false);
    EXPECT_FALSE(framed->HasSideTableEntry(kHasFrame));
    EXPECT_EQ(framed->GetFrame(), nullptr);
    EXPECT_EQ(gCalls.back(), "destroyed");
    EXPECT_FALSE(root->HasFramedDescendants());
}

TEST_F(BoxFramesTest, TheFrameFollowsTheBoxsStates) {
    MakeFramed();
    const struct {
        const char* what;
        void (*change)(BoxFramesTest*);
        std::vector<std::string> calls;
    } cases[] = {
        {"hidden", [](BoxFramesTest* t) { t->framed->SetHidden(true); }, {"hide"}},
        {"shown", [](BoxFramesTest* t) { t->framed->SetHidden(false); }, {"show"}},
        {"its parent collapsed", [](BoxFramesTest* t) { t->group->SetCollapsed(true, true); }, {"hide"}},
        {"its parent expanded", [](BoxFramesTest* t) { t->group->SetCollapsed(false, true); }, {"show"}},
        {"focused", [](BoxFramesTest* t) { t->framed->SetFocused(true, false, false); }, {"focus"}},
        {"focused again", [](BoxFramesTest* t) { t->framed->SetFocused(true, false, false); }, {}},
        // The focus goes back to the frame of the scene's window (the root frame's call).
        {"blurred", [](BoxFramesTest* t) { t->framed->SetFocused(false, false, false); }, {"blur", "focus"}},
        {"quietly focused", [](BoxFramesTest* t) { t->framed->SetFocused(true, false, true); }, {}},
        {"blurred keeping the frame focus",
         [](BoxFramesTest* t) { t->framed->SetFocused(false, true, false); },
         {"blur"}},
        {"excluded", [](BoxFramesTest* t) { t->framed->SetExcluded(true); }, {"show"}},
        {"arranged",
         [](BoxFramesTest* t) {
             oxPlacementRecord placement;
             placement.outerWidth = placement.width = 40;
             placement.outerHeight = placement.height = 30;
             t->framed->Arrange(&placement);
         },
         {"position"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        gCalls.clear();
        c.change(this);
        // Repaints inside the frame invalidate it; only the frame's own steps are compared here.
        std::vector<std::string> steps;
        for (const std::string& call : gCalls)
            if (call != "invalidate") steps.push_back(call);
        EXPECT_EQ(steps, c.calls);
    }
}

TEST_F(BoxFramesTest, TheParentsPaintShapesTheFrameAndAnUnculledFramePaintsEverything) {
    MakeFramed();
    ClippingPaint paint;
    oxSetBoxPaintServices(&paint);
    oxBox::PaintChild(nullptr, framed);
    EXPECT_EQ(gCalls, std::vector<std::string>{"shape"}) << "the framed box is not painted in its parent's canvas";
    EXPECT_TRUE(paint.painted.empty());
    // Everything lies outside the clip: painted in the frame, the box and its children are culled...
    framed->Paint(nullptr);
    EXPECT_TRUE(paint.painted.empty());
    // ...unless the frame paints unculled.
    framed->GetFrame()->SetNoCulling(1, true);
    framed->Paint(nullptr);
    EXPECT_EQ(paint.painted, (std::vector<oxBox*>{framed, inner}));
    framed->GetFrame()->SetNoCulling(1, false);
    paint.painted.clear();
    framed->Paint(nullptr);
    EXPECT_TRUE(paint.painted.empty());
}

TEST_F(BoxFramesTest, ReleasingTheCaptureTellsTheBoxWhereTheCursorIs) {
    MakeFramed();
    framed->SetCaptured(false);
    EXPECT_TRUE(framed->released.empty()) << "never captured: nothing released";
    framed->SetCaptured(true);
    EXPECT_TRUE(framed->released.empty());
    framed->SetCaptured(false);
    ASSERT_EQ(framed->released.size(), 1u);
    EXPECT_EQ(framed->released[0].screen, (oxPoint{300, 400}));
    EXPECT_EQ(framed->released[0].client, (oxPoint{30, 40}));
}

TEST_F(BoxFramesTest, RemovingAHoveredChildMakesTheInputForgetIt) {
    framed->SetHovered(true, true);
    oxBox* removed = group->RemoveChild(framed, false);
    ASSERT_EQ(removed, framed);
    EXPECT_EQ(services.forgotten, std::vector<oxBox*>{framed});
    framed->SetHovered(false, true);
    group->AddChild(removed);
    oxBox* other = group->RemoveChild(framed, false);
    EXPECT_EQ(services.forgotten.size(), 1u) << "a box that is not hovered is not forgotten";
    group->AddChild(other);
}

TEST_F(BoxFramesTest, TheRootsGeometryAndDeactivationRefitTheScenesWindow) {
    const struct {
        const char* what;
        oxBox* (*box)(BoxFramesTest*);
        int property;
        int refits;
    } cases[] = {
        {"root top", [](BoxFramesTest* t) { return t->root; }, kStyle_top, 1},
        {"root height", [](BoxFramesTest* t) { return t->root; }, kStyle_height, 1},
        {"root margin", [](BoxFramesTest* t) { return t->root; }, kStyle_margin, 0},
        {"a child's width", [](BoxFramesTest* t) { return t->group; }, kStyle_width, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        scene.refits = 0;
        c.box(this)->SetStyleValue(c.property, oxStyleValue(12, kStylePx), 0);
        EXPECT_EQ(scene.refits, c.refits);
    }
    scene.refits = 0;
    root->SetActive(true);
    EXPECT_EQ(scene.refits, 0);
    root->SetActive(false);
    EXPECT_EQ(scene.refits, 1);
    root->SetActive(false);
    group->SetActive(true);
    group->SetActive(false);
    EXPECT_EQ(scene.refits, 1) << "only deactivating the root counts";
}

} // namespace
