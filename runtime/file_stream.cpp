#include "runtime/file_stream.h"

#include <cstdlib>
#include <new>

#include "platform/crt/wide.h"
#include "platform/shell/files.h"
#include "runtime/dir_walker.h"
#include "runtime/file.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "runtime/script_object_internal.h"

namespace NUBO {

namespace {

constexpr int32_t XR_FILE_FAILED = 128;
constexpr int32_t XR_BAD_FILE_MODE = 129;

int32_t OpenMethod(XObject* object, int argc, XArgList* args, XVariant*) {
    if (!object) return XR_INVALID;
    if (argc < 3) return XR_TOO_FEW_ARGS;
    XArgString path(args->GetArg(0));
    XArgString mode(args->GetArg(1));
    XArgString share(args->GetArg(2));
    return static_cast<XFileStream*>(object)->Open(path.GetString(), mode.GetString(), share.GetString());
}

const XMemberEntry kFileStreamMembers[] = {
    XMethod("open", OpenMethod),
    XMemberEnd(),
};

DWORD ShareFlags(const WCHAR* share) {
    if (!share || !share[0] || wcscmp(share, u"r") == 0) return kFileShareRead;
    if (wcscmp(share, u"rw") == 0 || wcscmp(share, u"wr") == 0) return kFileShareRead | kFileShareWrite;
    if (wcscmp(share, u"w") == 0) return kFileShareWrite;
    return 0;
}

} // namespace

TFile::~TFile() {
    Close();
}

bool TFile::Open(const WCHAR* name, DWORD flags, bool create) {
    if (handle || !name || !name[0]) return false;
    if (!(flags & (kFileRead | kFileWrite))) return false;
    if (create && !(flags & kFileWrite)) return false;
    handle = FileOpenHandle(name, flags, create);
    if (!handle) return false;
    path = name;
    return true;
}

bool TFile::Close() {
    if (!handle) return true;
    bool ok = FileCloseHandle(handle);
    handle = nullptr;
    path.Destroy();
    return ok;
}

bool TFile::Exists(const WCHAR* name, DWORD flags) {
    if (!name || !name[0] || GetFileAttributesW(name) == INVALID_FILE_ATTRIBUTES) return false;
    if (!(flags & (kFileRead | kFileWrite))) return true;
    HANDLE h = FileOpenHandle(name, flags & (kFileRead | kFileWrite | kFileShareRead | kFileShareWrite), false);
    if (!h) return false;
    FileCloseHandle(h);
    return true;
}

bool TFile::GetFileInfo(const WCHAR* name, TDirEntry* entry) {
    if (!name || !name[0] || !entry) return false;
    TDirWalker walker;
    return walker.FindFirst(name, entry) == 1;
}

XClassDescriptor XFileStream::Descriptor = {"XFileStream", 2, kFileStreamMembers, &XStream::Descriptor, 0, {}};

int32_t XFileStream::Create(XFileStream** out) {
    return CreateInitialized<XFileStream>(out);
}

int32_t XFileStream::Open(const void*, int64_t, bool) {
    return XR_NOT_IMPLEMENTED;
}

int32_t XFileStream::Open(const WCHAR* name, const WCHAR* mode, const WCHAR* share) {
    if (!mode) return XR_BAD_FILE_MODE;
    DWORD flags = 0;
    bool create = false;
    bool atEnd = false;
    switch (mode[0]) {
    case u'r':
        flags = kFileRead;
        break;
    case u'w':
        flags = kFileWrite;
        create = true;
        break;
    case u'a':
        flags = kFileWrite;
        create = !TFile::Exists(name, kFileWrite);
        atEnd = true;
        break;
    default:
        return XR_BAD_FILE_MODE;
    }
    if (mode[1] == u'+') flags |= kFileRead | kFileWrite;
    flags |= ShareFlags(share);
    if (!file.Open(name, flags, create)) return XR_FILE_FAILED;
    if (!FileSeek(file.GetHandle(), 0, atEnd ? kSeekEnd : kSeekStart)) return XR_FILE_FAILED;
    return XR_SUCCESS;
}

int32_t XFileStream::CloseFile() {
    if (!file.IsOpen()) return XR_SUCCESS;
    return file.Close() ? XR_SUCCESS : XR_FILE_FAILED;
}

int32_t XFileStream::Read(void* buffer, uint32_t n, uint32_t* count) {
    if (count) *count = 0;
    if (!file.IsOpen()) return XR_STREAM_CLOSED;
    if (!buffer) return XR_INVALID;
    if (n == 0) return XR_SUCCESS;
    DWORD got = FileRead(file.GetHandle(), buffer, n);
    if (count) *count = got;
    return got == 0 ? XR_END_OF_STREAM : XR_SUCCESS;
}

int32_t XFileStream::Write(const void* data, uint32_t n, uint32_t* count) {
    if (count) *count = 0;
    if (!file.IsOpen()) return XR_STREAM_CLOSED;
    if (!data) return XR_INVALID;
    if (n == 0) return XR_SUCCESS;
    DWORD put = FileWrite(file.GetHandle(), data, n);
    if (count) *count = put;
    return put == n ? XR_SUCCESS : XR_FILE_FAILED;
}

int32_t XFileStream::Seek(int64_t offset, int origin) {
    if (!file.IsOpen()) return XR_STREAM_CLOSED;
    return FileSeek(file.GetHandle(), LONG(uint32_t(offset)), origin) ? XR_SUCCESS : XR_FILE_FAILED;
}

int32_t XFileStream::GetPosition(int64_t* out) {
    if (!file.IsOpen()) return XR_STREAM_CLOSED;
    if (!out) return XR_INVALID;
    *out = FileTell(file.GetHandle());
    return XR_SUCCESS;
}

int32_t XFileStream::GetSize(int64_t* out) {
    if (!file.IsOpen()) return XR_STREAM_CLOSED;
    if (!out) return XR_INVALID;
    *out = FileGetSize(file.GetHandle());
    return XR_SUCCESS;
}

int32_t XFileStream::SetSize(int64_t newSize) {
    if (!file.IsOpen()) return XR_STREAM_CLOSED;
    if (newSize < 0 || newSize > INT32_MAX) return XR_INVALID;
    HANDLE h = file.GetHandle();
    DWORD old = FileTell(h);
    bool ok = FileSeek(h, LONG(newSize), kSeekStart) && SetEndOfFile(h);
    FileSeek(h, LONG(old), kSeekStart);
    return ok ? XR_SUCCESS : XR_FILE_FAILED;
}

int32_t XFileStream::GetContentType(TWString* out) {
    if (!out) return XR_INVALID;
    *out = contentType;
    return XR_SUCCESS;
}

int32_t XFileStream::SetContentType(const WCHAR* type) {
    contentType = type;
    return XR_SUCCESS;
}

TWString AddTrailingBackslash(const WCHAR* path) {
    TWString out(path);
    int n = out.GetLength();
    if (n > 0 && out.GetAt(n - 1) != u'\\') out += u'\\';
    return out;
}

TWString CombinePath(const WCHAR* directory, const WCHAR* name) {
    TWString out = AddTrailingBackslash(directory);
    out += name;
    return out;
}

TWString GetParentPath(const WCHAR* path) {
    const WCHAR* slash = path ? wcsrchr(path, u'\\') : nullptr;
    if (!slash) return TWString(u"");
    return TWString(path, int(slash - path));
}

TWString GetFileName(const WCHAR* path) {
    const WCHAR* slash = path ? wcsrchr(path, u'\\') : nullptr;
    return TWString(slash ? slash + 1 : path);
}

TWString TrimTrailingBackslashes(const WCHAR* path) {
    TWString out(path);
    out.TrimRight(u'\\');
    return out;
}

TWString MakeTempFileName() {
    TWString name;
    name.Format(u"nubo%04x.tmp", unsigned(std::rand() & 0xFFFF));
    return CombinePath(GetTempDirectory().GetString(), name.GetString());
}

} // namespace NUBO
