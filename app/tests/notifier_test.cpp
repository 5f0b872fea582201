// Notifications as the scripts make them through app, and as the user meets them in the shell's
// bubble: titles and bodies of the string table by queue length, soft keys by kind, spinners,
// commands back to the scene, tray icons, and the bubble's look at both screen depths.
#include "app/notifier.h"

#include <string>
#include <vector>

#include "app/app.h"
#include "app/tests/script_scene.h"
#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/notification.h"
#include "platform/shell/task_bar.h"
#include "platform/shell/tray.h"
#include "platform/tests/screen_golden.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/resources.h"
#include "platform/win/screen.h"

namespace {

constexpr CLSID kClass = {0x138CE29D, 0x4663, 0x421D, {0xA3, 0xA7, 0xBE, 0xFA, 0xCD, 0x2B, 0xCC, 0xBD}};

struct Bubble {
    bool shown = false;
    std::u16string title, body, key1, key2, today;
    WPARAM command1 = 0, command2 = 0;
    DWORD flags = 0;
    HICON icon = nullptr;
    HWND sink = nullptr;
};

Bubble Current() {
    SHNOTIFICATIONDATA d{};
    d.cbStruct = sizeof(d);
    Bubble b;
    if (SHNotificationGetData(&kClass, 100, &d) != 0) return b;
    b = Bubble{true,
               d.pszTitle,
               d.pszHTML,
               d.rgskn[0].pszTitle,
               d.rgskn[1].pszTitle,
               d.pszTodaySK,
               d.rgskn[0].skc.wpCmd,
               d.rgskn[1].skc.wpCmd,
               d.grfFlags,
               d.hicon,
               d.hwndSink};
    return b;
}

POINT Centre(platform::shell::BubblePart part) {
    const RECT r = platform::shell::GetBubblePart(part);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void TapBubble(platform::shell::BubblePart part) {
    const POINT p = Centre(part);
    platform::headless::Tap(p.x, p.y);
    platform::headless::RunUntilIdle();
}

class NotifierTest : public test::ScriptSceneTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        platform::headless::UseVirtualClock(1000);
        ASSERT_TRUE(ConfigureScreen(ScreenConfig{240, 320, GetParam(), false, 96}));
        setenv("TANDU_RUNTIME_DIR", ::testing::TempDir().c_str(), 1); // no other process's windows are asked
        test::ScriptSceneTest::SetUp();
        appObject = new App();
        appObject->AddRef();
        NUBO::XVariant out;
        ASSERT_EQ(GetShell()->AddDOMObject(NUBO::TWString(u"app"), appObject, &out), 0);
        scene = OpenSceneWithScript(
            "var app = shell.app, seen = [];\n"
            "function onMessage(e) { var d = e.paramsDictionary; seen.push(e.message + (d ? ':' + d.buddyId : '')); }\n"
            "function notify(kind, n) { for (var i = 0; i < (n || 1); ++i)\n"
            "  app.newNotification(shell.getSceneAt(0), '<b>Анна</b>: привет&nbsp;' + kind + i, 'buddy-' + kind + i,"
            " 30, kind); }\n");
        ASSERT_NE(scene, nullptr);
        ASSERT_EQ(Eval(scene, "shell.getSceneAt(0).rootBox.addEventHandler('message', 'onMessage')"), "1");
    }
    void TearDown() override {
        test::ScriptSceneTest::TearDown();
        appObject->Release();
        platform::shell::ResetShell();
        unsetenv("TANDU_RUNTIME_DIR");
        ConfigureScreen(ScreenConfigFromEnvironment());
        platform::headless::UseRealClock();
    }
    XBubbleNotifier* Notifier() { return static_cast<XBubbleNotifier*>(appObject->GetNotifier()); }
    std::string Seen() { return Eval(scene, "seen.splice(0).join()"); }
    void Command(WPARAM command) {
        SendMessageW(Notifier()->GetListenerWindow(), WM_COMMAND, command, 0);
        platform::headless::RunUntilIdle();
    }

