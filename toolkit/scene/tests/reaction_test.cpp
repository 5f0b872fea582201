// Reactions declared in scene markup, run by the events a loaded scene's boxes receive: each
// condition and action, override and stop, the Enter veto, and the hostile cases.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_reactions.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/library/behavior_resource.h"
#include "toolkit/scene/tests/scene_test_support.h"

namespace {

using toolkit_test::Utf8;

std::vector<std::string> g_ran;
// Actions named "bounce" set the box's "value" again, so a reaction to that change runs again.
void RecordingRunner(oxBox* box, const oxQualifiedName& action, oxEvent* event) {
    std::string name = Utf8(action.GetText());
    g_ran.push_back(name);
    if (name == "bounce")
        box->SetAttribute(oxAtoms::Intern(u"value"), g_ran.size() % 2 ? u"odd" : u"even", true, false);
    if (name == "stop") event->AddFlags(kEventStopped);
}

// The actions that ran since g_ran was last cleared, in order.
std::string Ran() {
    std::string ran;
    for (const std::string& name : g_ran)
        ran += (ran.empty() ? "" : " ") + name;
    return ran;
}

const char* kScene = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:x="http://www.kestrum.com/weftly/reaction.xsd" id="root">
  <box id="target">
    <reaction event="click" action="anyClick" id="ignored" unknown="ignored"/>
    <reaction event="click" button="2" action="rightClick"/>
    <reaction event="mouseDown" detail="2" action="secondDown"/>
    <reaction event="keyPress" keyCode="F5" action="f5"/>
    <reaction event="keyPress" keyCode="F5" shift="true" action="shiftF5"/>
    <reaction event="keyDown" keyCode="Q" ctrl="true" alt="true" action="ctrlAltQ"/>
    <reaction event="attributeSet" attributeName="value" action="valueSet"/>
    <reaction event="command" message="save" action="save"/>
    <reaction event="click" part="inner" action="partClick"/>
    <reaction action="noEvent"/>
    <box id="inner"/>
  </box>
  <box id="plain" x:click="scripts:plainClick"/>
  <box id="enter" wantEnter="false"><reaction event="keyPress" keyCode="ENTER" action="enter"/></box>
  <box id="wants" wantEnter="true"><reaction event="keyPress" keyCode="ENTER" action="enter"/></box>
  <box id="consumer">
    <reaction event="click" action="first" override="true"/>
    <reaction event="click" action="second"/>
    <reaction event="mouseDown" action="overrides" override="true"/>
    <reaction event="mouseDown" action="after"/>
    <reaction event="mouseDown" action="last" override="true"/>
    <reaction event="keyUp" action="stop"/>
    <reaction event="keyUp" action="never"/>
  </box>
  <box id="loop"><reaction event="attributeSet" attributeName="value" action="bounce"/></box>
</vbox>)M";

class ReactionTest : public scene_test::SceneFixture {
protected:
    void SetUp() override {
        SceneFixture::SetUp();
        previous = oxGetReactionRunner();
        oxSetReactionRunner(RecordingRunner);
        g_ran.clear();
    }
    void TearDown() override {
        oxSetReactionRunner(previous);
        SceneFixture::TearDown();
    }
    oxBox* Box(const WCHAR* id) { return scene->GetBoxById(oxAtoms::Intern(id), false); }
    // What ran for one event handed to the box.
    std::string Run(oxBox* box, oxEvent* event) {
        g_ran.clear();
        box->HandleEvent(event);
        return Ran();
    }
    static oxMouseEvent Mouse(oxAtom type, oxBox* target, int button, int detail) {
        return oxMouseEvent(type, target, nullptr, button, nullptr, detail, oxPoint{0, 0}, oxPoint{0, 0}, false, false,
                            false);
    }

    oxReactionRunner previous = nullptr;
    oxScene* scene = nullptr;
};

