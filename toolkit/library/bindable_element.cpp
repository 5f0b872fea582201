#include "toolkit/library/bindable_element.h"

#include <algorithm>
#include <new>

#include "platform/crt/wide.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/list_text.h"
#include "toolkit/library/library.h"
#include "toolkit/library/theme_element.h"

using NUBO::TWString;

namespace {

// Deeper inheritance than this counts as a ring.
constexpr int kMaxInheritDepth = 64;

void Erase(std::vector<oxBindableElement*>& list, oxBindableElement* element) {
    list.erase(std::remove(list.begin(), list.end(), element), list.end());
}

} // namespace

oxBindableElement::~oxBindableElement() {
    if (joined_) joined_->RemoveResource(this);
    for (oxBindableElement* base : inherited_)
        Erase(base->listeners_, this);
    for (oxBindableElement* listener : listeners_)
        Erase(listener->inherited_, this);
    if (library_ && library_->GetRuntime()) library_->GetRuntime()->ForgetResourceObject(this);
}

int32_t oxBindableElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    if (attribute == kAtomInherits) {
        inherits_ = value ? value : u"";
        inheritsResolved_ = false;
        return 0;
    }
    if (attribute == kAtomTheme) {
        theme_ = value && *value ? oxAtoms::Intern(value) : 0;
        return 0;
    }
    return oxElement::SetMarkupAttribute(ns, attribute, value);
}

void oxBindableElement::EndElement() {
    oxElement::EndElement();
    OnAttached();
}

void oxBindableElement::OnAttached() {
    if (theme_ && library_ && library_->GetRuntime() && !joined_) {
        auto* themes = dynamic_cast<oxThemesElement*>(library_->GetRuntime()->GetThemesElement());
        oxThemeElement* theme = themes ? themes->FindOrMakeTheme(theme_) : nullptr;
        if (theme && theme->AddResource(this)) joined_ = theme;
    }
    if (register_ && library_) {
        register_ = false;
        library_->AddResource(this);
    }
}

void oxBindableElement::ForgetTheme(oxThemeElement* theme) {
    if (joined_ == theme) joined_ = nullptr;
}

const std::vector<oxBindableElement*>& oxBindableElement::ResolveInherits(oxAtom tag) {
    if (inheritsResolved_) return inherited_;
    inheritsResolved_ = true;
    for (oxBindableElement* base : inherited_)
        Erase(base->listeners_, this);
    inherited_.clear();
    if (!library_ || inherits_.IsEmpty()) return inherited_;
    for (TWString piece : SplitListText(inherits_.GetString(), inherits_.GetLength())) {
        // A bare id names a resource of this library.
        if (!piece.IsEmpty() && piece.Find(u'#', 0) < 0) piece.Insert(0, u'#');
        auto* found = dynamic_cast<oxBindableElement*>(library_->FindResourceByUri(piece.GetString(), tag));
        if (found && (found == this || found->Inherits(this))) {
            if (library_->GetRuntime()) {
                TWString message;
                message.Format(kInheritsItselfText, piece.GetString());
                library_->GetRuntime()->ReportResourceError(message.GetString());
            }
        } else if (found && std::find(inherited_.begin(), inherited_.end(), found) == inherited_.end()) {
            inherited_.push_back(found);
            found->listeners_.push_back(this);
        }
    }
    return inherited_;
}

bool oxBindableElement::Inherits(const oxBindableElement* target) const {
    return InheritsWithin(target, 0);
}

bool oxBindableElement::InheritsWithin(const oxBindableElement* target, int depth) const {
    if (depth >= kMaxInheritDepth) return true;
    // An unresolved list is resolved on the way, so a ring is found from whichever end asks first.
    auto* self = const_cast<oxBindableElement*>(this);
    for (oxBindableElement* base : self->ResolveInherits(0)) {
        if (base == target || base->InheritsWithin(target, depth + 1)) return true;
    }
    return false;
}