    App* appObject = nullptr;
    oxScene* scene = nullptr;
};

TEST_P(NotifierTest, OneNotificationHasTheTitleAndSoftKeysOfItsKind) {
    const struct {
        const char* kind;
        std::u16string key1;
        WPARAM command1;
    } kinds[] = {
        {"unknownIM", u"Read", 105}, {"knownIM", u"Reply", 103},  {"alert", u"Send a message", 103},
        {"other", u"Read", 102},     {"KnownIM", u"Read", 102},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.kind);
        Eval(scene, std::string("app.dismissNotifications(); notify('") + k.kind + "')");
        const Bubble b = Current();
        ASSERT_TRUE(b.shown);
        EXPECT_EQ(b.title, u"Tandu - New message");
        EXPECT_EQ(b.body, u"<b>Анна</b>: привет&nbsp;" + platform::WideFromUtf8(k.kind) + u"0");
        EXPECT_EQ(b.key1, k.key1);
        EXPECT_EQ(b.command1, k.command1);
        EXPECT_EQ(b.key2, u"Keep as read");
        EXPECT_EQ(b.command2, 100u);
        EXPECT_EQ(b.flags, 0x138u);
        EXPECT_EQ(b.today, u"Tandu alerts");
        EXPECT_EQ(b.sink, Notifier()->GetListenerWindow());
        EXPECT_EQ(b.icon, nullptr) << "no status, no icon";
    }
    EXPECT_EQ(platform::shell::PlainTextFromHtml(Current().body.c_str()), u"Анна: привет\u00A0KnownIM0");

    // The second soft key removes the only item, and the bubble with it.
    TapBubble(platform::shell::BubblePart::kSoftKey2);
    EXPECT_FALSE(Current().shown);
    EXPECT_EQ(platform::shell::GetBubbleWindow(), nullptr);
    EXPECT_EQ(Notifier()->GetCount(), 0);
}

TEST_P(NotifierTest, SpinnersPageThroughTheQueueAndStopAtItsEnds) {
    Eval(scene, "notify('unknownIM'); notify('knownIM'); notify('alert')");
    EXPECT_EQ(Current().title, u"Tandu - New message\t3 of 3");
    EXPECT_EQ(Current().key1, u"Send a message");
    TapBubble(platform::shell::BubblePart::kPrevious);
    EXPECT_EQ(Current().title, u"Tandu - New message\t2 of 3");
    EXPECT_EQ(Current().key1, u"Reply");
    EXPECT_EQ(Current().body, u"<b>Анна</b>: привет&nbsp;knownIM0");
    TapBubble(platform::shell::BubblePart::kPrevious);
    TapBubble(platform::shell::BubblePart::kPrevious);
    EXPECT_EQ(Notifier()->GetCurrent(), 0);
    EXPECT_EQ(Current().title, u"Tandu - New message\t1 of 3");
    for (int i = 0; i < 3; ++i)
        TapBubble(platform::shell::BubblePart::kNext);
    EXPECT_EQ(Notifier()->GetCurrent(), 2) << "kept at the last";
    EXPECT_EQ(Current().title, u"Tandu - New message\t3 of 3");

    // The first soft key of the second item asks the scene for that buddy's conversation.
    TapBubble(platform::shell::BubblePart::kPrevious);
    TapBubble(platform::shell::BubblePart::kSoftKey1);
    EXPECT_EQ(Seen(), "viewBuddyConversation:buddy-knownIM0");
    // Keeping it as read removes it; the index stays in the queue.
    TapBubble(platform::shell::BubblePart::kSoftKey2);
    EXPECT_EQ(Notifier()->GetCount(), 2);
    EXPECT_EQ(Current().title, u"Tandu - New message\t2 of 2");
    Command(105);
    EXPECT_EQ(Seen(), "viewBuddyConversation:buddy-alert0");
    // While the bubble shows, the hardware soft keys are its own.
    platform::headless::SoftKey(1);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Seen(), "viewBuddyConversation:buddy-alert0");
    platform::headless::SoftKey(2);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Notifier()->GetCount(), 1);
}

