#pragma once
// Walks the entries of a folder that match a pattern, hiding "." and "..".
#include "platform/types.h"
#include "runtime/wide_string.h"

struct WIN32_FIND_DATAW;

namespace NUBO {

constexpr DWORD kDirEntryDirectory = 0x1;
constexpr DWORD kDirEntryReadOnly = 0x2;
constexpr DWORD kDirEntryHidden = 0x4;

struct TDirEntry {
    TWString name;
    DWORD flags = 0; // kDirEntry*
    DWORD sizeHigh = 0;
    DWORD sizeLow = 0;
    // Seconds since 1970-01-01 UTC.
    double creationTime = 0;
    double lastAccessTime = 0;
    double lastWriteTime = 0;
};

class TDirWalker {
public:
    TDirWalker() = default;
    TDirWalker(const TDirWalker&) = delete;
    TDirWalker& operator=(const TDirWalker&) = delete;
    ~TDirWalker();

    // `pattern` is a path whose last part may hold '*' and '?'; empty means "*". Returns 1 with
    // the first entry current, or 0 (and no search open) when nothing but dot entries matches.
    int Open(const WCHAR* pattern);
    // Starts a search for `pattern`; 1 with its first entry in `entry`, else 0.
    int FindFirst(const WCHAR* pattern, TDirEntry* entry);
    // The next entry; 0 at the end.
    int FindNext(TDirEntry* entry);
    void Close();

    bool IsOpen() const { return find_ != nullptr; }
    const TDirEntry& GetEntry() const { return entry_; }
    // The pattern's folder (before its last '\') and name, kept by a successful Open.
    const TWString& GetFolder() const { return folder_; }
    const TWString& GetNamePattern() const { return namePattern_; }

private:
    HANDLE find_ = nullptr;
    TDirEntry entry_;
    TWString folder_;
    TWString namePattern_;
};

} // namespace NUBO
