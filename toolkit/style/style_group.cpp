#include "toolkit/style/style_group.h"

#include <new>

#include "toolkit/style/attribute_value.h"
#include "toolkit/style/style_library.h"
#include "toolkit/style/style_tables.h"

namespace {

// The value an unset member has once its group exists; null for most properties.
oxStyleValue DefaultOf(int id) {
    switch (id) {
    case kStyle_top:
    case kStyle_right:
    case kStyle_bottom:
    case kStyle_left:
    case kStyle_width:
    case kStyle_height:
    case kStyle_cursor:
        return oxStyleValue::Keyword(kKeywordAuto);
    case kStyle_fillRepeat:
    case kStyle_fillSize:
    case kStyle_regionRepeat:
    case kStyle_regionSize:
    case kStyle_crop:
        return oxStyleValue::Keyword(kKeywordNone);
    case kStyle_fillRepeatOriginX:
    case kStyle_fillRepeatOriginY:
    case kStyle_regionRepeatOriginX:
    case kStyle_regionRepeatOriginY:
    case kStyle_textShadowColor:
    case kStyle_textShadowOffsetX:
    case kStyle_textShadowOffsetY:
    case kStyle_hSpace:
    case kStyle_vSpace:
        return oxStyleValue(0, kStyleNumber);
    case kStyle_position:
        return oxStyleValue::Keyword(kKeywordFlowed);
    case kStyle_orient:
        return oxStyleValue::Keyword(kKeywordHorizontal);
    case kStyle_hAlign:
    case kStyle_vAlign:
        return oxStyleValue::Keyword(kKeywordStretch);
    case kStyle_layer:
        return oxStyleValue::Keyword(kKeywordFlat);
    case kStyle_overflow:
        return oxStyleValue::Keyword(kKeywordVisible);
    case kStyle_strokeLayer:
        return oxStyleValue::Keyword(kKeywordBelow);
    default:
        return oxStyleValue();
    }
}

bool IsKeyword(const oxStyleValue& v, int keyword) {
    return v.GetType() == kStyleKeyword && v.GetValue() == keyword;
}

bool MembersEqual(const oxStyleGroup* a, const oxStyleGroup* b, int skipA, int skipB) {
    if (!a || !b) return a == b;
    const oxStyleGroupRange& r = kStyleGroupRanges[a->GetKind()];
    for (int id = r.first; id < r.first + r.count; ++id) {
        if (id == skipA || id == skipB) continue;
        if (!a->Member(id)->Equals(*b->Member(id))) return false;
    }
    return true;
}

// Resolves a resource named by a member once, in the library given.
oxElement* ResolveOnce(const oxStyleValue* member, oxStyleLibrary* library) {
    return member && library ? member->ResolveResource(library) : nullptr;
}

} // namespace

oxStyleGroup::oxStyleGroup(int kind, oxStyleValue* members)
    : kind_(kind), first_(kStyleGroupRanges[kind].first), count_(kStyleGroupRanges[kind].count), members_(members) {}

void oxStyleGroup::SetDefaults() {
    for (int i = 0; i < count_; ++i)
        members_[i] = DefaultOf(first_ + i);
}

oxStyleGroup::~oxStyleGroup() = default;

void oxStyleGroup::AssignMember(int id, const oxStyleValue& value) {
    if (!Holds(id)) return;
    members_[id - first_] = value;
    setFlags_ |= 2u << (id - first_);
}

void oxStyleGroup::Merge(const oxStyleGroup* other) {
    if (!other || other->kind_ != kind_) return;
    setFlags_ |= other->setFlags_;
    for (int i = 0; i < count_; ++i) {
        if (other->setFlags_ & (2u << i)) members_[i] = other->members_[i];
    }
}

void oxStyleGroup::GetMember(oxStyleValue* out, int id) const {
    if (!out) return;
    if (Holds(id))
        *out = members_[id - first_];
    else
        out->Clear(true);
}

void oxStyleGroup::SetMember(int id, const oxStyleValue& value) {
    if (!Holds(id)) return;
    uint32_t bit = 2u << (id - first_);
    if (IsStyleShorthand(id)) {
        if (value.IsNull()) {
            for (int side = 1; side <= 4; ++side)
                SetMember(id + side, value);
            members_[id - first_] = value;
            setFlags_ &= ~bit;
        } else if (const oxStyleRectValue* sides = value.GetRect()) {
            for (int side = 0; side < 4; ++side)
                SetMember(id + 1 + side, sides->sides[side]);
            members_[id - first_] = value;
            setFlags_ |= bit;
        }
        return;
    }
    members_[id - first_] = value;
    if (value.IsNull())
        setFlags_ &= ~bit;
    else
        setFlags_ |= bit;
}

