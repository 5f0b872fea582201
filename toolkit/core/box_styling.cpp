// The box's computed style: when it is resolved again, inline values set and removed, and how the
// box follows changes of the properties that place, layer and transform it.
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/style_animations.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_element.h"
#include "toolkit/style/style_parser.h"
#include "toolkit/style/style_tables.h"

namespace {

// What ResolveStyle compares between the old and the new record.
struct StyleMarks {
    int32_t strokeWidth = 0;
    int position = kKeywordNone;
    int layer = kKeywordNone;
    int32_t zIndex = 0;
};

int KeywordOr(oxBoxStyle* record, int id, int absent) {
    if (!record) return absent;
    oxStyleValue v;
    record->GetProperty(&v, id);
    if (v.IsNull()) return absent;
    return v.GetType() == kStyleKeyword ? v.GetValue() : -1;
}

int32_t IntOr(oxBoxStyle* record, int id, int32_t absent) {
    if (!record) return absent;
    oxStyleValue v;
    record->GetProperty(&v, id);
    return v.IsNull() ? absent : v.GetInt();
}

StyleMarks MarksOf(oxBoxStyle* record) {
    StyleMarks m;
    m.strokeWidth = IntOr(record, kStyle_strokeWidth, 0);
    m.position = KeywordOr(record, kStyle_position, kKeywordNone);
    m.layer = KeywordOr(record, kStyle_layer, kKeywordNone);
    m.zIndex = IntOr(record, kStyle_zIndex, 0);
    return m;
}

bool TransformedBy(oxBoxStyle* record) {
    oxTransformGroup* t = record ? record->GetTransformGroup() : nullptr;
    if (!t) return false;
    if (t->IsSet(kStyle_rotation) && t->Member(kStyle_rotation)->GetInt() != 0) return true;
    return t->IsSet(kStyle_scale) && std::fabs(float(t->Member(kStyle_scale)->GetInt()) - 1.0f) > 0.01f;
}

// Whether the groups that size and place a box differ between two records.
bool LayoutGroupsDiffer(oxBoxStyle* a, oxBoxStyle* b) {
    if (!a || !b) return a != b;
    auto members = [](oxStyleGroup* x, oxStyleGroup* y) {
        if (!x || !y) return x == y;
        const oxStyleGroupRange& r = kStyleGroupRanges[x->GetKind()];
        for (int id = r.first; id < r.first + r.count; ++id)
            if (!x->Member(id)->Equals(*y->Member(id))) return false;
        return true;
    };
    return !members(a->GetColorGroup(), b->GetColorGroup()) || !members(a->GetLayoutGroup(), b->GetLayoutGroup()) ||
           !members(a->GetTextGroup(), b->GetTextGroup()) || !members(a->GetTransformGroup(), b->GetTransformGroup()) ||
           !members(a->GetMetricsGroup(), b->GetMetricsGroup());
}

bool IsGeometry(int id) {
    return id >= kStyle_top && id <= kStyle_height;
}

// What a change of record asks of the box's style animation: the exit animation of the old record
// when the new one has none, else a new `animate`; a record without `animate` stops the running one.
struct StyleAnimationChange {
    oxStyleValue start;
    bool stop = false;
};

StyleAnimationChange PickStyleAnimation(oxBoxStyle* old, oxBoxStyle* now, bool animating) {
    StyleAnimationChange change;
    if (!oxStyleAnimations::Get()) return change;
    oxStyleValue oldEnter, oldExit, newEnter, newExit;
    if (old) {
        old->GetProperty(&oldEnter, kStyle_animate);
        old->GetProperty(&oldExit, kStyle_animateExit);
    }
    if (now) {
        now->GetProperty(&newEnter, kStyle_animate);
        now->GetProperty(&newExit, kStyle_animateExit);
    }
    if (!oldExit.IsNull() && newExit.IsNull()) change.start = oldExit;
    else if (!newEnter.IsNull() && !newEnter.Equals(oldEnter)) change.start = newEnter;
    else change.stop = newEnter.IsNull() && animating;
    return change;
}

} // namespace