TEST_F(ReactionTest, EachConditionAndActionRunsOnItsEvent) {
    scene = OpenMarkup("reactions.box", kScene);
    ASSERT_NE(scene, nullptr);
    oxBox* target = Box(u"target");
    oxBox* inner = Box(u"inner");
    ASSERT_TRUE(target && inner);
    inner->SetOwner(target); // a part of a gadget box

    struct Case {
        const char* name;
        std::function<std::string()> send;
        const char* ran;
    };
    const oxAtom save = oxAtoms::Intern(u"save");
    const Case cases[] = {
        {"left click",
         [&] {
             auto e = Mouse(kAtomClick, target, 1, 1);
             return Run(target, &e);
         },
         "anyClick"},
        {"right click",
         [&] {
             auto e = Mouse(kAtomClick, target, 2, 1);
             return Run(target, &e);
         },
         "anyClick rightClick"},
        {"click on a part",
         [&] {
             auto e = Mouse(kAtomClick, inner, 1, 1);
             return Run(target, &e);
         },
         "anyClick partClick"},
        {"second press",
         [&] {
             auto e = Mouse(kAtomMouseDown, target, 1, 2);
             return Run(target, &e);
         },
         "secondDown"},
        {"first press",
         [&] {
             auto e = Mouse(kAtomMouseDown, target, 1, 1);
             return Run(target, &e);
         },
         ""},
        {"F5",
         [&] {
             oxKeyEvent e(kAtomKeyPress, target, nullptr, 116, false, false, false, 116);
             return Run(target, &e);
         },
         "f5"},
        {"shift F5",
         [&] {
             oxKeyEvent e(kAtomKeyPress, target, nullptr, 116, true, false, false, 116);
             return Run(target, &e);
         },
         "shiftF5"},
        {"ctrl shift F5",
         [&] {
             oxKeyEvent e(kAtomKeyPress, target, nullptr, 116, true, true, false, 116);
             return Run(target, &e);
         },
         ""},
        {"ctrl alt Q",
         [&] {
             oxKeyEvent e(kAtomKeyDown, target, nullptr, 81, false, true, true, 81);
             return Run(target, &e);
         },
         "ctrlAltQ"},
        {"ctrl Q",
         [&] {
             oxKeyEvent e(kAtomKeyDown, target, nullptr, 81, false, true, false, 81);
             return Run(target, &e);
         },
         ""},
        {"value changes",
         [&] {
             g_ran.clear();
             target->SetAttribute(oxAtoms::Intern(u"value"), u"1", true, false);
             return g_ran.empty() ? std::string() : g_ran[0];
         },
         "valueSet"},
        {"other attribute",
         [&] {
             g_ran.clear();
             target->SetAttribute(oxAtoms::Intern(u"label"), u"1", true, false);
             return g_ran.empty() ? std::string() : g_ran[0];
         },
         ""},
        {"save command",
         [&] {
             oxCommandEvent e(kAtomCommand, target, nullptr, nullptr, save, nullptr, false, false, false);
             return Run(target, &e);
         },
         "save"},
        {"open command",
         [&] {
             oxCommandEvent e(kAtomCommand, target, nullptr, nullptr, oxAtoms::Intern(u"open"), nullptr, false, false,
                              false);
             return Run(target, &e);
         },
         ""},
        {"reaction attribute",
         [&] {
             auto e = Mouse(kAtomClick, Box(u"plain"), 1, 1);
             return Run(Box(u"plain"), &e);
         },
         "plainClick"},
        {"Enter vetoed",
         [&] {
             oxKeyEvent e(kAtomKeyPress, Box(u"enter"), nullptr, 13, false, false, false, 13);
             return Run(Box(u"enter"), &e);
         },
         ""},
        {"Enter wanted",
         [&] {
             oxKeyEvent e(kAtomKeyPress, Box(u"wants"), nullptr, 13, false, false, false, 13);
             return Run(Box(u"wants"), &e);
         },
         "enter"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.send(), c.ran) << c.name;
}

TEST_F(ReactionTest, OverrideAndStopEndTheBoxsHandling) {
    scene = OpenMarkup("reactions.box", kScene);
    ASSERT_NE(scene, nullptr);
    oxBox* box = Box(u"consumer");
    oxBehaviorElement* behavior = oxBehaviorElement::For(box, false);
    ASSERT_NE(behavior, nullptr);
    struct Case {
        oxAtom type;
        bool consumed;
        const char* ran;
    } cases[] = {
        {kAtomClick, false, "first second"},            // the last one that ran does not override
        {kAtomMouseDown, true, "overrides after last"}, // later reactions still run
        {kAtomKeyUp, true, "stop"},                     // a stopped event ends the pass
    };
    for (const Case& c : cases) {
        g_ran.clear();
        oxKeyEvent event(c.type, box, nullptr, 0, false, false, false, 0);
        EXPECT_EQ(behavior->Dispatch(box, &event), c.consumed) << c.ran;
        EXPECT_EQ(Ran(), c.ran);
        EXPECT_TRUE(event.GetFlags() & kEventHandledByReaction);
    }
}

TEST_F(ReactionTest, ReactionsThatTriggerEachOtherEndAtTheNestingBound) {
    scene = OpenMarkup("reactions.box", kScene);
    ASSERT_NE(scene, nullptr);
    g_ran.clear();
    Box(u"loop")->SetAttribute(oxAtoms::Intern(u"value"), u"start", true, false);
    EXPECT_EQ(int(g_ran.size()), kMaxReactionNesting);
    // The bound is on the nesting, not the count: the next change runs again.
    g_ran.clear();
    Box(u"loop")->SetAttribute(oxAtoms::Intern(u"value"), u"again", true, false);
    EXPECT_EQ(int(g_ran.size()), kMaxReactionNesting);
}

TEST_F(ReactionTest, TenThousandReactionsOnOneBoxRunOncePerEvent) {
    std::string markup = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" id="root"><box id="many">)M";
    for (int i = 0; i < 10000; ++i)
        markup += "<reaction event=\"click\" action=\"r" + std::to_string(i) + "\"/>";
    markup += "</box></vbox>";
    scene = OpenMarkup("many.box", markup);
    ASSERT_NE(scene, nullptr);
    oxBox* box = Box(u"many");
    auto click = Mouse(kAtomClick, box, 1, 1);
    g_ran.clear();
    box->HandleEvent(&click);
    ASSERT_EQ(g_ran.size(), 10000u);
    EXPECT_EQ(g_ran.front(), "r0");
    EXPECT_EQ(g_ran.back(), "r9999");
    auto press = Mouse(kAtomMouseDown, box, 1, 1);
    g_ran.clear();
    box->HandleEvent(&press);
    EXPECT_TRUE(g_ran.empty());
}

} // namespace