TEST_P(NotifierTest, TheTenthNotificationTurnsTheBubbleIntoASummary) {
    Eval(scene, "notify('knownIM', 9)");
    EXPECT_EQ(Current().title, u"Tandu - New message\t9 of 9");
    Eval(scene, "notify('connectionLost')");
    Bubble b = Current();
    EXPECT_EQ(b.title, u"Tandu - New messages (10)");
    EXPECT_EQ(b.body, u"You have 10 new messages.");
    EXPECT_EQ(b.key1, u"Read");
    EXPECT_EQ(b.command1, 102u);
    EXPECT_EQ(b.key2, u"Mark all as read");
    EXPECT_EQ(b.command2, 101u);
    Command(102);
    EXPECT_EQ(Seen(), "") << "reading the summary only brings the program forward";
    TapBubble(platform::shell::BubblePart::kSoftKey2);
    EXPECT_FALSE(Current().shown) << "all marked as read";
    EXPECT_EQ(Notifier()->GetCount(), 0);
}

TEST_P(NotifierTest, ALostConnectionAsksToSignInWhateverTheCount) {
    Eval(scene, "notify('unknownIM', 2); notify('connectionLost')");
    Bubble b = Current();
    EXPECT_EQ(b.title, u"Tandu - Connection lost");
    EXPECT_EQ(b.key1, u"Sign in");
    EXPECT_EQ(b.command1, 104u);
    TapBubble(platform::shell::BubblePart::kSoftKey1);
    EXPECT_EQ(Seen(), "signIn");
    Command(100);
    Command(100);
    Command(100);
    EXPECT_FALSE(Current().shown);
    Command(105);
    Command(104);
    EXPECT_EQ(Seen(), "signIn") << "a sign-in needs no item; a conversation does";

    // Something that is no Scene queues nothing, but the notifier is there.
    EXPECT_EQ(Eval(scene, "app.newNotification(app, 'x', 'y', 1, 'knownIM'); 'ok'"), "ok");
    EXPECT_FALSE(Current().shown);
}

TEST_P(NotifierTest, TheStatusIconsShowInTheTrayAndTheBubble) {
    const auto trayImage = [] {
        if (platform::shell::GetTrayIconCount() != 1) return std::vector<uint32_t>();
        platform::resources::IconImage image;
        platform::resources::GetIconImage(platform::shell::GetTrayIcon(0).icon, &image);
        return std::vector<uint32_t>(image.pixels, image.pixels + image.size * image.size);
    };
    const auto programIcon = [](UINT id) {
        HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(id));
        platform::resources::IconImage image;
        platform::resources::GetIconImage(icon, &image);
        std::vector<uint32_t> pixels(image.pixels, image.pixels + image.size * image.size);
        DestroyIcon(icon);
        return pixels;
    };
    Eval(scene, "app.appIcon = 1");
    ASSERT_EQ(platform::shell::GetTrayIconCount(), 1);
    EXPECT_EQ(platform::shell::GetTrayIcon(0).id, 101u);
    EXPECT_EQ(platform::shell::GetTrayIcon(0).callback, 0x8064u);
    EXPECT_EQ(platform::shell::GetTrayIcon(0).hwnd, Notifier()->GetListenerWindow());
    EXPECT_EQ(trayImage(), programIcon(130));
    Eval(scene, "app.appIcon = 2");
    EXPECT_EQ(trayImage(), programIcon(131));
    EXPECT_NE(programIcon(130), programIcon(131));
    Eval(scene, "notify('knownIM')");
    ASSERT_NE(Current().icon, nullptr);
    platform::resources::IconImage image;
    ASSERT_TRUE(platform::resources::GetIconImage(Current().icon, &image));
    EXPECT_EQ(std::vector<uint32_t>(image.pixels, image.pixels + image.size * image.size), programIcon(135));
    Eval(scene, "app.appIcon = 0");
    EXPECT_EQ(platform::shell::GetTrayIconCount(), 0);
}

