#include "toolkit/scene/box_uri.h"

#include <utility>

#include "platform/crt/wide.h"
#include "platform/shell/files.h"
#include "runtime/file_stream.h"
#include "runtime/ref_ptr.h"
#include "toolkit/core/uri.h"

using NUBO::TWString;

namespace {

constexpr DWORD kModulePathUnits = 260;

// The program's folder with its trailing backslash, found once.
const TWString& ProgramFolder() {
    static const TWString folder = [] {
        WCHAR path[kModulePathUnits + 1] = {};
        GetModuleFileNameW(nullptr, path, kModulePathUnits);
        path[kModulePathUnits] = 0;
        const WCHAR* slash = wcsrchr(path, u'\\');
        return slash ? TWString(path, int(slash - path) + 1) : TWString(u"");
    }();
    return folder;
}

} // namespace

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
    TWString anchored = ProgramFolder();
    anchored += path;
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
        out = UriAuthorityPath(uri);
        AnchorToProgramFolder(out);
        return 1;
    case kAtomFile:
        out = uri.GetPath() ? uri.GetPath() : u"";
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
