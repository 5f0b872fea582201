#include "toolkit/animation/transition.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "graphics/paint/canvas.h"
#include "graphics/pixels/pixel_buffer.h"
#include "platform/win/clock.h"
#include "platform/win/input.h"
#include "platform/win/window.h"
#include "toolkit/animation/animation_internal.h"
#include "toolkit/animation/alpha_effect.h"
#include "toolkit/animation/black_effect.h"
#include "toolkit/animation/blur_effect.h"
#include "toolkit/animation/image_morph_effect.h"
#include "toolkit/animation/light_wipe_effect.h"
#include "toolkit/animation/ripple_effect.h"
#include "toolkit/animation/roll_effect.h"
#include "toolkit/animation/twist_effect.h"
#include "toolkit/animation/page_turn_effect.h"
#include "toolkit/animation/radial_wipe_effect.h"
#include "toolkit/animation/rect_sorter_effect.h"
#include "toolkit/animation/scale_wipe_effect.h"
#include "toolkit/animation/slide_effects.h"
#include "toolkit/animation/slide_uncover_effect.h"
#include "toolkit/animation/snapshot.h"
#include "toolkit/animation/spin_zoom_effect.h"
#include "toolkit/animation/tile_effects.h"
#include "toolkit/animation/transition_effect.h"
#include "toolkit/animation/water_effect.h"
#include "toolkit/core/box.h"