oxBoxStyle* oxBox::ResolveStyle() {
    if (!(changeFlags_ & kChangeStyleDirty) || !scene_) return style_;
    changeFlags_ &= ~kChangeStyleDirty;
    oxBoxStyle* old = style_;
    oxBoxStyle* now = scene_->BuildBoxStyle(this);
    if (now == old) {
        if (now) now->Release(); // the scene's reference to the record the box keeps
        return style_;
    }
    ++restyles_;
    bool wasTransformed = TransformedBy(old) && !(changeFlags_ & kChangeFramed);
    StyleMarks before = MarksOf(old);
    RequestRepaint();
    const StyleAnimationChange animation = PickStyleAnimation(old, now, stateFlags_ & kStateAnimating);
    style_ = now; // the scene's reference becomes the box's
    if (LayoutGroupsDiffer(old, now)) RequestLayout();
    StyleMarks after = MarksOf(now);
    if (after.strokeWidth != before.strokeWidth) {
        SetPresence(kMarkPaintOutsets, false);
        OnStrokeWidthChanged(before.strokeWidth);
    }
    bool relayered = false;
    if (after.layer != before.layer) {
        if (after.layer == kKeywordAbove || after.layer == kKeywordBelow) {
            SetChangeFlag(kChangeLayerStack, false);
            SetChangeFlag(kChangeLayerBelow, after.layer == kKeywordBelow);
            if (!(changeFlags_ & kChangeLayered)) SetLayered(true);
            relayered = true;
        } else if (after.layer == kKeywordStack) {
            SetChangeFlag(kChangeLayerStack, true);
            if (!(changeFlags_ & kChangeLayered)) SetLayered(true);
            relayered = true;
        }
    }
    if (after.position != before.position) {
        if (before.position == kKeywordFixed) {
            SetFlowed(true);
            SetLayered(false);
            relayered = true;
        } else if (after.position == kKeywordFixed) {
            SetFlowed(false);
            SetLayered(true);
            relayered = true;
        }
    }
    if (!relayered && after.zIndex != before.zIndex) {
        if (changeFlags_ & kChangeLayered) {
            bool keep = after.zIndex != 0 || after.position == kKeywordFixed || after.layer != kKeywordNone;
            SetLayered(false);
            if (keep) SetLayered(true);
        } else if (after.zIndex != 0) {
            SetLayered(true);
        }
    }
    bool transformed = TransformedBy(now) && !(changeFlags_ & kChangeFramed);
    if (transformed != wasTransformed) MarkTransformed(transformed);
    OnLayoutStyleChanged();
    if (old) {
        DetachStyleRecord(old);
        old->Release();
    }
    // Last, as the animation writes its values into the box's style, which may replace the record.
    if (!animation.start.IsNull()) oxStyleAnimations::Get()->Start(this, animation.start);
    else if (animation.stop) oxStyleAnimations::Get()->Stop(this);
    return style_;
}

oxStyleGroup* oxBox::GetStyleGroup(int kind) {
    oxBoxStyle* record = ResolveStyle();
    return record ? record->GetGroup(kind) : nullptr;
}

void oxBox::GetStyleValue(int propertyId, oxStyleValue* out) {
    if (!out) return;
    out->Clear(true);
    if (oxBoxStyle* record = ResolveStyle()) record->GetProperty(out, propertyId);
}

WCHAR* oxBox::GetStyleString(int propertyId) {
    oxStyleValue v;
    GetStyleValue(propertyId, &v);
    return v.ToString();
}

void oxBox::EnsureInlineStyle() {
    if (inlineStyle_) return;
    inlineStyle_ = new (std::nothrow) oxStyleDeclaration;
    if (!inlineStyle_) return;
    if (style_) {
        DetachStyleRecord(style_);
        style_->Release();
        style_ = nullptr;
    }
    // A record of the box's own, whose chain ends with the new inline declaration.
    if ((changeFlags_ & kChangeAttached) && scene_) {
        style_ = scene_->BuildBoxStyle(this);
        ++restyles_;
    }
    if (!style_) changeFlags_ |= kChangeStyleDirty;
}

