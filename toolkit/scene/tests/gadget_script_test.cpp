// Gadget boxes at run time: their script instances, forwarded attributes and states, the handler
// chain through the gadgets they inherit, "boxCreated" of parts before their gadget box, and the
// instance going with its box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/box_reactions.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/library/gadget_element.h"
#include "toolkit/library/gadget_instance.h"
#include "toolkit/scene/command_group.h"
#include "toolkit/scene/tests/scene_test_support.h"
#include "toolkit/script/box.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

using toolkit_test::Utf8;

const char* kScript = R"J(
var loads = (typeof loads == "undefined") ? 1 : loads + 1;
function component(box) {
    this.box = box;
    box.setAttribute("loads", String(loads));
}
component.prototype.hello = function (e) { this.box.setAttribute("hello", e ? e.type : "none"); };
component.prototype.open = function () { this.box.setAttribute("opened", "yes"); };
)J";

const char* kScene = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:gadget id="card" script="card.js">
      <parts>
        <box id="title" inherits="label, value = label"><reaction event="boxCreated" action="created"/></box>
        <box id="swatch" inherits="$fill=colour"/>
        <box id="lamp" inherits="hovered" style="lamp"/>
        <box id="glow" style="glow"/>
      </parts>
      <commandGroup><command id="open" action="gadget:open"/></commandGroup>
      <behavior><reaction event="click" action="gadget:hello"/><reaction event="boxCreated" action="created"/></behavior>
    </r:gadget>
    <r:gadget id="broken" script="broken.js"/>
    <r:style name="lamp"><r:hovered fill="#ff0000"/></r:style>
    <r:style name="glow"><r:pressed fill="#0000ff"/></r:style>
  </r:library>
  <card id="one" label="First"/>
  <card id="two"/>
  <broken id="bad"/>
</vbox>)M";

class GadgetScriptTest : public scene_test::SceneFixture {
protected:
    void SetUp() override {
        SceneFixture::SetUp();
        WriteFile("card.js", kScript);
        WriteFile("broken.js", "var nothingHere = 1;\n");
        WriteFile("extra.js", "component.prototype.extra = function () { this.box.setAttribute('extra', 'yes'); };\n");
    }
    static oxAtom Atom(const WCHAR* text) { return oxAtoms::Intern(text); }
    static oxBox* Box(oxScene* scene, const WCHAR* id) { return scene->GetBoxById(Atom(id), false); }
    static std::string Text(oxBox* box, const WCHAR* attribute) {
        const WCHAR* text = box ? box->GetAttributeText(Atom(attribute)) : nullptr;
        return text ? Utf8(text) : "<none>";
    }
    static std::string Fill(oxBox* box) {
        oxStyleValue value;
        box->GetStyleValue(kStyle_fill, &value);
        WCHAR* text = value.ToString();
        std::string result = text ? Utf8(text) : "";
        free(text);
        return result;
    }
    size_t Reported(const std::string& text) const {
        size_t n = 0;
        for (const std::string& call : listener->calls)
            n += call.find(text) != std::string::npos;
        return n;
    }
};

