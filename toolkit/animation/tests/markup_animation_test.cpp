// Animations written in scene markup: the library makes the elements, and a box whose style names
// one in `animate` runs it when the style applies; a style without it stops the running one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "graphics/paint/canvas.h"
#include "graphics/tests/raster_test_util.h"
#include "platform/backend/headless.h"
#include "toolkit/animation/animation_element.h"
#include "toolkit/animation/animation_services.h"
#include "toolkit/animation/motion_element.h"
#include "toolkit/core/animation_scheduler.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/timer_queue.h"
#include "toolkit/markup/markup_loader.h"
#include "toolkit/paint/box_painter.h"
#include "toolkit/library/tests/file_runtime.h"
#include "toolkit/markup/tests/markup_test_support.h"
#include "toolkit/scene/tests/style_test_scene.h"
#include "toolkit/markup/tests/temp_resources.h"
#include "toolkit/style/fill_cross_fade.h"
#include "toolkit/style/style_tables.h"

using namespace markup_test;

namespace {

constexpr const char* kScene = R"xml(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:animation id="glow" dur="100" fill="freeze">
      <r:animate type="style" name="opacity" from="0" to="100" dur="100" fill="freeze"/>
      <r:set type="style" name="fill" from="#000000" to="#ffffff" dur="200" fill="freeze"/>
    </r:animation>
    <r:solidBrush id="red" fill="#ff0000"/>
    <r:animateMotion id="slide" from="10" to="110" dur="100" calcMode="paced"/>
    <r:animation id="slideBy"><r:animateMotion by="-40" dur="100"/></r:animation>
    <r:animate id="fade" type="style" name="fill" from="url(#red)" to="#0000ff" dur="100"/>
    <r:style tag="hbox">
      <r:hovered animate="url(#glow)"/>
    </r:style>
    <r:style target="tile" width="20" height="10">
      <r:hovered animate="url(#fade)"/>
    </r:style>
  </r:library>
  <hbox id="item"/>
  <box id="tile"/>
</vbox>
)xml";

class MarkupAnimationTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        oxRegisterAnimationElements();
        platform::headless::UseVirtualClock(1000);
        ASSERT_TRUE(oxTimerQueue::Acquire());
        resources.Write("glow.box", kScene);
        uri = resources.DevicePath("glow.box");
        scene = std::make_unique<StyleScene>(&runtime, uri.c_str());
        ASSERT_TRUE(scene->LoadFile(loader));
        ASSERT_FALSE(loader.IsFailed()) << Utf8(loader.GetErrorText().GetString());
        scene->Open();
    }
    void TearDown() override {
        scene.reset();
        EXPECT_EQ(oxAnimationScheduler::Instance().GetCount(), 0);
        while (oxTimerQueue::Instance())
            oxTimerQueue::ReleaseInstance();
        platform::headless::RunUntilIdle();
        platform::headless::UseRealClock();
    }
    std::string Style(oxBox* box, int property) {
        WCHAR* text = box->GetStyleString(property);
        std::string s = Utf8(text);
        std::free(text);
        return s;
    }

    TempResources resources;
    FileRuntime runtime;
    std::u16string uri;
    oxMarkupLoader loader;
    std::unique_ptr<StyleScene> scene;
};

TEST_F(MarkupAnimationTest, AHoverStyleRunsTheNamedAnimationAndLeavingItStopsIt) {
    oxBox* item = scene->FindBoxById(oxAtoms::Intern(u"item"));
    ASSERT_NE(item, nullptr);
    auto* glow = dynamic_cast<oxAnimationElement*>(
        oxStyleValue(u"#glow", kStyleText).ResolveResource(scene.get()));
    ASSERT_NE(glow, nullptr);
    EXPECT_EQ(glow->GetChildren().size(), 2u);
    EXPECT_EQ(oxAnimationScheduler::Instance().GetCount(), 0);

    item->SetHovered(true, false);
    item->ResolveStyle();
    EXPECT_EQ(oxAnimationScheduler::Instance().GetCount(), 3); // the group and its two children
    platform::headless::AdvanceAndRun(50);
    EXPECT_EQ(Style(item, kStyle_opacity), "50");
    EXPECT_EQ(Style(item, kStyle_fill), "#ff3f3f3f");
    platform::headless::AdvanceAndRun(60);
    EXPECT_EQ(Style(item, kStyle_opacity), "100");

    // Unhovered, the style names no animation: the running one stops where it stands and frozen.
    item->SetHovered(false, false);
    item->ResolveStyle();
    EXPECT_EQ(oxAnimationScheduler::Instance().GetCount(), 0);
    EXPECT_EQ(Style(item, kStyle_fill), "#ffffffff");
}

