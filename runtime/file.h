#pragma once
// The runtime's thin layer over the platform's file handles. Failures are reported as 0 or false;
// the platform's error codes are not kept.
#include "platform/types.h"
#include "runtime/wide_string.h"

namespace NUBO {

// Open flags: bit 0 read, bit 1 write; bits 4-5 the platform's share mode.
constexpr DWORD kFileRead = 0x01;
constexpr DWORD kFileWrite = 0x02;
constexpr DWORD kFileShareRead = 0x10;
constexpr DWORD kFileShareWrite = 0x20;

// Seek origins.
constexpr int kSeekStart = 0;
constexpr int kSeekCurrent = 1;
constexpr int kSeekEnd = 2;

// A platform file handle, or null when none could be opened. `create` replaces an existing
// file; without it a missing file fails.
HANDLE FileOpenHandle(const WCHAR* path, DWORD flags, bool create);
bool FileCloseHandle(HANDLE file);
DWORD FileRead(HANDLE file, void* buffer, DWORD count);        // bytes read; 0 on failure or at the end
DWORD FileWrite(HANDLE file, const void* buffer, DWORD count); // bytes written
DWORD FileTell(HANDLE file);                                   // 0 on failure
bool FileSeek(HANDLE file, LONG offset, int origin);
DWORD FileGetSize(HANDLE file); // 0 on failure
// Moves to the end of the file and sets the end there.
bool FileSetEnd(HANDLE file);

// The platform's temporary folder, ending in '\'; empty when there is none.
TWString GetTempDirectory();

} // namespace NUBO
