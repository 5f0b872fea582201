// Motion curves against their formulas, the timing of markup animations on the virtual clock
// (windows, repeats, fills, deferred stops) and style and attribute animations applied per tick.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/win/clock.h"
#include "toolkit/animation/animation_element.h"
#include "toolkit/animation/dynamics.h"
#include "toolkit/core/animation_scheduler.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/style_rule_maps.h"
#include "toolkit/core/timer_queue.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_tables.h"

namespace {

struct CurveCase {
    const char16_t* name;
    std::function<double(double)> formula;
};

TEST(DynamicsTest, EveryNamedCurveFollowsItsFormula) {
    auto spring = [](double k, double c, double m, double e) {
        return [=](double t) {
            const double s = -2.0 * (m / c) * std::log(e);
            const double w = std::sqrt(k / m - m * m * c * c * 0.25);
            return 1.0 - std::exp(-(c * s * t) / (2.0 * m)) * std::cos(w * s * t);
        };
    };
    auto gravity = [](double t) {
        const double x = 1.5 * t;
        if (x < 1.0) return x * x;
        const double d = (x - 1.25) / 0.25;
        return d * d * 0.25 + 0.75;
    };
    const CurveCase cases[] = {
        {u"smooth", [](double t) { return t * t * (3 - 2 * t); }},
        {u"spring", spring(0.25, 0.4, 1.0, 0.01)},
        {u"spring1", spring(0.25, 0.4, 1.0, 0.01)},
        {u"spring2", spring(0.6, 0.3, 0.2, 0.001)},
        {u"spring3", spring(0.3, 0.2, 1.0, 0.01)},
        {u"spring4", spring(0.25, 0.4, 1.8, 0.01)},
        {u"spring5", spring(0.25, 0.4, 0.4, 0.01)},
        {u"smoothSpline", [](double t) { return 3 * t - 3 * t * t + t * t * t; }},
        {u"ease", [](double t) { return 3 * t - 3 * t * t + t * t * t; }},
        {u"accelerate", [](double t) { return t * t * t; }},
        {u"sSpline", [](double t) { return -t + 6 * t * t - 4 * t * t * t; }},
        {u"gravity", gravity},
    };
    for (const CurveCase& c : cases) {
        std::unique_ptr<oxDynamics> curve;
        oxDynamics::CreateByName(&curve, c.name);
        ASSERT_TRUE(curve) << std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name));
        // Outside 0..1 too: progress is not clamped.
        for (double t = -0.25; t <= 1.25; t += 1.0 / 24)
            EXPECT_NEAR(curve->Evaluate(t), c.formula(t), 1e-12) << "t " << t;
        EXPECT_NEAR(curve->Evaluate(0), 0.0, 1e-12);
    }
    std::unique_ptr<oxDynamics> curve;
    oxDynamics::CreateByName(&curve, u"gravity");
    EXPECT_DOUBLE_EQ(curve->Evaluate(2.0 / 3.0), 1.0);
    EXPECT_DOUBLE_EQ(curve->Evaluate(5.0 / 6.0), 0.75);
    EXPECT_NEAR(curve->Evaluate(1.0), 1.0, 1e-12);
    oxDynamics::CreateByName(&curve, u"sSpline");
    EXPECT_LT(curve->Evaluate(0.1), 0.0); // dips below its start
    // No curve: linear progress, and a named slot is emptied by an unknown name.
    for (const char16_t* name : {u"", u"linear", u"Smooth", static_cast<const char16_t*>(nullptr)}) {
        oxDynamics::CreateByName(&curve, u"smooth");
        oxDynamics::CreateByName(&curve, name);
        EXPECT_FALSE(curve);
        EXPECT_EQ(oxDynamics::Apply(curve, 0.3f), 0.3f);
    }
    oxGravityDynamics still(0.25, 0);
    EXPECT_DOUBLE_EQ(still.Evaluate(0.5), 0.25);
}

