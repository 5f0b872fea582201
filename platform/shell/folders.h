#pragma once
// The device's folders and volumes: the special folders the shell names by number, and the free
// space of the volume a folder lies on (the Linux file system's answer for that folder).
#include <cstdint>
#include <optional>

#include "platform/types.h"
#include "platform/win/window.h"

// Special folders.
constexpr int CSIDL_WINDOWS = 0x0024;

// The bytes free to the caller, the volume's size and its bytes free in all, for an existing
// folder (a device path) or the volume of the program's folder when `directory` is null. Any
// output may be null. FALSE with the last error for a folder that is not there.
BOOL GetDiskFreeSpaceExW(LPCWSTR directory, PULARGE_INTEGER freeToCaller, PULARGE_INTEGER totalBytes,
                         PULARGE_INTEGER totalFreeBytes);

// Copies the special folder's device path into `path` (MAX_PATH characters). Only the Windows
// folder ("\Windows") is known. When the folder does not exist it is made with `create`, else the
// call fails with ERROR_PATH_NOT_FOUND and leaves `path` as it was.
BOOL SHGetSpecialFolderPath(HWND owner, LPWSTR path, int folder, BOOL create);

namespace platform {
// Tests stand in the free space of every volume: while set, GetDiskFreeSpaceExW tells this many
// bytes free (to the caller and in all) for any folder that exists.
void SetFreeSpaceOverride(std::optional<uint64_t> bytes);
} // namespace platform
