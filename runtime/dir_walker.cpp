#include "runtime/dir_walker.h"

#include "platform/crt/wide.h"
#include "platform/shell/files.h"
#include "runtime/calendar.h"

namespace NUBO {
namespace {

bool IsDotEntry(const WCHAR* name) {
    return name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0));
}

double TimeOf(const FILETIME& ft) {
    return TimeFromFileTime((uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

void FillEntry(const WIN32_FIND_DATAW& data, TDirEntry* entry) {
    entry->name = data.cFileName;
    entry->flags = ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? kDirEntryDirectory : 0) |
                   ((data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? kDirEntryReadOnly : 0) |
                   ((data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) ? kDirEntryHidden : 0);
    entry->sizeHigh = data.nFileSizeHigh;
    entry->sizeLow = data.nFileSizeLow;
    entry->creationTime = TimeOf(data.ftCreationTime);
    entry->lastAccessTime = TimeOf(data.ftLastAccessTime);
    entry->lastWriteTime = TimeOf(data.ftLastWriteTime);
}

} // namespace

TDirWalker::~TDirWalker() {
    Close();
}

int TDirWalker::Open(const WCHAR* pattern) {
    if (!pattern || !*pattern) pattern = u"*";
    if (!FindFirst(pattern, &entry_)) return 0;
    const WCHAR* slash = wcsrchr(pattern, u'\\');
    if (slash) {
        folder_.Assign(pattern, int(slash - pattern));
        namePattern_ = slash + 1;
    } else {
        folder_.Empty();
        namePattern_ = pattern;
    }
    return 1;
}

int TDirWalker::FindFirst(const WCHAR* pattern, TDirEntry* entry) {
    Close(); // a search still open would be lost
    if (!pattern || !*pattern) {
        *entry = TDirEntry();
        entry->flags = kDirEntryDirectory;
        return 0;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern, &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    while (IsDotEntry(data.cFileName)) {
        if (!FindNextFileW(find, &data)) {
            FindClose(find);
            return 0;
        }
    }
    find_ = find;
    FillEntry(data, entry);
    return 1;
}

int TDirWalker::FindNext(TDirEntry* entry) {
    if (!find_) return 0;
    WIN32_FIND_DATAW data;
    do {
        if (!FindNextFileW(find_, &data)) return 0;
    } while (IsDotEntry(data.cFileName));
    FillEntry(data, entry);
    return 1;
}

void TDirWalker::Close() {
    if (find_) {
        FindClose(find_);
        find_ = nullptr;
    }
}

} // namespace NUBO