TEST_F(MarkupAnimationTest, AFillThatNamesAPictureCrossFadesAsTheBoxPaints) {
    oxBoxPainter::InstallPaintServices();
    oxBox* tile = scene->FindBoxById(oxAtoms::Intern(u"tile"));
    ASSERT_NE(tile, nullptr);
    ArrangeLayoutRoot(scene->root, 40, 40);
    auto paintedAt = [&](int x, int y) {
        TestSurface surface(40, 40, 32);
        oxCanvas screen;
        screen.AttachTarget(surface.buffer);
        scene->root->Paint(&screen);
        const oxPoint at = tile->GetFramePosition();
        return surface.buffer.GetRow32(at.y + y)[at.x + x] & 0xFFFFFFu;
    };
    tile->SetHovered(true, false);
    tile->ResolveStyle();
    platform::headless::AdvanceAndRun(50);
    ASSERT_NE(tile->GetFillCrossFade(), nullptr);
    EXPECT_NEAR(0.5f, tile->GetFillCrossFade()->progress, 0.1f);
    // The red brush and the blue colour mixed by the progress, not either of them alone.
    const uint32_t mid = paintedAt(10, 5);
    const float p = tile->GetFillCrossFade()->progress;
    EXPECT_NEAR(255.0f * (1 - p), float(mid >> 16), 3.0f) << std::hex << mid;
    EXPECT_NEAR(255.0f * p, float(mid & 0xFF), 3.0f) << std::hex << mid;
    platform::headless::AdvanceAndRun(100);
    EXPECT_EQ(tile->GetFillCrossFade(), nullptr) << "the run's end ends the cross-fade";
    EXPECT_EQ(paintedAt(10, 5), 0x0000FFu);
    oxSetBoxPaintServices(nullptr);
}

TEST_F(MarkupAnimationTest, AMotionMovesTheBoxAlongXFromWhereItStood) {
    oxBox* tile = scene->FindBoxById(oxAtoms::Intern(u"tile"));
    ASSERT_NE(tile, nullptr);
    ArrangeLayoutRoot(scene->root, 200, 40);
    const oxRect start = tile->GetBoxRect();
    auto element = [&](const char16_t* id) {
        return dynamic_cast<oxAnimationElement*>(oxStyleValue(id, kStyleText).ResolveResource(scene.get()));
    };
    // from 10 to 110 without by: 100 units to the right over the animation.
    auto* slide = dynamic_cast<oxMotionElement*>(element(u"#slide"));
    ASSERT_NE(slide, nullptr);
    EXPECT_EQ(100, slide->GetTo() - slide->GetFrom());
    ASSERT_NE(slide->Start(tile), nullptr);
    platform::headless::AdvanceAndRun(50);
    EXPECT_NEAR(start.x + 50, tile->GetBoxRect().x, 10);
    EXPECT_EQ(start.y, tile->GetBoxRect().y);
    platform::headless::AdvanceAndRun(100);
    EXPECT_EQ(start.x + 100, tile->GetBoxRect().x);
    EXPECT_EQ(oxAnimationScheduler::Instance().GetCount(), 0);

    // Inside a group, and by a distance: 40 units back to the left.
    auto* group = element(u"#slideBy");
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(1u, group->GetChildren().size());
    ASSERT_NE(group->Start(tile), nullptr);
    platform::headless::AdvanceAndRun(200);
    EXPECT_EQ(start.x + 60, tile->GetBoxRect().x);
}

} // namespace
