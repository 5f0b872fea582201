// HTML boxes in a frame test scene: the control window follows the box (place, visibility, focus,
// clip), is made again with its content after a collapse, and its notifications become events.
#include "toolkit/widgets/frame_box.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/backend/headless_input.h"
#include "platform/shell/notification.h"
#include "platform/win/html_control.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/region.h"
#include "platform/win/window_paint.h"
#include "runtime/script_object.h"
#include "runtime/script_variant.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/widgets/tests/frame_test_scene.h"

namespace {

using platform::headless::RunUntilIdle;

constexpr const WCHAR* kGreenPage = u"<body style='margin:0'><div style='background:#00c000;height:40px'></div>"
                                    u"<a href='box://next.html' style='display:block;height:20px'>next</a></body>";

// Writes down the events the box handles itself, with their url and readyState.
class RecordingBox : public oxDHTMLBox {
public:
    using oxDHTMLBox::oxDHTMLBox;
    struct Seen {
        oxAtom type;
        std::u16string url;
        int readyState;
    };
    int32_t HandleEvent(oxEvent* event) override {
        Seen seen{event->GetType(), u"", 0};
        if (auto* dom = dynamic_cast<oxDOMEvent*>(event)) {
            NUBO::XObject* params = nullptr;
            dom->GetParams(&params);
            if (params) {
                NUBO::XVariant v;
                if (params->GetPropertyByName(u"url", &v) == 0) seen.url = v.ToString().GetString();
                NUBO::XVariant r;
                if (params->GetPropertyByName(u"readyState", &r) == 0) seen.readyState = r.ToInt32();
                params->Release();
            }
        }
        seen_.push_back(seen);
        return oxDHTMLBox::HandleEvent(event);
    }
    std::vector<Seen> seen_;
};

// Counts the moves and sizes the control window is given, on the way to its own procedure.
int gPositionChanges = 0;
WNDPROC gChained = nullptr;
LRESULT CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_WINDOWPOSCHANGED) ++gPositionChanges;
    return CallWindowProcW(gChained, hwnd, message, wParam, lParam);
}

class FrameBoxTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        platform::headless::UseVirtualClock(1000);
        ASSERT_TRUE(ConfigureScreen(ScreenConfig{160, 200, GetParam(), false, 96}));
        scene = std::make_unique<test::Scene>();
        scene->looks[scene->root].rect = oxRect{0, 0, 160, 200};
        scene->host->Create(false);
        HWND host = scene->host->GetWindow();
        ASSERT_TRUE(host);
        SetWindowPos(host, nullptr, 0, 0, 160, 200, SWP_NOZORDER | SWP_NOACTIVATE);
        box = new RecordingBox(kAtomDhtml);
        scene->root->AddChild(box);
        Place({10, 20}, {120, 80});
        scene->looks[box] = test::Scene::Look{oxRect{10, 20, 120, 80}, 0xFF0000FF, {}};
        box->AttachSubtreeToScene(scene.get());
    }
    void TearDown() override {
        scene.reset();
        RunUntilIdle();
        ConfigureScreen(ScreenConfigFromEnvironment());
        platform::headless::UseRealClock();
    }
    void Place(oxPoint at, oxPoint size) {
        box->SetPacked(0, at);
        box->SetBoxSize(size);
        box->SetPacked(2, {0, 0});
        box->SetContentSize(size);
    }
    // What a layout pass does: the box is placed and its window follows.
    void Arrange() {
        box->SetChangeFlag(kChangeArranged, true);
        box->RefreshFrame();
        RunUntilIdle();
    }
    RECT WindowRect() {
        RECT r{};
        GetWindowRect(box->GetWindow(), &r);
        return r;
    }
    std::vector<oxAtom> Types() const {
        std::vector<oxAtom> out;
        for (auto& s : box->seen_)
            out.push_back(s.type);
        return out;
    }
    uint32_t Green() const { return GetParam() == 32 ? 0x00C000 : 0x00C300; }

    std::unique_ptr<test::Scene> scene;
    RecordingBox* box = nullptr;
};

TEST_P(FrameBoxTest, TheControlFollowsTheBoxOnScreen) {
    box->SetAttribute(kAtomValue, kGreenPage, false, false);
    box->OnSceneAttached();
    // Made at once, but shown only once a layout has placed the box.
    HWND control = box->GetWindow();
    ASSERT_TRUE(control);
    EXPECT_FALSE(IsWindowVisible(control));
    Arrange();
    EXPECT_TRUE(IsWindowVisible(control));
    EXPECT_EQ(WindowRect().left, 10);
    EXPECT_EQ(WindowRect().top, 20);
    EXPECT_EQ(WindowRect().right, 130);
    EXPECT_EQ(WindowRect().bottom, 100);
    // It paints its page in its own window, at the box's place.
    EXPECT_EQ(ReadScreenPixel(20, 30), Green());

    // A box that neither moves nor resizes makes no window move; one that moves does.
    gChained =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
    gPositionChanges = 0;
    box->RefreshFrame();
    box->SyncPosition();
    EXPECT_EQ(gPositionChanges, 0);
    Place({30, 40}, {100, 60});
    box->RefreshFrame();
    EXPECT_EQ(gPositionChanges, 1);
    EXPECT_EQ(WindowRect().left, 30);
    EXPECT_EQ(WindowRect().bottom, 100);

    // It takes and gives back the keyboard focus with the box.
    box->SetFocused(true, false, true);
    EXPECT_EQ(GetFocus(), control);
    box->SetFocused(false, false, true);
    EXPECT_NE(GetFocus(), control);
}