void oxBox::SetStyleValue(int propertyId, const oxStyleValue& value, int mode) {
    if (propertyId < 0 || propertyId >= kStylePropertyCount) return;
    oxStyleValue kept;
    bool tracked = false;
    if (oxBoxStyle* record = TracksValueChanges()) {
        record->GetProperty(&kept, propertyId);
        tracked = true;
    }
    if (propertyId >= kStyle_top && propertyId <= kStyle_height && scene_ && scene_->GetRootBox() == this)
        scene_->RefitWindow();
    EnsureInlineStyle();
    if (!inlineStyle_) return;
    inlineStyle_->SetProperty(propertyId, value);
    if (style_)
        style_->SetProperty(propertyId, value);
    else
        changeFlags_ |= kChangeStyleDirty;

    if (changeFlags_ & kChangeAttached) {
        switch (propertyId) {
        case kStyle_top:
        case kStyle_right:
        case kStyle_bottom:
        case kStyle_left:
        case kStyle_width:
        case kStyle_height:
        case kStyle_flex:
        case kStyle_zIndex:
        case kStyle_vAlign:
            if (mode != 1) RequestLayout();
            break;
        case kStyle_orient:
        case kStyle_hAlign:
        case kStyle_hSpace:
        case kStyle_vSpace:
            RequestLayout();
            break;
        case kStyle_fillRepeatOriginX:
        case kStyle_fillRepeatOriginY:
            changeFlags_ |= kChangeSubtreeDirty;
            MarkAncestorsDirty();
            break;
        case kStyle_textShadowOffsetX:
        case kStyle_textShadowOffsetY:
            SetPresence(kMarkPaintOutsets, false);
            InvalidateMeasure();
            Remeasure();
            RequestLayout();
            break;
        case kStyle_stroke:
            SetPresence(kMarkPaintOutsets, false);
            InvalidateMeasure();
            break;
        case kStyle_rotation:
        case kStyle_scale:
            InvalidateMeasure();
            Remeasure();
            UpdateFrameBounds(!(changeFlags_ & kChangePainted));
            RequestLayout();
            MarkTransformed(IsTransformed());
            break;
        case kStyle_layer:
            ResolveStyle();
            break;
        default:
            if (propertyId >= kStyle_margin && propertyId <= kStyle_paddingLeft) RequestLayout();
            if (propertyId >= kStyle_shadowColor && propertyId <= kStyle_shadowTop) {
                SetPresence(kMarkPaintOutsets, false);
                InvalidateMeasure();
                Remeasure();
                RequestLayout();
            }
            break;
        }
        NotifyStyleChange(propertyId);
        if (propertyId == kStyle_zIndex && mode == 0) {
            if (changeFlags_ & kChangeLayered) {
                SetLayered(false);
                SetLayered(true);
            } else {
                SetLayered(true);
                RequestRepaint();
            }
        }
        if (propertyId == kStyle_position && value.GetType() == kStyleKeyword && value.GetValue() == kKeywordFixed) {
            SetFlowed(false);
            SetLayered(true);
        }
    }
    if (tracked) {
        oxStyleValue now;
        if (style_) style_->GetProperty(&now, propertyId);
        if (!now.Equals(kept)) RequestRepaint();
    }
}

bool oxBox::SetStylePropertyText(int propertyId, const WCHAR* text, int mode) {
    oxStyleValue v;
    if (!ParseStylePropertyValue(propertyId, text, &v) || propertyId < 0) return false;
    SetStyleValue(propertyId, v, mode);
    return true;
}

bool oxBox::SetStyle(const WCHAR* name, const WCHAR* text) {
    int id = StylePropertyIdFromName(name);
    oxStyleValue v;
    bool parsed = ParseStyleAttribute(name, text, &v, nullptr, scene_ ? scene_->GetStyleLibrary() : nullptr);
    if (!parsed || id < 0) return false;
    SetStyleValue(id, v, 0);
    return true;
}

void oxBox::RemoveStyle(const WCHAR* name) {
    int id = StylePropertyIdFromName(name);
    if (id >= 0) RemoveStyleValue(id);
}

void oxBox::RemoveStyleValue(int propertyId) {
    if (!inlineStyle_ || propertyId < 0 || propertyId >= kStylePropertyCount) return;
    oxStyleValue kept;
    bool tracked = false;
    if (oxBoxStyle* record = TracksValueChanges()) {
        record->GetProperty(&kept, propertyId);
        tracked = true;
    }
    inlineStyle_->RemoveProperty(propertyId);
    if (oxBoxStyle* record = ResolveStyle()) record->ClearProperty(propertyId);
    if (IsGeometry(propertyId)) {
        RequestLayout();
        RequestRepaint();
    }
    if (tracked) {
        oxStyleValue now;
        if (style_) style_->GetProperty(&now, propertyId);
        if (!now.Equals(kept)) RequestRepaint();
    }
}

