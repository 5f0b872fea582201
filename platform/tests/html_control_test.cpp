#include "platform/win/html_control.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/tests/message_log.h"
#include "platform/tests/screen_golden.h"
#include "platform/shell/notification.h"
#include "platform/win/html_view.h"
#include "platform/win/input.h"
#include "platform/win/screen.h"

namespace fs = std::filesystem;

namespace {

const std::string kPages = std::string(TEST_DATA_DIR) + "/html";

struct Heard {
    UINT code;
    std::string target;
    UINT key;
};

// A parent window at the top left of a small screen with an HTML control filling it; the parent
// writes down the control's notifications.
class HtmlControlTest : public test::WindowTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        test::WindowTest::SetUp();
        ASSERT_TRUE(ConfigureScreen(ScreenConfig{160, 200, GetParam(), false, 96}));
        platform::SetHTMLResourceFolder(kPages);
        ASSERT_TRUE(InitHTMLControl(GetModuleHandleW(nullptr)));
        test::onMessage = [this](HWND, UINT msg, WPARAM, LPARAM lParam, LRESULT*) {
            if (msg != WM_NOTIFY) return false;
            const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
            Heard h{hdr->code, "", 0};
            if (hdr->code == NM_HOTSPOT) h.target = reinterpret_cast<const NMHTMLLINK*>(hdr)->target;
            if (hdr->code == NM_HTMLKEYDOWN) h.key = reinterpret_cast<const NMHTMLKEY*>(hdr)->keyCode;
            heard.push_back(h);
            if (onHeard) onHeard(h);
            return true;
        };
        parent = Create(WS_POPUP | WS_VISIBLE, nullptr, u"parent", {0, 0, 160, 200});
        control = CreateWindowExW(0, kHTMLControlClass, u"", WS_CHILD | WS_VISIBLE, 0, 0, 160, 200, parent, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(control, nullptr);
    }
    void TearDown() override {
        test::WindowTest::TearDown();
        platform::SetHTMLResourceFolder("");
        ConfigureScreen(ScreenConfigFromEnvironment());
    }
    void Feed(const std::u16string& text) {
        SendMessageW(control, DTM_CLEAR, 0, 0);
        SendMessageW(control, DTM_ADDTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageW(control, DTM_ENDOFSOURCE, 0, 0);
        platform::headless::RunUntilIdle();
    }
    static std::u16string Read(const std::string& path) {
        std::ifstream in(path);
        std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return std::u16string(s.begin(), s.end()); // the fixtures are ASCII
    }
    COLORREF At(int x, int y) {
        HDC dc = GetDC(nullptr);
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(nullptr, dc);
        return c;
    }
    // How many pixels of the control have exactly this colour (after the screen's rounding).
    int Count(COLORREF colour) {
        int n = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 160; ++x)
                n += At(x, y) == colour;
        return n;
    }
    COLORREF OnScreen(COLORREF c) {
        HDC dc = GetDC(nullptr);
        const COLORREF old = GetPixel(dc, 159, 199);
        SetPixel(dc, 159, 199, c);
        const COLORREF stored = GetPixel(dc, 159, 199);
        SetPixel(dc, 159, 199, old);
        ReleaseDC(nullptr, dc);
        return stored;
    }
    std::vector<UINT> Codes() const {
        std::vector<UINT> out;
        for (const Heard& h : heard)
            out.push_back(h.code);
        return out;
    }

    HWND parent = nullptr;
    HWND control = nullptr;
    std::vector<Heard> heard;
    std::function<void(const Heard&)> onHeard;
};

TEST_P(HtmlControlTest, ShowsAPageWithItsStyleSheetImageAndLink) {
    Feed(Read(kPages + "/page.html"));
    // The style sheet's band, the image's blue edge and yellow centre: each where layout puts it.
    EXPECT_EQ(At(10, 6), OnScreen(RGB(0, 0xC0, 0)));
    EXPECT_EQ(At(1, 1), OnScreen(RGB(255, 255, 255)));
    EXPECT_EQ(Count(OnScreen(RGB(255, 255, 0))), 16 * 16); // the 8 x 8 centre drawn at twice its size
    EXPECT_GT(Count(OnScreen(RGB(0xC0, 0, 0))), 20);       // the heading's colour
    EXPECT_TRUE(MatchesScreenGolden({0, 0, 160, 200}, "html_page_" + std::to_string(GetParam()), 0));
}

