#pragma once
// oxTimedAnimationInstance: the clock of one markup animation on one box. It decides on every tick
// whether the animation waits for its begin, is inside its window, has passed its end, repeats or
// is finished, and raises the animation events to the box and to its own hooks, which the element
// kinds override to do the work. The scheduler owns and ticks it.
#include <cstdint>

#include "platform/types.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/animation_instance.h"

class oxAnimationElement;
class oxBox;

// The scheduler's view of an animation is oxAnimationInstance; this is the timing every markup
// animation shares, kept as its own class because the scheduler's base already carries that name.
class oxTimedAnimationInstance : public oxAnimationInstance {
public:
    // Adds itself to the element's live instances; the destructor takes it out again.
    oxTimedAnimationInstance(oxAnimationElement* element, oxBox* target);
    ~oxTimedAnimationInstance() override;

    // The scheduler's tick at `time`: steps the clock by the time since the previous tick.
    void Advance(DWORD time) final;
    // Linear progress of the pass eased by the element's curve; not clamped.
    float GetProgress() const override;

    virtual bool IsGroup() const { return false; }
    // One step of `elapsed` ms; may end in the instance's deletion.
    void Step(int elapsed);
    virtual void ResetTiming();
    // Registers with the scheduler, held.
    virtual void Schedule();
    virtual void Prepare() {}
    virtual void Play();
    virtual void Pause();
    // Ends the instance: deletes it unless it is inside an event or has a parent.
    virtual void Stop(bool fromScheduler);
    virtual void Cancel(bool fromScheduler);

    void FireEvent(oxAtom type);
    // The live instance of `element` for `target`, or a new one whose parent is the instance of the
    // element's parent for the same target.
    static oxTimedAnimationInstance* FindOrCreate(oxAnimationElement* element, oxBox* target);

    // Marks the instance as the box's style animation (started by the `animate` style properties).
    void SetStyleStarted(bool on);
    // The style animation running on `box`, or null.
    static oxTimedAnimationInstance* FindStyleStarted(const oxBox* box);

    oxAnimationElement* GetElement() const { return element_; }
    // The element goes away: the next tick stops the instance.
    void ForgetElement() { element_ = nullptr; }
    oxTimedAnimationInstance* GetParent() const { return parent_; }
    void SetParent(oxTimedAnimationInstance* parent) { parent_ = parent; }
    int GetIteration() const { return iteration_; }
    int GetFramesInPass() const { return framesInPass_; }
    int GetTimeInPass() const { return timeInPass_; }
    int GetTotalTime() const { return totalTime_; }
    bool IsStopped() const { return stopped_; }
    bool IsCancelled() const { return cancelled_; }
    bool IsHeld() const { return held_; }

protected:
    virtual void OnPlay() {}
    virtual void OnPause() {}
    virtual void OnStop() {}
    virtual void OnCancel() {}
    virtual void OnFirstFrame() {}
    virtual void OnFrame() {}
    virtual void OnLastFrame() {}
    virtual void OnChildStopped() {}
    // Stopped after its box went away, so without the stop event: the kinds let go of what they hold.
    virtual void OnTargetGone() {}
    virtual void OnChildCancelled() {}

    // Repeats or stops at the end of a pass.
    void EndOfPass();
    // Dispatches an animation event of `type` through the target's scene.
    void SendToBox(oxAtom type);
    // Removes and deletes the instance (scheduler-listed or not).
    void Finish();

    oxAnimationElement* element_;
    oxTimedAnimationInstance* parent_ = nullptr;
    int iteration_ = 0;
    int framesInPass_ = 0;
    int timeInPass_ = 0;
    int totalTime_ = 0;
    int eventDepth_ = 0;
    bool stopRequested_ = false;
    bool stopped_ = false;
    bool cancelled_ = false;
    bool held_ = false;
    bool firstFrameSent_ = false;
    bool frameSent_ = false;

private:
    DWORD lastTick_ = 0;
    bool registered_ = false;
    bool styleStarted_ = false;
};
