#pragma once
// A `template` of a collection binding: the box to make for each row (a tree of box descriptions),
// an optional `match` condition that chooses the template for a row, and where a row's fields go:
// an attribute written "{field}" is an expression over the row, entered in the template's
// expression map with the path of child indices to the box that carries it. A `recurse` element
// inside a description marks the box under which the row's nested collection is replicated.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/wide_string.h"
#include "toolkit/base/element.h"

class oxBindingSource;
class oxBox;
class oxBoxScene;
class oxRowTemplate;

// Where one expression is written: the box at `path` below the row box, attribute or style property.
struct oxExpressionUse {
    std::vector<int> path;
    oxAtom ns = 0;
    oxAtom attribute = 0;
    int styleId = -1; // for the style namespace
};

struct oxExpressionRecord {
    NUBO::TWString expression;
    std::vector<oxExpressionUse> uses;
};

class oxBoxDescription final : public oxElement {
public:
    oxBoxDescription(oxAtom ns, oxAtom tag, oxRowTemplate* owner, std::vector<int> path);
    ~oxBoxDescription() override;

    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;
    int32_t CreateChild(oxAtom ns, oxAtom tag, oxElement** out, bool direct) override {
        (void)direct;
        return CreateChildElement(ns, tag, out);
    }

    // The box and its described children, with the literal attributes; null when the scene makes
    // no box for the tag.
    oxBox* Build(oxBoxScene* scene) const;

private:
    struct Attribute {
        oxAtom ns;
        oxAtom attribute;
        NUBO::TWString literal;
    };
    oxRowTemplate* owner_;
    std::vector<int> path_;
    std::vector<Attribute> literals_;
    std::vector<oxBoxDescription*> children_; // owned
};

class oxRowTemplate final : public oxElement {
public:
    oxRowTemplate();
    ~oxRowTemplate() override;

    // `key`: the key atom of this template's rows.
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    // The first `match` is the condition; the first other child the box description; a second
    // description is refused.
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;
    int32_t CreateChild(oxAtom ns, oxAtom tag, oxElement** out, bool direct) override {
        (void)direct;
        return CreateChildElement(ns, tag, out);
    }

    // Whether the row satisfies the `match` condition (true without one).
    bool Matches(oxBindingSource* source, int row) const;
    bool HasMatch() const { return hasMatch_; }
    // Makes the row's box and writes the row's fields into it.
    oxBox* MakeRowBox(oxBoxScene* scene, oxBindingSource* source, int row) const;
    // Writes the row's fields again: all of them, or only the expressions equal to `field`.
    // Answers whether an expression was written.
    bool Refresh(oxBox* rowBox, oxBindingSource* source, int row, const WCHAR* field) const;
    // The expression record that writes `attribute` into `box` (a box of a row made from this
    // template, `path` below its row box), or null.
    const oxExpressionRecord* FindRecord(const std::vector<int>& path, oxAtom attribute, bool* isStyle) const;
    // The box at a path below a row box, or null.
    static oxBox* Descend(oxBox* rowBox, const std::vector<int>& path, size_t length);

    bool HasNested() const { return nested_; }
    const NUBO::TWString& GetNestedField() const { return nestedField_; }
    oxAtom GetNestedKey() const { return nestedKey_; }
    const std::vector<int>& GetRecursePath() const { return recursePath_; }
    oxAtom GetKey() const { return key_; }
    bool HasExpressions() const { return !records_.empty(); }

    // Used by the descriptions and the recurse element while the markup is read.
    void AddExpression(const WCHAR* expression, const oxExpressionUse& use);
    void SetRecurse(std::vector<int> path, const WCHAR* field, oxAtom key);
    void SetNested() { nested_ = true; }

private:
    oxBoxDescription* description_ = nullptr; // owned
    bool hasMatch_ = false;
    bool matchPresence_ = false; // hasProperty: only the field's presence counts
    NUBO::TWString matchField_;
    NUBO::TWString matchValue_;
    std::vector<oxExpressionRecord> records_;
    bool nested_ = false;
    NUBO::TWString nestedField_;
    oxAtom nestedKey_ = 0;
    std::vector<int> recursePath_;
    oxAtom key_ = 0;
};
