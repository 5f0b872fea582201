// Themes on a real runtime and scene: declared in markup, switched at run time, their resources
// found before the scene's own, their libraries loaded and released, and the hostile cases.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "graphics/paint/canvas.h"
#include "graphics/tests/golden.h"
#include "graphics/tests/raster_test_util.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/library/bindable_element.h"
#include "toolkit/library/theme_element.h"
#include "toolkit/paint/box_painter.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/tests/scene_test_support.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

using toolkit_test::Utf8;
using toolkit_test::Wide;

std::string Solid(int width, int height, uint32_t rgb) {
    std::string rgba;
    for (int i = 0; i < width * height; ++i) {
        rgba += char(rgb >> 16);
        rgba += char(rgb >> 8);
        rgba += char(rgb);
        rgba += char(0xFF);
    }
    return rgba;
}

const char* kScene = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <themes xmlns="">
      <theme id="light" tone="pale"><themeLibrary src="light.box"/></theme>
      <theme id="dark"><themeLibrary src="dark.box"/></theme>
      <theme id="dark" tone="deep"><themeLibrary src="extra.box"/><themeLibrary src="dark.box"/></theme>
    </themes>
    <r:bitmap id="picture" src="green.png"/>
    <r:font id="bodyFont" size="8"/>
    <r:style target="root" width="40" height="40" fill="#ffffff"/>
    <r:style target="swatch" width="20" height="20" fill="url(#picture)"/>
    <r:style target="label" font="url(#bodyFont)"/>
  </r:library>
  <box id="swatch"/>
  <box id="label"/>
</vbox>)M";

std::string ThemeLibrary(const std::string& png, int size) {
    return R"M(<?xml version="1.0" encoding="utf-8"?>
<library xmlns="http://www.kestrum.com/weftly/resource.xsd">
  <bitmap id="picture" src=")M" +
           png + R"M("/>
  <font id="bodyFont" size=")M" +
           std::to_string(size) + R"M("/>
</library>)M";
}

