// Input boxes in a scene opened in its own window on the headless screen: keys, typed text, taps and
// the Back key edit the value through the real message road; the caret, the selection, the
// clipboard and the input method follow, and scripts hear "modified" and "invalidInput".
#include "toolkit/widgets/input_box.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/backend/sdl.h"
#include "platform/shell/input_panel.h"
#include "platform/shell/menu_bar.h"
#include "platform/win/beep.h"
#include "platform/win/clipboard.h"
#include "platform/win/ime.h"
#include "platform/win/input.h"
#include "platform/win/local_memory.h"
#include "platform/win/screen.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/windowed_app_test.h"
#include "toolkit/widgets/scene_frame.h"

#ifdef TANDU_HAVE_SDL
#include <SDL.h>
#endif

namespace {

constexpr const char* kHead = R"(<vbox xmlns="http://www.kestrum.com/weftly/box.xsd"
      xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:style target="root" fill="#ffffffff"/>
    <r:style target="a" fontFamily="DejaVu Sans" fontSize="13" textColor="#ff000000" height="20" width="200"/>
    <r:style target="b" fontFamily="DejaVu Sans" fontSize="13" textColor="#ff000000" height="20" width="200"/>
    <r:style target="m" fontFamily="DejaVu Sans" fontSize="13" textColor="#ff000000" height="60" width="100"/>
  </r:library>
)";

// Every "modified" and "invalidInput" of the boxes a, b and m is written into the root's "log" as
// "box:type:value".
constexpr const char* kScript = R"(
var scene = __scriptHelper.getSceneProxy();
var root = scene.getBoxById("root");
function note(id, e) {
  var box = scene.getBoxById(id), log = root.getAttribute("log");
  root.setAttribute("log", (log ? log + "," : "") + id + ":" + e.type + ":" + box.getAttribute("value"));
}
function noteA(e) { note("a", e); }
function noteB(e) { note("b", e); }
function noteM(e) { note("m", e); }
var ids = ["a", "b", "m"], handlers = ["noteA", "noteB", "noteM"];
for (var i = 0; i < ids.length; ++i) {
  var box = scene.getBoxById(ids[i]);
  if (box) { box.addEventHandler("modified", handlers[i]); box.addEventHandler("invalidInput", handlers[i]); }
}
)";

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out += char(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", unsigned(c));
            out += buffer;
        }
    }
    return out;
}

class InputBoxTest : public WindowedAppTest {
protected:
    void SetUp() override {
        WindowedAppTest::SetUp();
        if (HasFatalFailure()) return;
        clock = &platform::headless::UseVirtualClock(1000);
        platform::ResetBeepCount();
        platform::clipboard::Reset();
        platform::ime::Reset();
    }
    void TearDown() override {
        if (platform::sdl::IsRunning()) platform::sdl::Stop();
        platform::clipboard::Reset();
        platform::ime::Reset();
        WindowedAppTest::TearDown();
    }

    oxRuntime* runtime() const { return app->GetShell()->GetRuntime(); }
    // Opens a scene of the given boxes with the logging script.
    oxScene* Open(const std::string& body, const std::string& suffix = "") {
        // Tests of this binary run side by side: each writes files of its own name.
        const std::string stem =
            std::string("input_box_") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
        const std::string name = stem + ".box", js = stem + ".js";
        std::ofstream(resources / js) << kScript;
        std::ofstream(resources / name) << kHead << body << "<script language=\"javascript\" src=\"" << js
                                        << "\"/></vbox>";
        if (std::find(written.begin(), written.end(), name) == written.end()) {
            written.push_back(name);
            written.push_back(js);
        }
        const std::u16string uri(name.begin(), name.end());
        scene = runtime()->OpenSceneSimple(uri.c_str(), nullptr, nullptr, nullptr, nullptr, false);
        platform::headless::RunUntilIdle();
        return scene;
    }
    oxInputBox* Box(const char16_t* id) {
        return dynamic_cast<oxInputBox*>(scene ? scene->GetBoxById(oxAtoms::Find(id), false) : nullptr);
    }
    std::string Value(oxBox* box) {
        const WCHAR* v = box ? box->GetAttribute(kAtomValue) : nullptr;
        return v ? Narrow(v) : "<null>";
    }
    std::string Log() {
        const WCHAR* v = scene ? scene->GetRootBox()->GetAttribute(oxAtoms::Find(u"log")) : nullptr;
        return v ? Narrow(v) : "";
    }
    void ClearLog() { scene->GetRootBox()->SetAttribute(oxAtoms::Find(u"log"), u"", true, false); }
    // A point of the box on the screen, (dx, dy) into it.
    POINT On(oxBox* box, int dx, int dy) {
        auto* window = dynamic_cast<oxSceneFrame*>(scene->GetWindow());
        POINT p{dx, dy};
        for (oxBox* b = box; b && b != scene->GetRootBox(); b = b->GetParent())
            p.x += b->GetBoxRect().x, p.y += b->GetBoxRect().y;
        if (window && window->GetFrame()) ClientToScreen(window->GetFrame()->GetWindow(), &p);
        return p;
    }
    void Tap(oxBox* box, int dx = 2, int dy = 5) {
        const POINT p = On(box, dx, dy);
        platform::headless::Tap(p.x, p.y);
        platform::headless::RunUntilIdle();
    }
    void Type(const std::u16string& text) {
        platform::input::Text(text);
        platform::headless::RunUntilIdle();
    }
    void Key(UINT vk, UINT modifier = 0) {
        platform::headless::Key(vk, modifier);
        platform::headless::RunUntilIdle();
    }

