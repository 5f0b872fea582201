#include "toolkit/animation/animation_element.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "toolkit/core/box.h"
#include "toolkit/style/style_declaration.h"
#include "toolkit/style/style_parser.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/style/style_tables.h"

namespace {

// Serials far above the small ids other animation kinds use.
uint32_t g_nextSerial = 0x100000;

bool IsText(const NUBO::TWString& text, std::u16string_view word) {
    return !text.IsEmpty() && std::u16string_view(text.GetString()) == word;
}

int ParseDecimal(const WCHAR* text) {
    if (!text) return 0;
    bool negative = *text == u'-';
    if (negative || *text == u'+') ++text;
    long long n = 0;
    for (; *text >= u'0' && *text <= u'9'; ++text)
        n = std::min<long long>(n * 10 + (*text - u'0'), 0x7fffffff);
    return int(negative ? -n : n);
}

bool IsColor(oxStyleType type) {
    return type == kStyleColor || type == kStyleSysColor;
}

} // namespace

oxAnimationElement::oxAnimationElement(oxAtom tag, oxLibrary* library)
    : oxBindableElement(tag, library), serial_(g_nextSerial++) {}

oxAnimationElement::~oxAnimationElement() {
    for (oxTimedAnimationInstance* instance : instances_)
        instance->ForgetElement();
    instances_.clear();
}

void oxAnimationElement::RemoveInstance(oxTimedAnimationInstance* instance) {
    instances_.erase(std::remove(instances_.begin(), instances_.end(), instance), instances_.end());
}

int oxAnimationElement::ParseTime(const WCHAR* text) {
    if (!text) return 0;
    oxStyleValue value;
    if (!ParseStyleValue(text, kStyleMaskNumber, &value)) return 0;
    if (value.GetType() == kStyleSeconds) return value.GetInt() * 1000;
    return value.GetInt();
}

int32_t oxAnimationElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    if (ns == 0) {
        const int32_t hr = SetAttribute(attribute, value);
        if (hr != kElementNotHandled) return hr;
    }
    return oxBindableElement::SetMarkupAttribute(ns, attribute, value);
}

int32_t oxAnimationElement::SetAttribute(oxAtom attribute, const WCHAR* value) {
    switch (attribute) {
    case kAtomFill: {
        const std::u16string_view text = value ? value : u"";
        fill_ = text == u"freeze" ? kFillFreeze : text == u"remove" ? kFillRemove : kFillNone;
        return 0;
    }
    // The three times fill in each other, so their order in the markup matters.
    case kAtomBegin:
        begin_ = ParseTime(value);
        if (end_ == 0) end_ = begin_ + dur_;
        if (dur_ == 0) dur_ = end_ - begin_;
        return 0;
    case kAtomDur:
        dur_ = ParseTime(value);
        if (end_ == 0) end_ = dur_ + begin_;
        return 0;
    case kAtomEnd:
        end_ = ParseTime(value);
        if (dur_ == 0) dur_ = end_ - begin_;
        return 0;
    case kAtomDynamics: oxDynamics::CreateByName(&dynamics_, value); return 0;
    case kAtomFps: fps_ = ParseDecimal(value); return 0;
    case kAtomRepeatCount: {
        // A keyword ("indefinite") repeats for ever; text that does not parse plays once.
        oxStyleValue parsed;
        if (!value || !ParseStyleValue(value, kStyleMaskNumber | kStyleMaskKeyword, &parsed)) repeatCount_ = 0;
        else repeatCount_ = parsed.GetType() == kStyleKeyword ? -1 : parsed.GetInt();
        return 0;
    }
    case kAtomRepeatDur: repeatDur_ = ParseTime(value); return 0;
    default: break;
    }
    return kElementNotHandled;
}

int32_t oxAnimationElement::CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) {
    (void)ns;
    *out = nullptr;
    std::unique_ptr<oxAnimationElement> child;
    switch (tag) {
    case kAtomAnimate:
    case kAtomSet: child = std::make_unique<oxAnimateElement>(tag, library_); break;
    case kAtomAnimation: child = std::make_unique<oxAnimationElement>(tag, library_); break;
    default: return kElementNotHandled;
    }
    child->parent_ = this;
    *out = child.get();
    children_.push_back(std::move(child));
    return 0;
}

oxTimedAnimationInstance* oxAnimationElement::CreateInstance(oxBox* target) {
    return new oxAnimationGroupInstance(this, target);
}

oxTimedAnimationInstance* oxAnimationElement::Start(oxBox* target) {
    oxTimedAnimationInstance* instance = oxTimedAnimationInstance::FindOrCreate(this, target);
    if (!instance) return nullptr;
    instance->Schedule();
    instance->Prepare();
    instance->Play();
    return instance;
}

