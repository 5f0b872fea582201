#include "toolkit/widgets/top_level_frame.h"

#include "platform/backend/headless_input.h"
#include "platform/shell/input_panel.h"
#include "platform/shell/menu_bar.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/timer.h"
#include "toolkit/style/style_declaration.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/widgets/tests/input_test_scene.h"

namespace {

using platform::headless::RunUntilIdle;
using Lines = std::vector<std::string>;

// A main scene and, for the dialog cases, a dialog scene over it.
class TopLevelFrameTest : public test::InputFixture {
protected:
    void SetUp() override {
        test::InputFixture::SetUp();
        main = Open();
    }
    test::InputScene* main = nullptr;
    test::InputScene* dialog = nullptr;
};

TEST_F(TopLevelFrameTest, TheInputPanelShrinksTheWindowAndTheSceneLaysOutAgain) {
    HWND w = main->frame->GetWindow();
    ASSERT_EQ(main->looks[main->root].height, 268);
    const int layouts = main->layouts;
    const RECT button = platform::shell::GetInputPanelButtonRect();
    platform::headless::Tap(button.left + 2, button.top + 2);
    RunUntilIdle();
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.top, 26);
    EXPECT_EQ(r.bottom, 294 - 80) << "the window ends where the panel begins";
    EXPECT_EQ(main->looks[main->root].height, 294 - 80 - 26) << "the box took the window's new size";
    EXPECT_GT(main->layouts, layouts);
    EXPECT_EQ(GetActiveWindow(), w);
    // Down again, the window reaches the menu bar once more.
    platform::headless::Tap(button.left + 2, button.top + 2);
    RunUntilIdle();
    GetWindowRect(w, &r);
    EXPECT_EQ(r.bottom, 294);
    EXPECT_EQ(main->looks[main->root].height, 268);
}

TEST_F(TopLevelFrameTest, BackClosesADialogWhoseModalLoopThenReturns) {
    dialog = Open();
    ASSERT_EQ(GetActiveWindow(), dialog->frame->GetWindow());
    // The dialog binds Escape, which is what Back becomes, to closing itself.
    dialog->bindings[VK_ESCAPE].run = [&](oxCommandEvent*) { dialog->Close(false); };
    dialog->onClose = [&] { dialog->frame->EndModal(); };
    // Input arrives while the loop runs: a tap, a soft key, then Back.
    static std::function<void()> arrive;
    int step = 0;
    arrive = [&] {
        if (step == 0) platform::headless::Tap(50, 50);
        if (step == 1) platform::headless::SoftKey(1);
        if (step == 2) platform::headless::Back();
        ++step;
    };
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) { arrive(); });
    dialog->frame->RunModalLoop();
    EXPECT_TRUE(dialog->closed);
    EXPECT_FALSE(dialog->frame->IsModal());
    EXPECT_EQ(step, 3);
    EXPECT_EQ(dialog->LogWithout({"mouse", "click", "key", "focus", "blur", "captureReleased"}),
              (Lines{"root menuCommand 10001", "scene close", "root command"}));
    EXPECT_EQ(main->LogWithout({"activated", "deactivated"}), Lines{}) << "the main scene saw none of it";
}

TEST_F(TopLevelFrameTest, AQuitMessageEndsTheModalLoopAndTheLoopOutsideIt) {
    PostQuitMessage(3);
    main->frame->RunModalLoop();
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the program's own loop still ends";
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(TopLevelFrameTest, ActivationMovesBetweenWindowsAndKeepsTheFocusForLater) {
    test::LogBox* a = main->Add(main->root, "a", {10, 10, 50, 30});
    a->SetFocusMode(kModeFocusNormal);
    main->SetFocusedBox(a);
    main->log.clear();
    dialog = Open();
    EXPECT_EQ(main->Log(), (Lines{"a blur", "root deactivated"}));
    EXPECT_EQ(main->focused, nullptr);
    EXPECT_TRUE(IsWindowVisible(SHFindMenuBar(dialog->frame->GetWindow())));
    EXPECT_FALSE(IsWindowVisible(SHFindMenuBar(main->frame->GetWindow()))) << "only the active window's bar shows";
    main->frame->BringToFront();
    EXPECT_EQ(main->focused, a) << "the focus comes back with the activation";
    EXPECT_TRUE(main->root->GetStateFlags() & kStateActive);
}

TEST_F(TopLevelFrameTest, TheCancelButtonMinimisesInsteadOfClosing) {
    platform::headless::Tap(235, 10);
    RunUntilIdle();
    EXPECT_FALSE(main->closed);
    EXPECT_TRUE(main->root->GetStateFlags() & kStateMinimized);
}

TEST_F(TopLevelFrameTest, FullScreenTakesTheWholeScreenAndGivesBackTheWorkArea) {
    main->frame->SetFullScreen(true);
    RECT r;
    GetWindowRect(main->frame->GetWindow(), &r);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, 320);
    EXPECT_EQ(platform::shell::GetWorkArea().top, 0);
    main->frame->SetFullScreen(false);
    EXPECT_EQ(platform::shell::GetWorkArea().top, 26);
}

