// Scenes with style rules loaded from tests/data/style/*.box, opened and styled, and compared as
// tree dumps with their computed style groups; then state changes, inline values and references.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box_dump.h"
#include "toolkit/core/grid_services.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/markup/markup_loader.h"
#include "toolkit/library/tests/file_runtime.h"
#include "toolkit/markup/tests/markup_test_support.h"
#include "toolkit/scene/tests/style_test_scene.h"
#include "toolkit/markup/tests/temp_resources.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/color.h"
#include "toolkit/style/style_element.h"
#include "toolkit/style/style_parser.h"
#include "toolkit/style/style_tables.h"

using namespace markup_test;

namespace {

class StyleSceneTest : public ::testing::Test {
protected:
    void SetUp() override { oxAtoms::RegisterPredefined(); }

    // Loads a fixture into a new scene and opens it. Imports are read only from the resources
    // folder, so the fixtures are copied there first.
    StyleScene* Load(const std::string& name) {
        for (const auto& entry : std::filesystem::directory_iterator(DataPath("style")))
            resources.Write(entry.path().filename().string(), ReadFile(entry.path().string()));
        uri = resources.DevicePath(name + ".box");
        scene = std::make_unique<StyleScene>(&runtime, uri.c_str());
        EXPECT_TRUE(scene->LoadFile(loader));
        EXPECT_FALSE(loader.IsFailed()) << Utf8(loader.GetErrorText().GetString());
        scene->Open();
        return scene.get();
    }
    oxBox* Box(const WCHAR* id) { return scene->FindBoxById(oxAtoms::Intern(id)); }
    std::string Dump(const oxBox* box) {
        NUBO::TWString text;
        oxDumpBoxTree(box, text, kDumpStyle);
        return Utf8(text.GetString());
    }
    std::string Value(const WCHAR* id, int property) {
        WCHAR* text = Box(id)->GetStyleString(property);
        std::string s = Utf8(text);
        std::free(text);
        return s;
    }
    // The restyle counts of every box, by id.
    std::map<std::string, uint32_t> Restyles() {
        std::map<std::string, uint32_t> counts;
        for (oxBox* b = scene->root; b; b = b->GetNextBox(scene->root, false, false)) {
            WCHAR name[64] = u"?";
            if (b->GetId()) oxAtoms::GetName(b->GetId(), name, 64);
            counts[Utf8(name) + "@" + std::to_string(uintptr_t(b))] = b->GetRestyleCount();
        }
        return counts;
    }