TEST_F(GadgetScriptTest, EachBoxGetsAnInstanceOfItsOwnFromAScriptLoadedOnce) {
    oxScene* scene = OpenMarkup("cards.box", kScene);
    ASSERT_NE(scene, nullptr);
    oxBox* one = Box(scene, u"one");
    oxBox* two = Box(scene, u"two");
    ASSERT_TRUE(one && two);
    oxGadgetInstance* first = oxGadgetInstance::For(one);
    oxGadgetInstance* second = oxGadgetInstance::For(two);
    ASSERT_TRUE(first && second) << ::testing::PrintToString(listener->calls);
    EXPECT_TRUE(one->TestChangeFlags(kChangeGadgetInstance));
    // One load of the script serves both; each instance has its own name.
    EXPECT_EQ(Text(one, u"loads"), "1");
    EXPECT_EQ(Text(two, u"loads"), "1");
    ASSERT_NE(first->GetName(), nullptr);
    EXPECT_EQ(Utf8(first->GetName()).rfind("_GadgetInstance_", 0), 0u);
    EXPECT_NE(Utf8(first->GetName()), Utf8(second->GetName()));
    auto* card = dynamic_cast<oxGadgetElement*>(scene->FindGadgetByTag(Atom(u"card")));
    EXPECT_EQ(Utf8(card->GetScriptContextName().GetString()), "_GadgetContext_card");

    // The instance's own names: its component sees the box, and the scene proxy is set.
    NUBO::XVariant scene1;
    EXPECT_EQ(first->Evaluate(u"scene != null ? 'set' : 'unset'", &scene1), 1);
    EXPECT_EQ(Utf8(scene1.ToString().GetString()), "set");

    // Scripts run for a box or with an object find it as the helper's gadget box, and only meanwhile.
    EXPECT_TRUE(second->RunScriptForBox(u"box.setAttribute('helper', __scriptHelper.getGadgetBox().id)", one));
    EXPECT_EQ(Text(two, u"helper"), "one");
    const std::string yes = Utf8(NUBO::XVariant(true).ToString().GetString());
    NUBO::XVariant same;
    NUBO::XVariant oneObject;
    ASSERT_EQ(first->Evaluate(u"box", &oneObject), 1);
    NUBO::RefPtr<NUBO::XObject> held(oneObject.ToXObject());
    EXPECT_EQ(second->EvaluateWithObject(u"box !== __scriptHelper.getGadgetBox()", held.get(), &same), 1);
    EXPECT_EQ(Utf8(same.ToString().GetString()), yes);
    EXPECT_EQ(first->EvaluateWithObject(u"box === __scriptHelper.getGadgetBox()", held.get(), &same), 1);
    EXPECT_EQ(Utf8(same.ToString().GetString()), yes);
    EXPECT_EQ(first->Evaluate(u"box && __scriptHelper.getGadgetBox() === null", &same), 1);
    EXPECT_EQ(Utf8(same.ToString().GetString()), yes);

    // A script imported by the box joins the gadget's own.
    NUBO::XVariant imported;
    EXPECT_EQ(first->Evaluate(u"box.importScript('extra.js', 'jscript')", &imported), 1);
    EXPECT_EQ(Utf8(imported.ToString().GetString()), Utf8(NUBO::XVariant(true).ToString().GetString()));
    EXPECT_EQ(second->Evaluate(u"extra()", nullptr), 1);
    EXPECT_EQ(Text(two, u"extra"), "yes");

    // A box a script makes has its instance as soon as the script holds it.
    NUBO::XVariant made;
    ASSERT_EQ(first->Evaluate(u"scene.createBox('card')", &made), 1);
    NUBO::RefPtr<NUBO::XObject> madeObject(made.ToXObject());
    auto* madeBox = dynamic_cast<::Box*>(madeObject.get());
    ASSERT_TRUE(madeBox && madeBox->GetBox());
    EXPECT_NE(oxGadgetInstance::For(madeBox->GetBox()), nullptr);
    EXPECT_EQ(Text(madeBox->GetBox(), u"loads"), "1");

    // The behaviour's gadget: action and a gadget command's action call the component.
    oxMouseEvent click(kAtomClick, one, nullptr, 1, nullptr, 1, oxPoint{0, 0}, oxPoint{0, 0}, false, false, false);
    one->HandleEvent(&click);
    EXPECT_EQ(Text(one, u"hello"), "click");
    EXPECT_EQ(Text(two, u"hello"), "<none>");
    const auto* groups = scene->GroupsOf(two);
    ASSERT_TRUE(groups && groups->size() == 1);
    auto* command = dynamic_cast<oxCommandGroupElement*>((*groups)[0])->FindCommand(Atom(u"open"));
    ASSERT_NE(command, nullptr);
    command->Execute(nullptr, two);
    EXPECT_EQ(Text(two, u"opened"), "yes");
    EXPECT_EQ(Text(one, u"opened"), "<none>");
}