    platform::VirtualClock* clock = nullptr;
    oxScene* scene = nullptr;
};

TEST_F(InputBoxTest, TypedTextGoesIntoTheTappedBox) {
    ASSERT_TRUE(Open(R"(<input id="a"/><input id="b" value="xyz"/>)"));
    oxInputBox* a = Box(u"a");
    ASSERT_NE(a, nullptr);
    Tap(a);
    EXPECT_EQ(oxInputBox::GetFocusedInputBox(), a);
    Key('H', VK_SHIFT);
    Key('I');
    Type(u"!");
    EXPECT_EQ(Value(a), "Hi!");
    EXPECT_EQ(a->GetCaretPos(), 3);
    EXPECT_EQ(Log(), "a:modified:H,a:modified:Hi,a:modified:Hi!");
}

TEST_F(InputBoxTest, AToolkitValidationWordRefusesBadInputTypedIntoABoundBox) {
    ASSERT_TRUE(Open(R"(<box id="count"/><box id="name"/>)"
                     R"(<input id="a"><binding elementSource="count" path="label" targetProperty="value")"
                     R"( validator="toolkit:numeric"/></input>)"
                     R"(<input id="b"><binding elementSource="name" path="label" targetProperty="value")"
                     R"( validator="toolkit:notEmpty"/></input>)"));
    oxBox* count = scene->GetBoxById(oxAtoms::Find(u"count"), false);
    oxBox* name = scene->GetBoxById(oxAtoms::Find(u"name"), false);
    oxInputBox* a = Box(u"a");
    oxInputBox* b = Box(u"b");
    ASSERT_TRUE(count && name && a && b);
    const struct {
        oxInputBox* box;
        std::u16string typed; // empty: the Back key
        oxBox* source;
        const char* sourceLabel;
        const char* invalid;
    } steps[] = {
        {a, u"12", count, "12", "false"}, {a, u"x", count, "12", "true"}, // "12x" is no number: the source keeps the
                                                                          // last good one
        {a, u"", count, "12", "false"},   {a, u"", count, "1", "false"},  {b, u"y", name, "y", "false"},
        {b, u"", name, "y", "true"}, // emptied: refused by notEmpty
    };
    for (const auto& step : steps) {
        if (oxInputBox::GetFocusedInputBox() != step.box) Tap(step.box);
        if (step.typed.empty())
            Key(VK_BACK);
        else
            Type(step.typed);
        const std::string label = Value(step.box);
        const WCHAR* source = step.source->GetAttribute(kAtomLabel);
        EXPECT_EQ(source ? Narrow(source) : "<null>", step.sourceLabel) << label;
        const WCHAR* invalid = step.box->GetAttribute(oxAtoms::Find(u"invalidData"));
        EXPECT_EQ(invalid ? Narrow(invalid) : "<null>", step.invalid) << label;
    }
}

// One step of an editing sequence: a key (with a modifier held), typed text, or the Back key.
struct Step {
    enum Kind { kKey, kText, kBack } kind;
    UINT vk = 0, modifier = 0;
    std::u16string text;
};
Step K(UINT vk, UINT modifier = 0) {
    return Step{Step::kKey, vk, modifier, {}};
}
Step T(std::u16string text) {
    return Step{Step::kText, 0, 0, std::move(text)};
}
Step BackKey() {
    return Step{Step::kBack, 0, 0, {}};
}

struct EditCase {
    const char* name;
    const char* box; // markup of the box "a" (single line) or "m" (multi-line)
    std::vector<Step> steps;
    const char* value;
    int caret;
    int selectionStart, selectionLength; // -1: no selection
    int beeps;
};

