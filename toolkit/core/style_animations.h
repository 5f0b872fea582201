#pragma once
// oxStyleAnimations: starts and stops the animations that the `animate` and `animateExit` style
// properties name. The animation module installs it; without it style animations do nothing.
class oxBox;
class oxStyleValue;

class oxStyleAnimations {
public:
    virtual ~oxStyleAnimations() = default;
    // Starts the animation `name` refers to on the box, stopping the box's running one first.
    virtual void Start(oxBox* box, const oxStyleValue& name) = 0;
    // Stops the box's running style animation, if any.
    virtual void Stop(oxBox* box) = 0;

    static void Install(oxStyleAnimations* animations) { installed_ = animations; }
    static oxStyleAnimations* Get() { return installed_; }

private:
    static inline oxStyleAnimations* installed_ = nullptr;
};
