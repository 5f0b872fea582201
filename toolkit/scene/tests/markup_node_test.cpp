// Recorded markup: the content of a scene recorded by the markup loader into nodes and replayed
// onto an empty scene builds the same tree as loading it directly; styleProps and property
// children set their parent's attributes whether read directly or replayed.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <string>

#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/markup_node.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_dump.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/markup/markup_loader.h"
#include "toolkit/scene/tests/scene_test_support.h"

namespace {

using toolkit_test::Utf8;

const char* kHead = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:s="http://www.kestrum.com/weftly/style.xsd"
      xmlns:x="http://www.kestrum.com/weftly/reaction.xsd" id="root">)M";

const char* kContent = R"M(
  <hbox id="bar" title="Hello" s:fill="#ff0000" x:click="onBar" hidden="true">
    <box id="first" flex="1"><styleProps fill="#00ff00" width="12" unknown="x"/></box>
    <box id="second"><property name="label" value="Two"/><property name="empty" value=""/></box>
    <vbox><box/><box id="deep" disabled="true"/></vbox>
  </hbox>
  <box id="last"/>
)M";

NUBO::RefPtr<NUBO::XStream> TextStream(const std::string& text) {
    NUBO::XStream* raw = nullptr;
    EXPECT_EQ(NUBO::XStream::Create(&raw), 0);
    NUBO::RefPtr<NUBO::XStream> stream(raw);
    uint32_t written = 0;
    EXPECT_EQ(stream->Write(text.data(), uint32_t(text.size()), &written), 0);
    EXPECT_EQ(stream->Seek(0, 0), 0);
    return stream;
}

class MarkupNodeTest : public scene_test::SceneFixture {
protected:
    static std::string Dump(oxScene* scene) {
        NUBO::TWString out;
        oxDumpBoxTree(scene->GetRootBox(), out, kDumpStyle);
        return Utf8(out.GetString());
    }
};

TEST_F(MarkupNodeTest, ReplayedContentBuildsTheTreeThatLoadingBuilds) {
    oxScene* direct = OpenMarkup("direct.box", std::string(kHead) + kContent + "</vbox>");
    ASSERT_NE(direct, nullptr);

    // Record the whole document into nodes.
    oxMarkupNode recorded(0, 0);
    oxMarkupLoader loader;
    auto stream = TextStream(std::string(kHead) + kContent + "</vbox>");
    oxElement* root = loader.Load(u"recorded.box", stream.get(), &recorded);
    ASSERT_NE(root, nullptr);
    ASSERT_FALSE(loader.IsFailed());
    const oxMarkupNode* rootNode = recorded.GetFirstChild();
    ASSERT_NE(rootNode, nullptr);
    EXPECT_EQ(rootNode->GetTag(), oxAtoms::Intern(u"vbox"));
    EXPECT_EQ(Utf8(rootNode->GetFirstChild()->FindAttribute(oxAtoms::Intern(u"title"))), "Hello");

    oxScene* replayed = OpenMarkup("replayed.box", std::string(kHead) + "</vbox>");
    ASSERT_NE(replayed, nullptr);
    for (const oxMarkupNode* node = rootNode->GetFirstChild(); node; node = node->GetNextSibling())
        oxMarkupNode::Instantiate(node, replayed->GetRootBox(), true);
    replayed->GetRootBox()->RestyleTree();

    const std::string expected = Dump(direct);
    EXPECT_EQ(Dump(replayed), expected);
    // What styleProps and property did, seen in the dump.
    EXPECT_NE(expected.find("label=\"Two\""), std::string::npos) << expected;
    EXPECT_EQ(expected.find("empty="), std::string::npos) << expected;
    EXPECT_NE(expected.find("width=12"), std::string::npos) << expected;
}

TEST_F(MarkupNodeTest, PartAndInstanceNodesReplayAsTheBoxTheirGidNames) {
    oxScene* scene = OpenMarkup("host.box", std::string(kHead) + "</vbox>");
    ASSERT_NE(scene, nullptr);
    oxMarkupNode holder(0, 0);
    oxElement* made = nullptr;
    ASSERT_EQ(holder.CreateChildElement(kAtomBoxNamespace, kAtomPart, &made), 0);
    made->SetMarkupAttribute(0, kAtomGid, u"hbox");
    made->SetMarkupAttribute(0, kAtomId, u"fromPart");
    oxElement* nameless = nullptr;
    ASSERT_EQ(holder.CreateChildElement(kAtomBoxNamespace, kAtomInstance, &nameless), 0);
    for (const oxMarkupNode* node = holder.GetFirstChild(); node; node = node->GetNextSibling())
        oxMarkupNode::Instantiate(node, scene->GetRootBox(), true);
    oxBox* box = scene->GetBoxById(oxAtoms::Intern(u"fromPart"), false);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->GetTag(), oxAtoms::Intern(u"hbox"));
    EXPECT_EQ(scene->GetRootBox()->GetChildCount(), 1) << "an instance without gid makes nothing";
}