int32_t oxAnimateElement::SetAttribute(oxAtom attribute, const WCHAR* value) {
    switch (attribute) {
    case kAtomName:
        name_ = value;
        hasName_ = value != nullptr;
        return 0;
    case kAtomFrom:
        fromText_ = value;
        hasFrom_ = value != nullptr;
        return 0;
    case kAtomTo:
        toText_ = value;
        hasTo_ = value != nullptr;
        return 0;
    case kAtomType: styleMode_ = value && std::u16string_view(value) == u"style"; return 0;
    default: return oxAnimationElement::SetAttribute(attribute, value);
    }
}

void oxAnimateElement::EndElement() {
    if (styleMode_) {
        const int id = StylePropertyIdFromName(name_.GetString());
        if (hasFrom_ && !ParseStylePropertyValue(id, fromText_.GetString(), &fromValue_)) fromValue_.Clear(true);
        if (hasTo_ && !ParseStylePropertyValue(id, toText_.GetString(), &toValue_)) toValue_.Clear(true);
    } else {
        const unsigned any = kStyleMaskColor | kStyleMaskKeyword | kStyleMaskNumber | kStyleMaskReference | kStyleMaskText;
        if (hasFrom_ && !ParseStyleValue(fromText_.GetString(), any, &fromValue_)) fromValue_.Clear(true);
        if (hasTo_ && !ParseStyleValue(toText_.GetString(), any, &toValue_)) toValue_.Clear(true);
    }
    oxAnimationElement::EndElement();
}

oxTimedAnimationInstance* oxAnimateElement::CreateInstance(oxBox* target) {
    if (!hasName_ || !target) return nullptr;
    if (styleMode_) {
        if (propertyId_ < 0) propertyId_ = StylePropertyIdFromName(name_.GetString());
        if (propertyId_ < 0) return nullptr; // no such property: nothing to animate
    } else if (nameAtom_ == 0) {
        nameAtom_ = oxAtoms::Intern(name_.GetString());
    }
    return new oxAnimateInstance(this, target);
}

// Group instance.

void oxAnimationGroupInstance::MakeChildren(bool schedule) {
    oxAnimationElement* element = GetElement();
    if (!element) return;
    remaining_ = int(element->GetChildren().size());
    for (const auto& childElement : element->GetChildren()) {
        oxTimedAnimationInstance* child = FindOrCreate(childElement.get(), GetTarget());
        if (!child) {
            remaining_ -= 1; // an `animate` without a name makes no instance
            continue;
        }
        if (schedule) child->Schedule();
        else child->Prepare();
        child->SetParent(this);
        children_.push_back(child);
    }
}

void oxAnimationGroupInstance::Schedule() {
    oxTimedAnimationInstance::Schedule();
    if (!children_.empty()) {
        for (oxTimedAnimationInstance* child : children_)
            child->Schedule();
        return;
    }
    MakeChildren(true);
}

void oxAnimationGroupInstance::Prepare() {
    remaining_ = int(children_.size());
    for (oxTimedAnimationInstance* child : children_)
        child->Prepare();
}

void oxAnimationGroupInstance::ResetTiming() {
    oxTimedAnimationInstance::ResetTiming();
    remaining_ = int(children_.size());
    for (oxTimedAnimationInstance* child : children_)
        child->ResetTiming();
}

void oxAnimationGroupInstance::OnPlay() {
    if (!children_.empty()) {
        for (oxTimedAnimationInstance* child : children_)
            child->Prepare();
    } else {
        MakeChildren(false);
    }
    // A child's play may run its whole pass at once and end the group: walk a copy.
    const std::vector<oxTimedAnimationInstance*> children = children_;
    for (oxTimedAnimationInstance* child : children)
        child->Play();
}

void oxAnimationGroupInstance::OnPause() {
    for (oxTimedAnimationInstance* child : children_)
        child->Pause();
}

void oxAnimationGroupInstance::ReleaseChildren(bool cancel) {
    std::vector<oxTimedAnimationInstance*> children;
    children.swap(children_);
    for (oxTimedAnimationInstance* child : children) {
        child->SetParent(nullptr);
        if (cancel) child->Cancel(false);
        else child->Stop(false);
    }
}

void oxAnimationGroupInstance::OnStop() {
    ReleaseChildren(false);
    SendToBox(kAtomAnimationExit);
}

void oxAnimationGroupInstance::OnCancel() {
    ReleaseChildren(true);
    SendToBox(kAtomAnimationExit);
}

void oxAnimationGroupInstance::OnTargetGone() {
    ReleaseChildren(false);
}