// Each sequence starts with a tap at the right end of the box: the caret stands after the value.
TEST_F(InputBoxTest, EditingSequences) {
    const std::vector<EditCase> cases = {
        {"typing inserts at the caret", R"(<input id="a"/>)", {T(u"abc")}, "abc", 3, -1, 0, 0},
        {"keys type their characters",
         R"(<input id="a"/>)",
         {K('X', VK_SHIFT), K('Y'), K('1'), K(VK_SPACE)},
         "Xy1 ",
         4,
         -1,
         0,
         0},
        {"Backspace removes the character before the caret",
         R"(<input id="a" value="abc"/>)",
         {K(VK_BACK)},
         "ab",
         2,
         -1,
         0,
         0},
        {"Backspace at the start beeps",
         R"(<input id="a" value="abc"/>)",
         {K(VK_HOME), K(VK_BACK)},
         "abc",
         0,
         -1,
         0,
         1},
        {"Delete removes the character after the caret",
         R"(<input id="a" value="abc"/>)",
         {K(VK_HOME), K(VK_DELETE)},
         "bc",
         0,
         -1,
         0,
         0},
        {"Delete at the end beeps", R"(<input id="a" value="abc"/>)", {K(VK_DELETE)}, "abc", 3, -1, 0, 1},
        {"arrows move the caret",
         R"(<input id="a" value="abc"/>)",
         {K(VK_LEFT), K(VK_LEFT), T(u"X")},
         "aXbc",
         2,
         -1,
         0,
         0},
        {"Right at the end stays", R"(<input id="a" value="abc"/>)", {K(VK_RIGHT), T(u"X")}, "abcX", 4, -1, 0, 0},
        {"Home and End",
         R"(<input id="a" value="abc"/>)",
         {K(VK_HOME), T(u"X"), K(VK_END), T(u"Y")},
         "XabcY",
         5,
         -1,
         0,
         0},
        {"Shift+Left selects backwards",
         R"(<input id="a" value="abc"/>)",
         {K(VK_LEFT, VK_SHIFT), K(VK_LEFT, VK_SHIFT)},
         "abc",
         1,
         1,
         2,
         0},
        {"typing replaces the selection",
         R"(<input id="a" value="abc"/>)",
         {K(VK_LEFT, VK_SHIFT), K(VK_LEFT, VK_SHIFT), T(u"Z")},
         "aZ",
         2,
         -1,
         0,
         0},
        {"Left collapses a selection to its start",
         R"(<input id="a" value="abc"/>)",
         {K(VK_LEFT, VK_SHIFT), K(VK_LEFT, VK_SHIFT), K(VK_LEFT)},
         "abc",
         1,
         -1,
         0,
         0},
        {"Right collapses a selection to its end",
         R"(<input id="a" value="abc"/>)",
         {K(VK_LEFT, VK_SHIFT), K(VK_LEFT, VK_SHIFT), K(VK_RIGHT)},
         "abc",
         3,
         -1,
         0,
         0},
        {"Shift+Left then Shift+Right selects nothing",
         R"(<input id="a" value="abc"/>)",
         {K(VK_LEFT, VK_SHIFT), K(VK_RIGHT, VK_SHIFT)},
         "abc",
         3,
         -1,
         0,
         0},
        {"Shift+Home selects to the start",
         R"(<input id="a" value="abc"/>)",
         {K(VK_HOME, VK_SHIFT), K(VK_BACK)},
         "<null>",
         0,
         -1,
         0,
         0},
        {"Shift+End extends from column 2 of 10 by 8",
         R"(<input id="a" value="0123456789"/>)",
         {K(VK_HOME), K(VK_RIGHT), K(VK_RIGHT), K(VK_END, VK_SHIFT)},
         "0123456789",
         10,
         2,
         8,
         0},
        {"Ctrl+A selects all", R"(<input id="a" value="abc"/>)", {K('A', VK_CONTROL), T(u"Q")}, "Q", 1, -1, 0, 0},
        {"maximum length refuses what does not fit",
         R"(<input id="a" value="ab" maxlength="3"/>)",
         {T(u"c"), T(u"d")},
         "abc",
         3,
         -1,
         0,
         1},
        {"password values are kept as typed", R"(<input id="a" password="true"/>)", {T(u"pw")}, "pw", 2, -1, 0, 0},
        {"Return, Tab and Escape type nothing in one line",
         R"(<input id="a" value="ab"/>)",
         {K(VK_RETURN), T(u"\r\t\x1b")},
         "ab",
         2,
         -1,
         0,
         0},
        {"control characters and NUL are not text",
         R"(<input id="a" value="ab"/>)",
         {K('Z', VK_CONTROL), T(std::u16string(1, u'\0')), T(u"\x02\x7f")},
         "ab",
         2,
         -1,
         0,
         0},
        {"the Back key deletes before the caret", R"(<input id="a" value="abc"/>)", {BackKey()}, "ab", 2, -1, 0, 0},
        {"non-ASCII text",
         R"(<input id="a"/>)",
         {T(u"caf\u00e9 \u041f\u0440\u0438")},
         "caf\\u00E9 \\u041F\\u0440\\u0438",
         8,
         -1,
         0,
         0},
        {"a surrogate pair is one character",
         R"(<input id="a" value="x"/>)",
         {T(u"\U0001F600"), K(VK_LEFT), T(u"y")},
         "xy\\uD83D\\uDE00",
         2,
         -1,
         0,
         0},
        {"Backspace removes a whole pair",
         R"(<input id="a" value="x"/>)",
         {T(u"\U0001F600"), K(VK_BACK)},
         "x",
         1,
         -1,
         0,
         0},
        {"a lone surrogate is not typed",
         R"(<input id="a" value="x"/>)",
         {T(u"\xDE00"), T(u"\xD83D"), T(u"y")},
         "xy",
         2,
         -1,
         0,
         0},
        {"Return starts a new line in a multi-line box",
         R"(<input id="m" multiline="true" wordwrap="true"/>)",
         {T(u"ab"), K(VK_RETURN), T(u"cd")},
         "ab\ncd",
         5,
         -1,
         0,
         0},
        {"Up goes to the line above",
         R"(<input id="m" multiline="true" wordwrap="true"/>)",
         {T(u"ab"), K(VK_RETURN), T(u"cd"), K(VK_UP), T(u"X")},
         "abX\ncd",
         3,
         -1,
         0,
         0},
        {"Left at a line's start goes before the line break",
         R"(<input id="m" multiline="true" wordwrap="true" value="ab&#10;cd"/>)",
         {K(VK_DOWN), K(VK_HOME), K(VK_LEFT), T(u"X")},
         "abX\ncd",
         3,
         -1,
         0,
         0},
        {"Backspace joins the lines",
         R"(<input id="m" multiline="true" wordwrap="true" value="ab"/>)",
         {K(VK_RETURN), K(VK_BACK), T(u"c")},
         "abc",
         3,
         -1,
         0,
         0},
        {"multi-line without wrap keeps one line",
         R"(<input id="a" multiline="true"/>)",
         {T(u"ab"), K(VK_RETURN), K(VK_UP), T(u"c")},
         "abc",
         3,
         -1,
         0,
         0},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Open(c.box));
        oxInputBox* box = Box(u"a") ? Box(u"a") : Box(u"m");
        ASSERT_NE(box, nullptr);
        Tap(box, box->GetBoxRect().width - 2, 5);
        ASSERT_EQ(oxInputBox::GetFocusedInputBox(), box);
        platform::ResetBeepCount();
        for (const Step& s : c.steps) {
            if (s.kind == Step::kKey)
                Key(s.vk, s.modifier);
            else if (s.kind == Step::kText)
                Type(s.text);
            else {
                platform::headless::Back();
                platform::headless::RunUntilIdle();
            }
        }
        EXPECT_EQ(Value(box), c.value);
        EXPECT_EQ(box->GetCaretPos(), c.caret);
        int32_t start = -1, length = 0;
        if (box->HasSelection()) box->GetSelectionRange(&start, &length);
        EXPECT_EQ(start, c.selectionStart);
        if (c.selectionStart >= 0) {
            EXPECT_EQ(length, c.selectionLength);
        }
        EXPECT_EQ(platform::GetBeepCount(), c.beeps);
        scene->Close(true);
        platform::headless::RunUntilIdle();
        scene = nullptr;
    }
}