TEST_F(GadgetScriptTest, AScriptWithoutAComponentIsReportedAndTriedAgain) {
    oxScene* scene = OpenMarkup("cards.box", kScene);
    ASSERT_NE(scene, nullptr);
    oxBox* bad = Box(scene, u"bad");
    EXPECT_EQ(oxGadgetInstance::For(bad), nullptr);
    EXPECT_FALSE(bad->TestChangeFlags(kChangeGadgetInstance));
    size_t before = Reported("Error instantiating gadget script.");
    EXPECT_GE(before, 1u) << ::testing::PrintToString(listener->calls);
    bad->GetGadget()->EnsureScriptObject(bad);
    EXPECT_EQ(Reported("Error instantiating gadget script."), before + 1);
}

TEST_F(GadgetScriptTest, ScriptSourcesThatFailAreReportedOnceAndNotTriedAgain) {
    WriteFile("bad.js", "this is not script (\n");
    WriteFile("good.js", "component.prototype.more = function () { this.box.setAttribute('more', 'yes'); };\n");
    const char* markup = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:gadget id="card" script="card.js" language="vbscript">
      <script src="missing.js"/><script src="bad.js"/><script src="good.js"/><script src="good.js"/>
    </r:gadget>
  </r:library>
  <card id="one"/><card id="two"/><card id="three"/>
</vbox>)M";
    oxScene* scene = OpenMarkup("sources.box", markup);
    ASSERT_NE(scene, nullptr);
    auto* card = dynamic_cast<oxGadgetElement*>(scene->FindGadgetByTag(Atom(u"card")));
    EXPECT_EQ(card->GetLanguage(), kAtomJscript) << "an unknown language is taken as jscript";
    EXPECT_EQ(Reported("missing.js"), 1u) << ::testing::PrintToString(listener->calls);
    EXPECT_EQ(Reported("Error loading script."), 1u) << ::testing::PrintToString(listener->calls);
    oxGadgetInstance* three = oxGadgetInstance::For(Box(scene, u"three"));
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(three->Evaluate(u"more()", nullptr), 1) << "the good source loaded beside the gadget's script";
    EXPECT_EQ(Text(Box(scene, u"three"), u"more"), "yes");
}

TEST_F(GadgetScriptTest, AttributesAndStatesOfTheGadgetBoxReachTheirParts) {
    oxScene* scene = OpenMarkup("cards.box", kScene);
    ASSERT_NE(scene, nullptr);
    oxBox* one = Box(scene, u"one");
    oxBox* title = one->GetChildAt(0, false);
    oxBox* swatch = one->GetChildAt(1, false);
    oxBox* lamp = one->GetChildAt(2, false);
    // Set in markup, and changed later.
    EXPECT_EQ(Text(title, u"label"), "First");
    EXPECT_EQ(Text(title, u"value"), "First");
    one->SetAttribute(Atom(u"label"), u"Renamed", true, false);
    EXPECT_EQ(Text(title, u"label"), "Renamed");
    EXPECT_EQ(Text(title, u"value"), "Renamed");
    EXPECT_EQ(Text(Box(scene, u"two")->GetChildAt(0, false), u"label"), "<none>") << "each box forwards its own";
    // A '$' target sets a style property of the part.
    one->SetAttribute(Atom(u"colour"), u"#00ff00", true, false);
    EXPECT_EQ(Fill(swatch), "#ff00ff00");

    // A forwarded state restyles the part, and the part keeps the gadget box's value when set alone.
    scene->Layout();
    std::string unlit = Fill(lamp);
    one->SetHovered(true, false);
    EXPECT_TRUE(lamp->GetStateFlags() & kStateHovered);
    EXPECT_EQ(Fill(lamp), "#ffff0000");
    lamp->SetHovered(false, false);
    EXPECT_TRUE(lamp->GetStateFlags() & kStateHovered) << "the mapped state follows its gadget box";
    lamp->SetHovered(false, true);
    EXPECT_FALSE(lamp->GetStateFlags() & kStateHovered) << "a forced set wins";
    EXPECT_EQ(Fill(lamp), unlit);

    // A gadget box that keeps events from its parts lends them its own states in their rules.
    oxBox* glow = one->GetChildAt(3, false);
    one->SetAttribute(Atom(u"blockEvents"), u"true", true, false);
    one->SetPressed(true, false);
    EXPECT_FALSE(glow->GetStateFlags() & kStatePressed);
    EXPECT_EQ(Fill(glow), "#ff0000ff");
    one->SetPressed(false, false);
    EXPECT_NE(Fill(glow), "#ff0000ff");
}