TEST_P(NotifierTest, ASmartphoneShowsOneTrayIconAndNoBubble) {
    setenv("TANDU_DEVICE", "smartphone", 1);
    App* phone = new App();
    phone->AddRef();
    NUBO::XVariant out;
    ASSERT_EQ(GetShell()->AddDOMObject(NUBO::TWString(u"phone"), phone, &out), 0);
    Eval(scene, "shell.phone.appIcon = 1");
    EXPECT_EQ(platform::shell::GetTrayIconCount(), 0) << "the status is not shown";
    Eval(scene, "shell.phone.newNotification(shell.getSceneAt(0), 'x', 'y', 1, 'knownIM');"
                "shell.phone.newNotification(shell.getSceneAt(0), 'x', 'y', 1, 'knownIM')");
    EXPECT_FALSE(Current().shown);
    ASSERT_EQ(platform::shell::GetTrayIconCount(), 1);
    EXPECT_EQ(platform::shell::GetTrayIcon(0).hwnd, GetDesktopWindow());
    Eval(scene, "shell.phone.dismissNotifications()");
    EXPECT_EQ(platform::shell::GetTrayIconCount(), 0);
    unsetenv("TANDU_DEVICE");
    phone->Release();
}

TEST_P(NotifierTest, TheBubbleLooksAsItDid) {
    Eval(scene, "app.appIcon = 1; notify('unknownIM');"
                "app.newNotification(shell.getSceneAt(0), '<p>Анна: <i>давно не виделись</i>, как дела? Пиши, когда"
                " будешь свободна &amp; не занята.</p>&#8212; А.', 'anna', 30, 'knownIM'); notify('alert')");
    TapBubble(platform::shell::BubblePart::kPrevious);
    platform::headless::RunUntilIdle();
    const RECT whole = platform::shell::GetBubblePart(platform::shell::BubblePart::kWhole);
    EXPECT_EQ(whole.left, 0);
    EXPECT_EQ(whole.right, 240);
    EXPECT_EQ(whole.bottom, 320 - 26) << "right above the menu-bar strip";
    EXPECT_EQ(whole.bottom - whole.top, 4 * 26);
    if (GetParam() == 32) {
        const RECT body = platform::shell::GetBubblePart(platform::shell::BubblePart::kBody);
        EXPECT_EQ(ReadScreenPixel(body.right - 3, body.bottom - 3), 0xFFFFF0u) << "the body's paper";
        EXPECT_EQ(ReadScreenPixel(whole.right / 2, whole.top + 2), 0x203048u) << "the title bar";
        // The status icon stands in the task bar left of the title-bar button's place: its edge at
        // row 3, column 1 of the 16-pixel envelope centred in the tray's first square.
        EXPECT_EQ(ReadScreenPixel(240 - 3 * 26 + 5 + 1, 5 + 3), 0x205090u) << "the tray icon";
    }
    EXPECT_TRUE(MatchesScreenGolden(RECT{0, whole.top, 240, whole.bottom},
                                    GetParam() == 32 ? "notification_bubble" : "notification_bubble_16"));
    // The bubble goes after its duration; the notification stays.
    platform::headless::AdvanceAndRun(30 * 1000);
    EXPECT_EQ(platform::shell::GetBubbleWindow(), nullptr);
    EXPECT_TRUE(Current().shown);
}

INSTANTIATE_TEST_SUITE_P(Screens, NotifierTest, ::testing::Values(32, 16),
                         [](const ::testing::TestParamInfo<int>& p) { return p.param == 32 ? "Argb32" : "Rgb565"; });

} // namespace
