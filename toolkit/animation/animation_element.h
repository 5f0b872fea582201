#pragma once
// oxAnimationElement (`animation`) and oxAnimateElement (`animate`, `set`): the timing elements of
// scene markup. They hold the parsed timing and values and make the running instances for a box:
// a group instance that plays its children together, or a property instance that moves one style
// property or attribute from a value to a value.
#include <memory>
#include <vector>

#include "runtime/wide_string.h"
#include "toolkit/animation/animation_timing.h"
#include "toolkit/animation/dynamics.h"
#include "toolkit/library/bindable_element.h"
#include "toolkit/style/style_value.h"

class oxBox;
class oxScene;

class oxAnimationElement : public oxBindableElement {
public:
    enum Fill { kFillNone = 0, kFillFreeze = 1, kFillRemove = 2 };

    oxAnimationElement(oxAtom tag, oxLibrary* library);
    // Every live instance loses its element and stops at its next tick.
    ~oxAnimationElement() override;

    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    virtual int32_t SetAttribute(oxAtom attribute, const WCHAR* value);
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;
    // A new instance for `target`, or null when the element cannot animate.
    virtual oxTimedAnimationInstance* CreateInstance(oxBox* target);

    // Milliseconds of a time value: "2s" is 2000, "1500" is 1500, null is 0.
    static int ParseTime(const WCHAR* text);
    // -1 for a keyword ("indefinite"), else the integer; 0 for text that does not parse.
    static int ParseRepeatCount(const WCHAR* text);

    int GetRepeatCount() const { return repeatCount_; }
    int GetRepeatDur() const { return repeatDur_; }
    int GetDur() const { return dur_; }
    int GetBegin() const { return begin_; }
    int GetEnd() const { return end_; }
    int GetFps() const { return fps_; }
    int GetFill() const { return fill_; }
    const std::unique_ptr<oxDynamics>& GetDynamics() const { return dynamics_; }
    const std::vector<std::unique_ptr<oxAnimationElement>>& GetChildren() const { return children_; }
    oxAnimationElement* GetParentElement() const { return parent_; }
    // Identifies the element's instances in the scheduler.
    uint32_t GetSerial() const { return serial_; }
    void AddInstance(oxTimedAnimationInstance* instance) { instances_.push_back(instance); }
    void RemoveInstance(oxTimedAnimationInstance* instance);
    // Starts the element on `target`: the instance is scheduled, prepared and played.
    oxTimedAnimationInstance* Start(oxBox* target);

protected:
    int repeatCount_ = 0;
    int repeatDur_ = 0;
    int dur_ = 0;
    int begin_ = 0;
    int end_ = 0;
    int fps_ = 1;
    int fill_ = kFillNone;
    std::vector<std::unique_ptr<oxAnimationElement>> children_;
    std::vector<oxTimedAnimationInstance*> instances_;
    std::unique_ptr<oxDynamics> dynamics_;
    oxAnimationElement* parent_ = nullptr;
    uint32_t serial_;
};

class oxAnimateElement : public oxAnimationElement {
public:
    oxAnimateElement(oxAtom tag, oxLibrary* library) : oxAnimationElement(tag, library) {}

    int32_t SetAttribute(oxAtom attribute, const WCHAR* value) override;
    void EndElement() override;
    oxTimedAnimationInstance* CreateInstance(oxBox* target) override;

    bool IsStyleMode() const { return styleMode_; }
    const NUBO::TWString& GetName() const { return name_; }
    const NUBO::TWString& GetFromText() const { return fromText_; }
    const NUBO::TWString& GetToText() const { return toText_; }
    const oxStyleValue& GetFromValue() const { return fromValue_; }
    const oxStyleValue& GetToValue() const { return toValue_; }
    int GetPropertyId() const { return propertyId_; }
    oxAtom GetNameAtom() const { return nameAtom_; }

private:
    bool styleMode_ = false;
    bool hasName_ = false;
    NUBO::TWString name_, fromText_, toText_;
    bool hasFrom_ = false, hasTo_ = false;
    oxAtom nameAtom_ = 0;
    int propertyId_ = -1;
    oxStyleValue fromValue_, toValue_;
};

// Plays the instances of the group's child elements together; its pass ends when they have all
// stopped.
class oxAnimationGroupInstance : public oxTimedAnimationInstance {
public:
    using oxTimedAnimationInstance::oxTimedAnimationInstance;

    bool IsGroup() const override { return true; }
    void Schedule() override;
    void Prepare() override;
    void ResetTiming() override;

protected:
    void OnPlay() override;
    void OnPause() override;
    void OnStop() override;
    void OnCancel() override;
    void OnChildStopped() override;
    void OnChildCancelled() override;
    void OnTargetGone() override;

private:
    void MakeChildren(bool schedule);
    // Takes the children out, first first, and stops or cancels each on its own.
    void ReleaseChildren(bool cancel);

    int remaining_ = 0;
    std::vector<oxTimedAnimationInstance*> children_;
};

// Interpolates one style property or attribute of the box and applies it on every frame.
class oxAnimateInstance : public oxTimedAnimationInstance {
public:
    oxAnimateInstance(oxAnimateElement* element, oxBox* target);

    void Schedule() override;
    void Prepare() override;
    const oxStyleValue& GetCurrent() const { return current_; }

protected:
    void OnFirstFrame() override;
    void OnFrame() override;
    void OnLastFrame() override;
    void OnStop() override;
    void OnCancel() override;

private:
    oxAnimateElement* Animate() const { return static_cast<oxAnimateElement*>(element_); }
    // The integer value of the box's attribute named by `text`, when the box has one.
    bool AttributeInteger(const WCHAR* text, int32_t* out) const;
    void ApplyStyle(const oxStyleValue& value);
    void ApplyText(const WCHAR* text);
    void Restore();
    // The box's fill cross-fade, made on the first frame and moved to the progress; ended with the run.
    void StepCrossFade(oxBox* target);
    void EndCrossFade();

    bool styleMode_;
    int propertyId_;
    oxAtom nameAtom_;
    oxStyleValue from_, to_, saved_, current_;
    NUBO::TWString savedText_, currentText_;
    bool hasSavedText_ = false;
    int32_t delta_ = 0;
    int16_t deltaA_ = 0, deltaR_ = 0, deltaG_ = 0, deltaB_ = 0;
    oxStyleType kind_ = kStyleNull;
    bool firstApplied_ = false, fromResolved_ = false, toResolved_ = false, hadOwnValue_ = false;
    bool fades_ = false;
};
