// Animations written in scene markup: the library makes the elements, and a box whose style names
// one in `animate` runs it when the style applies; a style without it stops the running one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "platform/backend/headless.h"
#include "toolkit/animation/animation_element.h"
#include "toolkit/animation/animation_services.h"
#include "toolkit/core/timer_queue.h"
#include "toolkit/scene/animation_scheduler.h"
#include "toolkit/scene/markup_loader.h"
#include "toolkit/scene/tests/file_runtime.h"
#include "toolkit/scene/tests/markup_test_support.h"
#include "toolkit/scene/tests/style_test_scene.h"
#include "toolkit/scene/tests/temp_resources.h"
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
    <r:style tag="hbox">
      <r:hovered animate="url(#glow)"/>
    </r:style>
  </r:library>
  <hbox id="item"/>
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

} // namespace
