#pragma once
// oxStyleDeclaration: a set of style property values, as a box's inline style and as the own
// properties of every style rule. The values stay sorted by property id beside a 128-bit set of the
// ids held, so a property test is one bit and a lookup a binary search.
#include <cstdint>

#include "toolkit/style/style_value.h"

class oxStyleGroup;

// The property ids that the group of a kind holds: `count` ids from `first`. Kind 5 holds none.
struct oxStyleGroupRange {
    uint8_t first;
    uint8_t count;
};
constexpr int kStyleGroupKinds = 15;
constexpr oxStyleGroupRange kStyleGroupRanges[kStyleGroupKinds + 1] = {
    {0, 0},   {0, 2},  {2, 10},  {12, 20}, {32, 6},  {0, 0},    {38, 18}, {56, 10},
    {66, 13}, {79, 2}, {81, 12}, {93, 9},  {102, 7}, {109, 10}, {119, 3}, {122, 6},
};

// Whether the id is a shorthand (margin, padding, clip ...) whose four sides are the next four ids.
bool IsStyleShorthand(int id);

class oxStyleDeclaration {
public:
    oxStyleDeclaration() = default;
    oxStyleDeclaration(const oxStyleDeclaration&) = delete;
    oxStyleDeclaration& operator=(const oxStyleDeclaration&) = delete;
    virtual ~oxStyleDeclaration();
    // A new declaration with the same properties, or null when memory ran out.
    virtual oxStyleDeclaration* CloneDeclaration() const;

    bool HasProperty(int id) const { return id >= 0 && id < 128 && (bits_[id >> 3] & (1u << (id & 7))) != 0; }
    bool HasGroupProperties(int kind) const;
    bool IsEmpty() const { return count_ == 0; }
    int GetCount() const { return count_; }
    // The i-th value in id order; each carries its property id.
    const oxStyleValue& At(int i) const { return values_[i]; }
    // The position of the id's value, or the complement of where it would be inserted.
    int IndexOf(int id) const;
    // A copy of the value, or the null value.
    void GetProperty(oxStyleValue* out, int id) const;
    // The stored value, or null.
    const oxStyleValue* FindProperty(int id) const;
    // Stores a value under a plain id; ids above 127 are ignored.
    void StoreProperty(int id, const oxStyleValue& value);
    // A shorthand stores the four sides of a four-side value (anything else stores nothing); other
    // ids go to StoreProperty.
    void SetProperty(int id, const oxStyleValue& value);
    void RemoveProperty(int id);
    // Assigns every member of the group's kind that this declaration sets and marks it set.
    void MergeIntoGroup(oxStyleGroup* group) const;

private:
    bool Grow(int needed);

    uint8_t bits_[16] = {};
    oxStyleValue* values_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
};
