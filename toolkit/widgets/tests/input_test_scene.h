#pragma once
// A scene for the input tests: a window box in a top-level frame over the emulated screen, with
// plain rectangular boxes that write down every event aimed at them. The scene hands its events to
// one frame input, keeps its focus, and binds keys to commands.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "graphics/paint/canvas.h"
#include "platform/backend/headless.h"
#include "platform/shell/task_bar.h"
#include "platform/win/input.h"
#include "platform/win/screen.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/widgets/frame_input.h"
#include "toolkit/widgets/frame_site.h"
#include "toolkit/widgets/top_level_frame.h"

namespace test {

inline std::string AtomName(oxAtom atom) {
    static const bool registered = (oxAtoms::RegisterPredefined(), true);
    (void)registered;
    WCHAR buffer[oxAtoms::kLookupUnits];
    buffer[0] = 0;
    oxAtoms::GetName(atom, buffer, oxAtoms::kLookupUnits);
    std::string out;
    for (const WCHAR* p = buffer; *p; ++p)
        out += char(*p);
    return out.empty() ? std::to_string(atom) : out;
}

class InputScene;

// A box that logs "name type" (and "<related" for mouseOut and mouseOver) for events aimed at it.
class LogBox : public oxBox {
public:
    LogBox(InputScene* scene, std::string boxName) : oxBox(kAtomBox), scene_(scene), name(std::move(boxName)) {}
    int32_t HandleEvent(oxEvent* event) override;
    InputScene* scene_;
    std::string name;
};

class InputScene : public oxBoxScene, public oxFrameSite, public oxInputScene, public oxWindowScene {
public:
    struct Binding : oxKeyCommand {
        bool disabled = false;
        std::function<void(oxCommandEvent*)> run;
        bool IsDisabled() override { return disabled; }
        void Execute(oxCommandEvent* event) override { run(event); }
    };

    // `makeRoot` makes a root box of another kind (a window box's stand-in); null makes a LogBox.
    explicit InputScene(oxFrameInput* input, oxRect rootRect = {0, 0, 240, 268},
                        const std::function<LogBox*(InputScene*)>& makeRoot = nullptr)
        : input_(input) {
        RegisterFrameWindowClass();
        if (makeRoot) {
            root = makeRoot(this);
            root->AttachSubtreeToScene(this);
            looks[root] = rootRect;
        } else {
            root = Add(nullptr, "root", rootRect);
        }
        root->SetChangeFlag(kChangeFramed, true);
        frame = std::make_unique<oxWindowFrame>(root);
    }
    ~InputScene() {
        input_->ForgetScene(this);
        for (auto& [box, look] : looks)
            input_->ForgetBox(box);
        frame.reset();
        root->Release();
        UnregisterFrameWindowClass();
    }

    LogBox* Add(oxBox* parent, std::string name, oxRect rect) {
        auto* box = new LogBox(this, std::move(name));
        if (parent) parent->AddChild(box);
        box->AttachSubtreeToScene(this);
        looks[box] = rect;
        return box;
    }
    std::string NameOf(oxReferenced* r) {
        auto* box = dynamic_cast<LogBox*>(r);
        return box ? box->name : "-";
    }
    // The log entries of one event type, or all of them, as "name type".
    std::vector<std::string> Log(const std::string& only = "") const {
        std::vector<std::string> out;
        for (const std::string& e : log)
            if (only.empty() || e.find(" " + only) != std::string::npos) out.push_back(e);
        return out;
    }
    std::vector<std::string> LogWithout(const std::vector<std::string>& skip) const {
        std::vector<std::string> out;
        for (const std::string& e : log) {
            bool keep = true;
            for (const std::string& s : skip)
                if (e.find(" " + s) != std::string::npos) keep = false;
            if (keep) out.push_back(e);
        }
        return out;
    }

    // oxBoxScene.
    oxBox* GetRootBox() override { return root; }
    oxBox* FindBoxById(oxAtom id) override {
        for (auto& [box, look] : looks)
            if (box->GetStyleId() == id && id) return box;
        return nullptr;
    }

    // oxFrameSite.
    bool IsSceneOpen() override { return true; }
    bool IsRightToLeft() override { return rtl; }
    void LayoutScene() override { ++layouts; }
    void DispatchEvent(oxEvent* event) override {
        ++dispatching;
        input_->DispatchEvent(event, this);
        --dispatching;
    }
    oxFrame* GetWindowBoxFrame() override { return frame.get(); }
    void UpdateWindowFrames() override {
        if (frame && frame->GetWindow()) frame->Update(true);
    }
    oxRect GetBoxRect(oxBox* box) override { return looks[box]; }
    oxPoint GetFramePosition(oxBox* box) override {
        if (box == root) {
            // The window box's place is kept relative to the work area.
            const RECT work = platform::shell::GetWorkArea();
            return {looks[root].x + work.left, looks[root].y + work.top};
        }
        oxPoint p{};
        for (oxBox* b = box; b && b != root; b = b->GetParent())
            p.Offset(looks[b].x, looks[b].y);
        return p;
    }
    void GetRepaintRects(oxBox* box, oxRect* previous, oxRect* current) override { *previous = *current = InRoot(box); }
    void PaintBox(oxBox* box, oxCanvas* canvas) override {
        for (oxBox* b = box; b; b = b->GetNextBox(box, false, false)) {
            const oxRect r = b == root ? oxRect{0, 0, looks[root].width, looks[root].height} : InRoot(b);
            canvas->SetColor(b == root ? 0x404040 : 0x80C080);
            canvas->FillRectI(RECT{r.x, r.y, int(r.Right()), int(r.Bottom())}, 0);
        }
    }
    oxBox* HitTest(oxBox* from, const oxPoint& point) override {
        oxBox* hit = from;
        for (oxBox* b = from; b; b = b->GetNextBox(from, false, false))
            if (b != root && InRoot(b).Contains(point)) hit = b;
        return hit;
    }
    void StoreWindowGeometry(oxBox* box, const oxRect& r, bool position, bool size) override {
        if (position) looks[box].x = r.x, looks[box].y = r.y;
        if (size) looks[box].width = r.width, looks[box].height = r.height;
    }

