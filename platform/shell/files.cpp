#include "platform/shell/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/crt/wide.h"
#include "platform/shell/path_map.h"

namespace {

using platform::HostPathFromDevice;

class FileObject final : public platform::KernelObject {
public:
    FileObject(int descriptor, DWORD rights) : fd(descriptor), access(rights) {}
    ~FileObject() override { close(fd); }
    const int fd;
    const DWORD access;
};

struct FoundEntry {
    std::u16string name;
    struct stat info;
};

class FindObject final : public platform::KernelObject {
public:
    bool ClosedByCloseHandle() const override { return false; }
    std::string folder;
    std::vector<FoundEntry> entries;
    size_t next = 0;
};

FileObject* FileFromHandle(HANDLE handle) {
    FileObject* file = platform::HandleAs<FileObject>(handle);
    if (!file) SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

bool FolderExists(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    struct stat st;
    return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The device's error for a failed host call on `path`.
DWORD ErrorFromErrno(int error, const std::string& path) {
    switch (error) {
    case ENOENT:
        return FolderExists(path) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_GEN_FAILURE;
    }
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL FailErrno(const std::string& path) {
    return Fail(ErrorFromErrno(errno, path));
}

// The host path of a device path argument; empty (with the error set) when there is no path.
std::string MapArgument(LPCWSTR path) {
    if (!path || !*path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return {};
    }
    return HostPathFromDevice(path);
}

FILETIME FileTimeFromTimespec(const timespec& ts) {
    ULONGLONG ticks = ULONGLONG(int64_t(ts.tv_sec)) * 10000000ULL + ULONGLONG(ts.tv_nsec / 100) + FILETIME_UNIX_EPOCH;
    return FILETIME{DWORD(ticks), DWORD(ticks >> 32)};
}

DWORD AttributesOf(const struct stat& st, const std::u16string& name) {
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
    if (name.size() > 1 && name[0] == u'.' && name != u"..") attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

std::u16string LastSegment(const std::string& hostPath) {
    size_t end = hostPath.size();
    while (end > 1 && hostPath[end - 1] == '/')
        --end;
    size_t slash = hostPath.rfind('/', end - 1);
    size_t start = slash == std::string::npos ? 0 : slash + 1;
    return platform::WideFromUtf8(hostPath.substr(start, end - start));
}

// '*' matches any run of units, '?' exactly one; case is ignored.
bool MatchesPattern(const WCHAR* name, const WCHAR* pattern) {
    const WCHAR* star = nullptr;
    const WCHAR* resume = nullptr;
    while (*name) {
        if (*pattern == u'*') {
            star = pattern++;
            resume = name;
        } else if (*pattern && (*pattern == u'?' || towlower(*pattern) == towlower(*name))) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == u'*')
        ++pattern;
    return *pattern == 0;
}

void FillFindData(const FoundEntry& entry, WIN32_FIND_DATAW* data) {
    *data = WIN32_FIND_DATAW{};
    data->dwFileAttributes = AttributesOf(entry.info, entry.name);
    data->ftCreationTime = FileTimeFromTimespec(entry.info.st_mtim);
    data->ftLastAccessTime = FileTimeFromTimespec(entry.info.st_atim);
    data->ftLastWriteTime = FileTimeFromTimespec(entry.info.st_mtim);
    if (!S_ISDIR(entry.info.st_mode)) {
        ULONGLONG size = ULONGLONG(entry.info.st_size);
        data->nFileSizeHigh = DWORD(size >> 32);
        data->nFileSizeLow = DWORD(size);
    }
    size_t n = std::min(entry.name.size(), size_t(MAX_PATH - 1));
    std::copy_n(entry.name.data(), n, data->cFileName);
    data->cFileName[n] = 0;
}

bool WriteAll(int fd, const char* data, size_t size, size_t* done) {
    *done = 0;
    while (*done < size) {
        ssize_t n = write(fd, data + *done, size - *done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        *done += size_t(n);
    }
    return true;
}

} // namespace

HANDLE CreateFileW(LPCWSTR fileName, DWORD access, DWORD /*shareMode*/, LPSECURITY_ATTRIBUTES /*security*/,
                   DWORD disposition, DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
    std::string path = MapArgument(fileName);
    if (path.empty()) return INVALID_HANDLE_VALUE;

    bool canRead = access & GENERIC_READ, canWrite = access & GENERIC_WRITE;
    int flags = O_CLOEXEC | (canRead && canWrite ? O_RDWR : canWrite ? O_WRONLY : O_RDONLY);
    switch (disposition) {
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        break;
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
    case OPEN_EXISTING:
        break;
    default:
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }

    struct stat st;
    bool existed = stat(path.c_str(), &st) == 0;
    if (existed && S_ISDIR(st.st_mode)) {
        Fail(ERROR_ACCESS_DENIED); // folders are not opened as files
        return INVALID_HANDLE_VALUE;
    }
    int fd = open(path.c_str(), flags, 0666);
    if (fd < 0) {
        Fail(errno == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(errno, path));
        return INVALID_HANDLE_VALUE;
    }
    auto* file = new (std::nothrow) FileObject(fd, access);
    if (!file) {
        close(fd);
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    bool reportsExisting = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    SetLastError(existed && reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return platform::RegisterHandle(file);
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, DWORD* read, void* /*overlapped*/) {
    if (read) *read = 0;
    FileObject* file = FileFromHandle(handle);
    if (!file) return FALSE;
    if (!(file->access & GENERIC_READ)) return Fail(ERROR_ACCESS_DENIED);
    if (!buffer && toRead) return Fail(ERROR_INVALID_PARAMETER);
    size_t done = 0;
    while (done < toRead) {
        ssize_t n = ::read(file->fd, static_cast<char*>(buffer) + done, toRead - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (read) *read = DWORD(done);
            return Fail(ErrorFromErrno(errno, {}));
        }
        if (n == 0) break;
        done += size_t(n);
    }
    if (read) *read = DWORD(done);
    return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, DWORD* written, void* /*overlapped*/) {
    if (written) *written = 0;
    FileObject* file = FileFromHandle(handle);
    if (!file) return FALSE;
    if (!(file->access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
    if (!buffer && toWrite) return Fail(ERROR_INVALID_PARAMETER);
    size_t done = 0;
    bool ok = WriteAll(file->fd, static_cast<const char*>(buffer), toWrite, &done);
    int error = errno;
    if (written) *written = DWORD(done);
    return ok ? TRUE : Fail(ErrorFromErrno(error ? error : ENOSPC, {}));
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD moveMethod) {
    FileObject* file = FileFromHandle(handle);
    if (!file) return INVALID_SET_FILE_POINTER;
    int64_t move = distanceHigh ? int64_t((ULONGLONG(ULONG(*distanceHigh)) << 32) | ULONG(distance)) : distance;
    int64_t base = 0;
    if (moveMethod == FILE_CURRENT) {
        base = lseek(file->fd, 0, SEEK_CUR);
    } else if (moveMethod == FILE_END) {
        struct stat st;
        base = fstat(file->fd, &st) == 0 ? int64_t(st.st_size) : -1;
    } else if (moveMethod != FILE_BEGIN) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t position;
    if (base < 0 || __builtin_add_overflow(base, move, &position)) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (position < 0) {
        Fail(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    if (!distanceHigh && position > int64_t(0xFFFFFFFF)) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (lseek(file->fd, position, SEEK_SET) < 0) {
        Fail(ErrorFromErrno(errno, {}));
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh) *distanceHigh = LONG(ULONG(ULONGLONG(position) >> 32));
    SetLastError(ERROR_SUCCESS); // a position of 0xFFFFFFFF is told from failure by this
    return DWORD(position);
}

DWORD GetFileSize(HANDLE handle, DWORD* sizeHigh) {
    FileObject* file = FileFromHandle(handle);
    struct stat st;
    if (!file || fstat(file->fd, &st) != 0) {
        if (file) Fail(ErrorFromErrno(errno, {}));
        return INVALID_FILE_SIZE;
    }
    ULONGLONG size = ULONGLONG(st.st_size);
    if (sizeHigh) *sizeHigh = DWORD(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return DWORD(size);
}

BOOL SetEndOfFile(HANDLE handle) {
    FileObject* file = FileFromHandle(handle);
    if (!file) return FALSE;
    if (!(file->access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
    off_t position = lseek(file->fd, 0, SEEK_CUR);
    if (position < 0 || ftruncate(file->fd, position) != 0) return Fail(ErrorFromErrno(errno, {}));
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE handle) {
    FileObject* file = FileFromHandle(handle);
    if (!file) return FALSE;
    if (!(file->access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
    return fsync(file->fd) == 0 ? TRUE : Fail(ErrorFromErrno(errno, {}));
}

BOOL DeleteFileW(LPCWSTR fileName) {
    std::string path = MapArgument(fileName);
    if (path.empty()) return FALSE;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return FailErrno(path);
    if (S_ISDIR(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    return unlink(path.c_str()) == 0 ? TRUE : FailErrno(path);
}

BOOL MoveFileW(LPCWSTR existing, LPCWSTR newName) {
    std::string from = MapArgument(existing);
    if (from.empty()) return FALSE;
    std::string to = MapArgument(newName);
    if (to.empty()) return FALSE;
    struct stat src, dst;
    if (lstat(from.c_str(), &src) != 0) return FailErrno(from);
    if (lstat(to.c_str(), &dst) == 0) {
        if (src.st_dev != dst.st_dev || src.st_ino != dst.st_ino) return Fail(ERROR_ALREADY_EXISTS);
        // The new name differs only in case: the lookup found the file itself. Rename to the
        // name as written.
        std::string written = platform::Utf8FromWide(newName, wcslen(newName));
        for (char& c : written)
            if (c == '\\') c = '/';
        size_t slash = to.rfind('/'), writtenSlash = written.rfind('/');
        to = (slash == std::string::npos ? std::string() : to.substr(0, slash + 1)) +
             (writtenSlash == std::string::npos ? written : written.substr(writtenSlash + 1));
        return rename(from.c_str(), to.c_str()) == 0 ? TRUE : FailErrno(to);
    }
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return TRUE;
    if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
    if (errno != EINVAL && errno != ENOSYS) return FailErrno(to);
    // The file system cannot refuse to replace: check first.
    if (lstat(to.c_str(), &dst) == 0) return Fail(ERROR_ALREADY_EXISTS);
    return rename(from.c_str(), to.c_str()) == 0 ? TRUE : FailErrno(to);
}

BOOL CopyFileW(LPCWSTR existing, LPCWSTR newName, BOOL failIfExists) {
    std::string from = MapArgument(existing);
    if (from.empty()) return FALSE;
    std::string to = MapArgument(newName);
    if (to.empty()) return FALSE;
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return FailErrno(from);
    struct stat src, dst;
    if (fstat(in, &src) != 0 || S_ISDIR(src.st_mode)) {
        close(in);
        return Fail(ERROR_ACCESS_DENIED);
    }
    if (stat(to.c_str(), &dst) == 0) {
        DWORD error = 0;
        if (src.st_dev == dst.st_dev && src.st_ino == dst.st_ino)
            error = ERROR_SHARING_VIOLATION; // truncating the target would destroy the source
        else if (failIfExists)
            error = ERROR_FILE_EXISTS;
        else if (S_ISDIR(dst.st_mode))
            error = ERROR_ACCESS_DENIED;
        if (error) {
            close(in);
            return Fail(error);
        }
    }
    int out =
        open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0), src.st_mode & 0777);
    if (out < 0) {
        int error = errno;
        close(in);
        return Fail(error == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(error, to));
    }
    char buffer[65536];
    bool ok = true;
    int error = 0;
    for (;;) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        size_t done;
        if (n < 0 || (n > 0 && !WriteAll(out, buffer, size_t(n), &done))) {
            ok = false;
            error = errno ? errno : ENOSPC;
            break;
        }
        if (n == 0) break;
    }
    if (ok) {
        const timespec times[2] = {src.st_atim, src.st_mtim};
        futimens(out, times); // the copy keeps the source's write time, as on the device
    }
    close(in);
    if (close(out) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(to.c_str()); // leave no half-written copy
        return Fail(ErrorFromErrno(error, to));
    }
    return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES /*security*/) {
    std::string host = MapArgument(path);
    if (host.empty()) return FALSE;
    return mkdir(host.c_str(), 0777) == 0 ? TRUE : FailErrno(host);
}

BOOL RemoveDirectoryW(LPCWSTR path) {
    std::string host = MapArgument(path);
    if (host.empty()) return FALSE;
    if (rmdir(host.c_str()) == 0) return TRUE;
    if (errno == EEXIST) return Fail(ERROR_DIR_NOT_EMPTY);
    if (errno == ENOTDIR) {
        struct stat st;
        if (lstat(host.c_str(), &st) == 0) return Fail(ERROR_DIRECTORY); // names a file
    }
    return FailErrno(host);
}

DWORD GetFileAttributesW(LPCWSTR path) {
    std::string host = MapArgument(path);
    struct stat st;
    if (host.empty()) return INVALID_FILE_ATTRIBUTES;
    if (stat(host.c_str(), &st) != 0) {
        FailErrno(host);
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(st, LastSegment(host));
}

HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data) {
    if (!pattern || !data) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string text(pattern);
    size_t split = text.find_last_of(u"\\/");
    std::u16string namePattern = split == std::u16string::npos ? text : text.substr(split + 1);
    if (namePattern.empty()) {
        Fail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (namePattern == u"*.*") namePattern = u"*"; // the device's spelling of "everything", names without a dot too
    std::string folder = split == std::u16string::npos ? std::string(".")
                         : split == 0                  ? HostPathFromDevice(u"\\")
                                                       : HostPathFromDevice(text.substr(0, split));

    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        Fail(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto* find = new (std::nothrow) FindObject;
    if (!find) {
        closedir(dir);
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    while (dirent* entry = readdir(dir)) {
        FoundEntry found;
        found.name = platform::WideFromUtf8(entry->d_name);
        if (!MatchesPattern(found.name.c_str(), namePattern.c_str())) continue;
        std::string full = folder + "/" + entry->d_name;
        if (stat(full.c_str(), &found.info) != 0 && lstat(full.c_str(), &found.info) != 0)
            continue; // vanished while listed
        find->entries.push_back(std::move(found));
    }
    closedir(dir);
    // Listing order of the host is arbitrary: give the dot entries first, then names in order.
    std::sort(find->entries.begin(), find->entries.end(), [](const FoundEntry& a, const FoundEntry& b) {
        bool dotA = a.name == u"." || a.name == u"..", dotB = b.name == u"." || b.name == u"..";
        if (dotA != dotB) return dotA;
        int order = _wcsicmp(a.name.c_str(), b.name.c_str());
        return order != 0 ? order < 0 : a.name < b.name;
    });
    if (find->entries.empty()) {
        delete find;
        Fail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    FillFindData(find->entries[0], data);
    find->next = 1;
    SetLastError(ERROR_SUCCESS);
    return platform::RegisterHandle(find);
}

BOOL FindNextFileW(HANDLE handle, WIN32_FIND_DATAW* data) {
    auto* find = platform::HandleAs<FindObject>(handle);
    if (!find) return Fail(ERROR_INVALID_HANDLE);
    if (!data) return Fail(ERROR_INVALID_PARAMETER);
    if (find->next >= find->entries.size()) return Fail(ERROR_NO_MORE_FILES);
    FillFindData(find->entries[find->next++], data);
    return TRUE;
}

BOOL FindClose(HANDLE handle) {
    if (!platform::HandleAs<FindObject>(handle)) return Fail(ERROR_INVALID_HANDLE);
    platform::DestroyHandle(handle);
    return TRUE;
}

DWORD GetTempPathW(DWORD bufferLength, LPWSTR buffer) {
    const char* tmpdir = getenv("TMPDIR");
    std::string host = tmpdir && *tmpdir ? tmpdir : "/tmp";
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    std::u16string device = platform::DevicePathFromHost(host);
    if (device.empty()) {
        // The host's temporary folder lies outside the device root: use the device's own.
        device = u"\\Temp";
        CreateDirectoryW(device.c_str(), nullptr);
    }
    if (device.back() != u'\\') device += u'\\';
    if (!buffer || bufferLength <= device.size()) return DWORD(device.size() + 1);
    std::copy(device.begin(), device.end(), buffer);
    buffer[device.size()] = 0;
    return DWORD(device.size());
}

DWORD GetModuleFileNameW(HMODULE /*module*/, LPWSTR fileName, DWORD size) {
    std::u16string path = platform::DevicePathFromHost(platform::ProgramHostPath());
    if (!fileName || size == 0) {
        Fail(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= size) {
        std::copy_n(path.begin(), size - 1, fileName);
        fileName[size - 1] = 0;
        Fail(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::copy(path.begin(), path.end(), fileName);
    fileName[path.size()] = 0;
    SetLastError(ERROR_SUCCESS);
    return DWORD(path.size());
}
