#pragma once
// XFileStream: a stream over a file, opened by a mode text ("r", "w", "a", with "+" for both
// directions) and a sharing text; and TFile, the runtime's file with its path.
#include <cstdint>

#include "platform/types.h"
#include "runtime/stream.h"
#include "runtime/wide_string.h"

namespace NUBO {

struct TDirEntry;

class TFile {
public:
    TFile() = default;
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;
    virtual ~TFile();

    // flags: kFileRead, kFileWrite and the share bits of runtime/file.h. `create` replaces an
    // existing file and needs write access. False when already open or refused.
    bool Open(const WCHAR* path, DWORD flags, bool create);
    bool Close();
    bool IsOpen() const { return handle != nullptr; }
    HANDLE GetHandle() const { return handle; }
    const TWString& GetPath() const { return path; }

    // The path names an entry and, when flags ask for it, the file opens for reading or writing.
    static bool Exists(const WCHAR* path, DWORD flags);
    static bool GetFileInfo(const WCHAR* path, TDirEntry* entry);

private:
    HANDLE handle = nullptr;
    TWString path;
};

class XFileStream : public XStream {
public:
    static XClassDescriptor Descriptor; // "XFileStream"

    XFileStream() = default;

    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    int32_t Initialize() override { return 0; }

    int32_t Close() override { return CloseFile(); }
    int32_t Read(void* buffer, uint32_t n, uint32_t* count) override;
    int32_t Write(const void* data, uint32_t n, uint32_t* count) override;
    int32_t Seek(int64_t offset, int origin) override;
    int32_t GetPosition(int64_t* out) override;
    // Cuts or extends the file to `size`; the position stays.
    int32_t SetSize(int64_t size) override;
    int32_t GetSize(int64_t* out) override;
    int32_t GetContentType(TWString* out) override;
    int32_t SetContentType(const WCHAR* type) override;
    // Memory contents cannot be opened on a file.
    int32_t Open(const void* data, int64_t size, bool fixed) override;

    // 129 for an unknown mode, 128 when the file cannot be opened.
    virtual int32_t Open(const WCHAR* path, const WCHAR* mode, const WCHAR* share);
    virtual int32_t CloseFile();

    static int32_t Create(XFileStream** out);

protected:
    ~XFileStream() override = default;

private:
    TFile file;
};

TWString AddTrailingBackslash(const WCHAR* path);
TWString CombinePath(const WCHAR* directory, const WCHAR* name);
TWString GetParentPath(const WCHAR* path);
TWString GetFileName(const WCHAR* path);
TWString TrimTrailingBackslashes(const WCHAR* path);
// A name "nubo%04x.tmp" in the platform's temporary folder.
TWString MakeTempFileName();

} // namespace NUBO