namespace {

const char* kBehaviors = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:behavior id="base"><r:reaction event="click" action="baseClick"/></r:behavior>
    <r:behavior id="button" inherits="base">
      <r:reaction event="click" action="buttonClick"/>
      <r:reaction event="mouseDown" action="press" override="true"/>
      <r:reaction event="keyUp" action="stop"/>
      <r:other/>
    </r:behavior>
    <r:behavior id="alone" inherits="base" recurse="false"><r:reaction event="click" action="aloneClick"/></r:behavior>
    <r:behavior id="ringA" inherits="ringB"><r:reaction event="click" action="a"/></r:behavior>
    <r:behavior id="ringB" inherits="ringA"><r:reaction event="click" action="b"/></r:behavior>
  </r:library>
  <box id="one"/><box id="two"/>
</vbox>)M";

TEST_F(ReactionTest, LibraryBehavioursServeSeveralBoxesAndTheirInheritedOnes) {
    scene = OpenMarkup("behaviors.box", kBehaviors);
    ASSERT_NE(scene, nullptr);
    auto behavior = [&](const WCHAR* id) {
        return dynamic_cast<oxBehaviorResource*>(scene->FindResourceById(oxAtoms::Intern(id), kAtomBehavior));
    };
    oxBehaviorResource* button = behavior(u"button");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->GetReactionCount(), 3);
    struct Case {
        const WCHAR* behavior;
        const WCHAR* box;
        oxAtom type;
        bool consumed;
        const char* ran;
    } cases[] = {
        {u"button", u"one", kAtomClick, false, "buttonClick baseClick"},
        {u"button", u"two", kAtomClick, false, "buttonClick baseClick"},
        {u"button", u"two", kAtomMouseDown, true, "press"},
        {u"button", u"one", kAtomKeyUp, true, "stop"}, // stopped: the inherited ones do not hear it
        {u"alone", u"one", kAtomClick, false, "aloneClick"},
        {u"ringA", u"one", kAtomClick, false, "a"}, // the link that closes the ring is refused
    };
    for (const Case& c : cases) {
        g_ran.clear();
        oxBox* box = Box(c.box);
        oxKeyEvent event(c.type, box, nullptr, 0, false, false, false, 0);
        EXPECT_EQ(behavior(c.behavior)->HandleEvent(box, &event), c.consumed) << c.ran;
        EXPECT_EQ(Ran(), c.ran);
    }
    button->RemoveReaction(u"click", u"buttonClick");
    EXPECT_EQ(button->GetReactionCount(), 2);
}

} // namespace