    TempResources resources;
    FileRuntime runtime; // outlives the scene: it holds the imported libraries
    std::u16string uri;
    oxMarkupLoader loader;
    std::unique_ptr<StyleScene> scene;
};

TEST_F(StyleSceneTest, RulesStatesInheritanceAndInlineStyles) {
    Load("rules");
    EXPECT_TRUE(MatchesGolden(Dump(scene->root), "style/rules.txt"));
    EXPECT_TRUE(loader.GetStyleReports().empty());
    // Boxes that match the same rules the same way share one record.
    EXPECT_EQ(Box(u"plain")->GetStyleRecord(), Box(u"secondary")->GetStyleRecord());
    EXPECT_NE(Box(u"plain")->GetStyleRecord(), Box(u"hov")->GetStyleRecord());
    // A group no rule sets does not exist; members of an existing group read their defaults.
    EXPECT_EQ(Box(u"plain")->GetStyleGroup(14), nullptr);
    EXPECT_EQ(Value(u"plain", kStyle_fillRepeat), "none");
    EXPECT_EQ(Value(u"plain", kStyle_top), "auto");
    EXPECT_EQ(Value(u"sel", kStyle_top), "");
    EXPECT_EQ(Value(u"themed", kStyle_fill), "OSTheme(button,push,normal)");
}

TEST_F(StyleSceneTest, StateChangeRestylesExactlyTheBoxesWhoseRulesTestIt) {
    Load("rules");
    struct Case {
        const WCHAR* box;
        oxAtom attribute;
        const WCHAR* value;
        bool restyled;
    } cases[] = {
        {u"plain", kAtomHovered, u"true", true},    // button rules test `hovered`
        {u"sel", kAtomHovered, u"true", false},     // item rules do not
        {u"derived", kAtomPressed, u"true", false}, // nor do text rules
        {u"secondary", oxAtoms::Intern(u"kind"), u"primary", true},
        {u"secondary", oxAtoms::Intern(u"label"), u"x", false},
        {u"sel", kAtomSelected, u"false", true},
        {u"foc", kAtomExpanded, u"true", true},
    };
    for (const Case& c : cases) {
        auto before = Restyles();
        oxBox* box = Box(c.box);
        uint32_t own = box->GetRestyleCount();
        box->SetAttribute(c.attribute, c.value, true, false);
        EXPECT_EQ(box->GetRestyleCount(), own + (c.restyled ? 1 : 0)) << Utf8(c.box);
        // No other box was touched.
        auto after = Restyles();
        int others = 0;
        for (auto& [key, count] : after)
            others += count != before[key] ? 1 : 0;
        EXPECT_EQ(others, c.restyled ? 1 : 0) << Utf8(c.box);
    }
    EXPECT_EQ(Value(u"plain", kStyle_fill), "#ff00ff00");
    EXPECT_EQ(Value(u"secondary", kStyle_strokeWidth), "2");
    // Back to the rules' state: the box shares the record of its unchanged siblings again.
    Box(u"plain")->SetHovered(false, false);
    EXPECT_EQ(Value(u"plain", kStyle_fill), "#ffff0000");
    EXPECT_EQ(Box(u"plain")->GetStyleRecord(), Box(u"inline")->GetParent()->GetChildAt(0, false)->GetStyleRecord());
    // A hovered box that becomes disabled keeps its hover state; disabling a parent disables the
    // rule of the child through the ancestor bit.
    oxBox* under = Box(u"underDisabled");
    EXPECT_EQ(Value(u"underDisabled", kStyle_textColor), "#ff808080");
    under->GetParent()->SetDisabled(false, false);
    under->UpdateStateStyles(kAtomDisabled);
    EXPECT_EQ(Value(u"underDisabled", kStyle_textColor), "#ff000000");
}

TEST_F(StyleSceneTest, InlineValuesOverRulesAndRemovalRebuildsFromRules) {
    Load("rules");
    oxBox* box = Box(u"plain");
    EXPECT_TRUE(box->SetStyle(u"fill", u"navy"));
    EXPECT_EQ(Value(u"plain", kStyle_fill), "#ff000080");
    // Another box with the same rules keeps its own record and value.
    EXPECT_EQ(Value(u"secondary", kStyle_fill), "#ffff0000");
    EXPECT_FALSE(box->SetStyle(u"Fill", u"red")); // names are case-sensitive
    EXPECT_FALSE(box->SetStyle(u"opacity", u"lots"));
    EXPECT_EQ(Value(u"plain", kStyle_opacity), "90");
    box->SetStyleValue(kStyle_opacity, oxStyleValue(40, kStyleNumber), 0);
    // A value written straight into the record (as animations do) is lost with its group when an
    // inline value of that group is removed; the remaining inline values are read again.
    box->GetStyleRecord()->SetProperty(kStyle_blur, oxStyleValue(5, kStyleNumber));
    EXPECT_EQ(Value(u"plain", kStyle_blur), "5");
    box->SetStyleValue(kStyle_colorScaleR, oxStyleValue(50, kStyleNumber), 0);
    box->RemoveStyle(u"colorScaleR");
    EXPECT_EQ(Value(u"plain", kStyle_blur), "");
    EXPECT_EQ(Value(u"plain", kStyle_opacity), "40");
    box->RemoveStyle(u"fill");
    EXPECT_EQ(Value(u"plain", kStyle_fill), "#ffff0000");
    box->SetHovered(true, false);
    EXPECT_EQ(Value(u"plain", kStyle_opacity), "40");
    EXPECT_EQ(Value(u"plain", kStyle_fill), "#ff00ff00");

    box->SetZIndex(3);
    EXPECT_TRUE(box->TestChangeFlags(kChangeLayered));
    EXPECT_EQ(scene->root->GetLayerCount(), 1);
    box->SetStyle(u"position", u"fixed");
    EXPECT_FALSE(box->TestChangeFlags(kChangeFlowed));
    int v = -1, h = -1;
    box->SetTop(5);
    EXPECT_NE(box->GetEdgeAnchoring(&v, &h), nullptr);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(h, -1);
    EXPECT_EQ(box->GetMargins(), (oxRect{2, 1, 2, 3}));
}

TEST_F(StyleSceneTest, ReferencesAreQualifiedByTheLibraryThatDefinesThem) {
    Load("two_libraries");
    EXPECT_TRUE(MatchesGolden(Dump(scene->root), "style/two_libraries.txt"));
    oxLibrary* libA = runtime.FindLibrary(resources.DevicePath("lib_a.box").c_str());
    oxLibrary* libB = runtime.FindLibrary(resources.DevicePath("lib_b.box").c_str());
    ASSERT_TRUE(libA && libB);
    oxAtom accent = oxAtoms::Intern(u"accent");
    struct Case {
        const WCHAR* box;
        oxElement* expected;
    } cases[] = {
        {u"fromA", libA->FindResourceById(accent, 0)},
        {u"fromB", libB->FindResourceById(accent, 0)},
        {u"fromScene", scene->FindResourceById(accent, 0)},
    };
    for (const Case& c : cases) {
        oxStyleValue fill;
        Box(c.box)->GetStyleValue(kStyle_fill, &fill);
        EXPECT_EQ(fill.ResolveResource(scene.get()), c.expected) << Utf8(c.box);
    }
    // Three different resources: the scene's own lookup alone would find its own each time.
    EXPECT_NE(cases[0].expected, cases[1].expected);
    oxStyleValue icon;
    Box(u"fromA")->GetStyleValue(kStyle_icon, &icon);
    EXPECT_EQ(icon.GetValue(), 1); // not found where it stands: kept as written
}

TEST_F(StyleSceneTest, MalformedStyleTextIsReportedAndTheRestIsStyled) {
    Load("malformed");
    const auto& reports = loader.GetStyleReports();
    struct Expected {
        const char* message;
        int line;
        int column;
    } expected[] = {
        {"Invalid value \"abc\" for style property \"opacity\"", 6, 4},
        {"Unknown style property \"bogus\"", 6, 4},
        {"Unknown style property \"colour\"", 8, 2},
        {"Invalid value \"notacolour\" for style property \"fill\"", 9, 2},
        {"Invalid value \"url(#a\" for style property \"fill\"", 10, 2},
        {"Invalid value \"OSTheme(a,b\" for style property \"stroke\"", 10, 2},
    };
    ASSERT_EQ(reports.size(), std::size(expected));
    for (size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(Utf8(reports[i].message.GetString()), expected[i].message);
        EXPECT_EQ(reports[i].line, expected[i].line) << i;
        EXPECT_EQ(reports[i].column, expected[i].column) << i;
        EXPECT_EQ(reports[i].code, kErrorParseOrScript);
        EXPECT_EQ(Utf8(reports[i].source.GetString()), Utf8(uri.c_str()));
    }
    EXPECT_EQ(Utf8(FormatMarkupError(reports[2]).GetString()),
              "Unknown style property \"colour\". File:" + Utf8(uri.c_str()) + ". Line#8 Column#2");
    EXPECT_TRUE(MatchesGolden(Dump(scene->root), "style/malformed.txt"));
}

TEST_F(StyleSceneTest, PartRulesFollowTheirOwner) {
    Load("rules");
    // A gadget-like owner whose rule has a part rule for the id of its part.
    auto* rule = new oxStyleElement(kAtomStyle, scene.get(), nullptr);
    rule->SetMarkupAttribute(0, kAtomTag, u"gadget");
    oxElement* partElement = nullptr;
    ASSERT_EQ(rule->CreateChildElement(0, kAtomPart, &partElement), 0);
    auto* part = static_cast<oxStyleElement*>(partElement);
    part->SetMarkupAttribute(0, kAtomName, u"label");
    part->SetMarkupAttribute(0, oxAtoms::Intern(u"fill"), u"lime");
    oxElement* hovered = nullptr;
    ASSERT_EQ(part->CreateChildElement(0, kAtomHovered, &hovered), 0);
    hovered->SetMarkupAttribute(0, oxAtoms::Intern(u"fill"), u"aqua");
    rule->EndElement();
    scene->AddResource(rule);
    scene->maps.AddStyleRule(rule);

    oxBox* owner = scene->CreateBox(kAtomBoxNamespace, oxAtoms::Intern(u"gadget"));
    oxBox* label = scene->CreateBox(kAtomBoxNamespace, kAtomBox);
    label->SetId(oxAtoms::Intern(u"label"));
    owner->AddChild(label, u"part");
    scene->root->AddChild(owner);
    owner->RestyleTree();
    EXPECT_EQ(label->GetOwner(), owner);
    oxStyleValue fill;
    label->GetStyleValue(kStyle_fill, &fill);
    EXPECT_EQ(fill.GetColor(), 0xFF00FF00u);
    label->SetChangeFlag(kChangeConstructed, true);
    label->SetHovered(true, true);
    label->GetStyleValue(kStyle_fill, &fill);
    EXPECT_EQ(fill.GetColor(), 0xFF00FFFFu);
}

// A solid brush as far as colour references need one.
class TestBrush : public oxElement, public oxColorResource {
public:
    TestBrush(oxAtom tag, const WCHAR* id, uint32_t argb) : oxElement(kAtomResourceNamespace, tag) {
        SetId(oxAtoms::Intern(id));
        color_ = oxStyleValue::Color(argb);
    }
    const oxStyleValue* GetColorValue() const override { return &color_; }

private:
    oxStyleValue color_;
};

// The background that a row animation shows where no row stands is the box's fill as painted: through
// the box's colour transform.
TEST_F(StyleSceneTest, ARowTransitionBackgroundIsTheFillThroughTheColourTransform) {
    Load("rules");
    oxBox* box = Box(u"plain"); // fill #ff0000
    EXPECT_EQ(uint32_t(oxRowTransitionBackground(box)), 0xFFFF0000u);
    EXPECT_TRUE(box->SetStyle(u"colorScaleR", u"0"));
    EXPECT_TRUE(box->SetStyle(u"colorAdd", u"#000040"));
    EXPECT_EQ(uint32_t(oxRowTransitionBackground(box)), 0xFF000040u);
    box->RemoveStyle(u"colorScaleR");
    box->RemoveStyle(u"colorAdd");
    EXPECT_EQ(uint32_t(oxRowTransitionBackground(box)), 0xFFFF0000u);
    EXPECT_EQ(oxRowTransitionBackground(Box(u"derived")), -1) << "no colour fill";
}

// A box moved into a hidden part of another scene takes that scene's rules, not the ones it came with.
TEST_F(StyleSceneTest, ABoxMovedUnderAHiddenBoxOfAnotherSceneIsStyledByThatScene) {
    Load("rules"); // buttons are red there
    const std::u16string otherUri = resources.Write("other.box", R"(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd">
  <r:library><r:style tag="button" fill="#0000ff"/></r:library>
  <box id="shut" hidden="true"><box id="inner"/></box>
</vbox>)");
    oxMarkupLoader otherLoader;
    StyleScene other(&runtime, otherUri.c_str());
    ASSERT_TRUE(other.LoadFile(otherLoader));
    other.Open();
    oxBox* shut = other.FindBoxById(oxAtoms::Intern(u"shut"));
    oxBox* inner = other.FindBoxById(oxAtoms::Intern(u"inner"));
    ASSERT_TRUE(shut && inner);

    oxBox* moved = Box(u"plain");
    EXPECT_EQ(Value(u"plain", kStyle_fill), "#ffff0000");
    inner->AddChild(moved); // the other scene's tree holds it from here
    EXPECT_EQ(moved->GetScene(), &other);
    WCHAR* fill = moved->GetStyleString(kStyle_fill);
    EXPECT_EQ(Utf8(fill), "#ff0000ff");
    std::free(fill);
}

TEST_F(StyleSceneTest, ColoursGivenByReferenceResolve) {
    auto* owned = new oxLibrary(kAtomLibrary, u"box://P/brushes.box", &runtime);
    owned->AddRef();
    oxLibrary& library = *owned;
    library.AddResource(new TestBrush(kAtomSolidBrush, u"ink", 0xFF102030));
    library.AddResource(new TestBrush(kAtomPen, u"pen", 0xFF405060));
    library.AddResource(new TestBrush(oxAtoms::Intern(u"imageBrush"), u"image", 0xFF708090));
    struct Case {
        const WCHAR* text;
        uint32_t argb;
        const char* stored;
    } cases[] = {
        {u"url(#ink)", 0xFF102030, "box://P/brushes.box#ink"},
        {u"url(#pen)", 0xFF405060, "box://P/brushes.box#pen"},
        {u"url(#image)", 0, "box://P/brushes.box#image"},
        {u"url(#none)", 0, "#none"},
        {u"url(box://P/brushes.box#ink)", 0xFF102030, "box://P/brushes.box#ink"},
        {u"lime", 0xFF00FF00, nullptr},
    };
    for (const Case& c : cases) {
        oxStyleValue v;
        ASSERT_TRUE(ParseStyleAttribute(u"fill", c.text, &v, nullptr, &library)) << Utf8(c.text);
        EXPECT_EQ(ResolveColorValue(v, &library), c.argb) << Utf8(c.text);
        if (c.stored) {
            EXPECT_EQ(Utf8(v.GetText()), c.stored);
        }
        EXPECT_EQ(ParseColorValueText(c.text, &library), c.argb) << Utf8(c.text);
    }
    owned->Release();
}

} // namespace
