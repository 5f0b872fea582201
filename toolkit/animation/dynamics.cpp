#include "toolkit/animation/dynamics.h"

#include <cmath>
#include <new>
#include <string_view>

namespace {

bool Is(const WCHAR* name, std::u16string_view literal) {
    return std::u16string_view(name) == literal;
}

oxDynamics* MakeByName(const WCHAR* name) {
    if (Is(name, u"smooth")) return new (std::nothrow) oxSmoothDynamics;
    if (Is(name, u"spring") || Is(name, u"spring1")) return new (std::nothrow) oxSpringDynamics(0.25, 0.4, 1.0, 0.01);
    if (Is(name, u"spring2")) return new (std::nothrow) oxSpringDynamics(0.6, 0.3, 0.2, 0.001);
    if (Is(name, u"spring3")) return new (std::nothrow) oxSpringDynamics(0.3, 0.2, 1.0, 0.01);
    if (Is(name, u"spring4")) return new (std::nothrow) oxSpringDynamics(0.25, 0.4, 1.8, 0.01);
    if (Is(name, u"spring5")) return new (std::nothrow) oxSpringDynamics(0.25, 0.4, 0.4, 0.01);
    if (Is(name, u"smoothSpline") || Is(name, u"ease")) return new (std::nothrow) oxSplineDynamics(3.0, 0.0);
    if (Is(name, u"accelerate")) return new (std::nothrow) oxSplineDynamics(0.0, 3.0);
    if (Is(name, u"sSpline")) return new (std::nothrow) oxSplineDynamics(-1.0, -1.0);
    if (Is(name, u"gravity")) return new (std::nothrow) oxGravityDynamics(0.25, 1);
    return nullptr;
}

} // namespace

void oxDynamics::CreateByName(std::unique_ptr<oxDynamics>* slot, const WCHAR* name) {
    slot->reset();
    if (!name || !*name) return;
    slot->reset(MakeByName(name));
}

float oxDynamics::Apply(const std::unique_ptr<oxDynamics>& slot, float p) {
    if (!slot) return p;
    return float(slot->Evaluate(double(p)));
}

double oxSmoothDynamics::Evaluate(double t) const {
    return t * t * (3.0 - 2.0 * t);
}

oxSplineDynamics::oxSplineDynamics(double startSlope, double endSlope)
    : c0_(0.0), c1_(startSlope), c2_(3.0 - 2.0 * startSlope - endSlope), c3_(endSlope + startSlope - 2.0) {}

double oxSplineDynamics::Evaluate(double t) const {
    return ((c3_ * t + c2_) * t + c1_) * t + c0_;
}

oxSpringDynamics::oxSpringDynamics(double stiffness, double damping, double mass, double tolerance)
    : k_(stiffness), c_(damping), m_(mass), e_(tolerance) {
    timeScale_ = -2.0 * (m_ / c_) * std::log(e_);
    frequency_ = std::sqrt(k_ / m_ - m_ * m_ * c_ * c_ * 0.25);
}

double oxSpringDynamics::Evaluate(double t) const {
    return 1.0 - std::exp(-(c_ * timeScale_ * t) / (2.0 * m_)) * std::cos(frequency_ * timeScale_ * t);
}

oxGravityDynamics::oxGravityDynamics(double bounceRatio, uint16_t count) : ratio_(bounceRatio), count_(count) {
    double acc = 1.0, v = 1.0;
    marks_.resize(count_);
    for (uint16_t i = 0; i < count_; ++i) {
        marks_[i] = acc;
        v = ratio_ * v;
        acc = acc + 2.0 * v;
    }
    total_ = acc;
}

double oxGravityDynamics::Evaluate(double t) const {
    if (count_ == 0) return t * t;
    const double x = total_ * t;
    if (x < marks_[0]) return x * x;
    double v = ratio_, acc = 1.0;
    for (int i = 0; i < int(count_) - 1 && !(x < marks_[i + 1]); ++i) {
        acc = acc + 2.0 * v;
        v = ratio_ * v;
    }
    const double top = acc + v;
    const double d = (x - top) / v;
    return d * d * v + (1.0 - v);
}
