// Gadget elements in scene markup: their recorded parts, content placeholder, named values and
// groups instantiated on every box of their tag, inheritance between gadgets, and hostile gadgets.
#include <gtest/gtest.h>

#include <string>

#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_dump.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/box_reactions.h"
#include "toolkit/library/behavior_resource.h"
#include "toolkit/library/gadget_element.h"
#include "toolkit/scene/command_group.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/tests/scene_test_support.h"

namespace {

using toolkit_test::Utf8;

const char* kHead = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
)M";

const char* kGadgets = R"M(
  <r:library>
    <r:gadget id="card">
      <attributes tone="plain" kind="card"/>
      <parts>
        <box id="head"><box id="icon"/></box>
        <content/>
        <box id="foot"/>
      </parts>
      <commandGroup id="cardCommands"><command id="open" action="gadget:open"/></commandGroup>
      <behavior><reaction event="click" action="first"/></behavior>
      <behavior><reaction event="click" action="second"/></behavior>
    </r:gadget>
    <r:gadget id="fancyCard" inherits="card">
      <attributes tone="fancy"/>
    </r:gadget>
    <r:gadget id="deepSlot">
      <parts><box id="outer"><box id="a"/><part gid="content"/><box id="b"/></box></parts>
    </r:gadget>
  </r:library>
)M";

class GadgetElementTest : public scene_test::SceneFixture {
protected:
    oxScene* Open(const std::string& body) {
        return OpenMarkup("gadgets.box", std::string(kHead) + kGadgets + body + "</vbox>");
    }
    static oxAtom Atom(const WCHAR* text) { return oxAtoms::Intern(text); }
    static oxBox* Box(oxScene* scene, const WCHAR* id) { return scene->GetBoxById(Atom(id), false); }
    static std::string Dump(oxBox* box) {
        NUBO::TWString out;
        oxDumpBoxTree(box, out);
        return Utf8(out.GetString());
    }
    static oxGadgetElement* Gadget(oxScene* scene, const WCHAR* tag) {
        return dynamic_cast<oxGadgetElement*>(scene->FindGadgetByTag(Atom(tag)));
    }
    static std::string Text(oxBox* box, const WCHAR* attribute) {
        const WCHAR* text = box ? box->GetAttributeText(Atom(attribute)) : nullptr;
        return text ? Utf8(text) : "<none>";
    }
};

TEST_F(GadgetElementTest, EveryBoxOfTheTagGetsThePartsAndItsContentGoesWhereThePlaceholderStood) {
    oxScene* scene = Open(R"M(
  <card id="one"><box id="inside"/><box id="inside2"/></card>
  <card id="two"/>
  <vbox id="written">
    <box id="head"><box id="icon"/></box>
    <box id="inside"/><box id="inside2"/>
    <box id="foot"/>
  </vbox>
)M");
    ASSERT_NE(scene, nullptr);
    oxGadgetElement* card = Gadget(scene, u"card");
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->GetContentPath(), std::vector<int>{1});
    oxBox* one = Box(scene, u"one");
    oxBox* two = Box(scene, u"two");
    ASSERT_TRUE(one && two);

    // The same boxes in the same places as the tree written out, apart from the tags and owners.
    std::string dump = Dump(one);
    std::string written = Dump(Box(scene, u"written"));
    for (std::string* text : {&dump, &written}) {
        for (const char* name : {"card", "vbox"})
            for (size_t at; (at = text->find(name)) != std::string::npos;)
                text->replace(at, std::string(name).size(), "TAG");
    }
    EXPECT_EQ(dump.substr(dump.find('\n')), written.substr(written.find('\n')));

    // Parts belong to their gadget box and are not found by id; content children are the box's.
    oxBox* head = one->GetChildAt(0, false);
    EXPECT_EQ(head->GetOwner(), one);
    EXPECT_EQ(one->GetChildAt(1, false)->GetOwner(), nullptr);
    EXPECT_EQ(one->GetContentChildCount(), 2);
    EXPECT_EQ(one->GetContentChildAt(0), Box(scene, u"inside"));
    EXPECT_EQ(two->GetChildCount(), 2);
    EXPECT_EQ(two->GetContentChildCount(), 0);
    EXPECT_NE(two->GetChildAt(0, false), head) << "each box has parts of its own";

    // Named values, and a fresh command group with fresh commands for each box.
    EXPECT_EQ(Text(one, u"tone"), "plain");
    EXPECT_EQ(Text(two, u"kind"), "card");
    const auto* groupsOne = scene->GroupsOf(one);
    const auto* groupsTwo = scene->GroupsOf(two);
    ASSERT_TRUE(groupsOne && groupsTwo);
    ASSERT_EQ(groupsOne->size(), 1u);
    ASSERT_EQ(groupsTwo->size(), 1u);
    auto* groupOne = dynamic_cast<oxCommandGroupElement*>((*groupsOne)[0]);
    auto* groupTwo = dynamic_cast<oxCommandGroupElement*>((*groupsTwo)[0]);
    ASSERT_TRUE(groupOne && groupTwo);
    EXPECT_NE(groupOne, groupTwo);
    EXPECT_TRUE(groupOne->IsGadgetGroup());
    EXPECT_EQ(groupOne->GetId(), Atom(u"cardCommands"));
    ASSERT_NE(groupOne->FindCommand(Atom(u"open")), nullptr);
    EXPECT_NE(groupOne->FindCommand(Atom(u"open")), groupTwo->FindCommand(Atom(u"open")));

    // A second behaviour replaced the first.
    ASSERT_NE(card->GetBehavior(), nullptr);
    ASSERT_EQ(card->GetBehavior()->GetReactionCount(), 1);
    EXPECT_EQ(Utf8(card->GetBehavior()->GetReactionAt(0)->GetAction().GetText()), "second");
}

