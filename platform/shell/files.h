#pragma once
// The device's file and folder functions over the Linux file system. Paths are device paths
// (see path_map.h); handles are our own objects (see handles.h). Failures set GetLastError.
#include "platform/shell/handles.h"
#include "platform/types.h"
#include "platform/win/last_error.h"
#include "platform/win/time.h"

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    WCHAR cFileName[MAX_PATH];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

// INVALID_HANDLE_VALUE on failure. Sharing is not enforced: Linux has no share modes.
HANDLE CreateFileW(LPCWSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
// TRUE with 0 bytes read at the end of the file.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, DWORD* read, void* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, DWORD* written, void* overlapped);
// The new position's low 32 bits, or INVALID_SET_FILE_POINTER. Without `distanceHigh` the
// distance is a signed 32-bit value and the new position must fit in 32 bits.
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod);
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh); // INVALID_FILE_SIZE on failure
BOOL SetEndOfFile(HANDLE file);                  // at the current position
BOOL FlushFileBuffers(HANDLE file);

BOOL DeleteFileW(LPCWSTR fileName);
BOOL MoveFileW(LPCWSTR existing, LPCWSTR newName); // fails when the new name exists
BOOL CopyFileW(LPCWSTR existing, LPCWSTR newName, BOOL failIfExists);
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryW(LPCWSTR path); // only an empty folder
DWORD GetFileAttributesW(LPCWSTR path);

// '*' and '?' in the last component, matched ignoring case; "." and ".." are listed as well.
HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data);
BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data); // ERROR_NO_MORE_FILES at the end
BOOL FindClose(HANDLE find);

// A device path ending in '\'. Returns its length, or the size needed (terminator included) when
// the buffer is too small.
DWORD GetTempPathW(DWORD bufferLength, LPWSTR buffer);
// The program's device path (there is one module: any handle names the program). Truncated and
// terminated when the buffer is too small; then returns `size` and ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