namespace {

oxTransitionHostFinder g_findHost = nullptr;
// The transitions that have a target box, so that a box going away is forgotten by them.
std::vector<oxTransition*>& Aimed() {
    static std::vector<oxTransition*> aimed;
    return aimed;
}

// One row of the factory: the key, then how its effect is built.
struct EffectKind {
    const char16_t* key;
    enum {
        kBase,
        kMove,
        kPush,
        kSquash,
        kSpinZoom,
        kRectSorter,
        kScaleWipe,
        kWater,
        kRadialWipe,
        kPageTurn,
        kPuzzle,
        kSuperBlt,
        kGizmo,
        kSpiral,
        kSpring,
        kSlideUncover,
        kImageMorph,
        kBlur,
        kAlpha,
        kRipple,
        kBlack,
        kLightWipe,
        kRoll,
        kTwist,
    } kind;
    float a, b, c;
};

// Keys compare exactly, in this order; the first match builds.
constexpr EffectKind kEffects[] = {
    {u"", EffectKind::kBase, 0, 0, 0},
    {u"imageMorph", EffectKind::kImageMorph, 0, 0, 0},
    {u"rectSorter", EffectKind::kRectSorter, 0, 0, 0},
    {u"rectSorterZoom", EffectKind::kRectSorter, 1, 0, 0},
    {u"blur", EffectKind::kBlur, 4, 0, 0},
    {u"alpha", EffectKind::kAlpha, 0, 0, 0},
    {u"water", EffectKind::kWater, 0, 0, 0},
    {u"ripple", EffectKind::kRipple, 0, 0, 0},
    {u"radialWipeIn", EffectKind::kRadialWipe, 0, 0, 0},
    {u"radialWipeOut", EffectKind::kRadialWipe, 1, 0, 0},
    {u"pageTurn", EffectKind::kPageTurn, 0, 0, 0},
    {u"black", EffectKind::kBlack, 0, 0, 0},
    {u"lightWipe", EffectKind::kLightWipe, 0, 0, 0},
    {u"roll", EffectKind::kRoll, 0, 0, 0},
    {u"scaleWipe", EffectKind::kScaleWipe, 0, 0, 0},
    {u"twist", EffectKind::kTwist, 0, 0, 0},
    {u"puzzle", EffectKind::kPuzzle, 8, 8, 0},
    {u"dissolve", EffectKind::kBase, 0, 0, 0},
    {u"spiral", EffectKind::kSpiral, 0, 0, 0},
    {u"spring", EffectKind::kSpring, 0, 0, 0},
    {u"super", EffectKind::kSuperBlt, 12, 12, 0},
    {u"gizmo", EffectKind::kGizmo, 30, 1, 0},
    {u"slideCoverLeft", EffectKind::kMove, 1, 0, 0},
    {u"slideCoverUp", EffectKind::kMove, 0, 1, 0},
    {u"slideCoverRight", EffectKind::kMove, -1, 0, 0},
    {u"slideCoverDown", EffectKind::kMove, 0, -1, 0},
    {u"slideUncoverLeft", EffectKind::kSlideUncover, -1, 0, 0},
    {u"slideUncoverUp", EffectKind::kSlideUncover, 0, -1, 0},
    {u"slideUncoverRight", EffectKind::kSlideUncover, 1, 0, 0},
    {u"slideUncoverDown", EffectKind::kSlideUncover, 0, 1, 0},
    {u"squashLeft", EffectKind::kSquash, -1, 0, 0},
    {u"squashRight", EffectKind::kSquash, 1, 0, 0},
    {u"squashDown", EffectKind::kSquash, 0, 1, 0},
    {u"squashUp", EffectKind::kSquash, 0, -1, 0},
    {u"pushLeft", EffectKind::kPush, -1, 0, 0},
    {u"pushRight", EffectKind::kPush, 1, 0, 0},
    {u"pushDown", EffectKind::kPush, 0, 1, 0},
    {u"pushUp", EffectKind::kPush, 0, -1, 0},
    {u"spinCW", EffectKind::kSpinZoom, 1440, 0, 0},
    {u"spinCCW", EffectKind::kSpinZoom, -1440, 0, 0},
    {u"zoomIn", EffectKind::kSpinZoom, 0, 1, 0},
    {u"zoomOut", EffectKind::kSpinZoom, 0, -1, 0},
    {u"spinCWIn", EffectKind::kSpinZoom, 1440, 1, 0},
    {u"spinCCWIn", EffectKind::kSpinZoom, -1440, 1, 0},
    {u"spinCWOut", EffectKind::kSpinZoom, -1440, -1, 0},
    {u"spinCCWOut", EffectKind::kSpinZoom, 1440, -1, 0},
};

bool SameText(const char16_t* a, const char16_t* b) {
    while (*a && *a == *b)
        ++a, ++b;
    return *a == *b;
}

oxTransitionEffect* MakeEffect(const EffectKind& e) {
    switch (e.kind) {
    case EffectKind::kBase:
        return new (std::nothrow) oxTransitionEffect();
    case EffectKind::kMove:
        return new (std::nothrow) oxMoveEffect(e.a, e.b);
    case EffectKind::kPush:
        return new (std::nothrow) oxPushEffect(e.a, e.b);
    case EffectKind::kSquash:
        return new (std::nothrow) oxSquashEffect(e.a, e.b);
    case EffectKind::kRectSorter:
        return new (std::nothrow) oxRectSorterEffect(e.a != 0);
    case EffectKind::kSpinZoom:
        return new (std::nothrow) oxSpinZoomEffect(e.a, int32_t(e.b));
    case EffectKind::kScaleWipe:
        return new (std::nothrow) oxScaleWipeEffect();
    case EffectKind::kWater:
        return new (std::nothrow) oxWaterEffect();
    case EffectKind::kRadialWipe:
        return new (std::nothrow) oxRadialWipeEffect(e.a != 0);
    case EffectKind::kPageTurn:
        return new (std::nothrow) oxPageTurnEffect();
    case EffectKind::kPuzzle:
        return new (std::nothrow) oxPuzzleEffect(int32_t(e.a), int32_t(e.b), uint8_t(e.c));
    case EffectKind::kSuperBlt:
        return new (std::nothrow) oxSuperBltEffect(int32_t(e.a), int32_t(e.b), uint8_t(e.c));
    case EffectKind::kGizmo:
        return new (std::nothrow) oxGizmoEffect(int32_t(e.a), int32_t(e.b), uint8_t(e.c));
    case EffectKind::kSpiral:
        return new (std::nothrow) oxSpiralEffect();
    case EffectKind::kSpring:
        return new (std::nothrow) oxSpringEffect();
    case EffectKind::kSlideUncover:
        return new (std::nothrow) oxSlideUncoverEffect(e.a, e.b);
    case EffectKind::kImageMorph:
        return new (std::nothrow) oxImageMorphEffect();
    case EffectKind::kBlur:
        return new (std::nothrow) oxBlurEffect(int32_t(e.a));
    case EffectKind::kAlpha:
        return new (std::nothrow) oxAlphaEffect();
    case EffectKind::kRipple:
        return new (std::nothrow) oxRippleEffect();
    case EffectKind::kBlack:
        return new (std::nothrow) oxBlackEffect();
    case EffectKind::kLightWipe:
        return new (std::nothrow) oxLightWipeEffect();
    case EffectKind::kRoll:
        return new (std::nothrow) oxRollEffect();
    case EffectKind::kTwist:
        return new (std::nothrow) oxTwistEffect();
    }
    return nullptr;
}

// The box's rectangle in its window, cut by each ancestor's.
oxRect VisibleRect(oxBox* box) {
    auto frameRect = [](oxBox* b) {
        const oxPoint at = b->GetFramePosition();
        const oxPoint size = b->GetPacked(1);
        return oxRect{at.x, at.y, size.x, size.y};
    };
    oxRect r = frameRect(box);
    for (oxBox* b = box->GetParent(); b && r.width > 0 && r.height > 0; b = b->GetParent())
        r.Intersect(frameRect(b));
    return r;
}

bool Down(int vk) {
    return (GetAsyncKeyState(vk) & 0x8000) != 0;
}

} // namespace

