#include "toolkit/markup/tests/markup_test_support.h"

#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>

#include "platform/shell/path_map.h"
#include "runtime/charset.h"

namespace markup_test {

std::string Utf8(const WCHAR* text) {
    std::string out;
    if (!text) return out;
    int units = 0;
    while (text[units])
        ++units;
    out.resize(size_t(units) * 3 + 1);
    int n = NUBO::Utf8Encode(text, units, out.data(), int(out.size()));
    out.resize(size_t(n > 0 ? n : 0));
    return out;
}

std::u16string Wide(const std::string& text) {
    std::u16string out(text.size() + 1, u'\0');
    int n = NUBO::Utf8Decode(text.data(), int(text.size()), out.data(), int(out.size()));
    out.resize(size_t(n > 0 ? n : 0));
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

std::u16string DevicePathOf(const std::string& hostPath) {
    return platform::DevicePathFromHost(hostPath);
}

::testing::AssertionResult MatchesGoldenAt(const std::string& path, const std::string& actual) {
    const char* update = std::getenv("TANDU_UPDATE_GOLDENS");
    if (update && *update == '1') {
        WriteFile(path, actual);
        return ::testing::AssertionSuccess();
    }
    std::ifstream probe(path);
    if (!probe) {
        return ::testing::AssertionFailure()
               << "no golden " << path << " (run with TANDU_UPDATE_GOLDENS=1 to write it)\n"
               << actual;
    }
    std::string expected = ReadFile(path);
    if (expected == actual) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "dump differs from " << path << "\n--- expected\n"
                                         << expected << "--- actual\n"
                                         << actual;
}

namespace {

std::string AtomText(oxAtom atom) {
    if (!atom) return "0";
    WCHAR name[300];
    if (!oxAtoms::GetName(atom, name, 300)) return "?";
    std::string text = Utf8(name);
    // Namespace URIs are long; their last path segment says enough.
    size_t slash = text.rfind('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

} // namespace

RecordingElement::~RecordingElement() {
    ClearChildren();
}

void RecordingElement::ClearChildren() {
    // Deep test trees are taken apart with a work list instead of recursion.
    std::vector<RecordingElement*> pending;
    pending.swap(children);
    while (!pending.empty()) {
        RecordingElement* at = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), at->children.begin(), at->children.end());
        at->children.clear();
        delete at;
    }
}

int32_t RecordingElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    attributes.push_back(AtomText(ns) + ":" + AtomText(attribute) + "=" + Utf8(value));
    return oxElement::SetMarkupAttribute(ns, attribute, value);
}

int32_t RecordingElement::CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) {
    *out = nullptr;
    if (tag == oxAtoms::Intern(u"reject")) return kElementNotHandled;
    auto* child = new RecordingElement(ns, tag);
    children.push_back(child);
    *out = child;
    return 0;
}

int32_t RecordingElement::AddText(const WCHAR* value, int length) {
    text.append(value, size_t(length));
    return 0;
}

void RecordingElement::Dump(std::string& out, int depth) const {
    if (depth > 50) return;
    out.append(size_t(depth) * 2, ' ');
    out += AtomText(namespace_) + ":" + AtomText(tag_);
    if (id_) out += " #" + AtomText(id_);
    for (const std::string& a : attributes)
        out += " " + a;
    std::string t = Utf8(std::u16string(text).c_str());
    std::string trimmed;
    for (char c : t)
        if (c != '\n' && c != ' ' && c != '\t' && c != '\r') trimmed += c;
    if (!trimmed.empty()) out += " text=\"" + trimmed + "\"";
    out += " ends=" + std::to_string(ends) + "\n";
    for (const RecordingElement* child : children)
        child->Dump(out, depth + 1);
}

} // namespace markup_test