TEST_P(HtmlControlTest, ToldStatesLinksAndKeysReachTheParent) {
    SendMessageW(control, DTM_CLEAR, 0, 0);
    const std::u16string page = u"<body style='margin:0'><a href='box://html/next.html' "
                                u"style='display:block;height:40px'>go</a></body>";
    SendMessageW(control, DTM_ADDTEXTW, 0, reinterpret_cast<LPARAM>(page.c_str()));
    SendMessageW(control, DTM_ENDOFSOURCE, 0, 0);
    EXPECT_EQ(Codes(), (std::vector<UINT>{NM_HTMLLOADING, NM_HTMLLOADED, NM_HTMLINTERACTIVE}));
    heard.clear();
    platform::headless::Tap(5, 5);
    platform::headless::RunUntilIdle();
    ASSERT_EQ(Codes(), std::vector<UINT>{NM_HOTSPOT});
    EXPECT_EQ(heard[0].target, "box://html/next.html");
    heard.clear();
    platform::headless::Tap(5, 100); // below the link
    platform::headless::Key(VK_DOWN);
    platform::headless::RunUntilIdle();
    ASSERT_EQ(Codes(), std::vector<UINT>{NM_HTMLKEYDOWN});
    EXPECT_EQ(heard[0].key, VK_DOWN);
}

TEST_P(HtmlControlTest, NavigatingLoadsOnlyFilesOfTheResourcesFolder) {
    Feed(u"<div style='background:#00c000;height:20px'></div>");
    const COLORREF green = OnScreen(RGB(0, 0xC0, 0));
    ASSERT_EQ(At(20, 15), green);
    // Other schemes and empty URLs leave the page as it is.
    for (const char16_t* url : {u"", u"http://127.0.0.1:1/x.html", u"file:///etc/passwd", u"box://../../etc/passwd"}) {
        heard.clear();
        SendMessageW(control, DTM_NAVIGATE, 0, reinterpret_cast<LPARAM>(url));
        platform::headless::RunUntilIdle();
        EXPECT_TRUE(heard.empty());
        EXPECT_EQ(At(20, 15), green);
    }
    heard.clear();
    SendMessageW(control, DTM_NAVIGATE, 0, reinterpret_cast<LPARAM>(u"box://page.html"));
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Codes(), (std::vector<UINT>{NM_HTMLLOADING, NM_HTMLLOADED, NM_HTMLINTERACTIVE}));
    EXPECT_EQ(Count(OnScreen(RGB(255, 255, 0))), 16 * 16); // the page's image, relative to its URI
}

TEST_P(HtmlControlTest, HostilePagesAreRefusedOrConfined) {
    // Deep nesting and a huge source are refused whole: a blank page and no crash.
    const COLORREF white = OnScreen(RGB(255, 255, 255));
    std::u16string deep;
    for (int i = 0; i < 100000; ++i)
        deep += u"<div>";
    deep += u"<div style='background:#00c000;height:20px'></div>";
    Feed(deep);
    EXPECT_EQ(Count(white), 160 * 200);
    std::u16string huge = u"<div style='background:#00c000;height:20px'></div>";
    huge.append(10u << 20, u'a');
    Feed(huge);
    EXPECT_EQ(Count(white), 160 * 200);
    // Nesting within reason still shows.
    std::u16string nested;
    for (int i = 0; i < 100; ++i)
        nested += u"<span>";
    Feed(nested + u"<div style='background:#00c000;height:20px'></div>");
    EXPECT_GT(Count(OnScreen(RGB(0, 0xC0, 0))), 100);

    // References that lead outside the folder, directly or through a link inside it, get nothing:
    // each would paint red.
    const fs::path outside = fs::temp_directory_path() / ("tandu-html-outside-" + std::to_string(getpid()));
    fs::create_directories(outside);
    fs::copy_file(kPages + "/pics/tile.png", outside / "tile.png", fs::copy_options::overwrite_existing);
    std::ofstream(outside / "red.css") << "body { background: #ff0000; }";
    const fs::path escape = fs::path(kPages) / "escape";
    fs::remove(escape);
    fs::create_directory_symlink(outside, escape);
    const std::string o = outside.string();
    const std::string hostile = "<html><head><link rel='stylesheet' href='file://" + o + "/red.css'>" +
                                "<link rel='stylesheet' href='escape/red.css'><link rel='stylesheet' href='../" +
                                "../../../../../../../.." + o + "/red.css'></head><body>" + "<img src='file://" + o +
                                "/tile.png'><img src='escape/tile.png'><img src='" + o + "/tile.png'>" +
                                "<img src='box://escape/tile.png'><img src='file:///etc/passwd'></body></html>";
    Feed(std::u16string(hostile.begin(), hostile.end()));
    EXPECT_EQ(Count(OnScreen(RGB(255, 255, 0))), 0);
    EXPECT_EQ(Count(OnScreen(RGB(255, 0, 0))), 0);
    fs::remove(escape);
    fs::remove_all(outside);
}