class ThemeTest : public scene_test::SceneFixture {
protected:
    void SetUp() override {
        SceneFixture::SetUp();
        oxBoxPainter::InstallPaintServices();
        WritePicture("red.png", 0xFF0000);
        WritePicture("blue.png", 0x0000FF);
        WritePicture("green.png", 0x00FF00);
        WriteFile("light.box", ThemeLibrary("red.png", 11));
        WriteFile("dark.box", ThemeLibrary("blue.png", 17));
        WriteFile("extra.box", R"M(<library xmlns="http://www.kestrum.com/weftly/resource.xsd"/>)M");
    }
    void WritePicture(const std::string& name, uint32_t rgb) {
        ASSERT_TRUE(WritePng(folder + "/" + name, Solid(4, 4, rgb), 4, 4));
    }
    oxThemesElement* Themes() { return runtime()->GetThemes(); }
    oxAtom Atom(const WCHAR* text) { return oxAtoms::Intern(text); }
    oxBox* Box(oxScene* scene, const WCHAR* id) { return scene->GetBoxById(Atom(id), false); }
    std::string Computed(oxBox* box, int property) {
        oxStyleValue value;
        box->GetStyleValue(property, &value);
        WCHAR* text = value.ToString();
        std::string result = Utf8(text);
        free(text);
        return result;
    }
    // The colour painted near the box's top left corner, inside its picture of 4x4.
    uint32_t Painted(oxScene* scene, const WCHAR* id) {
        TestSurface surface(40, 40, 32);
        surface.Fill32(0);
        oxCanvas canvas;
        canvas.AttachTarget(surface.buffer);
        scene->GetRootBox()->Paint(&canvas);
        oxRect r = Box(scene, id)->GetBoxRect();
        return surface.buffer.GetRow32(r.y + 1)[r.x + 1] & 0xFFFFFFu;
    }
};

TEST_F(ThemeTest, SwitchingTheThemeRestylesAndRepaintsTheScene) {
    oxScene* scene = OpenMarkup("main.box", kScene);
    ASSERT_NE(scene, nullptr);
    ASSERT_EQ(Themes()->GetThemeCount(), 2u); // the second "dark" merged into the first
    oxBox* label = Box(scene, u"label");
    ASSERT_NE(label, nullptr);
    // No theme active: the scene's own resources.
    EXPECT_EQ(Painted(scene, u"swatch"), 0x00FF00u);
    EXPECT_EQ(Computed(label, kStyle_fontSize), "8");

    struct Step {
        const WCHAR* theme;
        uint32_t colour;
        const char* size;
    } steps[] = {{u"light", 0xFF0000, "11"}, {u"dark", 0x0000FF, "17"}, {u"light", 0xFF0000, "11"}};
    for (const Step& s : steps) {
        Themes()->SetActiveTheme(Atom(s.theme));
        EXPECT_EQ(Themes()->GetActiveTheme(), Themes()->FindTheme(Atom(s.theme)));
        EXPECT_NE(Themes()->FindResource(u"#picture", 0), nullptr);
        EXPECT_EQ(Painted(scene, u"swatch"), s.colour) << Utf8(s.theme);
        EXPECT_EQ(Computed(label, kStyle_fontSize), s.size) << Utf8(s.theme);
    }
    // Only one theme is active, and the inactive one holds no library.
    oxLibrary* library = nullptr;
    oxThemeElement* dark = Themes()->FindTheme(Atom(u"dark"));
    EXPECT_FALSE(dark->IsActive());
    EXPECT_NE(dark->GetLibraryAt(0, &library), nullptr);
    EXPECT_EQ(library, nullptr);
    Themes()->SetActiveTheme(0);
    EXPECT_EQ(Themes()->GetActiveTheme(), nullptr);
    EXPECT_EQ(Painted(scene, u"swatch"), 0x00FF00u);
    EXPECT_EQ(Computed(label, kStyle_fontSize), "8");
}

TEST_F(ThemeTest, DeclarationsOfOneThemeMergeAndLibrariesAreListedOnce) {
    ASSERT_NE(OpenMarkup("main.box", kScene), nullptr);
    oxThemeElement* dark = Themes()->FindTheme(Atom(u"dark"));
    ASSERT_NE(dark, nullptr);
    EXPECT_EQ(dark->GetLibraryCount(), 2u);
    EXPECT_EQ(Utf8(dark->GetAttributeText(Atom(u"tone"))), "deep");
    oxThemeElement* light = Themes()->FindTheme(Atom(u"light"));
    EXPECT_EQ(Utf8(light->GetAttributeText(Atom(u"tone"))), "pale");
    EXPECT_FALSE(light->AddLibrary(u"light.box")) << "the same URI, resolved against the theme's base";
    // The walk over the listed libraries ends after the last.
    int cursor = -1;
    int seen = 0;
    while (dark->NextLibrary(&cursor, nullptr))
        ++seen;
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(dark->NextLibrary(&cursor, nullptr), nullptr);
}

TEST_F(ThemeTest, DeactivatingKeepsALibraryThatOthersStillUse) {
    ASSERT_NE(OpenMarkup("main.box", kScene), nullptr);
    oxThemeElement* light = Themes()->FindTheme(Atom(u"light"));
    const WCHAR* uri = light->GetLibraryAt(0, nullptr);
    light->SetActive(true);
    oxLibrary* held = runtime()->FindLibrary(uri);
    ASSERT_NE(held, nullptr);
    held->AddRef(); // someone else uses it too
    light->SetActive(false);
    EXPECT_EQ(runtime()->FindLibrary(uri), held);
    held->Release();
    light->SetActive(true);
    light->SetActive(false);
    EXPECT_EQ(runtime()->FindLibrary(uri), nullptr) << "its last user gone, the library is unloaded";
}

TEST_F(ThemeTest, ResourcesJoinTheirThemeAndInheritWithoutRings) {
    const char* markup = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:font id="accent" theme="loud" size="30"/>
    <r:style id="shout" theme="loud" fontSize="30"/>
    <r:font id="base" size="9"/>
    <r:font id="middle" inherits="base"/>
    <r:font id="top" inherits=" middle , nowhere,"/>
    <r:font id="self" inherits="self"/>
    <r:font id="ringA" inherits="ringB"/>
    <r:font id="ringB" inherits="ringA"/>
    <r:font id="me" theme="me" inherits="me"/>
  </r:library>
</vbox>)M";
    oxScene* scene = OpenMarkup("res.box", markup);
    ASSERT_NE(scene, nullptr);
    // A theme named only by a resource is made for it; the resource is found while it is active.
    oxThemeElement* loud = Themes()->FindTheme(Atom(u"loud"));
    ASSERT_NE(loud, nullptr);
    EXPECT_EQ(Themes()->FindResource(u"#accent", 0), nullptr);
    Themes()->SetActiveTheme(Atom(u"loud"));
    EXPECT_EQ(Themes()->FindResource(u"#accent", 0), scene->FindResourceById(Atom(u"accent"), 0));
    // Styles join as the other resources do, and leave the theme when their library goes.
    oxElement* shout = scene->FindResourceById(Atom(u"shout"), kAtomStyle);
    ASSERT_NE(shout, nullptr);
    EXPECT_EQ(Themes()->FindResource(u"#shout", kAtomStyle), shout);
    scene->RemoveResource(shout);
    EXPECT_EQ(Themes()->FindResource(u"#shout", kAtomStyle), nullptr);

