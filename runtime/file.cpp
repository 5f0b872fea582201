#include "runtime/file.h"

#include "platform/shell/files.h"

namespace NUBO {

HANDLE FileOpenHandle(const WCHAR* path, DWORD flags, bool create) {
    DWORD access = ((flags & kFileRead) ? GENERIC_READ : 0) | ((flags & kFileWrite) ? GENERIC_WRITE : 0);
    DWORD share = (flags >> 4) & (FILE_SHARE_READ | FILE_SHARE_WRITE);
    HANDLE file = CreateFileW(path, access, share, nullptr, create ? CREATE_ALWAYS : OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

bool FileCloseHandle(HANDLE file) {
    return CloseHandle(file) != FALSE;
}

DWORD FileRead(HANDLE file, void* buffer, DWORD count) {
    DWORD read = 0;
    return ReadFile(file, buffer, count, &read, nullptr) ? read : 0;
}

DWORD FileWrite(HANDLE file, const void* buffer, DWORD count) {
    DWORD written = 0;
    WriteFile(file, buffer, count, &written, nullptr);
    return written; // a short write still reports what reached the file
}

DWORD FileTell(HANDLE file) {
    DWORD position = SetFilePointer(file, 0, nullptr, FILE_CURRENT);
    return position == INVALID_SET_FILE_POINTER ? 0 : position;
}

bool FileSeek(HANDLE file, LONG offset, int origin) {
    if (origin < kSeekStart || origin > kSeekEnd) return false;
    return SetFilePointer(file, offset, nullptr, DWORD(origin)) != INVALID_SET_FILE_POINTER;
}

DWORD FileGetSize(HANDLE file) {
    DWORD size = GetFileSize(file, nullptr);
    return size == INVALID_FILE_SIZE ? 0 : size;
}

bool FileSetEnd(HANDLE file) {
    return SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER && SetEndOfFile(file);
}

TWString GetTempDirectory() {
    WCHAR buffer[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, buffer);
    if (length == 0 || length >= MAX_PATH) return TWString();
    return TWString(buffer, int(length));
}

} // namespace NUBO