void oxBox::SetTop(int32_t v) {
    SetStyleValue(kStyle_top, oxStyleValue(v, kStylePx), 0);
}
void oxBox::SetRight(int32_t v) {
    SetStyleValue(kStyle_right, oxStyleValue(v, kStylePx), 0);
}
void oxBox::SetBottom(int32_t v) {
    SetStyleValue(kStyle_bottom, oxStyleValue(v, kStylePx), 0);
}
void oxBox::SetLeft(int32_t v) {
    SetStyleValue(kStyle_left, oxStyleValue(v, kStylePx), 0);
}
void oxBox::SetWidth(int32_t v) {
    SetStyleValue(kStyle_width, oxStyleValue(v, kStylePx), 0);
}
void oxBox::SetHeight(int32_t v) {
    SetStyleValue(kStyle_height, oxStyleValue(v, kStylePx), 0);
}
void oxBox::SetMinWidth(int32_t v) {
    SetStyleValue(kStyle_minWidth, oxStyleValue(v, kStylePx), 0);
}
void oxBox::SetMinHeight(int32_t v) {
    SetStyleValue(kStyle_minHeight, oxStyleValue(v, kStylePx), 0);
}
void oxBox::SetMaxWidth(int32_t v) {
    SetStyleValue(kStyle_maxWidth, oxStyleValue(v, kStylePx), 0);
}
void oxBox::SetMaxHeight(int32_t v) {
    SetStyleValue(kStyle_maxHeight, oxStyleValue(v, kStylePx), 0);
}

void oxBox::SetPosition(const oxPoint& p) {
    SetLeft(p.x);
    SetTop(p.y);
}

void oxBox::SetZIndex(int32_t z) {
    SetStyleValue(kStyle_zIndex, oxStyleValue(z, kStyleNumber), 0);
    RequestRepaint();
}

void oxBox::SetSize(const oxPoint& size) {
    const int ids[2] = {kStyle_width, kStyle_height};
    const int32_t wanted[2] = {size.x, size.y};
    for (int i = 0; i < 2; ++i) {
        oxStyleValue current;
        GetStyleValue(ids[i], &current);
        bool numeric = current.GetType() != kStyleKeyword && !current.IsNull();
        if (numeric && current.GetInt() == wanted[i]) continue;
        // A scaled value stays scaled: the number stored is the one that reads back as wanted.
        oxStyleType type = current.GetType() == kStyleScaled ? kStyleScaled : kStylePx;
        int32_t stored = wanted[i];
        if (type == kStyleScaled) {
            float scale = current.GetValue() ? float(current.GetInt()) / float(current.GetValue()) : 1.0f;
            stored = scale > 0 ? int32_t(float(wanted[i]) / scale) : wanted[i];
        }
        SetStyleValue(ids[i], oxStyleValue(stored, type), 0);
    }
}

void oxBox::SetStyleRecord(oxBoxStyle* record) {
    if (record) record->AddRef();
    if (style_) {
        DetachStyleRecord(style_);
        style_->Release();
    }
    style_ = record;
    changeFlags_ &= ~kChangeStyleDirty;
}

// A record stays listed with its rule for sharing while another box holds it; the last box to let
// go takes it off the list, so records no box uses do not pile up.
void oxBox::DetachStyleRecord(oxBoxStyle* record) {
    if (!record || !record->GetRegisteredRule() || record->GetRefCount() > 2) return;
    record->GetRegisteredRule()->RemoveRecord(record);
}

void oxBox::SetStyleId(oxAtom atom, bool fromMarkup) {
    if (!atom || atom == styleId_) return;
    if (gadget_ && fromMarkup) {
        for (oxBox* b = GetNextBox(this, false, false); b; b = b->GetNextBox(this, false, false)) {
            if (!b->owner_) continue;
            if (b->style_) {
                DetachStyleRecord(b->style_);
                b->style_->Release();
                b->style_ = nullptr;
            }
            b->changeFlags_ |= kChangeStyleDirty;
        }
    }
    styleId_ = atom;
    if (style_) {
        DetachStyleRecord(style_);
        style_->Release();
        style_ = nullptr;
    }
    changeFlags_ |= kChangeStyleDirty;
    RestyleTree();
}

