#include "toolkit/animation/animation_services.h"

#include <algorithm>
#include <new>
#include <vector>

#include "toolkit/animation/animation_element.h"
#include "toolkit/animation/motion_element.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/style_animations.h"
#include "toolkit/library/library.h"

namespace {

oxBindableElement* MakeElement(oxAtom tag, oxLibrary* library) {
    switch (tag) {
    case kAtomAnimation: return new (std::nothrow) oxAnimationElement(tag, library);
    case kAtomAnimate:
    case kAtomSet: return new (std::nothrow) oxAnimateElement(tag, library);
    case kAtomAnimateMotion: return new (std::nothrow) oxMotionElement(tag, library);
    default: return nullptr;
    }
}

// The style animation each box runs: one at a time, found by its box.
class StyleAnimations : public oxStyleAnimations {
public:
    void Start(oxBox* box, const oxStyleValue& name) override {
        Stop(box);
        oxBoxScene* scene = box->GetScene();
        oxElement* found = scene ? name.ResolveResource(scene->GetStyleLibrary()) : nullptr;
        auto* element = dynamic_cast<oxAnimationElement*>(found);
        if (!element) return;
        oxTimedAnimationInstance* instance = oxTimedAnimationInstance::FindOrCreate(element, box);
        if (!instance) return;
        instance->SetStyleStarted(true);
        instance->Schedule();
        instance->Prepare();
        instance->Play();
    }
    void Stop(oxBox* box) override {
        if (oxTimedAnimationInstance* running = oxTimedAnimationInstance::FindStyleStarted(box)) running->Stop(false);
    }
};

StyleAnimations g_styleAnimations;

} // namespace

void oxRegisterAnimationElements() {
    oxSetResourceElementMaker(MakeElement);
    oxStyleAnimations::Install(&g_styleAnimations);
}