    auto resource = [&](const WCHAR* id) {
        return dynamic_cast<oxBindableElement*>(scene->FindResourceById(Atom(id), 0));
    };
    const auto& chain = resource(u"top")->ResolveInherits(0);
    ASSERT_EQ(chain.size(), 1u); // "nowhere" and the empty piece find nothing
    EXPECT_EQ(chain[0], resource(u"middle"));
    EXPECT_TRUE(resource(u"top")->Inherits(resource(u"base")));
    EXPECT_EQ(resource(u"base")->ResolveInherits(0).size(), 0u);

    size_t errorsBefore = listener->calls.size();
    EXPECT_TRUE(resource(u"self")->ResolveInherits(0).empty());
    EXPECT_TRUE(resource(u"me")->ResolveInherits(0).empty());
    resource(u"ringA")->ResolveInherits(0);
    // One link of the ring is refused, so walks over it end.
    EXPECT_FALSE(resource(u"ringA")->Inherits(resource(u"ringA")));
    EXPECT_FALSE(resource(u"ringB")->Inherits(resource(u"ringB")));
    std::string reports;
    for (size_t i = errorsBefore; i < listener->calls.size(); ++i)
        reports += listener->calls[i] + "\n";
    EXPECT_NE(reports.find("Resource inherits from itself: #self"), std::string::npos) << reports;
    EXPECT_NE(reports.find("Resource inherits from itself: #me"), std::string::npos) << reports;
    EXPECT_NE(reports.find("Resource inherits from itself: #ring"), std::string::npos) << reports;
}

TEST_F(ThemeTest, HostileThemesAreRefusedWithoutHarm) {
    const char* markup = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <themes xmlns="">
      <theme><themeLibrary src="nameless.box"/></theme>
      <theme id="loop"><themeLibrary src="loop.box"/></theme>
      <theme id="missing"><themeLibrary src="absent.box"/><themeLibrary/></theme>
      <other/>
    </themes>
  </r:library>
</vbox>)M";
    // A theme library that names its own theme and imports itself.
    WriteFile("loop.box", R"M(<library xmlns="http://www.kestrum.com/weftly/resource.xsd">
  <import xmlns="" href="loop.box"/>
  <themes xmlns=""><theme id="loop"><themeLibrary src="loop.box"/></theme></themes>
  <font id="picture" theme="loop" size="5"/>
</library>)M");
    oxScene* scene = OpenMarkup("hostile.box", markup);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(Themes()->GetThemeCount(), 2u) << "the theme without an id is dropped";
    Themes()->SetActiveTheme(Atom(u"loop"));
    Themes()->SetActiveTheme(Atom(u"missing"));
    EXPECT_TRUE(Themes()->FindTheme(Atom(u"missing"))->IsActive());
    EXPECT_EQ(Themes()->FindResource(u"#picture", 0), nullptr);
    Themes()->SetActiveTheme(Atom(u"loop"));
    Themes()->SetActiveTheme(0);
    EXPECT_EQ(Themes()->GetActiveTheme(), nullptr);
}