void oxBox::UpdateStateStyles(oxAtom attribute) {
    // The box, then the constructed parts among its children the same way, with a work list.
    std::vector<oxBox*> work{this};
    while (!work.empty()) {
        oxBox* b = work.back();
        work.pop_back();
        if ((b->changeFlags_ & kChangeStyleDirty) || !b->scene_ || !b->scene_->IsRunning()) continue;
        if (b->style_ && b->style_->DependsOn(attribute)) {
            b->changeFlags_ |= kChangeStyleDirty;
            b->SetPresence(kMarkPaintOutsets, false);
            b->ResolveStyle();
        }
        for (int i = b->GetChildCount(); i-- > 0;) {
            oxBox* c = b->GetChildAt(i, false);
            if (c->owner_ && (c->changeFlags_ & kChangeConstructed)) work.push_back(c);
        }
    }
}

void oxBox::RestyleTree() {
    for (oxBox* b = this; b; b = b->GetNextBox(this, false, false)) {
        if (b->style_) {
            DetachStyleRecord(b->style_);
            b->style_->Release();
            b->style_ = nullptr;
        }
        b->changeFlags_ |= kChangeStyleDirty;
    }
    // Document order resolves owners before their parts, whose rules hang under the owner's.
    for (oxBox* b = this; b; b = b->GetNextBox(this, false, false))
        b->ResolveStyle();
}

bool oxBox::IsTransformed() {
    if (changeFlags_ & kChangeFramed) return false;
    return TransformedBy(ResolveStyle());
}

void oxBox::MarkTransformed(bool on) {
    for (oxBox* b = this; b; b = b->GetNextBox(this, false, false)) {
        if (b->changeFlags_ & kChangeFramed) continue;
        b->SetPresence(kMarkTransformed, on);
        // Layers registered with a box of the subtree but standing outside it follow as well.
        for (int i = 0; i < b->GetLayerCount(); ++i) {
            oxBox* layer = b->GetLayerAt(i);
            if (layer && layer != this && !IsAncestorOf(layer) && !(layer->changeFlags_ & kChangeFramed))
                layer->SetPresence(kMarkTransformed, on);
        }
    }
}

oxRect oxBox::GetMargins() {
    oxRect r;
    if (oxMetricsGroup* m = ResolveStyle() ? style_->GetMetricsGroup() : nullptr)
        r.Set(m->Member(kStyle_marginLeft)->GetInt(), m->Member(kStyle_marginTop)->GetInt(),
              m->Member(kStyle_marginRight)->GetInt(), m->Member(kStyle_marginBottom)->GetInt());
    return r;
}

oxRect oxBox::GetPadding() {
    oxRect r;
    if (oxMetricsGroup* m = ResolveStyle() ? style_->GetMetricsGroup() : nullptr)
        r.Set(m->Member(kStyle_paddingLeft)->GetInt(), m->Member(kStyle_paddingTop)->GetInt(),
              m->Member(kStyle_paddingRight)->GetInt(), m->Member(kStyle_paddingBottom)->GetInt());
    return r;
}

int oxBox::GetOrientation() {
    if (tag_ == kAtomVbox) return kKeywordVertical;
    oxLayoutGroup* layout = ResolveStyle() ? style_->GetLayoutGroup() : nullptr;
    if (!layout) return kKeywordHorizontal;
    const oxStyleValue* orient = layout->Member(kStyle_orient);
    return orient->GetType() == kStyleKeyword ? orient->GetValue() : -1;
}

oxMetricsGroup* oxBox::GetEdgeAnchoring(int* outV, int* outH) {
    oxMetricsGroup* m = ResolveStyle() ? style_->GetMetricsGroup() : nullptr;
    if (!m) return nullptr;
    auto set = [m](int id) {
        const oxStyleValue* v = m->Member(id);
        return !v->IsNull() && !(v->GetType() == kStyleKeyword && v->GetValue() == kKeywordAuto);
    };
    bool top = set(kStyle_top), bottom = set(kStyle_bottom), left = set(kStyle_left), right = set(kStyle_right);
    if (outV && (top || bottom)) *outV = top && bottom ? 5 : top ? 1 : 3;
    if (outH && (left || right)) *outH = left && right ? 5 : left ? 4 : 2;
    return m;
}

void oxBox::OnStrokeWidthChanged(int32_t oldWidth) {
    (void)oldWidth;
}
