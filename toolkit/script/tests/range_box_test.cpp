// Range boxes opened in a scene on the emulated screen: where the thumb stands for each range, a
// drag of the thumb and a press on the track moving the position with one "modified" per change,
// and the built-in range commands.
#include "toolkit/widgets/range_box.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/tests/markup_scene_test.h"
#include "toolkit/widgets/builtin_command_handler.h"

namespace {

constexpr const char* kHead = R"(<vbox xmlns="http://www.kestrum.com/weftly/box.xsd"
      xmlns:r="http://www.kestrum.com/weftly/resource.xsd" xmlns:s="http://www.kestrum.com/weftly/style.xsd" id="root">
  <r:library>
    <r:style target="root" fill="#ffffffff"/>
    <r:style target="thumb" fill="#ff0000ff"/>
  </r:library>
)";

// Every "modified" of a range is written into the root's "log" as "id:value".
constexpr const char* kScript = R"(
var scene = __scriptHelper.getSceneProxy();
var root = scene.getBoxById("root");
function note(e) {
  var box = e.targetBox, log = root.getAttribute("log");
  root.setAttribute("log", (log ? log + "," : "") + box.id + ":" + box.getAttribute("value"));
}
root.addEventHandler("modified", "note");
)";

std::string Narrow(const WCHAR* text) {
    return text ? std::string(text, text + std::char_traits<char16_t>::length(text)) : "<none>";
}

class RangeBoxTest : public MarkupSceneTest {
protected:
    oxScene* Open(const std::string& body) { return OpenScene(kHead, body, kScript); }
    static oxRangeBox* Range(oxScene* scene, const char16_t* id) {
        return dynamic_cast<oxRangeBox*>(scene->GetBoxById(oxAtoms::Find(id), false));
    }
    static std::string Log(oxScene* scene) { return Narrow(scene->GetRootBox()->GetAttribute(oxAtoms::Find(u"log"))); }
};

// Each range is 200 units along its track and has no padding, so the track's length is its size:
// the thumb is int(scale / (max + scale - min) * 200) long and stands
// int((200 - length) * (position - min) / (max - min)) from the start.
TEST_F(RangeBoxTest, PositionValueAndThumbFollowTheRangesAttributes) {
    struct Case {
        const char* attributes;
        int position;
        const char* value;
        int offset, length;
    } cases[] = {
        {R"(min="0" max="100" scale="25" value="30")", 30, "30", 48, 40},
        {R"(min="0" max="100" scale="25" reversed="true" value="30")", 70, "30", 112, 40},
        {R"(min="0" max="100" scale="25" value="30" reversed="true")", 70, "30", 112, 40}, // value kept on turning
        {R"(min="0" max="100" scale="25" value="150")", 100, "100", 160, 40},
        // A position that stays where it started writes no value.
        {R"(min="0" max="100" scale="25" value="-5")", 0, "<none>", 0, 40},
        {R"(min="0" max="100" scale="25" value="many")", 0, "<none>", 0, 40},
        {R"(min="20" max="120" scale="50" value="70")", 70, "70", 67, 66},
        {R"(value="70" max="50" scale="50")", 0, "<none>", 0, 100}, // a value before max is cut to it
        {R"(min="-50" max="50" scale="100" value="-25")", -25, "-25", 25, 100},
        {R"(min="5" max="5" scale="10" value="5")", 5, "5", 0, 200},    // an empty range: no division by zero
        {R"(min="0" max="10" scale="0" value="10")", 10, "10", 200, 0}, // no thumb length
        {R"(min="-2147483648" max="2147483647" scale="1" value="2147483647")", 2147483647, "2147483647", 200, 0},
    };
    std::string across, down;
    int n = 0;
    for (const Case& c : cases) {
        const std::string id = "r" + std::to_string(n++);
        across += "<range view=\"range\" id=\"" + id + "\" " + c.attributes +
                  R"( s:orient="horizontal" s:width="200" s:minWidth="200" s:height="10"><thumb/></range>)";
        down += "<range view=\"range\" id=\"v" + id + "\" " + c.attributes +
                R"( s:orient="vertical" s:width="10" s:height="200" s:minHeight="200"><thumb/></range>)";
    }
    oxScene* scene = Open("<vbox>" + across + "</vbox><hbox>" + down + "</hbox>");
    ASSERT_NE(scene, nullptr);
    n = 0;
    for (const Case& c : cases) {
        const std::string id = "r" + std::to_string(n++);
        for (bool vertical : {false, true}) {
            const std::string name = (vertical ? "v" : "") + id;
            oxRangeBox* range = Range(scene, std::u16string(name.begin(), name.end()).c_str());
            ASSERT_NE(range, nullptr) << name;
            EXPECT_EQ(range->GetPosition(), c.position) << c.attributes;
            EXPECT_EQ(Narrow(range->GetAttribute(kAtomValue)), c.value) << c.attributes;
            EXPECT_EQ(range->GetThumbOffset(), c.offset) << c.attributes;
            EXPECT_EQ(range->GetThumbLength(), c.length) << c.attributes;
            oxBox* thumb = range->GetFirstChild(false);
            ASSERT_NE(thumb, nullptr);
            const oxRect want = vertical ? oxRect{0, c.offset, 10, c.length} : oxRect{c.offset, 0, c.length, 10};
            const oxRect got = thumb->GetBoxRect();
            EXPECT_TRUE(got.x == want.x && got.y == want.y && got.width == want.width && got.height == want.height)
                << name << " " << c.attributes << ": " << got.x << "," << got.y << " " << got.width << "x"
                << got.height;
        }
    }
    EXPECT_EQ(Log(scene), "<none>") << "nothing is announced before the scene runs";
}