TEST_F(InputBoxTest, ChangeEventsComeInTheOrderOfTheEdits) {
    ASSERT_TRUE(Open(R"(<input id="a" value="abc" maxlength="3"/>)"));
    oxInputBox* a = Box(u"a");
    Tap(a, a->GetBoxRect().width - 2, 5);
    ClearLog();
    // Typing over a selection deletes it first, then inserts; a full box refuses and says so.
    Key(VK_LEFT, VK_SHIFT);
    Key(VK_LEFT, VK_SHIFT);
    Type(u"Z");
    Type(u"Q");
    Key(VK_BACK);
    Type(u"QR");
    EXPECT_EQ(Log(), "a:modified:a,a:modified:aZ,a:modified:aZQ,a:modified:aZ,a:modified:aZQ,a:invalidInput:aZQ");
    EXPECT_EQ(platform::GetBeepCount(), 1);
}

// Puts text on the clipboard as another program would.
void PutOnClipboard(const std::u16string& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    auto* block = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (text.size() + 1) * sizeof(WCHAR)));
    ASSERT_NE(block, nullptr);
    std::copy(text.begin(), text.end(), block);
    block[text.size()] = 0;
    ASSERT_TRUE(SetClipboardData(CF_UNICODETEXT, block));
    CloseClipboard();
}

std::u16string ClipboardText() {
    std::u16string out = u"<none>";
    if (!OpenClipboard(nullptr)) return u"<busy>";
    if (auto* text = static_cast<const WCHAR*>(GetClipboardData(CF_UNICODETEXT))) out = text;
    CloseClipboard();
    return out;
}