TEST_F(GadgetScriptTest, HandlersRunOnTheBoxThenItsGadgetThenTheGadgetsItInherits) {
    std::vector<std::string> ran;
    static std::vector<std::string>* g_ran = nullptr;
    g_ran = &ran;
    oxReactionRunner previous = oxGetReactionRunner();
    oxSetReactionRunner(
        [](oxBox*, const oxQualifiedName& action, oxEvent*) { g_ran->push_back(Utf8(action.GetText())); });
    const char* markup = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:gadget id="base"><behavior><reaction event="click" action="base"/></behavior></r:gadget>
    <r:gadget id="mid" inherits="base"><behavior><reaction event="click" action="mid"/></behavior></r:gadget>
    <r:gadget id="top" inherits="mid"><behavior><reaction event="click" action="top" override="true"/></behavior></r:gadget>
  </r:library>
  <mid id="plain"/>
  <mid id="own"><reaction event="click" action="own"/></mid>
  <mid id="vetoed"><reaction event="click" action="veto" override="true"/></mid>
  <top id="stops"/>
</vbox>)M";
    oxScene* scene = OpenMarkup("chain.box", markup);
    ASSERT_NE(scene, nullptr);
    struct Case {
        const WCHAR* id;
        const char* ran;
    } cases[] = {{u"plain", "mid base"}, {u"own", "own mid base"}, {u"vetoed", "veto"}, {u"stops", "top"}};
    for (const Case& c : cases) {
        ran.clear();
        oxBox* box = Box(scene, c.id);
        oxMouseEvent click(kAtomClick, box, nullptr, 1, nullptr, 1, oxPoint{0, 0}, oxPoint{0, 0}, false, false, false);
        box->HandleEvent(&click);
        std::string got;
        for (const std::string& name : ran)
            got += (got.empty() ? "" : " ") + name;
        EXPECT_EQ(got, c.ran) << Utf8(c.id);
    }
    oxSetReactionRunner(previous);
}

TEST_F(GadgetScriptTest, AGadgetHandlerThatDestroysItsBoxEndsTheWalkSafely) {
    static oxScene* g_scene = nullptr;
    static int g_runs = 0;
    g_runs = 0;
    oxReactionRunner previous = oxGetReactionRunner();
    oxSetReactionRunner([](oxBox* box, const oxQualifiedName&, oxEvent*) {
        ++g_runs;
        if (box->GetParent()) g_scene->DestroyBox(box->GetParent()->RemoveChild(box, false));
    });
    const char* markup = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:gadget id="base"><behavior><reaction event="click" action="vanish"/></behavior></r:gadget>
    <r:gadget id="fleeting" inherits="base"><behavior><reaction event="click" action="vanish"/></behavior></r:gadget>
  </r:library>
  <fleeting id="gone" stopPropagation="true"/>
</vbox>)M";
    g_scene = OpenMarkup("vanish.box", markup);
    ASSERT_NE(g_scene, nullptr);
    oxBox* gone = Box(g_scene, u"gone");
    ASSERT_NE(gone, nullptr);
    oxMouseEvent click(kAtomClick, gone, nullptr, 1, nullptr, 1, oxPoint{0, 0}, oxPoint{0, 0}, false, false, false);
    gone->HandleEvent(&click); // the event keeps its target; the box has left the tree
    EXPECT_EQ(g_scene->GetRootBox()->GetChildCount(), 0);
    EXPECT_EQ(g_runs, 2) << "the inherited gadget's handler still ran, on a box outside the tree";
    oxSetReactionRunner(previous);
}

