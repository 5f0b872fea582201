#include "platform/shell/folders.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <string>

#include "platform/shell/path_map.h"
#include "platform/win/last_error.h"

namespace {

std::optional<uint64_t> freeSpaceOverride;

void Put(PULARGE_INTEGER out, uint64_t value) {
    if (out) out->QuadPart = value;
}

} // namespace

BOOL GetDiskFreeSpaceExW(LPCWSTR directory, PULARGE_INTEGER freeToCaller, PULARGE_INTEGER totalBytes,
                         PULARGE_INTEGER totalFreeBytes) {
    std::string path;
    if (directory) {
        path = platform::HostPathFromDevice(directory);
    } else {
        path = platform::ProgramHostPath();
        path = path.substr(0, path.rfind('/') + 1);
    }
    struct statvfs volume {};
    if (path.empty() || statvfs(path.c_str(), &volume) != 0) {
        SetLastError(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    const uint64_t unit = volume.f_frsize ? volume.f_frsize : volume.f_bsize;
    Put(freeToCaller, freeSpaceOverride.value_or(uint64_t(volume.f_bavail) * unit));
    Put(totalBytes, uint64_t(volume.f_blocks) * unit);
    Put(totalFreeBytes, freeSpaceOverride.value_or(uint64_t(volume.f_bfree) * unit));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SHGetSpecialFolderPath(HWND, LPWSTR path, int folder, BOOL create) {
    if (!path || folder != CSIDL_WINDOWS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    static const WCHAR kWindows[] = u"\\Windows";
    const std::string host = platform::HostPathFromDevice(kWindows);
    struct stat st {};
    const bool exists = stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (!exists && !(create && mkdir(host.c_str(), 0755) == 0)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::char_traits<WCHAR>::copy(path, kWindows, std::char_traits<WCHAR>::length(kWindows) + 1);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

namespace platform {

void SetFreeSpaceOverride(std::optional<uint64_t> bytes) {
    freeSpaceOverride = bytes;
}

} // namespace platform