// A plain scene that styles every box from no rules, so inline values and animations show.
class StyledScene : public oxBoxScene {
public:
    bool IsRunning() const override { return true; }
    oxBoxStyle* BuildBoxStyle(oxBox* box) override { return maps.BuildBoxStyle(box); }
    oxStyleRuleMaps maps;
};

// Records the hooks with the virtual time they ran at; a hook may act on the instance.
class Recorder : public oxTimedAnimationInstance {
public:
    Recorder(oxAnimationElement* element, oxBox* box, std::vector<std::string>* log, DWORD start)
        : oxTimedAnimationInstance(element, box), log_(log), start_(start) {}
    ~Recorder() override { Note("deleted"); }
    std::function<void(Recorder*)> onFrame;

protected:
    void OnPlay() override { Note("play"); }
    void OnPause() override { Note("pause"); }
    void OnStop() override { Note("stop"); }
    void OnCancel() override { Note("cancel"); }
    void OnFirstFrame() override { Note("firstFrame"); }
    void OnFrame() override {
        Note("frame");
        if (onFrame) onFrame(this);
    }
    void OnLastFrame() override { Note("lastFrame"); }

private:
    void Note(const char* what) {
        // Frames are many: only the first and the last of a run of frames are written down.
        const std::string entry = std::to_string(GetTickCount() - start_) + " " + what;
        if (what == std::string("frame") && !log_->empty() && log_->back().ends_with(" frame") &&
            log_->size() >= 2 && (*log_)[log_->size() - 2].ends_with(" frame")) {
            log_->back() = entry;
            return;
        }
        log_->push_back(entry);
    }
    std::vector<std::string>* log_;
    DWORD start_;
};

class AnimationTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        platform::headless::UseVirtualClock(1000);
        ASSERT_TRUE(oxTimerQueue::Acquire());
        box = new oxBox(kAtomBox);
        box->SetScene(&scene);
    }
    void TearDown() override {
        EXPECT_EQ(oxAnimationScheduler::Instance().GetCount(), 0);
        box->Release();
        while (oxTimerQueue::Instance())
            oxTimerQueue::ReleaseInstance();
        platform::headless::RunUntilIdle();
        platform::headless::UseRealClock();
    }
    std::unique_ptr<oxAnimationElement> Element(std::vector<std::pair<oxAtom, const char16_t*>> attributes,
                                                oxAtom tag = kAtomAnimation) {
        std::unique_ptr<oxAnimationElement> element;
        if (tag == kAtomAnimation) element = std::make_unique<oxAnimationElement>(tag, nullptr);
        else element = std::make_unique<oxAnimateElement>(tag, nullptr);
        for (auto& [atom, value] : attributes)
            element->SetMarkupAttribute(0, atom, value);
        element->EndElement();
        return element;
    }
    std::string Style(int property) {
        oxStyleValue value;
        box->GetStyleValue(property, &value);
        // Lengths have no text form of their own.
        if (value.GetType() == kStylePx) return std::to_string(value.GetValue()) + "px";
        WCHAR* text = box->GetStyleString(property);
        std::string s(text, text + std::char_traits<char16_t>::length(text));
        std::free(text);
        return s;
    }

    StyledScene scene;
    oxBox* box = nullptr;
};