TEST_F(RangeBoxTest, DraggingTheThumbAndPressingTheTrackMoveThePosition) {
    oxScene* scene = Open(
        R"(<range view="range" id="r" min="0" max="100" scale="25" s:orient="horizontal" s:width="200" s:height="20"><thumb/></range>
<range view="range" id="p" min="0" max="100" scale="25" pageNumRows="10" value="50" s:orient="horizontal" s:width="200" s:height="20"><thumb/></range>
<range view="range" id="q" min="100" max="200" scale="25" value="150" s:orient="horizontal" s:width="200" s:height="20"><thumb/></range>
<range view="range" id="w" rtl="true" min="0" max="100" scale="25" value="50" s:orient="horizontal" s:width="200" s:height="20"><thumb/></range>)");
    ASSERT_NE(scene, nullptr);
    oxRangeBox* r = Range(scene, u"r");
    oxRangeBox* p = Range(scene, u"p");
    ASSERT_TRUE(r && p);
    scene->GetRootBox()->RemoveAttribute(oxAtoms::Find(u"log"));
    // The thumb is 40 long and may travel 160: 20 units of drag are int(100 * 20 / 160) = 12 positions.
    const POINT grip = On(scene, r, 20, 10);
    platform::headless::Drag(grip, POINT{grip.x + 80, grip.y}, 4);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(r->GetPosition(), 50);
    EXPECT_EQ(Log(scene), "r:12,r:25,r:37,r:50");
    EXPECT_EQ(r->GetFirstChild(false)->GetBoxRect().x, 80);
    // Dragging back past the start stops at the start; a move that changes nothing says nothing.
    scene->GetRootBox()->RemoveAttribute(oxAtoms::Find(u"log"));
    const POINT grip2 = On(scene, r, 100, 10);
    platform::headless::Drag(grip2, POINT{grip2.x - 150, grip2.y}, 3);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(r->GetPosition(), 0);
    EXPECT_EQ(Log(scene), "r:19,r:0");

    // A press on the track pages towards it: by `scale`, or by `pageNumRows` when set.
    scene->GetRootBox()->RemoveAttribute(oxAtoms::Find(u"log"));
    const POINT end = On(scene, r, 190, 10);
    platform::headless::Tap(end.x, end.y);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(r->GetPosition(), 25);
    EXPECT_EQ(r->GetPagingDirection(), 0) << "the release ends the paging";
    const POINT before = On(scene, p, 5, 10);
    platform::headless::Press(before.x, before.y);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(p->GetPosition(), 40);
    EXPECT_EQ(p->GetPagingDirection(), -1);
    platform::headless::Release(before.x, before.y);
    platform::headless::RunUntilIdle();
    // A press on the thumb itself pages nothing.
    const POINT onThumb = On(scene, p, p->GetThumbOffset() + 5, 10);
    platform::headless::Tap(onThumb.x, onThumb.y);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(p->GetPosition(), 40);
    // A range from 100: its thumb stands at 80..120; a press just past it pages up.
    oxRangeBox* q = Range(scene, u"q");
    ASSERT_NE(q, nullptr);
    const POINT past = On(scene, q, 130, 10);
    platform::headless::Tap(past.x, past.y);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(q->GetPosition(), 175);
    EXPECT_EQ(Log(scene), "r:25,p:40,q:175");
    // Right to left, a drag towards the start raises the position.
    oxRangeBox* w = Range(scene, u"w");
    ASSERT_NE(w, nullptr);
    const POINT wGrip = On(scene, w, w->GetThumbOffset() + 20, 10);
    platform::headless::Drag(wGrip, POINT{wGrip.x - 40, wGrip.y}, 2);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(w->GetPosition(), 75);
    // A disabled range does not move.
    r->SetDisabled(true, false);
    platform::headless::Tap(end.x, end.y);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(r->GetPosition(), 25);
}