TEST_F(GadgetElementTest, AGadgetWithoutPartsBuildsTheContentItInheritsAndItsOwnValuesWin) {
    oxScene* scene = Open(R"M(<fancyCard id="fancy"><box id="inside"/></fancyCard>)M");
    ASSERT_NE(scene, nullptr);
    oxBox* fancy = Box(scene, u"fancy");
    ASSERT_NE(fancy, nullptr);
    EXPECT_EQ(fancy->GetChildCount(), 3);
    EXPECT_EQ(fancy->GetContentChildCount(), 1);
    EXPECT_EQ(fancy->GetChildAt(1, false), Box(scene, u"inside"));
    EXPECT_EQ(Text(fancy, u"tone"), "fancy");
    EXPECT_EQ(Text(fancy, u"kind"), "card");
    EXPECT_EQ(Gadget(scene, u"fancyCard")->GetContentPath(), std::vector<int>{1});
}

TEST_F(GadgetElementTest, APlaceholderBelowAPartTakesContentIntoThatPart) {
    oxScene* scene = Open(R"M(<deepSlot id="slot"><box id="inside"/></deepSlot>)M");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(Gadget(scene, u"deepSlot")->GetContentPath(), (std::vector<int>{0, 1}));
    oxBox* slot = Box(scene, u"slot");
    oxBox* outer = slot->GetChildAt(0, false);
    ASSERT_EQ(outer->GetChildCount(), 3);
    EXPECT_EQ(outer->GetChildAt(1, false), Box(scene, u"inside"));
    EXPECT_EQ(slot->GetContentPart(), outer);
}

TEST_F(GadgetElementTest, AScrollbarGadgetMakesTheScrollBarsOfTheScene) {
    const char* markup = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:gadget id="scrollbar"><parts><box id="thumb" inherits="value"/></parts></r:gadget>
  </r:library>
  <box id="list"/>
</vbox>)M";
    oxScene* scene = OpenMarkup("bars.box", markup);
    ASSERT_NE(scene, nullptr);
    oxBox* bar = Box(scene, u"list")->CreateScrollbar(true);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetTag(), kAtomScrollbar);
    EXPECT_EQ(bar->GetGadgetElement(), Gadget(scene, u"scrollbar"));
    ASSERT_EQ(bar->GetChildCount(), 1);
    EXPECT_EQ(Text(bar, u"axis"), "y");
    bar->SetAttribute(Atom(u"value"), u"7", true, false);
    EXPECT_EQ(Text(bar->GetChildAt(0, false), u"value"), "7") << "the thumb follows the bar's value";
}

