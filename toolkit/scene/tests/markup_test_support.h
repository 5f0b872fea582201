#pragma once
// Shared pieces of the markup tests: a recording element kind, a scene that makes plain boxes, text
// conversion and golden-file comparison.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/wide_string.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/element.h"

namespace markup_test {

std::string Utf8(const WCHAR* text);
std::u16string Wide(const std::string& text);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);
std::string DataPath(const std::string& name);

// Compares `actual` with tests/data/<name>; TANDU_UPDATE_GOLDENS=1 rewrites the file instead.
::testing::AssertionResult MatchesGolden(const std::string& actual, const std::string& name);

// An element that accepts every child except tags named "reject" and records what reaches it.
class RecordingElement : public oxElement {
public:
    RecordingElement(oxAtom ns, oxAtom tag) : oxElement(ns, tag) {}
    ~RecordingElement() override;

    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;
    int32_t AddText(const WCHAR* text, int length) override;
    void EndElement() override { ++ends; }
    void ClearChildren();

    // One line per element: namespace:tag, attributes, text, end count; children indented.
    void Dump(std::string& out, int depth = 0) const;

    std::vector<RecordingElement*> children;
    std::vector<std::string> attributes; // "ns:name=value"
    std::u16string text;
    int ends = 0;
};

// Makes plain boxes for box-namespace tags.
class PlainBoxScene : public oxBoxScene {
public:
    oxBox* CreateBox(oxAtom ns, oxAtom tag) override;
};

// Stands where a scene stands under the root tag: makes the root box and holds it.
class RootHolder : public oxElement {
public:
    explicit RootHolder(oxBoxScene* scene) : scene_(scene) {}
    ~RootHolder() override;
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;
    oxBox* root = nullptr;

private:
    oxBoxScene* scene_;
};

} // namespace markup_test
