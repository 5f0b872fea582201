#include "toolkit/markup/box_uri.h"

#include <utility>
#include <vector>

#include "platform/crt/wide.h"
#include "platform/shell/files.h"
#include "runtime/file_stream.h"
#include "runtime/ref_ptr.h"
#include "toolkit/base/uri.h"

using NUBO::TWString;

namespace {

constexpr DWORD kModulePathUnits = 260;

// The "resources" folder beside the program, with its trailing backslash, found once. The scenes,
// the toolkit's own content ("box://KestrumToolkit/...") and "main.box" all live there, so box://
// URIs and bare names anchor there rather than in the program's folder itself.
const TWString& ResourcesFolder() {
    static const TWString folder = [] {
        WCHAR path[kModulePathUnits + 1] = {};
        GetModuleFileNameW(nullptr, path, kModulePathUnits);
        path[kModulePathUnits] = 0;
        const WCHAR* slash = wcsrchr(path, u'\\');
        if (!slash) return TWString(u"");
        TWString out(path, int(slash - path) + 1);
        out += kBuiltInResourcesFolder;
        out += u'\\';
        return out;
    }();
    return folder;
}

bool IsSeparator(WCHAR c) {
    return c == u'\\' || c == u'/';
}

// The segments of `path` with '.' and empty ones dropped and each '..' taking back the segment before
// it. A '..' with nothing to take back is dropped when `stayAtTop`, else the answer is false: the path
// climbs above where it starts.
bool SettleSegments(const WCHAR* path, std::vector<TWString>& out, bool stayAtTop) {
    for (const WCHAR* at = path; *at;) {
        const WCHAR* end = at;
        while (*end && !IsSeparator(*end))
            ++end;
        TWString segment(at, int(end - at));
        at = *end ? end + 1 : end;
        if (segment.IsEmpty() || wcscmp(segment.GetString(), u".") == 0) continue;
        if (wcscmp(segment.GetString(), u"..") == 0) {
            if (!out.empty())
                out.pop_back();
            else if (!stayAtTop)
                return false;
            continue;
        }
        out.push_back(std::move(segment));
    }
    return true;
}

TWString JoinSegments(const std::vector<TWString>& segments, bool rooted) {
    TWString out(rooted ? u"\\" : u"");
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i) out += u'\\';
        out += segments[i];
    }
    return out;
}

// A path relative to the resources folder, with every '..' that would climb out of it dropped.
TWString KeepRelativeInside(const WCHAR* path) {
    std::vector<TWString> segments;
    SettleSegments(path, segments, true);
    return JoinSegments(segments, false);
}

} // namespace

const TWString& GetResourcesFolder() {
    return ResourcesFolder();
}

bool ConfineToResources(TWString& path) {
    const TWString& folder = ResourcesFolder();
    TWString full(path.GetString());
    if (!IsSeparator(full.GetAt(0))) {
        full = folder;
        full += path;
    }
    std::vector<TWString> segments, root;
    bool settled = SettleSegments(full.GetString(), segments, false);
    path = JoinSegments(segments, true);
    if (!settled || folder.IsEmpty() || !SettleSegments(folder.GetString(), root, false) ||
        segments.size() <= root.size())
        return false;
    for (size_t i = 0; i < root.size(); ++i) {
        if (_wcsicmp(segments[i].GetString(), root[i].GetString()) != 0) return false;
    }
    return true;
}

bool IsBoxUri(const WCHAR* text) {
    return text && wcsncmp(text, u"box://", 6) == 0;
}

TWString GetBuiltInPath(int index) {
    static constexpr const WCHAR* kTable[] = {kBuiltInResourcesFolder, kBuiltInDialogScene, kBuiltInSheetDialogScene,
                                              kBuiltInSheetTintedScene};
    if (index < 0 || index >= int(sizeof(kTable) / sizeof(kTable[0]))) return TWString(u"");
    return TWString(kTable[index]);
}

void AnchorToProgramFolder(TWString& path) {
    if (path.GetAt(0) == u'\\') return;
    // A relative path names a file in the folder: no '..' leads out of it.
    TWString anchored = ResourcesFolder();
    anchored += KeepRelativeInside(path.GetString());
    path = std::move(anchored);
}

TWString UriAuthorityPath(const oxUri& uri) {
    TWString out(uri.GetAuthority() ? uri.GetAuthority() : u"");
    const WCHAR* path = uri.GetPath();
    if (path && *path) {
        out += u'/';
        out += path;
    }
    return out;
}

int UriToLocalPath(const oxUri& uri, TWString& out) {
    switch (uri.GetScheme()) {
    case kAtomBox:
    case kAtomEe:
        // The authority names a package inside the folder; no '..' or '\\' leads out of it.
        out = KeepRelativeInside(UriAuthorityPath(uri).GetString());
        AnchorToProgramFolder(out);
        return 1;
    case kAtomFile:
        out = uri.GetPath() ? uri.GetPath() : u"";
        // The device has no working folder: "file:///x/y" names "\x/y" there, and must here too.
        if (!out.IsEmpty() && !IsSeparator(out.GetAt(0))) {
            TWString rooted(u"\\");
            rooted += out;
            out = std::move(rooted);
        }
        return 1;
    default:
        out = u"";
        return 0;
    }
}

int ResolveUriToPath(const WCHAR* uri, const WCHAR* base, TWString& out) {
    if (!uri) return 0;
    if (!base || oxUri::HasScheme(uri)) {
        oxUri parsed(uri);
        if (!UriToLocalPath(parsed, out)) out = uri;
        return 1;
    }
    TWString start(base);
    if (IsBoxUri(base)) {
        oxUri parsedBase(base);
        start = NUBO::CombinePath(parsedBase.GetAuthority() ? parsedBase.GetAuthority() : u"",
                                  parsedBase.GetPath() ? parsedBase.GetPath() : u"");
    }
    out = NUBO::CombinePath(start.GetString(), uri);
    // A relative result is opened from the resources folder: it must not climb out of it.
    if (!IsSeparator(out.GetAt(0))) out = KeepRelativeInside(out.GetString());
    return 1;
}

int OpenUriStream(const WCHAR* uri, NUBO::XStream** out) {
    if (!out) return 1;
    TWString path;
    oxUri parsed(uri);
    if (!UriToLocalPath(parsed, path)) {
        path = uri ? uri : u"";
        AnchorToProgramFolder(path);
    }
    NUBO::XFileStream* raw = nullptr;
    if (NUBO::XFileStream::Create(&raw) != 0) return 1;
    NUBO::RefPtr<NUBO::XFileStream> stream(raw);
    if (stream->Open(path.GetString(), u"r", nullptr) != 0 || stream->Seek(0, 0) != 0) return 1;
    if (*out) (*out)->Release();
    *out = stream.detach();
    return 0;
}