    // oxInputScene.
    oxFrameInput* GetFrameInput() override { return input_; }
    oxBox* GetFocusedBox() override { return focused; }
    void SetFocusedBox(oxBox* box) override {
        if (box == focused) return;
        oxBox* old = focused;
        focused = box;
        if (old) {
            oxNotificationEvent blur(kAtomBlur, old);
            DispatchEvent(&blur);
        }
        if (box) {
            oxNotificationEvent focus(kAtomFocus, box);
            DispatchEvent(&focus);
        }
    }
    oxBox* GetSavedFocus() override { return saved; }
    oxBox* GetTooltipPopup() override { return tooltip; }
    void SetSavedFocus(oxBox* box) override { saved = box; }
    void AdvanceFocus() override { log.push_back("scene advanceFocus"); }
    void RewindFocus() override { log.push_back("scene rewindFocus"); }
    oxBox* GetWindowBox() override { return root; }
    oxKeyCommand* FindKeyBinding(oxKeyEvent* event) override {
        auto it = bindings.find(event->virtualKeyCode);
        return it == bindings.end() ? nullptr : &it->second;
    }
    bool ContainsScreenPoint(oxBox* box, const oxPoint& point) override {
        oxRect r = box == root ? oxRect{0, 0, looks[root].width, looks[root].height} : InRoot(box);
        if (frame && frame->GetWindow()) {
            POINT o{0, 0};
            ClientToScreen(frame->GetWindow(), &o);
            r.Offset(oxPoint{o.x, o.y});
        }
        return r.Contains(point);
    }
    oxBoxEdges GetBoxEdges(oxBox* box) override {
        oxBoxEdges e;
        e.left = looks[box].x, e.top = looks[box].y;
        return e;
    }
    void SetBoxEdges(oxBox* box, const oxBoxEdges& e, uint32_t which) override {
        if (which & 1) looks[box].y = e.top;
        if (which & 2) looks[box].x = e.left;
    }

    // oxWindowScene.
    void Close(bool forced) override {
        (void)forced;
        log.push_back("scene close");
        closed = true;
        if (onClose) onClose();
    }
    bool IsDispatching() override { return dispatching > 0; }
    void DeferDestroy() override { destroyDeferred = true; }

    oxRect InRoot(oxBox* box) {
        oxRect r = looks[box];
        r.x = r.y = 0;
        for (oxBox* b = box; b && b != root; b = b->GetParent())
            r.Offset(oxPoint{looks[b].x, looks[b].y});
        return r;
    }

    oxFrameInput* input_;
    LogBox* root;
    std::unique_ptr<oxWindowFrame> frame;
    std::map<oxBox*, oxRect> looks;
    std::map<uint16_t, Binding> bindings;
    std::vector<std::string> log;
    oxBox* focused = nullptr;
    oxBox* saved = nullptr;
    oxBox* tooltip = nullptr;
    bool rtl = false;
    std::function<void()> onClose;
    int layouts = 0;
    int dispatching = 0;
    bool closed = false;
    bool destroyDeferred = false;
};

inline int32_t LogBox::HandleEvent(oxEvent* event) {
    // State announcements are not input: only the events aimed at the box are written down.
    if (event->GetTarget() == this && !dynamic_cast<oxMutationEvent*>(event)) {
        std::string line = name + " " + AtomName(event->GetType());
        auto* dom = dynamic_cast<oxDOMEvent*>(event);
        if (dom && dom->GetRelated() && (event->GetType() == kAtomMouseOut || event->GetType() == kAtomMouseOver))
            line += " <" + scene_->NameOf(dom->GetRelated());
        if (auto* menu = dynamic_cast<oxMenuEvent*>(event)) line += " " + std::to_string(menu->menuId);
        scene_->log.push_back(line);
    }
    return oxBox::HandleEvent(event);
}

// A 240 x 320 screen at 96 dpi with a clean shell and input state; scenes open in a top-level frame
// that fills the work area, (0, 26) to (240, 294), above the menu-bar strip.
class InputFixture : public ::testing::Test {
protected:
    void SetUp() override {
        clock = &platform::headless::UseVirtualClock(1000);
        ASSERT_TRUE(ConfigureScreen(ScreenConfig{240, 320, 32, false, 96}));
        platform::input::Reset();
        input = std::make_unique<oxFrameInput>();
    }
    void TearDown() override {
        while (!scenes.empty())
            scenes.pop_back();
        input.reset();
        platform::shell::ResetShell();
        platform::headless::RunUntilIdle();
        platform::input::Reset();
        ConfigureScreen(ScreenConfigFromEnvironment());
        platform::headless::UseRealClock();
    }
    // Boxes are added by `build` before the window is made.
    InputScene* Open(const std::function<void(InputScene*)>& build = nullptr) {
        scenes.push_back(std::make_unique<InputScene>(input.get()));
        InputScene* scene = scenes.back().get();
        if (build) build(scene);
        scene->frame->Create(false);
        EXPECT_TRUE(scene->frame->GetWindow());
        scene->frame->PositionWindow();
        platform::headless::RunUntilIdle();
        scene->log.clear();
        return scene;
    }

    platform::VirtualClock* clock = nullptr;
    std::unique_ptr<oxFrameInput> input;
    std::vector<std::unique_ptr<InputScene>> scenes; // the last opened is destroyed first
};

} // namespace test