void oxSetTransitionHostFinder(oxTransitionHostFinder finder) {
    g_findHost = finder;
}

bool oxFindTransitionHost(oxBox* box, oxTransitionHost* host) {
    *host = oxTransitionHost{};
    return box && box->GetScene() && g_findHost && g_findHost(box, host);
}

oxTransition::~oxTransition() {
    std::erase(Aimed(), this);
    SetBackground(nullptr);
}

void oxTransition::SetBackground(oxSnapshot* snapshot) {
    if (snapshot) snapshot->AddRef();
    if (background_) background_->Release();
    background_ = snapshot;
}

void oxForgetTransitionTarget(const oxBox* box) {
    for (oxTransition* t : Aimed())
        if (t->GetTarget() == box) t->ForgetTarget();
}

ULONG oxTransition::AddRef() {
    return ++refs_;
}

ULONG oxTransition::Release() {
    if (refs_ == 1) {
        refs_ = 0xC0000001u;
        delete this;
        return 0;
    }
    return --refs_;
}

void oxTransition::SetTarget(oxBox* box) {
    if (!box) return;
    // The frame is found again at each run, not kept: a frame may go between the setting and the run.
    oxInstallSnapshotRegistry();
    if (!target_) Aimed().push_back(this);
    target_ = box;
}

int32_t oxTransition::SetType(const WCHAR* name) {
    if (!name) return 0;
    if (!typeName_.IsEmpty() && SameText(typeName_.GetString(), name)) return 0;
    return CreateEffect(name) ? 1 : 0;
}

bool oxTransition::CreateEffect(const WCHAR* name) {
    typeName_ = NUBO::TWString(name ? name : u"");
    effect_.reset();
    for (const EffectKind& e : kEffects)
        if (SameText(e.key, typeName_.GetString())) {
            effect_.reset(MakeEffect(e));
            break;
        }
    return effect_ != nullptr;
}

void oxTransition::SetDynamicsType(const WCHAR* name) {
    oxDynamics::CreateByName(&dynamics_, name);
}

void oxTransition::Perform(oxSnapshot* from, oxSnapshot* to) {
    oxTransitionHost host;
    if (!oxFindTransitionHost(target_, &host) || !from || !to || !from->GetPicture() || !to->GetPicture()) return;
    const POINT origin{to->GetRect().x, to->GetRect().y};
    auto* morph =
        SameText(typeName_.GetString(), u"imageMorph") ? dynamic_cast<oxImageMorphEffect*>(effect_.get()) : nullptr;
    if (morph) {
        morph->SetImageItems(from->GetImageItems(), to->GetImageItems());
        // Without a background the effect also forgets the one of an earlier run, which may be gone.
        const oxPixelBuffer* background = background_ ? background_->GetPicture() : nullptr;
        morph->SetBackground(background);
        if (!background) morph->SetFillColor(fillColor);
    }
    PerformBuffers(from->GetPicture(), to->GetPicture(), &origin, from->GetRectItems(), to->GetRectItems());
    // The lists and the background belong to the snapshots, which may go once the run is over.
    if (morph) {
        morph->SetImageItems(nullptr, nullptr);
        morph->SetBackground(nullptr);
    }
}

void oxTransition::PerformBuffers(const oxPixelBuffer* from, const oxPixelBuffer* to, const POINT* origin,
                                  const std::vector<oxSnapshotRectItem>* fromItems,
                                  const std::vector<oxSnapshotRectItem>* toItems) {
    if (!IsStylusSteady()) return;
    oxTransitionHost host;
    if (oxFindTransitionHost(target_, &host) && host.suppressesTransitions) return;
    Run(from, to, origin, fromItems, toItems);
}