TEST_F(GadgetScriptTest, PartsMadeInAnOpenSceneHearBoxCreatedBeforeTheirGadgetBox) {
    oxScene* scene = OpenMarkup("cards.box", kScene);
    ASSERT_NE(scene, nullptr);
    std::vector<oxBox*> heard;
    static std::vector<oxBox*>* g_heard = nullptr;
    g_heard = &heard;
    oxReactionRunner previous = oxGetReactionRunner();
    oxSetReactionRunner([](oxBox* box, const oxQualifiedName&, oxEvent*) { g_heard->push_back(box); });
    oxBox* made = scene->CreateBox(kAtomBoxNamespace, Atom(u"card"));
    ASSERT_NE(made, nullptr);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0]->GetOwner(), made) << "its part first";
    EXPECT_EQ(heard[1], made);
    oxSetReactionRunner(previous);

    // Destroying the box frees its instance (the sanitizer build checks nothing is left).
    made->GetGadget()->EnsureScriptObject(made);
    EXPECT_NE(oxGadgetInstance::For(made), nullptr);
    scene->DestroyBox(made);
    EXPECT_EQ(oxGadgetInstance::For(made), nullptr);
}

// Transformers and validators named "gadget:" run in the instance of the binding's own gadget box,
// over the value as the Shell's current data.
TEST_F(GadgetScriptTest, GadgetTransformersRunInTheirOwnGadgetsInstance) {
    WriteFile("tag.js", R"J(
function component(box) { this.box = box; }
component.prototype.shout = function () { return shell.currentData.toUpperCase() + "/" + this.box.getAttribute("label"); };
component.prototype.quiet = function () { return shell.currentData.toLowerCase(); };
component.prototype.letters = function () { return /^[a-z]+$/i.test(shell.currentData); };
)J");
    oxScene* scene = OpenMarkup("tags.box", R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:gadget id="tag" script="tag.js">
      <parts>
        <box id="entry" label="abc"/>
        <box id="shown"><binding elementSource="gadget:entry" path="label" targetProperty="title"
            sourceTransformer="gadget:shout()" targetTransformer="gadget:quiet()"/></box>
        <box id="checked"><binding elementSource="gadget:entry" path="label" targetProperty="value"
            validator="gadget:letters()"/></box>
        <box id="plain"><binding elementSource="gadget:entry" path="label" targetProperty="title"
            sourceTransformer="toolkit:shout()"/></box>
      </parts>
    </r:gadget>
  </r:library>
  <tag id="one" label="One"/>
  <tag id="two" label="Two"/>
</vbox>)M");
    ASSERT_NE(scene, nullptr);
    scene->ConnectPendingBindings();
    auto part = [&](const WCHAR* gadget, const WCHAR* id) { return Box(scene, gadget)->GetPartById(Atom(id)); };
    for (const WCHAR* gadget : {u"one", u"two"}) ASSERT_TRUE(part(gadget, u"shown") && part(gadget, u"entry"));
    EXPECT_EQ(Text(part(u"one", u"shown"), u"title"), "ABC/One") << ::testing::PrintToString(listener->calls);
    EXPECT_EQ(Text(part(u"two", u"shown"), u"title"), "ABC/Two") << "each box's own instance";
    // "toolkit:" names a script no scene has: the value passes unchanged.
    EXPECT_EQ(Text(part(u"one", u"plain"), u"title"), "abc");

    part(u"one", u"shown")->SetAttribute(Atom(u"title"), u"XyZ", true, false);
    EXPECT_EQ(Text(part(u"one", u"entry"), u"label"), "xyz") << "back through the target transformer";
    EXPECT_EQ(Text(part(u"two", u"entry"), u"label"), "abc");

    oxBox* checked = part(u"two", u"checked");
    checked->SetAttribute(Atom(u"value"), u"def", true, false);
    EXPECT_EQ(Text(part(u"two", u"entry"), u"label"), "def");
    EXPECT_EQ(Text(checked, u"invalidData"), "false");
    checked->SetAttribute(Atom(u"value"), u"d3f", true, false);
    EXPECT_EQ(Text(part(u"two", u"entry"), u"label"), "def") << "the validator refused it";
    EXPECT_EQ(Text(checked, u"invalidData"), "true");
}

} // namespace
