#pragma once
// Shared pieces of the markup tests: a recording element kind, text conversion and golden-file
// comparison; the plain-box scene comes from plain_box_scene.h.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/wide_string.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/base/element.h"
#include "toolkit/markup/tests/plain_box_scene.h"

namespace markup_test {

std::string Utf8(const WCHAR* text);
std::u16string Wide(const std::string& text);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);
// A host path as the device writes it, with backslashes.
std::u16string DevicePathOf(const std::string& hostPath);
// Compares `actual` with the file at `path`; TANDU_UPDATE_GOLDENS=1 rewrites the file instead.
::testing::AssertionResult MatchesGoldenAt(const std::string& path, const std::string& actual);

#ifdef TEST_DATA_DIR
// The test program's own data folder.
inline std::string DataPath(const std::string& name) { return std::string(TEST_DATA_DIR) + "/" + name; }
inline std::u16string DevicePath(const std::string& name) { return DevicePathOf(DataPath(name)); }
// Compares `actual` with tests/data/<name>.
inline ::testing::AssertionResult MatchesGolden(const std::string& actual, const std::string& name) {
    return MatchesGoldenAt(DataPath(name), actual);
}
#endif

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

} // namespace markup_test