oxStyleGroup* oxStyleGroup::Clone() const {
    oxStyleGroup* copy = CreateStyleGroup(kind_);
    if (copy) copy->Merge(this);
    return copy;
}

oxStyleGroup* CreateStyleGroup(int kind) {
    switch (kind) {
    case 1:
        return new (std::nothrow) oxAnimationGroup;
    case 2:
        return new (std::nothrow) oxColorGroup;
    case 3:
        return new (std::nothrow) oxMetricsGroup;
    case 4:
        return new (std::nothrow) oxClipGroup;
    case 5:
        return new (std::nothrow) oxStyleGroupOf<5>;
    case 6:
        return new (std::nothrow) oxFillGroup;
    case 7:
        return new (std::nothrow) oxRegionGroup;
    case 8:
        return new (std::nothrow) oxTextGroup;
    case 9:
        return new (std::nothrow) oxCursorGroup;
    case 10:
        return new (std::nothrow) oxLayoutGroup;
    case 11:
        return new (std::nothrow) oxStrokeGroup;
    case 12:
        return new (std::nothrow) oxShadowGroup;
    case 13:
        return new (std::nothrow) oxBevelGroup;
    case 14:
        return new (std::nothrow) oxTransformGroup;
    case 15:
        return new (std::nothrow) oxOffsetGroup;
    default:
        return nullptr;
    }
}

bool oxColorGroup::IsActive() const {
    for (int id = kStyle_colorSaturation; id <= kStyle_colorScaleB; ++id) {
        if (IsSet(id) && Member(id)->GetInt() != 100) return true;
    }
    return IsSet(kStyle_colorAdd) || IsSet(kStyle_colorSubtract);
}

int oxColorGroup::GetBlurLevel() const {
    const oxStyleValue* blur = Member(kStyle_blur);
    int level = blur->GetType() == kStylePercent ? int(double(blur->GetValue()) * 0.01 * 20) : blur->GetInt();
    return level > 20 ? 20 : level;
}

bool oxColorGroup::NeedsLayer() const {
    if (IsSet(kStyle_opacity) && Member(kStyle_opacity)->GetInt() < 100) return true;
    if (GetBlurLevel() > 0) return true;
    const oxStyleValue* flip = Member(kStyle_flip);
    return IsSet(kStyle_flip) &&
           (IsKeyword(*flip, kKeywordX) || IsKeyword(*flip, kKeywordY) || IsKeyword(*flip, kKeywordBoth));
}

bool oxMetricsGroup::Equals(const oxMetricsGroup* other) const {
    return MembersEqual(this, other, kStyle_margin, kStyle_padding);
}

namespace {

// trunc(length x p x 0.01) in single precision. A percentage past any length a box can have stops
// at that length, so the amount stays an integer and a side taken from a length cannot wrap.
int32_t PercentOf(int32_t length, int32_t percent) {
    const float amount = float(length) * float(percent) * 0.01f;
    if (amount >= float(kMaxLength)) return kMaxLength;
    if (amount <= -float(kMaxLength)) return -kMaxLength;
    return int32_t(amount);
}

} // namespace

bool oxMetricsGroup::ResolveEdge(int id, const oxStyleValue& value, const oxPoint& size, const oxPoint& reference,
                                 int32_t* out) {
    bool vertical = id == kStyle_top || id == kStyle_bottom || id == kStyle_height || id == kStyle_minHeight ||
                    id == kStyle_maxHeight || id == kStyle_marginTop || id == kStyle_marginBottom ||
                    id == kStyle_paddingTop || id == kStyle_paddingBottom;
    if (value.GetType() == kStyleKeyword) {
        switch (value.GetValue()) {
        case kKeywordAuto:
        case kKeywordAspect:
            return false;
        case kKeywordCenter:
            switch (id) {
            case kStyle_top:
            case kStyle_bottom:
                *out = reference.y / 2 - size.y / 2;
                return true;
            case kStyle_left:
            case kStyle_right:
                *out = reference.x / 2 - size.x / 2;
                return true;
            case kStyle_marginTop:
            case kStyle_marginBottom:
            case kStyle_paddingTop:
            case kStyle_paddingBottom:
            case kStyle_clipBottom:
                *out = size.y / 2;
                return true;
            case kStyle_marginRight:
            case kStyle_marginLeft:
            case kStyle_paddingRight:
            case kStyle_paddingLeft:
            case kStyle_clipRight:
                *out = size.x / 2;
                return true;
            default:
                return false;
            }
        case kKeywordStart:
            if (id != kStyle_top && id != kStyle_left) return false;
            *out = 0;
            return true;
        case kKeywordEnd:
            if (id == kStyle_top) {
                *out = reference.y - size.y;
                return true;
            }
            if (id == kStyle_left) {
                *out = reference.x - size.x;
                return true;
            }
            return false;
        default:
            return true;
        }
    }
    if (value.GetType() == kStylePercent) {
        // Percentages are of the reference: the room the box is placed in.
        *out = PercentOf(vertical ? reference.y : reference.x, value.GetValue());
        return true;
    }
    *out = value.GetInt();
    return true;
}

