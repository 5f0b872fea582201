#include "toolkit/library/resource_reference.h"

#include "toolkit/base/uri.h"

using NUBO::TWString;

namespace {

TWString NormalizeParsed(const oxUri& parsed, const WCHAR* text) {
    TWString out(parsed.GetScheme() == kAtomFile ? (parsed.GetPath() ? parsed.GetPath() : u"") : text);
    if (parsed.GetScheme() != kAtomBox) out.Replace(u'/', u'\\');
    return out;
}

} // namespace

TWString NormalizeLibraryUri(const WCHAR* uri) {
    if (!uri) return TWString();
    oxUri parsed(uri);
    return NormalizeParsed(parsed, uri);
}

void oxResourceReference::Set(const oxUri& uri) {
    // The library part is the URI without its fragment, so "box://pkg/lib.box#a" names the library
    // "box://pkg/lib.box" and not the bare path "lib.box".
    library = NormalizeParsed(uri, uri.GetWithoutFragment());
    const WCHAR* fragment = uri.GetFragment();
    id = fragment && *fragment ? oxAtoms::Intern(fragment) : 0;
}