TEST_F(InputBoxTest, CutCopyAndPasteGoThroughTheClipboard) {
    ASSERT_TRUE(Open(R"(<input id="a" value="abc"/><input id="b" password="true" value="secret"/>)"));
    oxInputBox* a = Box(u"a");
    Tap(a, a->GetBoxRect().width - 2, 5);
    Key(VK_LEFT, VK_SHIFT);
    Key(VK_LEFT, VK_SHIFT);
    Key('C', VK_CONTROL);
    EXPECT_EQ(ClipboardText(), u"bc");
    EXPECT_EQ(Value(a), "abc") << "copying leaves the value";
    Key(VK_END);
    Key('V', VK_CONTROL);
    EXPECT_EQ(Value(a), "abcbc");
    EXPECT_EQ(a->GetCaretPos(), 5);
    Key('A', VK_CONTROL);
    Key('X', VK_CONTROL);
    EXPECT_EQ(Value(a), "<null>");
    EXPECT_EQ(ClipboardText(), u"abcbc");

    // Text from elsewhere comes in as one line: breaks and tabs become spaces, a lone surrogate
    // becomes the replacement character, other control characters go, and a NUL ends it.
    PutOnClipboard(std::u16string(u"x\r\ny\tz\x01\xD800!") + u'\0' + u"gone");
    Key('V', VK_CONTROL);
    EXPECT_EQ(Value(a), "x y z\\uFFFD!");

    // A password is not copied: the box beeps and the clipboard keeps what it had.
    oxInputBox* b = Box(u"b");
    Tap(b, 2, 5);
    ASSERT_EQ(oxInputBox::GetFocusedInputBox(), b);
    platform::ResetBeepCount();
    Key('A', VK_CONTROL);
    Key('C', VK_CONTROL);
    EXPECT_EQ(platform::GetBeepCount(), 1);
    EXPECT_EQ(ClipboardText(), std::u16string(u"x\r\ny\tz\x01\xD800!"));
}

