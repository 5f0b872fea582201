#pragma once
// A volume of a known size for tests of free space: a tmpfs mounted in a mount namespace of the
// test process's own, so that it goes away with the process. Not every machine lets a process
// mount; then Mount answers false and the test says so and skips.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace test {

inline bool WriteProcFile(const char* path, const std::string& text) {
    const int fd = open(path, O_WRONLY);
    if (fd < 0) return false;
    const bool ok = write(fd, text.data(), text.size()) == ssize_t(text.size());
    close(fd);
    return ok;
}

// Once per process: a mount namespace of its own, with a user namespace around it when the process
// may not mount as it is.
inline bool OwnMountNamespace() {
    static const bool entered = [] {
        if (unshare(CLONE_NEWNS) != 0) {
            const uid_t uid = geteuid();
            const gid_t gid = getegid();
            if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
            WriteProcFile("/proc/self/setgroups", "deny");
            if (!WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
                !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
                return false;
        }
        return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }();
    return entered;
}

// A tmpfs of `bytes` (whole pages) at `folder`, made when missing.
inline bool MountSmallVolume(const std::filesystem::path& folder, uint64_t bytes) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!OwnMountNamespace()) return false;
    const std::string options = "size=" + std::to_string(bytes);
    return mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

inline void UnmountSmallVolume(const std::filesystem::path& folder) {
    umount2(folder.c_str(), MNT_DETACH);
}

} // namespace test