void oxAnimationGroupInstance::OnChildStopped() {
    if (--remaining_ != 0) return;
    // Every child has stopped: the group's pass ends.
    EndOfPass();
}

void oxAnimationGroupInstance::OnChildCancelled() {
    if (--remaining_ == 0) Cancel(false);
}

// Property instance.

oxAnimateInstance::oxAnimateInstance(oxAnimateElement* element, oxBox* target)
    : oxTimedAnimationInstance(element, target), styleMode_(element->IsStyleMode()),
      propertyId_(element->GetPropertyId()), nameAtom_(element->GetNameAtom()) {
    if (element->GetFill() != oxAnimationElement::kFillRemove) return;
    if (styleMode_) {
        if (const oxStyleDeclaration* own = target->GetInlineStyle()) own->GetProperty(&saved_, propertyId_);
    } else if (const WCHAR* text = target->GetAttribute(nameAtom_)) {
        savedText_ = text;
        hasSavedText_ = true;
    }
}

bool oxAnimateInstance::AttributeInteger(const WCHAR* text, int32_t* out) const {
    oxBox* target = GetTarget();
    if (!target || !text || !*text) return false;
    const oxAtom atom = oxAtoms::Find(text);
    const WCHAR* value = atom ? target->GetAttribute(atom) : nullptr;
    if (!value) return false;
    *out = ParseDecimal(value);
    return true;
}

void oxAnimateInstance::Schedule() {
    oxBox* target = GetTarget();
    // Read before the scheduler marks the box: an earlier animation's value is not the box's own.
    const bool animating = target && (target->GetStateFlags() & kStateAnimating);
    oxTimedAnimationInstance::Schedule();
    oxAnimateElement* element = Animate();
    if (!element || !target) return;
    if (styleMode_) {
        if (!animating) {
            oxStyleValue own;
            if (const oxStyleDeclaration* declaration = target->GetInlineStyle()) declaration->GetProperty(&own, propertyId_);
            hadOwnValue_ = !own.IsNull();
        }
        if (IsText(element->GetFromText(), u"before")) {
            target->GetStyleValue(propertyId_, &from_);
            fromResolved_ = true;
        }
        if (IsText(element->GetToText(), u"before")) {
            target->GetStyleValue(propertyId_, &to_);
            toResolved_ = true;
        }
        return;
    }
    auto resolve = [&](const NUBO::TWString& text, unsigned mask, oxStyleValue* out) {
        if (IsText(text, u"before")) {
            const WCHAR* current = target->GetAttribute(nameAtom_);
            if (!current || !ParseStyleValue(current, mask, out)) *out = oxStyleValue(0, kStyleNumber);
            return true;
        }
        const oxStyleValue& given = out == &from_ ? element->GetFromValue() : element->GetToValue();
        if (given.GetType() != kStyleText) return false;
        int32_t number = 0;
        if (AttributeInteger(given.GetText(), &number)) *out = oxStyleValue(number, kStyleNumber);
        else *out = given;
        return true;
    };
    fromResolved_ = resolve(element->GetFromText(), 220, &from_);
    toResolved_ = resolve(element->GetToText(), 140, &to_);
}

void oxAnimateInstance::Prepare() {
    oxBox* target = GetTarget();
    oxAnimateElement* element = Animate();
    if (!target || !element) return;
    if (!styleMode_) {
        if (!toResolved_) to_ = element->GetToValue();
        if (!fromResolved_) {
            from_ = element->GetFromValue();
            int32_t number = 0;
            if (const WCHAR* current = target->GetAttribute(nameAtom_)) {
                number = ParseDecimal(current);
                from_ = oxStyleValue(number, kStyleNumber);
            }
        }
        from_.SetType(kStyleNumber);
    } else {
        auto resolve = [&](const NUBO::TWString& text, const oxStyleValue& given, oxStyleValue* out, bool isTo) {
            if (given.IsNull() || IsText(text, u"after")) {
                if (isTo && hadOwnValue_) {
                    target->RemoveStyleValue(propertyId_);
                    hadOwnValue_ = false;
                }
                target->GetStyleValue(propertyId_, out);
                return;
            }
            int32_t number = 0;
            if (AttributeInteger(text.GetString(), &number)) *out = oxStyleValue(number, kStyleNumber);
            else *out = given;
        };
        if (!fromResolved_) resolve(element->GetFromText(), element->GetFromValue(), &from_, false);
        if (!toResolved_) resolve(element->GetToText(), element->GetToValue(), &to_, true);
    }
    if (!IsColor(from_.GetType()) && !IsColor(to_.GetType())) {
        delta_ = to_.GetInt() - from_.GetInt();
        kind_ = to_.GetType();
        return;
    }
    const uint32_t a = from_.GetColor(), b = to_.GetColor();
    deltaA_ = int16_t(int(b >> 24) - int(a >> 24));
    deltaR_ = int16_t(int((b >> 16) & 0xff) - int((a >> 16) & 0xff));
    deltaG_ = int16_t(int((b >> 8) & 0xff) - int((a >> 8) & 0xff));
    deltaB_ = int16_t(int(b & 0xff) - int(a & 0xff));
    kind_ = kStyleColor;
}