TEST_F(GadgetElementTest, WithTheToolkitSettingsOffTheGadgetsLibraryIsNotImported) {
    WriteBoxFile("weftlyToolkit/content/gadgets.box",
                 R"M(<library xmlns="http://www.kestrum.com/weftly/resource.xsd"><gadget id="stray"/></library>)M");
    oxScene* scene = Open(R"M(<box id="plain"/>)M");
    ASSERT_NE(scene, nullptr);
    const oxGadgetSettings& settings = runtime()->GetGadgetSettings();
    EXPECT_FALSE(settings.importGadgets || settings.scriptTimes || settings.debugView || settings.anonContentOff);
    EXPECT_EQ(scene->GetImportCount(), 0);
    EXPECT_EQ(runtime()->FindLibrary(kGadgetsLibraryUri), nullptr);
    EXPECT_EQ(scene->FindGadgetByTag(Atom(u"stray")), nullptr);
}

TEST_F(GadgetElementTest, AfterALibraryIsReplacedBoxesTakeTheGadgetTheirTagNamesNow) {
    auto library = [](const char* tone) {
        return std::string(R"M(<library xmlns="http://www.kestrum.com/weftly/resource.xsd">
  <gadget id="ticket"><attributes tone=")M") +
               tone + R"M("/><parts><box xmlns="http://www.kestrum.com/weftly/box.xsd"/></parts></gadget></library>)M";
    };
    WriteFile("first.box", library("first"));
    std::u16string second = WriteFile("second.box", library("second"));
    oxScene* scene = Open(R"M(<r:library><import xmlns="" href="first.box"/></r:library><ticket id="c"/>)M");
    ASSERT_NE(scene, nullptr);
    oxBox* c = Box(scene, u"c");
    ASSERT_EQ(scene->GetImportCount(), 1);
    oxLibrary* first = scene->GetImportAt(0);
    EXPECT_EQ(c->GetGadgetElement(), first->FindGadgetByTag(Atom(u"ticket")));
    oxLibrary* replaced = runtime()->ReplaceLibrary(first, second.c_str(), scene);
    ASSERT_NE(replaced, nullptr);
    EXPECT_EQ(c->GetGadgetElement(), replaced->FindGadgetByTag(Atom(u"ticket")));
    EXPECT_EQ(c->GetChildCount(), 1) << "its parts stay as they were built";
}

TEST_F(GadgetElementTest, HostileGadgetsAreBoundedAndReported) {
    const char* markup = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:gadget id="selfish"><parts><box id="x"/><selfish/></parts></r:gadget>
    <r:gadget id="ringA" inherits="ringB"/>
    <r:gadget id="ringB" inherits="ringA"/>
    <r:gadget id="odd"><parts><content/><content/><reaction/></parts><attributes/><unknown/></r:gadget>
    <r:gadget id="baseless" base="nonsense"><parts><box/></parts></r:gadget>
    <r:gadget id="placeholder" base="hbox"/>
    <r:gadget id="collapsedContainer"><parts><box/></parts></r:gadget>
  </r:library>
  <baseless id="b"/>
  <placeholder id="p"/>
  <vbox id="folded" collapsed="true"><box id="inside"/></vbox>
  <selfish id="s"/>
  <ringA id="r"/>
  <odd id="o"><box/></odd>
</vbox>)M";
    ::testing::internal::CaptureStderr();
    oxScene* scene = OpenMarkup("hostile.box", markup);
    std::string debugText = ::testing::internal::GetCapturedStderr();
    ASSERT_NE(scene, nullptr);
    // The gadget inside itself stops at the nesting bound, with a report.
    int depth = 0;
    for (oxBox* b = Box(scene, u"s"); b; b = b->GetChildCount() > 1 ? b->GetChildAt(1, false) : nullptr)
        ++depth;
    EXPECT_GT(depth, 1);
    EXPECT_LE(depth, 40);
    EXPECT_NE(debugText.find("Gadgets nested deeper than 32: \"selfish\""), std::string::npos) << debugText;
    // The ring builds nothing; the first placeholder is the one content goes to.
    EXPECT_EQ(Box(scene, u"r")->GetChildCount(), 0);
    EXPECT_EQ(Box(scene, u"o")->GetContentChildCount(), 1);
    // Odd base tags make what the box factory makes of them; a gadget in place of the collapsed
    // placeholder leaves the collapsed box's markup built at once.
    EXPECT_NE(Box(scene, u"p"), nullptr);
    EXPECT_NE(Box(scene, u"inside"), nullptr);
    EXPECT_FALSE(Box(scene, u"folded")->GetStateFlags() & kStateContentPending);
}

} // namespace
