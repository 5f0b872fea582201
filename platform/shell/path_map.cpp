#include "platform/shell/path_map.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/crt/wide.h"

namespace platform {
namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string DeviceRoot() {
    const char* root = getenv("TANDU_ROOT");
    std::string result = root ? root : "";
    while (!result.empty() && result.back() == '/')
        result.pop_back();
    return result;
}

std::string ProgramFolder() {
    const std::string& program = ProgramHostPath();
    size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

std::vector<std::string> SplitSegments(const std::string& path) {
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) segments.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return segments;
}

// The entry of `folder` whose name equals `name` ignoring case; empty when there is none.
std::string FindIgnoringCase(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return {};
    std::string found;
    while (dirent* entry = readdir(dir)) {
        if (SameNameIgnoringCase(entry->d_name, name)) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

// Joins `segments` to `base` ("" for relative, "/" prefixing for absolute), taking each segment in
// the case it has on disk while the folders exist.
std::string Resolve(const std::string& base, bool absolute, const std::vector<std::string>& segments,
                    bool trailingSlash) {
    std::string out = base;
    bool searching = true;
    for (const std::string& segment : segments) {
        std::string folder = out.empty() ? (absolute ? "/" : "") : out;
        if (!out.empty() || absolute) out += '/';
        if (searching && segment != "." && segment != ".." && !Exists(out + segment)) {
            std::string found = FindIgnoringCase(folder, segment);
            if (found.empty()) searching = false;
            out += found.empty() ? segment : found;
        } else {
            out += segment;
        }
    }
    if (out.empty()) return absolute ? "/" : ".";
    if (trailingSlash && out.back() != '/') out += '/';
    return out;
}

// `path` lies in `folder` (compared segment-wise ignoring case): the rest after it, with its slash.
bool StripFolder(const std::string& path, const std::string& folder, std::string* rest) {
    std::vector<std::string> p = SplitSegments(path), f = SplitSegments(folder);
    if (f.empty() || p.size() < f.size()) return false;
    for (size_t i = 0; i < f.size(); ++i)
        if (!SameNameIgnoringCase(p[i], f[i])) return false;
    rest->clear();
    for (size_t i = f.size(); i < p.size(); ++i)
        *rest += "/" + p[i];
    return true;
}

} // namespace

std::string Utf8FromWide(const WCHAR* text, size_t length) {
    if (!text || length == 0) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, int(length), out.data(), n, nullptr, nullptr);
    return out;
}

std::u16string WideFromUtf8(const std::string& text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::u16string out(size_t(n > 0 ? n : 0), u'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::u16string wa = WideFromUtf8(a), wb = WideFromUtf8(b);
    return _wcsicmp(wa.c_str(), wb.c_str()) == 0;
}

const std::string& ProgramHostPath() {
    static const std::string path = [] {
        std::vector<char> buffer(4096);
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
        return n > 0 ? std::string(buffer.data(), size_t(n)) : std::string();
    }();
    return path;
}

std::string HostPathFromDevice(const std::u16string& devicePath) {
    if (devicePath.empty()) return {};
    std::string path = Utf8FromWide(devicePath.data(), devicePath.size());
    for (char& c : path)
        if (c == '\\') c = '/';
    bool absolute = !path.empty() && path[0] == '/';
    bool trailingSlash = path.size() > 1 && path.back() == '/';

    // "." and ".." are settled by name, as the device does, so no path climbs above the root.
    std::vector<std::string> segments;
    for (std::string& segment : SplitSegments(path)) {
        if (segment == ".") continue;
        if (segment == ".." && !segments.empty() && segments.back() != "..")
            segments.pop_back();
        else if (segment != ".." || !absolute)
            segments.push_back(std::move(segment));
    }
    path = absolute ? "/" : "";
    for (size_t i = 0; i < segments.size(); ++i)
        path += (i ? "/" : "") + segments[i];
    if (path.empty()) path = ".";

    std::string base;
    std::string rest = path;
    if (absolute) {
        std::string root = DeviceRoot();
        if (!root.empty()) {
            std::string folder = ProgramFolder();
            std::string inProgram;
            if (!folder.empty() && StripFolder(path, folder, &inProgram)) {
                base = folder;
                rest = inProgram;
            } else {
                base = root;
            }
        }
    }
    std::string direct = base + rest + (trailingSlash && rest.size() > 1 ? "/" : "");
    if (Exists(direct)) return direct;
    return Resolve(base, absolute, SplitSegments(rest), trailingSlash);
}

std::string HostPathFromDevice(const WCHAR* devicePath) {
    if (!devicePath) return {};
    return HostPathFromDevice(std::u16string(devicePath));
}

std::u16string DevicePathFromHost(const std::string& hostPath) {
    if (hostPath.empty() || hostPath[0] != '/') return {};
    std::string device;
    std::string root = DeviceRoot();
    std::string rest;
    if (root.empty() || StripFolder(hostPath, ProgramFolder(), &rest))
        device = hostPath;
    else if (StripFolder(hostPath, root, &rest))
        device = rest.empty() ? "/" : rest;
    else
        return {};
    for (char& c : device)
        if (c == '/') c = '\\';
    return WideFromUtf8(device);
}

} // namespace platform
