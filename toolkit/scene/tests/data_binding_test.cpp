// Data bindings driven through real scenes: element and object sources, bind and update methods,
// transformers and validators running in the scene's script, style properties, and the guards
// against echoes and cycles.
#include <gtest/gtest.h>

#include "runtime/ref_ptr.h"
#include "toolkit/binding/binding_element.h"
#include "toolkit/binding/script_registry.h"
#include "toolkit/core/box_binding.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/tests/binding_test_support.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/style/style_tables.h"

using namespace toolkit_test;

namespace {

oxBindingElement* BindingOf(oxBox* box, int index = 0) {
    return box ? static_cast<oxBindingElement*>(box->GetDataBindingAt(index)) : nullptr;
}

TEST_F(BindingTest, ElementSourcesFollowTheirBindMethodAndUpdateMethod) {
    struct Case {
        const char* attributes;
        const char* afterSourceChange; // the target after the source changed
        const char* sourceAfterTargetChange;
    };
    const Case cases[] = {
        {"", "two", "back"},                      // two-way
        {"method=\"oneWay\"", "two", "two"},      // the way back is shut
        {"method=\"oneTime\"", "two", "two"},     // only "twoWay" opens the way back
        {"update=\"onDemand\"", "(none)", "two"}, // nothing moves until asked
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        ASSERT_TRUE(Open("<box id=\"src\" label=\"one\"/>\n"
                         "<box id=\"dst\"><binding elementSource=\"src\" path=\"label\" targetProperty=\"title\" " +
                         std::string(c.attributes) + "/></box>\n"));
        if (std::string(c.attributes).find("onDemand") == std::string::npos) {
            EXPECT_EQ(Attr("dst", "title"), "one") << "the first connection pushes the source's value";
        }
        Set("src", "label", "two");
        EXPECT_EQ(Attr("dst", "title"), c.afterSourceChange);
        Set("dst", "title", "back");
        EXPECT_EQ(Attr("src", "label"), c.sourceAfterTargetChange);
        oxBindingElement* binding = BindingOf(Box("dst"));
        ASSERT_NE(binding, nullptr);
        EXPECT_FALSE(binding->IsUpdating()) << "the echo guard is down again";
        scene->Close(true);
    }
}

TEST_F(BindingTest, OnDemandBindingsMoveOnlyWhenAsked) {
    ASSERT_TRUE(Open("<box id=\"src\" label=\"one\"/>\n"
                     "<box id=\"dst\"><binding elementSource=\"src\" path=\"label\" targetProperty=\"title\" "
                     "update=\"onDemand\"/></box>\n"));
    oxBindingElement* binding = BindingOf(Box("dst"));
    ASSERT_TRUE(binding && binding->IsConnected());
    EXPECT_EQ(Attr("dst", "title"), "(none)");
    binding->Transfer(Box("dst"), 0, true);
    EXPECT_EQ(Attr("dst", "title"), "one");
}

TEST_F(BindingTest, AStylePropertyIsBoundWithADollarAndKeepsItsUnitBothWays) {
    ASSERT_TRUE(
        Open("<box id=\"src\" label=\"40px\"/>\n"
             "<box id=\"dst\"><binding elementSource=\"src\" path=\"label\" targetProperty=\"$width\"/></box>\n"));
    oxBindingElement* binding = BindingOf(Box("dst"));
    ASSERT_NE(binding, nullptr);
    EXPECT_EQ(Utf8(binding->GetTargetProperty()), "$width");
    EXPECT_EQ(binding->GetTargetStyleId(), kStyle_width);
    WCHAR* text = GetBoundStyleText(Box("dst"), kStyle_width);
    EXPECT_EQ(Utf8(text), "40px");
    free(text);
    // The way back writes "55px", not the unit-less number the value's own text form gives.
    Box("dst")->SetStylePropertyText(kStyle_width, u"55px", 0);
    EXPECT_EQ(Attr("src", "label"), "55px");

    binding->SetTargetProperty(u"$noSuchProperty");
    EXPECT_EQ(binding->GetTargetStyleId(), -1);
}

TEST_F(BindingTest, ACycleBetweenTwoBoxesSettles) {
    ASSERT_TRUE(Open(
        "<box id=\"a\" label=\"start\"><binding elementSource=\"b\" path=\"label\" targetProperty=\"label\"/></box>\n"
        "<box id=\"b\" label=\"other\"><binding elementSource=\"a\" path=\"label\" "
        "targetProperty=\"label\"/></box>\n"));
    Set("a", "label", "x");
    EXPECT_EQ(Attr("b", "label"), "x");
    EXPECT_EQ(Attr("a", "label"), "x");
}

TEST_F(BindingTest, BindingsWaitingForTheirSourceConnectOnceTheSceneLaysOut) {
    // The source comes after the binding in the document: the binding waits for the first layout.
    ASSERT_TRUE(Open("<box id=\"dst\"><binding elementSource=\"late\" path=\"label\" targetProperty=\"title\"/></box>\n"
                     "<box id=\"late\" label=\"here\"/>\n"));
    EXPECT_EQ(Attr("dst", "title"), "here");
    EXPECT_EQ(scene->GetPendingBindingCount(), 0u);
    EXPECT_TRUE(BindingOf(Box("dst"))->IsConnected());
}

TEST_F(BindingTest, ChangingTheTargetIdMovesAConnectedBinding) {
    ASSERT_TRUE(Open("<box id=\"src\" label=\"v\"/><box id=\"t1\"/><box id=\"t2\"/>\n"
                     "<box id=\"holder\"><binding elementSource=\"src\" path=\"label\" target=\"t1\" "
                     "targetProperty=\"title\"/></box>\n"));
    oxBindingElement* binding = BindingOf(Box("holder"));
    ASSERT_TRUE(binding && binding->IsConnected());
    EXPECT_EQ(Attr("t1", "title"), "v");
    binding->SetTargetId(u"t2");
    Set("src", "label", "w");
    EXPECT_EQ(Attr("t2", "title"), "w");
    EXPECT_EQ(Attr("t1", "title"), "v") << "the old target hears nothing more";
}

// The scene script's functions run over the Shell's current data.
const char* kTransformers = "function upper() { return shell.currentData.toUpperCase(); }\n"
                            "function lower() { return shell.currentData.toLowerCase(); }\n"
                            "function digits() { return /^[0-9]+$/.test(shell.currentData); }\n"
                            "function broken() {\n"
                            "  throw new Error('no transform');\n"
                            "}\n";

TEST_F(BindingTest, TransformersRunEachWayAndAValidatorKeepsTheSource) {
    ASSERT_TRUE(Open("<box id=\"src\" label=\"abc\"/>\n"
                     "<box id=\"dst\"><binding elementSource=\"src\" path=\"label\" targetProperty=\"title\" "
                     "sourceTransformer=\"upper()\" targetTransformer=\"lower()\"/></box>\n"
                     "<box id=\"num\" label=\"12\"/>\n"
                     "<box id=\"checked\"><binding elementSource=\"num\" path=\"label\" targetProperty=\"title\" "
                     "validator=\"digits()\"/></box>\n",
                     kTransformers));
    EXPECT_EQ(Attr("dst", "title"), "ABC") << "source to target through the source transformer";
    Set("dst", "title", "XYZ");
    EXPECT_EQ(Attr("src", "label"), "xyz") << "target to source through the target transformer";

    EXPECT_EQ(Attr("checked", "title"), "12");
    Set("checked", "title", "34");
    EXPECT_EQ(Attr("num", "label"), "34");
    EXPECT_EQ(Attr("checked", "invalidData"), "false");
    Set("checked", "title", "3x");
    EXPECT_EQ(Attr("num", "label"), "34") << "a refused value stays out of the source";
    EXPECT_EQ(Attr("checked", "invalidData"), "true");
}

TEST_F(BindingTest, AThrowingTransformerIsReportedAndTransfersNothing) {
    ASSERT_TRUE(
        Open("<box id=\"src\" label=\"abc\"/>\n"
             "<box id=\"dst\" title=\"kept\"><binding elementSource=\"src\" path=\"label\" targetProperty=\"title\" "
             "sourceTransformer=\"broken()\"/></box>\n",
             kTransformers));
    EXPECT_EQ(Attr("dst", "title"), "kept");
    std::string file = Utf8(WriteFile("bound.js", kTransformers).c_str());
    bool reported = false;
    for (const std::string& call : listener->calls)
        reported = reported || call == "onSceneLoadingError(" + file + ", 5, 0, no transform)";
    EXPECT_TRUE(reported) << (listener->calls.empty() ? "" : listener->calls.back());
    listener->calls.clear();
    Set("src", "label", "def");
    EXPECT_EQ(Attr("dst", "title"), "kept");
    EXPECT_FALSE(listener->calls.empty());
}

TEST_F(BindingTest, ATransformerWithoutAScriptPassesTheValueUnchanged) {
    ASSERT_TRUE(Open("<box id=\"src\" label=\"abc\"/>\n"
                     "<box id=\"dst\"><binding elementSource=\"src\" path=\"label\" targetProperty=\"title\" "
                     "sourceTransformer=\"nosuch:upper()\"/></box>\n"));
    EXPECT_EQ(Attr("dst", "title"), "abc");
}

TEST_F(BindingTest, ObjectSourcesAreFoundByNameTheBoxsOwnFirst) {
    ASSERT_TRUE(
        Open("<box id=\"dst\"><binding objectSource=\"person\" path=\"name\" targetProperty=\"title\"/></box>\n"));
    EXPECT_EQ(Attr("dst", "title"), "(none)") << "nothing is named yet";
    NUBO::RefPtr<NUBO::XObject> sceneWide(Row({{"name", "scene"}}));
    Publish("person", sceneWide.get());
    EXPECT_EQ(Attr("dst", "title"), "scene") << "publishing connects the waiting binding";

    // Writing back goes into the object's property.
    Set("dst", "title", "edited");
    NUBO::XVariant name;
    sceneWide->GetPropertyByName(u"name", &name);
    EXPECT_EQ(Utf8(name.ToString().GetString()), "edited");

    // Replacing the object lets the binding go of the old source; the new one is found by name.
    NUBO::RefPtr<NUBO::XObject> other(Row({{"name", "second"}}));
    Publish("person", other.get());
    oxBindingElement* binding = BindingOf(Box("dst"));
    EXPECT_EQ(binding->GetSourceObject(), other.get());

    // A source registered on the binding's own box comes before the scene's of the same name.
    oxScriptObjectCache* cache = runtime()->GetScriptObjectCache();
    NUBO::XObject* raw = nullptr;
    ASSERT_TRUE(cache->GetBoxObject(Box("dst"), &raw));
    NUBO::RefPtr<NUBO::XObject> boxObject(raw);
    NUBO::RefPtr<NUBO::XObject> own(Row({{"name", "box's own"}}));
    NUBO::XVariant ownValue(own.get());
    boxObject->SetPropertyByName(u"person", &ownValue);
    binding->SetSourceId(u"person", true);
    EXPECT_EQ(binding->GetSourceObject(), own.get());
    binding->Disconnect();
    binding->Connect(true);
    EXPECT_EQ(Attr("dst", "title"), "box's own");

    // After the last scene closes every source has let go of its object.
    scene->Close(true);
    EXPECT_EQ(runtime()->GetScriptRegistry()->GetCount(), 0u);
    EXPECT_EQ(sceneWide->GetRefCount(), 1u);
    EXPECT_EQ(other->GetRefCount(), 1u);
}

// Storing nothing under a name drops the source registered under it, and its bindings wait for the
// next object stored under that name; storing a plain value leaves the source as it is.
TEST_F(BindingTest, ANamedSourceIsDroppedByStoringNothingUnderItsName) {
    ASSERT_TRUE(
        Open("<box id=\"dst\"><binding objectSource=\"person\" path=\"name\" targetProperty=\"title\"/></box>\n"));
    oxScriptRegistry* registry = runtime()->GetScriptRegistry();
    NUBO::RefPtr<NUBO::XObject> first(Row({{"name", "first"}}));
    Publish("person", first.get());
    oxBindingElement* binding = BindingOf(Box("dst"));
    ASSERT_TRUE(binding->IsConnected());
    ASSERT_EQ(registry->GetCount(), 1u);

    NUBO::XVariant number(7);
    scene->GetSceneObject()->SetPropertyByName(u"other", &number);
    EXPECT_EQ(registry->GetCount(), 1u) << "a number is no source";

    NUBO::XVariant null;
    null.vt = VT_NULL;
    for (const NUBO::XVariant& nothing : {NUBO::XVariant(), null}) {
        scene->GetSceneObject()->SetPropertyByName(u"person", &nothing);
        EXPECT_EQ(registry->GetCount(), 0u);
        EXPECT_FALSE(binding->IsConnected());
        EXPECT_EQ(first->GetRefCount(), 1u) << "the dropped source let go of its object";
        NUBO::RefPtr<NUBO::XObject> next(Row({{"name", "next"}}));
        Publish("person", next.get());
        EXPECT_TRUE(binding->IsConnected()) << "the waiting binding takes the next object of the name";
        EXPECT_EQ(Attr("dst", "title"), "next");
        Publish("person", first.get());
        EXPECT_EQ(Attr("dst", "title"), "first");
    }
}

TEST_F(BindingTest, BindingsCopyWithTheirBoxAndGoWithIt) {
    ASSERT_TRUE(
        Open("<box id=\"src\" label=\"one\"/>\n"
             "<box id=\"dst\"><binding elementSource=\"src\" path=\"label\" targetProperty=\"title\"/></box>\n"));
    oxBox* copy = Box("dst")->Duplicate(true, false);
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->GetDataBindingCount(), 1);
    Box("dst")->GetParent()->AddChild(copy, nullptr, false);
    Set("src", "label", "two");
    EXPECT_EQ(Utf8(copy->GetAttribute(oxAtoms::Intern(u"title"))), "two");
    // Destroying the copy unbinds it: the source no longer reaches it.
    oxBox* parent = copy->GetParent();
    scene->DestroyBox(parent->RemoveChild(copy, false));
    Set("src", "label", "three");
    EXPECT_EQ(Attr("dst", "title"), "three");
}

} // namespace