TEST_F(InputBoxTest, PastingAMegabyteKeepsTheMaximumLengthOrTheDevicesOwn) {
    ASSERT_TRUE(Open(R"(<input id="a" maxlength="100"/><input id="b" value="x" maxlength="100"/><input id="m"
        multiline="true" wordwrap="true"/><input id="c"/>)"));
    std::u16string big(1 << 20, u'w');
    for (size_t i = 7; i < big.size(); i += 8)
        big[i] = u' ';
    PutOnClipboard(big);
    // Into an empty box the paste is cut to the limit; into a box with text it is refused.
    oxInputBox* a = Box(u"a");
    Tap(a, 2, 5);
    Key('V', VK_CONTROL);
    EXPECT_EQ(Value(a), Narrow(big.substr(0, 100)));
    EXPECT_EQ(a->GetCaretPos(), 100);
    oxInputBox* b = Box(u"b");
    Tap(b, 2, 5);
    ClearLog();
    Key('V', VK_CONTROL);
    EXPECT_EQ(Value(b), "x");
    EXPECT_EQ(Log(), "b:invalidInput:x");
    // Without a limit of its own a box takes what the device's edit control takes, and the wrapped
    // box lays it out line by line.
    oxInputBox* m = Box(u"m");
    Tap(m, 2, 5);
    Key('V', VK_CONTROL);
    const WCHAR* value = m->GetAttribute(kAtomValue);
    ASSERT_NE(value, nullptr);
    const size_t most = size_t(oxInputBox::kDefaultMaxLength);
    EXPECT_EQ(std::u16string(value).size(), most);
    EXPECT_GT(m->GetLineCount(), 30);
    EXPECT_EQ(m->GetCaretPos(), int(most));
    Key(VK_BACK);
    EXPECT_EQ(std::u16string(m->GetAttribute(kAtomValue)).size(), most - 1);
    // Ten million characters into a single-line box without a limit: cut the same way.
    PutOnClipboard(std::u16string(10'000'000, u'q'));
    oxInputBox* c = Box(u"c");
    Tap(c, 2, 5);
    Key('V', VK_CONTROL);
    EXPECT_EQ(std::u16string(c->GetAttribute(kAtomValue)).size(), most);
}

TEST_F(InputBoxTest, WrappedLinesBreakAfterSpacesAndHyphensAndLongWordsBeforeTheFirstCharacterThatDoesNotFit) {
    ASSERT_TRUE(Open(R"(<input id="m" multiline="true" wordwrap="true"
        value="aaa bbb-ccc dddddddddddddddddddddddddddddd e"/>)"));
    oxInputBox* m = Box(u"m");
    ASSERT_NE(m, nullptr);
    const std::u16string value = m->GetAttribute(kAtomValue);
    HFONT font = m->GetFont();
    const int available = m->GetContentRect().width - oxTextBox::MeasureText(u"M", 1, font).cx;
    ASSERT_GT(m->GetLineCount(), 3);
    int start = 0;
    for (int line = 0; line < m->GetLineCount(); ++line) {
        SCOPED_TRACE(line);
        const int length = m->GetLineLength(line);
        ASSERT_GT(length, 0);
        const std::u16string text = value.substr(size_t(start), size_t(length));
        start += length;
        if (line + 1 == m->GetLineCount()) break;
        const WCHAR last = text.back();
        if (last == u' ' || last == u'-') continue;
        // A word too long for a line breaks one character before the first that does not fit.
        EXPECT_LT(oxTextBox::MeasureText(text.c_str(), length, font).cx, available) << Narrow(text);
        const std::u16string more = value.substr(size_t(start - length), size_t(length + 1));
        EXPECT_GE(oxTextBox::MeasureText(more.c_str(), length + 1, font).cx, available) << Narrow(more);
    }
    EXPECT_EQ(start, int(value.size())) << "the lines cover the value without gaps";

    // Right at the end of a wrapped line goes to the start of the next at the same offset.
    Tap(m, 2, 5);
    const int first = m->GetLineLength(0);
    m->SetCaretPos(first - 1);
    Key(VK_RIGHT);
    EXPECT_EQ(m->GetCaretPos(), first);
    EXPECT_EQ(m->GetLineFromPos(-1), 0);
    Key(VK_RIGHT);
    EXPECT_EQ(m->GetCaretPos(), first);
    EXPECT_EQ(m->GetLineFromPos(-1), 1);
}

uint32_t ScreenAt(int x, int y) {
    std::vector<uint32_t> px = platform::headless::ReadScreen(RECT{x, y, x + 1, y + 1});
    return px.empty() ? 0 : px[0] & 0xFFFFFF;
}

TEST_F(InputBoxTest, TheCaretBlinksWhereTheMeasuredTextEnds) {
    ASSERT_TRUE(Open(R"(<input id="a"/>)"));
    oxInputBox* a = Box(u"a");
    Tap(a, 2, 5);
    Type(u"abc");
    // Measured apart from the box: the caret stands after the advance of "abc".
    const int width = oxTextBox::MeasureText(u"abc", 3, a->GetFont()).cx;
    const POINT caret = On(a, a->GetContentRect().x + width, a->GetContentRect().y + 8);
    EXPECT_EQ(a->GetCaretPoint().x, width);
    EXPECT_EQ(ScreenAt(caret.x, caret.y), 0x000000u) << "shown after typing";
    EXPECT_EQ(ScreenAt(caret.x + 2, caret.y), 0xFFFFFFu) << "one pixel wide";
    platform::headless::AdvanceAndRun(GetCaretBlinkTime());
    EXPECT_FALSE(a->IsCaretVisible());
    EXPECT_EQ(ScreenAt(caret.x, caret.y), 0xFFFFFFu) << "hidden after one period";
    platform::headless::AdvanceAndRun(GetCaretBlinkTime());
    EXPECT_EQ(ScreenAt(caret.x, caret.y), 0x000000u) << "shown again";
    // Typing shows it at once, wherever the blink was.
    platform::headless::AdvanceAndRun(GetCaretBlinkTime());
    Type(u"d");
    EXPECT_TRUE(a->IsCaretVisible());
}

TEST_F(InputBoxTest, APasswordShowsAStarForEachCharacter) {
    ASSERT_TRUE(Open(R"(<input id="a" password="true" value="ab"/><input id="b" value="**"/>)"));
    scene->SetFocusedBox(nullptr);
    platform::headless::RunUntilIdle();
    oxInputBox* a = Box(u"a");
    oxInputBox* b = Box(u"b");
    const POINT pa = On(a, 0, 0), pb = On(b, 0, 0);
    const int w = a->GetBoxRect().width, h = a->GetBoxRect().height;
    const std::vector<uint32_t> stars = platform::headless::ReadScreen(RECT{pa.x, pa.y, pa.x + w, pa.y + h});
    const std::vector<uint32_t> text = platform::headless::ReadScreen(RECT{pb.x, pb.y, pb.x + w, pb.y + h});
    EXPECT_EQ(stars, text);
    EXPECT_NE(std::count(stars.begin(), stars.end(), 0xFFFFFFu), int(stars.size())) << "something is drawn";
    EXPECT_EQ(Value(a), "ab");
}

TEST_F(InputBoxTest, TheSelectionIsFilledWithTheFillOfTheScenesSelectionPart) {
    // The value's dots sit on the baseline, so the top rows of the selection show its fill alone.
    ASSERT_TRUE(Open(R"(<r:library>
    <r:style target="c" fontFamily="DejaVu Sans" fontSize="13" textColor="#ff000000" height="20" width="200">
      <r:part name="selection" fill="#ff00c000"/>
    </r:style>
    <r:style target="d" fontFamily="DejaVu Sans" fontSize="13" textColor="#ff000000" height="20" width="200">
      <r:part name="selection" opacity="50"/>
    </r:style>
  </r:library>
  <input id="a" value="...."/><input id="c" value="...."/><input id="d" value="...."/>)"));
    const struct {
        const char16_t* id;
        uint32_t fill;
    } cases[] = {
        {u"c", 0x00C000u}, // the part's fill
        {u"a", 0xFFFF00u}, // no part: the default
        {u"d", 0xFFFF00u}, // a part without a fill colour: the default
    };
    for (const auto& c : cases) {
        oxInputBox* box = Box(c.id);
        ASSERT_NE(box, nullptr);
        scene->SetFocusedBox(box); // focus selects the whole value
        platform::headless::RunUntilIdle();
        const oxRect content = box->GetContentRect();
        const POINT p = On(box, content.x + 1, content.y + 2);
        EXPECT_EQ(ScreenAt(p.x, p.y), c.fill) << Narrow(c.id);
        const POINT past = On(box, content.x + content.width - 2, content.y + 2);
        EXPECT_EQ(ScreenAt(past.x, past.y), 0xFFFFFFu) << Narrow(c.id) << ": beyond the value";
    }
}

TEST_F(InputBoxTest, ALoneSurrogateInTheValueIsEditedAsOneUnit) {
    ASSERT_TRUE(Open(R"(<input id="a"/>)"));
    oxInputBox* a = Box(u"a");
    a->SetValue(u"x\xD800y\xDC00");
    Tap(a, a->GetBoxRect().width - 2, 5);
    EXPECT_EQ(a->GetCaretPos(), 4);
    Key(VK_LEFT);
    Key(VK_LEFT);
    EXPECT_EQ(a->GetCaretPos(), 2);
    Key(VK_BACK);
    EXPECT_EQ(Value(a), "xy\\uDC00");
    Key(VK_END);
    Key(VK_BACK);
    EXPECT_EQ(Value(a), "xy");
}

TEST_F(InputBoxTest, ATapInAPaddedBoxPutsTheCaretUnderTheStylus) {
    ASSERT_TRUE(Open(R"(<r:library><r:style target="p" fontFamily="DejaVu Sans" fontSize="13" width="200" height="20"
        paddingLeft="30"/></r:library><input id="p" value="abcdef"/>)"));
    auto* p = dynamic_cast<oxInputBox*>(scene->GetBoxById(oxAtoms::Find(u"p"), false));
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->GetContentRect().x, 30);
    // Just after the "c": the text starts where the content box does, inside the padding.
    const int x = p->GetContentRect().x + oxTextBox::MeasureText(u"abc", 3, p->GetFont()).cx;
    Tap(p, x, 5);
    EXPECT_EQ(p->GetCaretPos(), 3);
}

TEST_F(InputBoxTest, TheInputMethodComposesIntoTheBox) {
    ASSERT_TRUE(Open(R"(<input id="a" value="x"/>)"));
    oxInputBox* a = Box(u"a");
    Tap(a, a->GetBoxRect().width - 2, 5);
    platform::input::CompositionStart();
    platform::input::Composition(u"ni", false);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Value(a), "xni");
    int32_t start = -1, length = 0;
    ASSERT_TRUE(a->HasSelection()) << "the composition stands selected";
    a->GetSelectionRange(&start, &length);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(length, 2);
    platform::input::Composition(u"\u4f60", true);
    platform::input::CompositionEnd();
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Value(a), "x\\u4F60");
    EXPECT_FALSE(a->HasSelection());
    EXPECT_EQ(a->GetCaretPos(), 2);
}

TEST_F(InputBoxTest, FocusOpensTheInputPanelAndTakesTheBackKeyOnce) {
    ASSERT_TRUE(Open(R"(<input id="a" value="one"/><input id="b" value="two"/><input id="c" disabled="true"/>)"));
    oxInputBox* a = Box(u"a");
    oxInputBox* b = Box(u"b");
    auto* window = dynamic_cast<oxSceneFrame*>(scene->GetWindow());
    ASSERT_TRUE(window && window->GetFrame());
    HWND bar = SHFindMenuBar(window->GetFrame()->GetWindow());
    ASSERT_NE(bar, nullptr);
    SIPINFO sip{};
    sip.cbSize = sizeof sip;

    // A tap opens the input method (the soft keyboard) as focus by Tab does.
    Tap(a, 2, 5);
    EXPECT_TRUE(ImmGetOpenStatus(ImmGetContext(window->GetFrame()->GetWindow())));
    ASSERT_TRUE(SipGetInfo(&sip));
    EXPECT_TRUE(sip.fdwFlags & SIPF_ON);
    EXPECT_EQ(platform::shell::GetKeyOverride(bar, VK_TBACK), DWORD(SHMBOF_NODEFAULT | SHMBOF_NOTIFY));

    // Tab moves the focus once, to the next box, which selects all.
    Key(VK_TAB);
    EXPECT_EQ(oxInputBox::GetFocusedInputBox(), b);
    EXPECT_EQ(scene->GetFocusedBox(), b);
    ASSERT_TRUE(b->HasSelection());
    int32_t start = -1, length = 0;
    b->GetSelectionRange(&start, &length);
    EXPECT_EQ(length, 3);
    EXPECT_FALSE(a->HasSelection());

    // A disabled box takes neither the focus nor the caret.
    oxInputBox* c = Box(u"c");
    Tap(c, 2, 5);
    EXPECT_NE(oxInputBox::GetFocusedInputBox(), c);
    Type(u"z");
    EXPECT_EQ(Value(c), "<null>");

    // Away from every input box the input method closes and the Back key is the menu bar's again.
    scene->SetFocusedBox(nullptr);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(oxInputBox::GetFocusedInputBox(), nullptr);
    EXPECT_FALSE(ImmGetOpenStatus(ImmGetContext(window->GetFrame()->GetWindow())));
    ASSERT_TRUE(SipGetInfo(&sip));
    EXPECT_FALSE(sip.fdwFlags & SIPF_ON);
    EXPECT_EQ(platform::shell::GetKeyOverride(bar, VK_TBACK), 0u);
}

bool PanelUp() {
    SIPINFO sip{};
    sip.cbSize = sizeof sip;
    return SipGetInfo(&sip) && (sip.fdwFlags & SIPF_ON);
}

TEST_F(InputBoxTest, TheInputPanelFollowsTheActiveScreensFocusedBox) {
    ASSERT_TRUE(Open(R"(<input id="a" value="one"/>)"));
    oxScene* typing = scene;
    Tap(Box(u"a"), 2, 5);
    ASSERT_TRUE(PanelUp());

    // A screen with nothing that takes text comes over it: the panel goes down.
    ASSERT_TRUE(Open(R"(<box id="b"/>)", "_list"));
    oxScene* list = scene;
    EXPECT_FALSE(PanelUp()) << "nothing on the new screen takes text";
    // Back on the screen whose box opened it, the panel comes up again for that box.
    list->Close(true);
    platform::headless::RunUntilIdle();
    EXPECT_TRUE(PanelUp());

    // The screen that opened it goes away, leaving one without an input box: the panel goes with it.
    ASSERT_TRUE(Open(R"(<box id="b"/>)", "_list"));
    list = scene;
    ASSERT_TRUE(Open(R"(<input id="a"/>)", "_conversation"));
    Tap(Box(u"a"), 2, 5);
    ASSERT_TRUE(PanelUp());
    scene->Close(true);
    platform::headless::RunUntilIdle();
    EXPECT_FALSE(PanelUp()) << "leaving the conversation left the keyboard over the list";
    list->Close(true);
    typing->Close(true);
    platform::headless::RunUntilIdle();
}

#ifdef TANDU_HAVE_SDL
void Push(SDL_Event e) {
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

void PushText(const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::snprintf(e.text.text, sizeof e.text.text, "%s", utf8);
    Push(e);
}

void PushEditing(const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTEDITING;
    std::snprintf(e.edit.text, sizeof e.edit.text, "%s", utf8);
    Push(e);
}

void PushKey(SDL_Keycode key, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = key;
    Push(e);
}

void PushButton(int x, int y, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.x = x, e.button.y = y;
    Push(e);
}

// The SDL window under the dummy video driver: a tap, typed text, a key that also types its
// letter, composition and the clipboard all come through SDL's own event queue.
TEST_F(InputBoxTest, TypingIntoAnSdlWindowGoesThroughItsTextEvents) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (!platform::sdl::Start()) GTEST_SKIP() << "no SDL video driver";
    ASSERT_TRUE(Open(R"(<input id="a"/>)"));
    oxInputBox* a = Box(u"a");
    const POINT at = On(a, 2, 5);
    PushButton(at.x, at.y, true);
    PushButton(at.x, at.y, false);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(oxInputBox::GetFocusedInputBox(), a);

    // A key that types a letter gives its key events and the text event its character, once.
    PushKey(SDLK_h, true);
    PushText("h");
    PushKey(SDLK_h, false);
    PushText("\xC3\xA9llo \xF0\x9F\x98\x80"); // "éllo 😀"
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Value(a), "h\\u00E9llo \\uD83D\\uDE00");
    PushKey(SDLK_BACKSPACE, true);
    PushKey(SDLK_BACKSPACE, false);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Value(a), "h\\u00E9llo ");

    // An input method's editing shows selected in the box until its text is committed.
    PushEditing("ni");
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Value(a), "h\\u00E9llo ni");
    EXPECT_TRUE(a->HasSelection());
    PushText("\xE4\xBD\xA0"); // 你
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Value(a), "h\\u00E9llo \\u4F60");
    EXPECT_FALSE(a->HasSelection());

    // Ctrl+A, Ctrl+C: the desktop's clipboard has the text.
    for (SDL_Keycode k : {SDLK_a, SDLK_c}) {
        PushKey(SDLK_LCTRL, true);
        PushKey(k, true);
        PushKey(k, false);
        PushKey(SDLK_LCTRL, false);
    }
    platform::headless::RunUntilIdle();
    char* copied = SDL_GetClipboardText();
    EXPECT_STREQ(copied, "h\xC3\xA9llo \xE4\xBD\xA0");
    SDL_free(copied);
}
#endif

} // namespace
