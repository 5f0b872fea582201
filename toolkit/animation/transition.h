#pragma once
// oxTransition: the settings of one screen transition (effect, duration, motion curve, fill
// colour, background) for a target box, the factory that builds the effect by name, and the run:
// a blocking frame loop that renders the effect as fast as it can until the duration has passed or
// a key or a new stylus press ends it, painting each frame straight into the box's window.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/types.h"
#include "platform/win/window.h"
#include "runtime/wide_string.h"
#include "toolkit/animation/dynamics.h"
#include "toolkit/animation/transition_effect.h"

class oxBox;
class oxCanvas;
struct oxPixelBuffer;
class oxSnapshot;
struct oxSnapshotRectItem;

// What a transition needs of the native frame that shows its box. The frames' module installs the
// finder; without one, or for a box in no frame, there is no host and nothing is drawn.
struct oxTransitionHost {
    HWND window = nullptr;
    // The frame's back buffer: it takes the final frame, so that later repaints show it; boxes
    // are captured from it.
    oxCanvas* canvas = nullptr;
    bool suppressesTransitions = false;
    // The stylus press that the box's frame input records, at its screen point.
    bool pressed = false;
    POINT pressPoint{0, 0};
};
using oxTransitionHostFinder = bool (*)(oxBox* box, oxTransitionHost* host);
void oxSetTransitionHostFinder(oxTransitionHostFinder finder);
// The host of the box's frame; false without one.
bool oxFindTransitionHost(oxBox* box, oxTransitionHost* host);

class oxTransition {
public:
    oxTransition() = default;
    explicit oxTransition(oxBox* box) { SetTarget(box); }
    virtual ~oxTransition();
    oxTransition(const oxTransition&) = delete;
    oxTransition& operator=(const oxTransition&) = delete;

    virtual ULONG AddRef();
    virtual ULONG Release();

    // A null box changes nothing.
    void SetTarget(oxBox* box);
    // 0 when the name is the current one (the effect and its state are kept), else CreateEffect.
    int32_t SetType(const WCHAR* name);
    // The effect the factory builds for the name; false for an unknown name.
    bool CreateEffect(const WCHAR* name);
    void SetDynamicsType(const WCHAR* name);
    void Perform(oxSnapshot* from, oxSnapshot* to);
    void PerformBuffers(const oxPixelBuffer* from, const oxPixelBuffer* to, const POINT* origin,
                        const std::vector<oxSnapshotRectItem>* fromItems,
                        const std::vector<oxSnapshotRectItem>* toItems);
    void Run(const oxPixelBuffer* from, const oxPixelBuffer* to, const POINT* origin,
             const std::vector<oxSnapshotRectItem>* fromItems, const std::vector<oxSnapshotRectItem>* toItems);
    // False while a press in progress has moved more than 5 pixels: a drag is under way.
    bool IsStylusSteady();

    oxBox* GetTarget() const { return target_; }
    // The target box is going away.
    void ForgetTarget() { target_ = nullptr; }
    oxTransitionEffect* GetEffect() const { return effect_.get(); }
    const NUBO::TWString& GetTypeName() const { return typeName_; }

    int32_t duration = 1000; // milliseconds
    uint32_t fillColor = 0xFF000000u;
    // Counted, unlike the device's, so that a script dropping the snapshot leaves no stale picture.
    void SetBackground(oxSnapshot* snapshot);
    oxSnapshot* GetBackground() const { return background_; }

private:
    ULONG refs_ = 0;
    oxBox* target_ = nullptr; // not counted; forgotten when the box goes
    std::unique_ptr<oxTransitionEffect> effect_;
    NUBO::TWString typeName_;
    std::unique_ptr<oxDynamics> dynamics_;
    oxSnapshot* background_ = nullptr;
};