TEST_F(RangeBoxTest, TheBuiltInRangeCommandsMoveThePosition) {
    oxScene* scene = Open(
        R"(<range view="range" id="x" axis="x" min="0" max="100" scale="25" value="50" s:orient="horizontal" s:width="200" s:height="20"><thumb/></range>
<range view="range" id="y" axis="y" min="0" max="100" scale="25" value="50" reversed="true" s:orient="vertical" s:width="20" s:height="200"><thumb/></range>
<range view="range" id="z" min="-2147483648" max="2147483647" pageNumRows="2147483647" value="2147483646" s:orient="horizontal" s:width="200" s:height="20"><thumb/></range>
<box id="plain"/>)");
    ASSERT_NE(scene, nullptr);
    oxRangeBox* x = Range(scene, u"x");
    oxRangeBox* y = Range(scene, u"y");
    oxRangeBox* z = Range(scene, u"z");
    ASSERT_TRUE(x && y && z);
    oxBuiltinCommandHandler* commands = oxBuiltinCommandHandler::GetInstance();
    struct Step {
        oxRangeBox* range;
        const char16_t* command;
        int position;
    } steps[] = {
        {x, u"NudgeUp", 51},
        {x, u"NudgeDown", 50},
        {x, u"NudgePageUp", 75},
        {x, u"NudgePageUp", 100},
        {x, u"NudgePageUp", 100},
        {x, u"NudgePageDown", 75},
        {x, u"SetMin", 0},
        {x, u"NudgeDown", 0},
        {x, u"SetMax", 100},
        {y, u"NudgeUp", 49},
        {y, u"NudgeDown", 50},
        {y, u"SetMax", 100},
        // Steps past the ends of 32 bits stop at the range's ends (without axis "x", up is -1).
        {z, u"NudgePageUp", INT32_MAX},
        {z, u"NudgeDown", INT32_MAX},
        {z, u"SetMin", INT32_MIN},
        {z, u"NudgePageDown", INT32_MIN},
        {z, u"NudgeUp", INT32_MIN},
    };
    for (const Step& s : steps) {
        oxDOMEvent event(kAtomCommand, s.range, nullptr);
        EXPECT_EQ(commands->ExecuteCommand(s.command, &event), 1);
        EXPECT_EQ(s.range->GetPosition(), s.position) << Narrow(s.command);
    }
    EXPECT_EQ(Narrow(y->GetAttribute(kAtomValue)), "0") << "a reversed range at its maximum position reads its minimum";
    oxDOMEvent onPlain(kAtomCommand, scene->GetBoxById(oxAtoms::Find(u"plain"), false), nullptr);
    EXPECT_EQ(commands->ExecuteCommand(u"SetMax", &onPlain), 0) << "only a range takes them";
}

} // namespace