TEST_P(FrameBoxTest, HidingOrCollapsingDropsTheControlAndShowingMakesItAgain) {
    // The address set before the control exists is only kept.
    box->SetHref(u"http://example.com/a");
    EXPECT_EQ(box->GetWindow(), nullptr);
    EXPECT_TRUE(box->seen_.empty());
    box->SetAttribute(kAtomValue, kGreenPage, false, false);
    box->OnSceneAttached();
    Arrange();
    ASSERT_TRUE(box->GetWindow());
    ASSERT_FALSE(box->seen_.empty());
    EXPECT_EQ(box->seen_.back().type, kAtomNavigate);
    EXPECT_EQ(box->seen_.back().url, u"http://example.com/a");

    const struct {
        const char* what;
        void (*hide)(oxBox*);
        void (*show)(oxBox*);
    } cases[] = {
        {"hidden", [](oxBox* b) { b->SetHidden(true); }, [](oxBox* b) { b->SetHidden(false); }},
        {"collapsed", [](oxBox* b) { b->SetCollapsed(true, false); }, [](oxBox* b) { b->SetCollapsed(false, false); }},
        {"hidden by an ancestor", [](oxBox* b) { b->SetHiddenByAncestor(true); },
         [](oxBox* b) { b->SetHiddenByAncestor(false); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HWND before = box->GetWindow();
        ASSERT_TRUE(before);
        c.hide(box);
        EXPECT_EQ(box->GetWindow(), nullptr);
        EXPECT_FALSE(IsWindow(before));
        box->seen_.clear();
        c.show(box);
        RunUntilIdle();
        ASSERT_TRUE(box->GetWindow());
        EXPECT_TRUE(IsWindowVisible(box->GetWindow()));
        // The new control has the page again and went to the kept address.
        EXPECT_EQ(ReadScreenPixel(20, 30), Green());
        ASSERT_FALSE(box->seen_.empty());
        EXPECT_EQ(box->seen_.back().type, kAtomNavigate);
        EXPECT_EQ(box->seen_.back().url, u"http://example.com/a");
    }
}

TEST_P(FrameBoxTest, ControlNotificationsBecomeTheBoxsEvents) {
    box->OnSceneAttached();
    Arrange();
    HWND control = box->GetWindow();
    ASSERT_TRUE(control);
    box->seen_.clear();
    box->SetContent(kGreenPage);
    EXPECT_NE(box->GetAttributeText(kAtomValue), nullptr);
    std::vector<int> states;
    for (auto& seen : box->seen_)
        if (seen.type == kAtomReadyStateChanged) states.push_back(seen.readyState);
    EXPECT_EQ(states, (std::vector<int>{1, 2, 3}));
    RunUntilIdle();

    // A tapped link is a "navigate" with its address, and the page stays.
    box->seen_.clear();
    platform::headless::Tap(20, 70); // the link under the green block
    RunUntilIdle();
    ASSERT_EQ(Types(), std::vector<oxAtom>{kAtomNavigate});
    EXPECT_EQ(box->seen_[0].url, u"box://next.html");
    EXPECT_EQ(ReadScreenPixel(20, 30), Green());

    // A target that comes as wide text still gives the right address.
    box->seen_.clear();
    NMHTMLLINK wide{};
    const char16_t* text = u"box://wide.html";
    wide.hdr = NMHDR{control, 0, NM_HOTSPOT};
    wide.target = reinterpret_cast<const char*>(text);
    SendMessageW(control, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&wide));
    ASSERT_EQ(Types(), std::vector<oxAtom>{kAtomNavigate});
    EXPECT_EQ(box->seen_[0].url, u"box://wide.html");

    // A key goes through the scene as "keyDown".
    scene->events.clear();
    SetFocus(control);
    platform::headless::Key(VK_RIGHT);
    RunUntilIdle();
    EXPECT_NE(std::find(scene->events.begin(), scene->events.end(), kAtomKeyDown), scene->events.end());

    // A message for a window that no box holds is answered with 0; stopping without a control too.
    box->SetCollapsed(true, false);
    EXPECT_EQ(box->StopNavigate(), 0);
}

TEST_P(FrameBoxTest, TheWindowIsClippedToWhatThePaintLeavesVisible) {
    box->OnSceneAttached();
    Arrange();
    HWND control = box->GetWindow();
    ASSERT_TRUE(control);
    const struct {
        RECT clip; // in the parent's coordinates, where the box stands at (10, 20) sized 120 x 80
        RECT region;
    } cases[] = {
        {{0, 0, 160, 200}, {0, 0, 120, 80}},
        {{0, 0, 70, 60}, {0, 0, 60, 40}},
        {{50, 50, 160, 200}, {40, 30, 120, 80}},
    };
    for (const auto& c : cases) {
        oxCanvas canvas(160, 200);
        test::ClipTo(canvas, c.clip);
        box->UpdateClip(&canvas, 0);
        EXPECT_TRUE(box->IsClipped());
        test::ExpectShape(control, c.region);
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, FrameBoxTest, ::testing::Values(32, 16));

} // namespace
