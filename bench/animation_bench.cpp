// One tick of 100 running property animations (half colours, half numbers) on 100 styled boxes,
// against a peer that computes and writes the same values straight into the boxes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/win/clock.h"
#include "toolkit/animation/animation_element.h"
#include "toolkit/core/animation_scheduler.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/style_rule_maps.h"
#include "toolkit/core/timer_queue.h"
#include "toolkit/style/style_tables.h"

namespace {

constexpr int kAnimations = 100;

class StyledScene : public oxBoxScene {
public:
    bool IsRunning() const override { return true; }
    oxBoxStyle* BuildBoxStyle(oxBox* box) override { return maps.BuildBoxStyle(box); }
    oxStyleRuleMaps maps;
};

struct Fixture {
    Fixture() {
        oxAtoms::RegisterPredefined();
        clock = &platform::headless::UseVirtualClock(1000);
        oxTimerQueue::Acquire();
        for (int i = 0; i < 2; ++i) {
            auto element = std::make_unique<oxAnimateElement>(kAtomAnimate, nullptr);
            element->SetMarkupAttribute(0, kAtomType, u"style");
            element->SetMarkupAttribute(0, kAtomName, i ? u"opacity" : u"fill");
            element->SetMarkupAttribute(0, kAtomFrom, i ? u"0" : u"#000000");
            element->SetMarkupAttribute(0, kAtomTo, i ? u"100" : u"#ffffff");
            element->SetMarkupAttribute(0, kAtomDur, u"100000");
            element->SetMarkupAttribute(0, kAtomRepeatCount, u"indefinite");
            element->EndElement();
            elements.push_back(std::move(element));
        }
        for (int i = 0; i < kAnimations; ++i) {
            boxes.push_back(new oxBox(kAtomBox));
            boxes.back()->SetScene(&scene);
            elements[i % 2]->Start(boxes.back());
        }
    }
    ~Fixture() {
        for (oxBox* box : boxes)
            oxAnimationScheduler::Instance().ForgetTarget(box);
        elements.clear(); // the instances stop at their next tick
        while (oxAnimationScheduler::Instance().GetCount())
            Tick();
        for (oxBox* box : boxes)
            box->Release();
        while (oxTimerQueue::Instance())
            oxTimerQueue::ReleaseInstance();
        platform::headless::UseRealClock();
    }
    void Tick() {
        clock->Advance(oxAnimationScheduler::kPeriodMs);
        oxAnimationScheduler::Instance().OnTimer(nullptr);
    }

    platform::VirtualClock* clock;
    StyledScene scene;
    std::vector<std::unique_ptr<oxAnimationElement>> elements;
    std::vector<oxBox*> boxes;
};

void BM_HundredAnimationsPerTick(benchmark::State& state) {
    Fixture f;
    for (auto _ : state)
        f.Tick();
    oxStyleValue a, b;
    f.boxes[0]->GetStyleValue(kStyle_fill, &a);
    f.boxes[1]->GetStyleValue(kStyle_opacity, &b);
    state.counters["fill"] = double(a.GetColor() & 0xff);
    state.counters["opacity"] = double(b.GetValue());
}
BENCHMARK(BM_HundredAnimationsPerTick);

// The same values by the formula, written the same way, with no timing or events.
void BM_PeerDirectWrites(benchmark::State& state) {
    Fixture f;
    int time = 0;
    for (auto _ : state) {
        time += 10;
        const float p = float(time % 100000) / 100000.0f;
        for (int i = 0; i < kAnimations; ++i) {
            oxBox* box = f.boxes[i];
            if (i % 2 == 0) {
                const uint32_t c = uint32_t(int(255.0f * p));
                const oxStyleValue value = oxStyleValue::Color(0xff000000u | c << 16 | c << 8 | c);
                oxStyleValue shown;
                box->GetStyleValue(kStyle_fill, &shown);
                if (!shown.Equals(value)) box->SetStyleValue(kStyle_fill, value, 1);
            } else {
                const oxStyleValue value(int32_t(100.0f * p), kStyleNumber);
                oxStyleValue shown;
                box->GetStyleValue(kStyle_opacity, &shown);
                if (!shown.Equals(value)) box->SetStyleValue(kStyle_opacity, value, 1);
            }
        }
    }
}
BENCHMARK(BM_PeerDirectWrites);

} // namespace