void oxAnimateInstance::ApplyStyle(const oxStyleValue& value) {
    if (oxBox* target = GetTarget()) target->SetStyleValue(propertyId_, value, 1);
}

void oxAnimateInstance::ApplyText(const WCHAR* text) {
    oxBox* target = GetTarget();
    if (!target) return;
    const WCHAR* current = target->GetAttribute(nameAtom_);
    if (current && text && std::u16string_view(current) == std::u16string_view(text)) return;
    target->SetAttribute(nameAtom_, text, true, false);
}

void oxAnimateInstance::OnFirstFrame() {
    if (!GetTarget()) return;
    if (styleMode_) {
        ApplyStyle(to_);
        firstApplied_ = true;
    }
    OnFrame();
}

void oxAnimateInstance::OnFrame() {
    oxBox* target = GetTarget();
    if (!target || !element_ || element_->GetDur() == 0) return;
    if (kind_ == kStyleText || kind_ == kStyleUrl) return; // text jumps at the last frame
    const float p = GetProgress();
    WCHAR text[16] = {};
    if (kind_ == kStyleColor || kind_ == kStyleSysColor) {
        const uint32_t c = from_.GetColor();
        const int a = int(c >> 24) + int(float(deltaA_) * p);
        const int r = int((c >> 16) & 0xff) + int(float(deltaR_) * p);
        const int g = int((c >> 8) & 0xff) + int(float(deltaG_) * p);
        const int b = int(c & 0xff) + int(float(deltaB_) * p);
        // Joined by plain addition, as the channels are never out of range between two colours.
        const uint32_t argb = ((uint32_t(a) * 256 + uint32_t(r)) * 256 + uint32_t(g)) * 256 + uint32_t(b);
        if (styleMode_) {
            current_ = oxStyleValue::Color(argb);
        } else {
            char narrow[16];
            std::snprintf(narrow, sizeof narrow, "#%x", unsigned(argb));
            for (int i = 0; narrow[i]; ++i)
                text[i] = WCHAR(narrow[i]);
        }
    } else {
        const int32_t value = from_.GetInt() + int32_t(float(delta_) * p);
        if (styleMode_) {
            current_ = oxStyleValue(value, from_.GetType());
        } else {
            char narrow[16];
            std::snprintf(narrow, sizeof narrow, "%d", int(value));
            for (int i = 0; narrow[i]; ++i)
                text[i] = WCHAR(narrow[i]);
        }
    }
    if (!styleMode_) {
        currentText_ = text;
        return ApplyText(text);
    }
    oxStyleValue shown;
    target->GetStyleValue(propertyId_, &shown);
    if (!shown.Equals(current_)) ApplyStyle(current_);
}

void oxAnimateInstance::OnLastFrame() {
    if (!GetTarget()) return;
    if (styleMode_) return ApplyStyle(to_);
    WCHAR* text = to_.ToString();
    ApplyText(text);
    std::free(text);
}

void oxAnimateInstance::OnStop() {
    oxBox* target = GetTarget();
    if (!target || !element_) return;
    switch (element_->GetFill()) {
    case oxAnimationElement::kFillRemove: Restore(); break;
    case oxAnimationElement::kFillFreeze:
        if (styleMode_) ApplyStyle(to_);
        break;
    default:
        if (styleMode_ && firstApplied_ && !current_.IsNull()) ApplyStyle(current_);
        break;
    }
    target->RequestRepaint();
}

void oxAnimateInstance::OnCancel() {
    oxBox* target = GetTarget();
    if (!target) return;
    Restore();
    target->RequestRepaint();
}

void oxAnimateInstance::Restore() {
    oxBox* target = GetTarget();
    if (!target) return;
    if (styleMode_) {
        // The box's own value comes back; without one the rules apply again.
        if (hadOwnValue_ && !saved_.IsNull()) target->SetStyleValue(propertyId_, saved_, 0);
        else target->RemoveStyleValue(propertyId_);
        return;
    }
    if (hasSavedText_) target->SetAttribute(nameAtom_, savedText_.GetString(), true, false);
}