TEST_F(TopLevelFrameTest, AccessKeysAreReadButNotKeptAndMirroringFlipsTheOwnerBox) {
    test::LogBox* a = main->Add(main->root, "a", {10, 10, 50, 30});
    EXPECT_EQ(main->frame->RegisterAccessKey(a), nullptr);
    a->SetAttribute(kAtomAccessKey, u"F", false, false);
    ASSERT_NE(main->frame->RegisterAccessKey(a), nullptr);
    EXPECT_EQ(std::u16string(main->frame->RegisterAccessKey(a)), u"F");
    EXPECT_EQ(main->frame->RegisterAccessKey(nullptr), nullptr);
    EXPECT_EQ(main->frame->UnregisterAccessKey(a), 0);

    main->frame->MirrorOwnerBox(false);
    EXPECT_EQ(main->root->GetInlineStyle(), nullptr) << "off changes nothing";
    main->frame->MirrorOwnerBox(true);
    ASSERT_NE(main->root->GetInlineStyle(), nullptr);
    const oxStyleValue* flip = main->root->GetInlineStyle()->FindProperty(kStyle_flip);
    ASSERT_NE(flip, nullptr);
    EXPECT_EQ(flip->GetType(), kStyleKeyword);
    EXPECT_EQ(flip->GetValue(), kKeywordX);
}

// A window box's stand-in that answers the frame's questions about snapping and chrome.
class SnapRoot : public test::LogBox, public oxWindowBoxInfo {
public:
    SnapRoot(test::InputScene* scene, std::u16string snapClass, int32_t order)
        : test::LogBox(scene, "root"), class_(std::move(snapClass)), order_(order) {}
    const std::u16string* GetSnapToBoxClass() const override { return class_.empty() ? nullptr : &class_; }
    const oxRect& GetSnapToOffset() const override { return margins; }
    int32_t GetSnapToBoxOrder() const override { return order_; }
    bool IsChromeless() override { return chromeless; }
    oxRect margins{2, 2, 2, 2};
    bool chromeless = false;

private:
    std::u16string class_;
    int32_t order_;
};

class SnapGroupTest : public test::InputFixture {
protected:
    // A window at a place in the work area with a snap class and order.
    test::InputScene* OpenAt(oxRect rect, std::u16string snapClass, int32_t order) {
        scenes.push_back(std::make_unique<test::InputScene>(input.get(), rect, [&](test::InputScene* s) {
            return new SnapRoot(s, snapClass, order);
        }));
        test::InputScene* scene = scenes.back().get();
        scene->frame->Create(false);
        scene->frame->PositionWindow();
        RunUntilIdle();
        return scene;
    }
    static oxRect Where(test::InputScene* s) { return s->frame->GetWindowRect(); }
};