TEST_F(AnimationTest, TimesFillEachOtherInMarkupOrder) {
    struct Case {
        std::vector<std::pair<oxAtom, const char16_t*>> attributes;
        int begin, dur, end, repeatCount;
    };
    const Case cases[] = {
        {{{kAtomBegin, u"100"}, {kAtomDur, u"500"}}, 100, 500, 100, 0},
        {{{kAtomDur, u"500"}, {kAtomBegin, u"100"}}, 100, 500, 500, 0},
        {{{kAtomBegin, u"100"}, {kAtomEnd, u"600"}}, 100, 500, 600, 0},
        {{{kAtomDur, u"2s"}}, 0, 2000, 2000, 0},
        {{{kAtomDur, u"1500"}, {kAtomRepeatCount, u"indefinite"}}, 0, 1500, 1500, -1},
        {{{kAtomRepeatCount, u"3"}, {kAtomDur, u"bogus"}}, 0, 0, 0, 3},
        {{{kAtomRepeatCount, u"lots"}}, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        auto element = Element(c.attributes);
        EXPECT_EQ(element->GetBegin(), c.begin);
        EXPECT_EQ(element->GetDur(), c.dur);
        EXPECT_EQ(element->GetEnd(), c.end);
        EXPECT_EQ(element->GetRepeatCount(), c.repeatCount);
    }
    auto element = Element({{kAtomFill, u"freeze"}, {kAtomRepeatDur, u"1s"}, {kAtomFps, u"25"}});
    EXPECT_EQ(element->GetFill(), oxAnimationElement::kFillFreeze);
    EXPECT_EQ(element->GetRepeatDur(), 1000);
    EXPECT_EQ(element->GetFps(), 25);
    oxElement* child = nullptr;
    EXPECT_EQ(element->CreateChildElement(kAtomResourceNamespace, kAtomBox, &child), kElementNotHandled);
    EXPECT_EQ(child, nullptr);
    EXPECT_EQ(element->CreateChildElement(kAtomResourceNamespace, kAtomSet, &child), 0);
    EXPECT_EQ(static_cast<oxAnimationElement*>(child)->GetParentElement(), element.get());
    // `set` without a name animates nothing.
    EXPECT_EQ(static_cast<oxAnimationElement*>(child)->CreateInstance(box), nullptr);
}

TEST_F(AnimationTest, PassesFramesRepeatsAndStopsOnTheVirtualClock) {
    struct Case {
        const char* what;
        std::vector<std::pair<oxAtom, const char16_t*>> attributes;
        int runMs;
        std::vector<std::string> log; // frames: the first and the last of a run
    };
    const Case cases[] = {
        {"no timing: one pass at once", {}, 50,
         {"0 play", "0 firstFrame", "0 frame", "0 lastFrame", "0 stop", "0 deleted"}},
        {"begin 500, end 1500: frames 500..1500, the next tick ends it",
         {{kAtomBegin, u"500"}, {kAtomEnd, u"1500"}}, 2000,
         {"0 play", "500 firstFrame", "500 frame", "1500 frame", "1510 lastFrame", "1510 stop", "1510 deleted"}},
        {"begin before dur leaves the window closed at the begin",
         {{kAtomBegin, u"500"}, {kAtomDur, u"1000"}}, 2000,
         {"0 play", "500 firstFrame", "500 frame", "510 lastFrame", "510 stop", "510 deleted"}},
        {"repeatCount 1 plays three passes",
         {{kAtomDur, u"100"}, {kAtomRepeatCount, u"1"}}, 1000,
         {"0 play", "0 firstFrame", "0 frame", "100 frame", "110 lastFrame", "120 firstFrame", "120 frame",
          "210 frame", "220 lastFrame", "230 firstFrame", "230 frame", "320 frame", "330 lastFrame", "330 stop",
          "330 deleted"}},
        {"repeatDur stops mid-pass without lastFrame",
         {{kAtomDur, u"100"}, {kAtomRepeatDur, u"250"}}, 1000,
         {"0 play", "0 firstFrame", "0 frame", "100 frame", "110 lastFrame", "120 firstFrame", "120 frame",
          "210 frame", "220 lastFrame", "230 firstFrame", "230 frame", "250 frame", "260 stop", "260 deleted"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto element = Element(c.attributes);
        std::vector<std::string> log;
        auto* instance = new Recorder(element.get(), box, &log, GetTickCount());
        instance->Schedule();
        instance->Play();
        platform::headless::AdvanceAndRun(c.runMs);
        EXPECT_EQ(log, c.log);
    }
}

TEST_F(AnimationTest, IndefiniteRepeatsRunUntilCancelledAndPauseHoldsTheClock) {
    auto element = Element({{kAtomDur, u"100"}, {kAtomRepeatCount, u"indefinite"}});
    std::vector<std::string> log;
    auto* instance = new Recorder(element.get(), box, &log, GetTickCount());
    instance->Schedule();
    instance->Play();
    platform::headless::AdvanceAndRun(5000);
    EXPECT_EQ(oxAnimationScheduler::Instance().GetCount(), 1);
    EXPECT_GT(instance->GetIteration(), 40);
    instance->Pause();
    const int time = instance->GetTimeInPass();
    platform::headless::AdvanceAndRun(500);
    EXPECT_EQ(instance->GetTimeInPass(), time);
    instance->Play();
    platform::headless::AdvanceAndRun(20);
    EXPECT_EQ(instance->GetTimeInPass(), time + 20); // the held time is not counted
    instance->Cancel(false);
    EXPECT_EQ(log.back(), "5520 deleted");
    EXPECT_EQ(log[log.size() - 2], "5520 cancel");
}

TEST_F(AnimationTest, StopInsideFrameWaitsForTheEventAndAGoneElementStopsTheInstance) {
    auto element = Element({{kAtomDur, u"100"}});
    std::vector<std::string> log;
    auto* instance = new Recorder(element.get(), box, &log, GetTickCount());
    instance->onFrame = [](Recorder* self) {
        if (self->GetTimeInPass() >= 30) self->Stop(false);
    };
    instance->Schedule();
    instance->Play();
    platform::headless::AdvanceAndRun(200);
    EXPECT_EQ(log, (std::vector<std::string>{"0 play", "0 firstFrame", "0 frame", "30 frame", "30 stop",
                                             "30 deleted"}));

    log.clear();
    instance = new Recorder(element.get(), box, &log, GetTickCount());
    instance->Schedule();
    instance->Play();
    element.reset();
    platform::headless::AdvanceAndRun(20);
    EXPECT_EQ(log.back(), "10 deleted");
    EXPECT_EQ(oxAnimationScheduler::Instance().GetCount(), 0);
}

TEST_F(AnimationTest, StylePropertiesMoveFrameByFrameAndFillDecidesTheEnd) {
    struct Case {
        const char16_t* property;
        const char16_t* from;
        const char16_t* to;
        const char16_t* fill;
        int property_id;
        std::string atHalf, atEnd;
    };
    const Case cases[] = {
        // Each channel truncates: 255 * 0.5 is 127.
        {u"fill", u"#000000", u"#ffffff", u"freeze", kStyle_fill, "#ff7f7f7f", "#ffffffff"},
        {u"clipTop", u"10px", u"110px", u"freeze", kStyle_clipTop, "60px", "110px"},
        {u"opacity", u"0", u"100", u"remove", kStyle_opacity, "50", ""},
        // Falling channels truncate toward the start: 255 - 127.
        {u"fill", u"#ff0000", u"#0000ff", u"", kStyle_fill, "#ff80007f", "#ff0000ff"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.property, c.property + std::char_traits<char16_t>::length(c.property)));
        auto element = Element({{kAtomType, u"style"}, {kAtomName, c.property}, {kAtomFrom, c.from},
                                {kAtomTo, c.to}, {kAtomDur, u"100"}, {kAtomFill, c.fill}},
                               kAtomAnimate);
        ASSERT_TRUE(element->Start(box));
        platform::headless::AdvanceAndRun(50);
        EXPECT_EQ(Style(c.property_id), c.atHalf);
        platform::headless::AdvanceAndRun(100);
        EXPECT_EQ(oxAnimationScheduler::Instance().GetCount(), 0);
        EXPECT_EQ(Style(c.property_id), c.atEnd);
        box->RemoveStyleValue(c.property_id);
    }
}

TEST_F(AnimationTest, FillRemovePutsTheBoxsOwnValueBackAndCancelRestores) {
    box->SetStyleValue(kStyle_opacity, oxStyleValue(30, kStyleNumber), 0);
    auto element = Element({{kAtomType, u"style"}, {kAtomName, u"opacity"}, {kAtomFrom, u"0"}, {kAtomTo, u"100"},
                            {kAtomDur, u"100"}, {kAtomFill, u"remove"}},
                           kAtomSet);
    ASSERT_TRUE(element->Start(box));
    platform::headless::AdvanceAndRun(50);
    EXPECT_EQ(Style(kStyle_opacity), "50");
    platform::headless::AdvanceAndRun(100);
    EXPECT_EQ(Style(kStyle_opacity), "30");

    oxTimedAnimationInstance* running = element->Start(box);
    platform::headless::AdvanceAndRun(20);
    EXPECT_EQ(Style(kStyle_opacity), "20");
    running->Cancel(false);
    EXPECT_EQ(Style(kStyle_opacity), "30");
}

TEST_F(AnimationTest, AttributesAndGroupsAnimateTogether) {
    box->SetAttribute(oxAtoms::Intern(u"level"), u"10", false, false);
    auto group = Element({});
    oxElement* made = nullptr;
    ASSERT_EQ(group->CreateChildElement(kAtomResourceNamespace, kAtomAnimate, &made), 0);
    auto* level = static_cast<oxAnimateElement*>(made);
    level->SetMarkupAttribute(0, kAtomName, u"level");
    level->SetMarkupAttribute(0, kAtomTo, u"50");
    level->SetMarkupAttribute(0, kAtomDur, u"200");
    level->EndElement();
    ASSERT_EQ(group->CreateChildElement(kAtomResourceNamespace, kAtomAnimate, &made), 0);
    auto* opacity = static_cast<oxAnimateElement*>(made);
    for (auto [atom, value] : {std::pair{kAtomType, u"style"}, {kAtomName, u"opacity"}, {kAtomFrom, u"0"},
                               {kAtomTo, u"100"}, {kAtomDur, u"100"}, {kAtomFill, u"freeze"}})
        opacity->SetMarkupAttribute(0, atom, value);
    opacity->EndElement();

    ASSERT_TRUE(group->Start(box));
    EXPECT_EQ(oxAnimationScheduler::Instance().GetCount(), 3);
    platform::headless::AdvanceAndRun(100);
    EXPECT_EQ(std::u16string(box->GetAttribute(oxAtoms::Intern(u"level"))), u"30");
    platform::headless::AdvanceAndRun(20);
    EXPECT_EQ(Style(kStyle_opacity), "100");
    // A finished child stays listed, stopped, until its group ends.
    EXPECT_EQ(oxAnimationScheduler::Instance().GetCount(), 3);
    platform::headless::AdvanceAndRun(100);
    EXPECT_EQ(std::u16string(box->GetAttribute(oxAtoms::Intern(u"level"))), u"50");
    EXPECT_EQ(oxAnimationScheduler::Instance().GetCount(), 0);
}

TEST_F(AnimationTest, AGroupWhoseBoxOrElementGoesAwayLetsGoOfItsChildren) {
    auto group = Element({});
    oxElement* made = nullptr;
    for (const char16_t* dur : {u"100", u"300"}) {
        ASSERT_EQ(group->CreateChildElement(kAtomResourceNamespace, kAtomAnimate, &made), 0);
        for (auto [atom, value] : {std::pair{kAtomType, u"style"}, {kAtomName, u"opacity"}, {kAtomFrom, u"0"},
                                   {kAtomTo, u"100"}, {kAtomDur, dur}})
            made->SetMarkupAttribute(0, atom, value);
        made->EndElement();
    }
    // The box goes away: the group stops without its box and its children stop with it.
    ASSERT_TRUE(group->Start(box));
    platform::headless::AdvanceAndRun(50);
    oxAnimationScheduler::Instance().ForgetTarget(box);
    platform::headless::AdvanceAndRun(400);
    EXPECT_EQ(oxAnimationScheduler::Instance().GetCount(), 0);

    // The element goes away: each child stops once, and the group ends when both have.
    ASSERT_TRUE(group->Start(box));
    platform::headless::AdvanceAndRun(50);
    group.reset();
    platform::headless::AdvanceAndRun(100);
    EXPECT_EQ(oxAnimationScheduler::Instance().GetCount(), 0);
}

} // namespace