TEST_F(ThemeTest, AnAliasNamesALibraryThatIsReplacedInPlace) {
    const char* markup = R"M(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:style target="root" width="40" height="40" fill="#ffffff"/>
    <r:style target="swatch" width="20" height="20" fill="url(#picture)"/>
  </r:library>
  <box id="swatch"/>
</vbox>)M";
    oxScene* scene = OpenMarkup("alias.box", markup);
    ASSERT_NE(scene, nullptr);
    oxLibrary* light = scene->SetThemeForAlias(u"look", u"light.box");
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(Painted(scene, u"swatch"), 0xFF0000u);
    EXPECT_EQ(scene->SetThemeForAlias(u"look", u"light.box"), light) << "the same URI stays";
    oxLibrary* dark = scene->SetThemeForAlias(u"look", u"dark.box");
    ASSERT_NE(dark, nullptr);
    EXPECT_EQ(scene->GetImportCount(), 1);
    EXPECT_EQ(scene->GetImportAt(0), dark);
    EXPECT_EQ(Painted(scene, u"swatch"), 0x0000FFu);
    EXPECT_EQ(scene->SetThemeForAlias(nullptr, u"dark.box"), nullptr);
    EXPECT_EQ(scene->SetThemeForAlias(u"other", u"absent.box"), nullptr);
}

} // namespace

namespace {

// A solid brush fills a box with the box's rounded corners when the box sets them, else with its own.
class SolidBrushCornersTest : public scene_test::SceneFixture {
protected:
    void SetUp() override {
        SceneFixture::SetUp();
        oxBoxPainter::InstallPaintServices();
    }
    void TearDown() override {
        oxSetBoxPaintServices(nullptr);
        SceneFixture::TearDown();
    }
};

TEST_F(SolidBrushCornersTest, TheBoxsCornersRoundABrushFill) {
    const char* markup = R"M(<?xml version="1.0" encoding="utf-8"?>
<hbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:solidBrush id="plain" fill="#ff0000ff"/>
    <r:solidBrush id="own" fill="#ff0000ff" cornerRadius="8"/>
    <r:style target="root" width="60" height="20" fill="#ffffffff"/>
    <r:style target="rounded" width="20" height="20" fill="url(#plain)" fillCornerRadius="8"/>
    <r:style target="square" width="20" height="20" fill="url(#plain)"/>
    <r:style target="brushRounded" width="20" height="20" fill="url(#own)"/>
  </r:library>
  <box id="rounded"/>
  <box id="square"/>
  <box id="brushRounded"/>
</hbox>)M";
    oxScene* scene = OpenMarkup("corners.box", markup);
    ASSERT_NE(scene, nullptr);
    TestSurface surface(60, 20, 32);
    surface.Fill32(0);
    oxCanvas canvas;
    canvas.AttachTarget(surface.buffer);
    scene->GetRootBox()->Paint(&canvas);
    const struct {
        int x;
        uint32_t corner; // the box's top left pixel
    } cases[] = {{0, 0xFFFFFF}, {20, 0x0000FF}, {40, 0xFFFFFF}};
    for (const auto& c : cases) {
        EXPECT_EQ(surface.buffer.GetRow32(0)[c.x] & 0xFFFFFFu, c.corner) << "box at " << c.x;
        EXPECT_EQ(surface.buffer.GetRow32(10)[c.x + 10] & 0xFFFFFFu, 0x0000FFu) << "box at " << c.x;
    }
}

} // namespace