TEST_F(MarkupNodeTest, DeepAndLongRecordingsAreReplayedAndFreedWithinBounds) {
    oxMarkupNode holder(0, 0);
    oxElement* at = &holder;
    for (int i = 0; i < 2 * oxMarkupNode::kMaxReplayDepth; ++i) {
        oxElement* child = nullptr;
        ASSERT_EQ(at->CreateChildElement(kAtomBoxNamespace, oxAtoms::Intern(u"box"), &child), 0);
        at = child;
    }
    for (int i = 0; i < 100000; ++i) {
        oxElement* sibling = nullptr;
        ASSERT_EQ(holder.CreateChildElement(kAtomBoxNamespace, oxAtoms::Intern(u"other"), &sibling), 0);
    }
    oxScene* scene = OpenMarkup("deep.box", std::string(kHead) + "</vbox>");
    ASSERT_NE(scene, nullptr);
    oxMarkupNode::Instantiate(holder.GetFirstChild(), scene->GetRootBox(), true);
    int depth = 0;
    for (oxBox* b = scene->GetRootBox()->GetFirstChild(false); b; b = b->GetFirstChild(false))
        ++depth;
    // The replay stops at its own bound, and the tree refuses boxes below its depth limit.
    EXPECT_EQ(depth, std::min(oxMarkupNode::kMaxReplayDepth, oxBox::kMaxDepth - 1));
}

TEST_F(MarkupNodeTest, InstanceTagsMakeTheBoxesTheirGidNames) {
    const std::string head = R"M(<?xml version="1.0" encoding="utf-8"?>
)M";
    oxScene* direct =
        OpenMarkup("plain.box", head + R"M(<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" id="root" title="T">
  <hbox id="row" hidden="true"><box id="inner"/></hbox><box id="x"/></vbox>)M");
    oxScene* viaInstances =
        OpenMarkup("instances.box",
                   head + R"M(<instance xmlns="http://www.kestrum.com/weftly/box.xsd" gid="vbox" id="root" title="T">
  <instance gid="hbox" id="row" hidden="true" notAnAttribute="x"><box id="inner"/></instance>
  <instance gid="noSuchTag" id="lost"><box id="refused"/></instance>
  <instance/>
  <box id="x"/></instance>)M");
    ASSERT_TRUE(direct && viaInstances);
    EXPECT_EQ(Dump(viaInstances), Dump(direct));
    EXPECT_EQ(viaInstances->GetBoxById(oxAtoms::Intern(u"refused"), false), nullptr);
}

} // namespace

namespace {

class CollapsedContentTest : public MarkupNodeTest {};

const char* kCollapsedBody = R"M(
  <vbox id="folder" collapsed="true">
    <box id="first"><box id="deep" title="D"/></box>
    <hbox id="second"/>
  </vbox>
  <box id="after"/>
</vbox>)M";

TEST_F(CollapsedContentTest, ACollapsedBoxBuildsItsMarkupWhenFirstExpanded) {
    // The ways a collapsed box is asked for its content.
    struct Case {
        const char* name;
        std::function<void(oxScene*)> expand;
    } cases[] = {
        {"expanding it",
         [](oxScene* s) { s->GetBoxById(oxAtoms::Intern(u"folder"), false)->SetCollapsed(false, true); }},
        {"its child asked with expand",
         [](oxScene* s) { s->GetBoxById(oxAtoms::Intern(u"folder"), false)->GetFirstChild(true); }},
        {"an id inside it looked up",
         [](oxScene* s) { EXPECT_NE(s->GetBoxById(oxAtoms::Intern(u"deep"), false), nullptr); }},
    };
    oxScene* open = OpenMarkup(
        "open.box",
        std::string(kHead) +
            std::string(kCollapsedBody).replace(std::string(kCollapsedBody).find(" collapsed=\"true\""), 17, ""));
    ASSERT_NE(open, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        oxScene* scene = OpenMarkup("collapsed.box", std::string(kHead) + kCollapsedBody);
        ASSERT_NE(scene, nullptr);
        oxBox* holder = scene->GetBoxById(oxAtoms::Intern(u"folder"), false);
        ASSERT_NE(holder, nullptr);
        // Only the placeholder stands in the tree until then.
        ASSERT_EQ(holder->GetChildCount(), 1);
        EXPECT_EQ(holder->GetChildAt(0, false)->GetBoxType(), kAtomCollapsedContainer);
        EXPECT_TRUE(holder->GetStateFlags() & kStateContentPending);
        EXPECT_NE(scene->GetBoxById(oxAtoms::Intern(u"after"), false), nullptr);
        EXPECT_TRUE(holder->GetStateFlags() & kStateContentPending) << "an id outside it leaves it unbuilt";

        c.expand(scene);
        EXPECT_FALSE(holder->GetStateFlags() & kStateContentPending);
        ASSERT_EQ(holder->GetChildCount(), 2);
        holder->SetCollapsed(false, true);
        scene->GetRootBox()->RestyleTree();
        open->GetRootBox()->RestyleTree();
        EXPECT_EQ(Dump(scene), Dump(open));
        scene->Close(true);
    }
}

TEST_F(CollapsedContentTest, ASceneClosedWithContentStillPendingFreesIt) {
    oxScene* scene = OpenMarkup("pending.box", std::string(kHead) + kCollapsedBody);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->GetBoxById(oxAtoms::Intern(u"folder"), false)->GetChildCount(), 1);
    scene->Close(true); // the sanitizer build sees the recorded nodes go
}

} // namespace