bool oxClipGroup::HasEdges() const {
    return IsSet(kStyle_clipTop) || IsSet(kStyle_clipRight) || IsSet(kStyle_clipBottom) || IsSet(kStyle_clipLeft);
}

void oxClipGroup::GetClipRect(oxRect* out, const oxPoint& size) const {
    int32_t side[4] = {}; // left, top, right, bottom
    static constexpr int kIds[4] = {kStyle_clipLeft, kStyle_clipTop, kStyle_clipRight, kStyle_clipBottom};
    for (int i = 0; i < 4; ++i) {
        const oxStyleValue& v = *Member(kIds[i]);
        int32_t length = (i == 0 || i == 2) ? size.x : size.y;
        if (v.GetType() == kStylePercent) {
            int32_t amount = PercentOf(length, v.GetValue());
            side[i] = i < 2 ? amount : length - amount;
        } else if (IsKeyword(v, kKeywordCenter)) {
            if (i == 0) side[i] = size.x / 2;
            if (i == 1) side[i] = size.y / 2;
        } else if (v.GetType() == kStyleKeyword || v.IsNull()) {
            side[i] = 0;
        } else {
            side[i] = v.GetInt();
        }
    }
    out->Set(side[0], side[1], side[2], side[3]);
}

void oxFillGroup::Merge(const oxStyleGroup* other) {
    oxStyleGroup::Merge(other);
    auto* fill = dynamic_cast<const oxFillGroup*>(other);
    if (!fill) return;
    if (fill->fillResource_) fillResource_ = fill->fillResource_;
    if (fill->iconResource_) iconResource_ = fill->iconResource_;
}

void oxFillGroup::SetMember(int id, const oxStyleValue& value) {
    oxStyleGroup::SetMember(id, value);
    if (id == kStyle_fill) fillResource_ = nullptr;
    if (id == kStyle_icon) iconResource_ = nullptr;
}

oxStyleGroup* oxFillGroup::Clone() const {
    auto* copy = static_cast<oxFillGroup*>(CreateStyleGroup(kind_));
    if (!copy) return nullptr;
    copy->Merge(this);
    copy->fillResource_ = fillResource_;
    copy->iconResource_ = iconResource_;
    return copy;
}

bool oxFillGroup::HasSlice() const {
    return IsSet(kStyle_fillSliceTop) || IsSet(kStyle_fillSliceRight) || IsSet(kStyle_fillSliceBottom) ||
           IsSet(kStyle_fillSliceLeft);
}

oxElement* oxFillGroup::GetFillResource(oxStyleLibrary* library) {
    if (!library) return nullptr;
    if (!fillResource_) {
        const oxStyleValue* fill = Member(kStyle_fill);
        fillResource_ = ResolveOnce(fill, library);
        // A reference that names no resource may still be a resource id; failing that it names a
        // picture, and a bitmap of that source is made under the reference as its id.
        if (!fillResource_ && fill && fill->GetType() == kStyleUrl && fill->GetText() && *fill->GetText()) {
            const oxAtom id = oxAtoms::Intern(fill->GetText());
            fillResource_ = library->FindResourceById(id, 0);
            if (!fillResource_) fillResource_ = library->MakeBitmapResource(fill->GetText(), id);
        }
    }
    return fillResource_;
}

oxElement* oxFillGroup::GetIconResource(oxStyleLibrary* library) {
    if (!iconResource_) iconResource_ = ResolveOnce(Member(kStyle_icon), library);
    return iconResource_;
}

bool oxTextGroup::Equals(const oxTextGroup* other) const {
    return MembersEqual(this, other, -1, -1);
}

bool oxLayoutGroup::Equals(const oxLayoutGroup* other) const {
    return MembersEqual(this, other, -1, -1);
}

bool oxTransformGroup::Equals(const oxTransformGroup* other) const {
    return MembersEqual(this, other, -1, -1);
}
