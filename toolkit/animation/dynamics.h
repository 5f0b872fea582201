#pragma once
// oxDynamics: a motion curve that maps the linear progress of an animation or a transition to an
// eased one. Markup and scripts pick a curve by name; without one progress stays linear.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/types.h"

class oxDynamics {
public:
    virtual ~oxDynamics() = default;
    virtual double Evaluate(double t) const = 0;

    // Replaces the curve in `slot` with the one `name` selects; an empty, null or unknown name
    // leaves the slot empty (linear progress). Names compare exactly.
    static void CreateByName(std::unique_ptr<oxDynamics>* slot, const WCHAR* name);
    // `p` eased by the curve in `slot`, or `p` itself when the slot is empty.
    static float Apply(const std::unique_ptr<oxDynamics>& slot, float p);
};

class oxSmoothDynamics : public oxDynamics {
public:
    double Evaluate(double t) const override;
};

// A cubic through (0, 0) and (1, 1) with the given slopes at both ends.
class oxSplineDynamics : public oxDynamics {
public:
    oxSplineDynamics(double startSlope, double endSlope);
    double Evaluate(double t) const override;

private:
    double c0_, c1_, c2_, c3_;
};

// A damped spring whose envelope falls to the tolerance at t = 1.
class oxSpringDynamics : public oxDynamics {
public:
    oxSpringDynamics(double stiffness, double damping, double mass, double tolerance);
    double Evaluate(double t) const override;

private:
    double k_, c_, m_, e_;
    double timeScale_, frequency_;
};

// A fall followed by `count` bounces, each `bounceRatio` as high as the one before.
class oxGravityDynamics : public oxDynamics {
public:
    oxGravityDynamics(double bounceRatio, uint16_t count);
    double Evaluate(double t) const override;

private:
    double ratio_;
    uint16_t count_;
    double total_ = 0;
    std::vector<double> marks_;
};