bool oxTransition::IsStylusSteady() {
    if (!Down(VK_LBUTTON) && !Down(VK_RBUTTON)) return true;
    oxTransitionHost host;
    if (!target_ || !oxFindTransitionHost(target_, &host) || !host.pressed) return true;
    POINT now{0, 0};
    GetCursorPos(&now);
    return std::abs(now.x - host.pressPoint.x) <= 5 && std::abs(now.y - host.pressPoint.y) <= 5;
}

void oxTransition::Run(const oxPixelBuffer* from, const oxPixelBuffer* to, const POINT* origin,
                       const std::vector<oxSnapshotRectItem>* fromItems,
                       const std::vector<oxSnapshotRectItem>* toItems) {
    oxTransitionHost host;
    if (!from || !to || !from->HasPixels() || !to->HasPixels() || !oxFindTransitionHost(target_, &host) || !effect_ ||
        !host.window)
        return;
    const POINT at = origin ? *origin : POINT{0, 0};
    oxRect clip{0, 0, std::min(from->width, to->width), std::min(from->height, to->height)};
    if (target_) {
        oxRect visible = VisibleRect(target_);
        visible.Offset(oxPoint{-at.x, -at.y});
        if (visible.width > 0 && visible.height > 0) clip.Intersect(visible);
    }
    const RECT cut{clip.x, clip.y, clip.x + clip.width, clip.y + clip.height};
    if (fromItems && toItems) {
        const NUBO::TWString& type = typeName_;
        if (SameText(type.GetString(), u"rectSorter") || SameText(type.GetString(), u"rectSorterZoom")) {
            auto* sorter = static_cast<oxRectSorterEffect*>(effect_.get());
            oxPixelBuffer toView;
            toView.InitSubRect(*to, &cut);
            sorter->SetSortArea(oxRect{0, 0, toView.width, toView.height});
            sorter->BuildItems(*fromItems, *toItems);
            sorter->SetFillColor(fillColor);
        }
    }
    oxPixelBuffer fromView, toView;
    fromView.InitSubRect(*from, &cut);
    toView.InitSubRect(*to, &cut);
    if (!fromView.HasPixels() || !toView.HasPixels() || fromView.width != toView.width ||
        fromView.height != toView.height)
        return;

    const float seconds = float(duration) * 0.001f;
    const double rate = seconds != 0.0f ? 1.0 / double(seconds) : 0.0;
    effect_->Start(fromView, toView, host.window, true);
    effect_->SetOrigin(at.x, at.y);

    bool leftHeld = Down(VK_LBUTTON), rightHeld = Down(VK_RBUTTON);
    for (int vk = 0; vk < 256; ++vk)
        (void)GetAsyncKeyState(vk); // forgets the presses that came before the run
    DWORD lastTick = GetTickCount();
    const double start = double(lastTick) * 0.001;
    double now = start, t = 0.0;
    // A duration of 0 would never end by the clock: it shows the final frame at once.
    while (rate != 0.0 && t < 1.0) {
        const DWORD tick = GetTickCount();
        // A virtual clock (tests, recorded runs) moves only when asked: the loop waits a
        // millisecond on it as it would on the device. A real clock ignores the request.
        if (tick == lastTick) platform::CurrentClock().SkipTo(platform::NowMs() + 1);
        lastTick = tick;
        now = double(tick) * 0.001;
        t = (now - start) * rate;
        effect_->RenderFrame(oxDynamics::Apply(dynamics_, float(t)));
        effect_->PaintToWindow(host.window, 0, true);
        bool stop = false;
        for (int vk = 0; vk < 256 && !stop; ++vk)
            stop = (GetAsyncKeyState(vk) & 0x8001) == 0x8001;
        const bool left = Down(VK_LBUTTON), right = Down(VK_RBUTTON);
        if ((left && !leftHeld) || (right && !rightHeld)) stop = true;
        // A button held from before is forgotten once it is seen up; a later press then stops.
        leftHeld = leftHeld && left;
        rightHeld = rightHeld && right;
        if (stop) break;
    }
    effect_->Finish();
    effect_->PaintToWindow(host.window, 0, true);
    if (host.canvas) {
        if (HDC dc = host.canvas->GetDC()) {
            effect_->PaintToDC(dc, true);
            host.canvas->ReleaseDC();
        }
    }
}