TEST_F(SnapGroupTest, TouchingWindowsLaterInOrderFollowTheFirst) {
    test::InputScene* a = OpenAt({0, 0, 100, 100}, u"tool", 0);
    test::InputScene* b = OpenAt({100, 0, 100, 60}, u"tool", 1);     // shares a's right edge
    test::InputScene* c = OpenAt({0, 103, 100, 40}, u"*", 2);        // 3 below a: the 2-pixel margins meet
    test::InputScene* far = OpenAt({0, 200, 100, 40}, u"tool", 3);   // touches nothing
    test::InputScene* other = OpenAt({100, 60, 100, 40}, u"palette", 4); // touches a and b, other class
    test::InputScene* before = OpenAt({200, 0, 30, 30}, u"tool", -1); // touches b but comes first

    a->frame->AttachSnapGroup();
    EXPECT_EQ(b->frame->GetSnapAnchor(), a->frame.get());
    EXPECT_EQ(c->frame->GetSnapAnchor(), a->frame.get()) << "\"*\" matches every class";
    EXPECT_EQ(far->frame->GetSnapAnchor(), nullptr);
    EXPECT_EQ(other->frame->GetSnapAnchor(), nullptr);
    EXPECT_EQ(before->frame->GetSnapAnchor(), nullptr) << "a lower order never follows a higher one";
    EXPECT_EQ(a->frame->GetSnapAnchor(), nullptr);

    // b gathers its own followers, but c keeps the anchor of lower order it has.
    b->frame->AttachSnapGroup();
    EXPECT_EQ(c->frame->GetSnapAnchor(), a->frame.get());

    // Moving a takes its followers along by the same distance.
    const oxRect wasB = Where(b), wasC = Where(c), wasFar = Where(far);
    const oxRect wasA = Where(a);
    SetWindowPos(a->frame->GetWindow(), nullptr, wasA.x + 7, wasA.y + 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RunUntilIdle();
    EXPECT_EQ(Where(b).x, wasB.x + 7);
    EXPECT_EQ(Where(b).y, wasB.y + 5);
    EXPECT_EQ(Where(c).x, wasC.x + 7);
    EXPECT_EQ(Where(c).y, wasC.y + 5);
    EXPECT_EQ(Where(far).y, wasFar.y) << "a window outside the group stays";

    // A restore lets the group go and every window gathers its followers again: b now follows the
    // window of lowest order that it touches.
    SendMessageW(a->frame->GetWindow(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(100, 100));
    EXPECT_EQ(b->frame->GetSnapAnchor(), before->frame.get());
    EXPECT_EQ(c->frame->GetSnapAnchor(), a->frame.get());
    // A window that goes away frees its followers.
    a->frame->DestroyFrameWindow();
    EXPECT_EQ(c->frame->GetSnapAnchor(), nullptr);
    EXPECT_EQ(b->frame->GetSnapAnchor(), before->frame.get());
}

TEST_F(SnapGroupTest, WindowsWithoutMarginsOrClassStayAlone) {
    test::InputScene* a = OpenAt({0, 0, 100, 100}, u"tool", 0);
    test::InputScene* b = OpenAt({100, 0, 100, 60}, u"tool", 1);
    test::InputScene* c = OpenAt({0, 100, 100, 60}, u"", 2);
    static_cast<SnapRoot*>(b->root)->margins = {0, 0, 0, 0};
    a->frame->AttachSnapGroup();
    EXPECT_EQ(b->frame->GetSnapAnchor(), nullptr) << "no positive margin";
    EXPECT_EQ(c->frame->GetSnapAnchor(), nullptr) << "no class";
    // The snap rectangle is the window grown by the margins.
    const oxRect w = Where(a), snap = a->frame->GetSnapRect();
    EXPECT_EQ(snap.x, w.x - 2);
    EXPECT_EQ(snap.y, w.y - 2);
    EXPECT_EQ(snap.width, w.width + 4);
    EXPECT_EQ(snap.height, w.height + 4);
}

TEST_F(SnapGroupTest, AChromelessWindowAsLargeAsTheScreenIsMadeOneUnitShorterWhenItsPlacementIsRead) {
    test::InputScene* a = OpenAt({0, 0, 100, 100}, u"", 0);
    HWND w = a->frame->GetWindow();
    SetWindowPos(w, nullptr, 0, 0, 240, 320, SWP_NOZORDER);
    EXPECT_EQ(a->frame->GetPlacement(), 0);
    EXPECT_EQ(a->frame->GetWindowRect().height, 320) << "a window with chrome keeps its size";
    static_cast<SnapRoot*>(a->root)->chromeless = true;
    EXPECT_EQ(a->frame->GetPlacement(), 0);
    EXPECT_EQ(a->frame->GetWindowRect().height, 319);
    EXPECT_EQ(a->frame->GetWindowRect().width, 240);
    EXPECT_EQ(a->frame->GetPlacement(), 0);
    EXPECT_EQ(a->frame->GetWindowRect().height, 319) << "once shorter it stays";
    EXPECT_EQ(a->frame->SetPlacement(), 0);
}

} // namespace