TEST_P(HtmlControlTest, AnOwnerMayDestroyTheControlFromItsNotifications) {
    const std::u16string page = u"<body style='margin:0'><a href='x' style='display:block;height:40px'>go</a></body>";
    for (UINT code : {NM_HTMLLOADED, NM_HOTSPOT}) {
        if (!IsWindow(control))
            control = CreateWindowExW(0, kHTMLControlClass, u"", WS_CHILD | WS_VISIBLE, 0, 0, 160, 200, parent, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        onHeard = [this, code](const Heard& h) {
            if (h.code == code) DestroyWindow(control);
        };
        SendMessageW(control, DTM_ADDTEXTW, 0, reinterpret_cast<LPARAM>(page.c_str()));
        SendMessageW(control, DTM_ENDOFSOURCE, 0, 0);
        platform::headless::RunUntilIdle();
        if (IsWindow(control)) {
            platform::headless::Tap(5, 5);
            platform::headless::RunUntilIdle();
        }
        EXPECT_FALSE(IsWindow(control));
    }
}

TEST_P(HtmlControlTest, TheNotificationBubbleLaysItsBodyOutAsHtml) {
    // A block of colour and a bold word: plain text would show the tags' letters and no colour.
    SHNOTIFICATIONDATA data{};
    data.cbStruct = sizeof data;
    data.dwID = 7;
    data.csDuration = 10;
    data.hwndSink = parent;
    data.pszTitle = u"t";
    data.pszHTML = u"<div style='background:#00c000;height:6px'></div><b>bold</b>";
    ASSERT_EQ(SHNotificationAdd(&data), 0);
    platform::headless::RunUntilIdle();
    const RECT body = platform::shell::GetBubblePart(platform::shell::BubblePart::kBody);
    ASSERT_GT(body.right, body.left);
    int green = 0;
    for (int x = body.left; x < body.right; ++x)
        green += At(x, body.top + 4) == OnScreen(RGB(0, 0xC0, 0));
    EXPECT_GT(green, (body.right - body.left) / 2);
    platform::shell::ResetNotifications();
    platform::headless::RunUntilIdle();
}

INSTANTIATE_TEST_SUITE_P(Depths, HtmlControlTest, ::testing::Values(32, 16));

TEST(HtmlReference, ResolvesInsideTheResourcesFolderOnly) {
    platform::SetHTMLResourceFolder(kPages);
    const std::string root = fs::canonical(kPages).string();
    const struct {
        std::string reference;
        const char* base;
        std::string expected;
    } cases[] = {
        {"page.css", "", root + "/page.css"},
        {"tile.png", "box://pics/x.html", root + "/pics/tile.png"},
        {"../page.css", "box://pics/x.html", root + "/page.css"},
        {"box://pics/tile.png", "", root + "/pics/tile.png"},
        {"box://pics/./tile%2Epng?x#y", "", root + "/pics/tile.png"},
        {"file://" + root + "/page.css", "", root + "/page.css"},
        {"../page.css", "", ""},
        {"box://../html/page.css", "", ""},
        {"pics/../../html/page.css", "", ""},
        {"file:///etc/passwd", "", ""},
        {"/etc/passwd", "", ""},
        {"http://example.com/a.css", "", ""},
        {"javascript:alert(1)", "", ""},
        {"missing.png", "", ""},
        {"", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::ResolveHTMLReference(c.reference, c.base), c.expected) << c.reference << " from " << c.base;
    platform::SetHTMLResourceFolder("");
}

} // namespace
