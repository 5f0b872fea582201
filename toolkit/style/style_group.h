#pragma once
// The property groups of a computed style: each kind holds the members of a run of property ids
// (kStyleGroupRanges) and a set bit per member that a rule or a writer set, as opposed to the
// kind's construction default. Groups are built from a box's rule chain on first read.
#include <cstdint>

#include "toolkit/base/rect.h"
#include "toolkit/style/style_declaration.h"
#include "toolkit/style/style_value.h"

class oxElement;
class oxStyleLibrary;

class oxStyleGroup {
public:
    oxStyleGroup(const oxStyleGroup&) = delete;
    oxStyleGroup& operator=(const oxStyleGroup&) = delete;
    virtual ~oxStyleGroup();

    // Takes every member that is set in `other`; null does nothing.
    virtual void Merge(const oxStyleGroup* other);
    // A copy of the member, or the null value for an id of another group.
    virtual void GetMember(oxStyleValue* out, int id) const;
    // Assigns the member; its set bit follows whether the value is null. Shorthands spread a
    // four-side value over their sides and ignore values of other types.
    virtual void SetMember(int id, const oxStyleValue& value);
    virtual void ClearSetFlags(uint32_t mask) { setFlags_ &= ~mask; }
    // A group of the same kind holding the set members of this one; null when memory ran out.
    virtual oxStyleGroup* Clone() const;

    int GetKind() const { return kind_; }
    uint32_t GetSetFlags() const { return setFlags_; }
    bool Holds(int id) const { return id >= first_ && id < first_ + count_; }
    bool IsSet(int id) const { return Holds(id) && (setFlags_ & (2u << (id - first_))) != 0; }
    // The member of an id of this group, or null.
    const oxStyleValue* Member(int id) const { return Holds(id) ? &members_[id - first_] : nullptr; }
    // Assigns the member and marks it set, as merging a declaration does.
    void AssignMember(int id, const oxStyleValue& value);

protected:
    oxStyleGroup(int kind, oxStyleValue* members);
    // Gives every member its kind's default; run once the members exist.
    void SetDefaults();

    int kind_;
    int first_;
    int count_;
    uint32_t setFlags_ = 0;
    oxStyleValue* members_;
};

// The members of a kind live in the group object itself.
template <int Kind> class oxStyleGroupOf : public oxStyleGroup {
public:
    oxStyleGroupOf() : oxStyleGroup(Kind, storage_) { SetDefaults(); }

private:
    oxStyleValue storage_[kStyleGroupRanges[Kind].count];
};

class oxAnimationGroup : public oxStyleGroupOf<1> {};

class oxColorGroup : public oxStyleGroupOf<2> {
public:
    // Whether a colour scale or saturation differs from 100, or a colour is added or subtracted.
    bool IsActive() const;
    // `blur` as a level up to 20: a percentage of 20, or the number itself.
    int GetBlurLevel() const;
    // Opacity below 100, some blur, or a flip needs a layer of its own.
    bool NeedsLayer() const;
};

class oxMetricsGroup : public oxStyleGroupOf<3> {
public:
    // Member-wise equality, leaving out the margin and padding shorthands.
    bool Equals(const oxMetricsGroup* other) const;
    // The pixel value of a metric for layout, from the box's own size and the reference size (x width, y height); false
    // when the value leaves the metric to the layout.
    static bool ResolveEdge(int id, const oxStyleValue& value, const oxPoint& size, const oxPoint& reference,
                            int32_t* out);
};

class oxClipGroup : public oxStyleGroupOf<4> {
public:
    bool HasEdges() const;
    // The four clip sides resolved against a box of `size`, as {left, top, right, bottom}.
    void GetClipRect(oxRect* out, const oxPoint& size) const;
};

class oxFillGroup : public oxStyleGroupOf<6> {
public:
    void Merge(const oxStyleGroup* other) override;
    void SetMember(int id, const oxStyleValue& value) override;
    oxStyleGroup* Clone() const override;
    bool HasSlice() const;
    // The resources that `fill` and `icon` name, resolved once in the library and kept.
    oxElement* GetFillResource(oxStyleLibrary* library);
    oxElement* GetIconResource(oxStyleLibrary* library);
    // Keeps `resource` (not owned) as what `fill` names, until `fill` is set again.
    void SetFillResource(oxElement* resource) { fillResource_ = resource; }

private:
    oxElement* fillResource_ = nullptr;
    oxElement* iconResource_ = nullptr;
};

class oxRegionGroup : public oxStyleGroupOf<7> {};

class oxTextGroup : public oxStyleGroupOf<8> {
public:
    bool Equals(const oxTextGroup* other) const;
};

class oxCursorGroup : public oxStyleGroupOf<9> {};

class oxLayoutGroup : public oxStyleGroupOf<10> {
public:
    bool Equals(const oxLayoutGroup* other) const;
};

// Differs: keeps no resolved stroke resource; the painter resolves a url() stroke at each paint,
// so a changed `stroke` or a library that went away never leaves a stale pen here.
class oxStrokeGroup : public oxStyleGroupOf<11> {};

class oxShadowGroup : public oxStyleGroupOf<12> {};
class oxBevelGroup : public oxStyleGroupOf<13> {};

class oxTransformGroup : public oxStyleGroupOf<14> {
public:
    bool Equals(const oxTransformGroup* other) const;
};

class oxOffsetGroup : public oxStyleGroupOf<15> {};

// A new group of kind 1..15 holding its defaults; null for other kinds or when memory ran out.
oxStyleGroup* CreateStyleGroup(int kind);
