#include "platform/shell/file_icon.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace platform::shell {
namespace {

constexpr size_t kMaxIconBytes = size_t(4) << 20; // no theme's icon is near this; more is no icon
const char kPngSignature[] = "\x89PNG\r\n\x1a\n";

std::string Lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> DataFolders() {
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    std::vector<std::string> out;
    std::stringstream in(list);
    for (std::string dir; std::getline(in, dir, ':');)
        if (!dir.empty() && dir[0] == '/') out.push_back(dir);
    return out;
}

// The MIME type of a file name by the shared globs' "*.ext" patterns, the heaviest match; empty
// when none matches.
std::string MimeTypeOf(const std::string& fileName) {
    const std::string name = Lower(fileName);
    std::string best;
    int bestWeight = -1;
    size_t bestLength = 0;
    for (const std::string& dir : DataFolders()) {
        std::ifstream globs(dir + "/mime/globs2");
        for (std::string line; std::getline(globs, line);) {
            if (line.empty() || line[0] == '#') continue;
            // weight:type:pattern[:flags]
            size_t a = line.find(':'), b = a == std::string::npos ? a : line.find(':', a + 1);
            if (b == std::string::npos) continue;
            size_t c = line.find(':', b + 1);
            std::string pattern = Lower(line.substr(b + 1, c == std::string::npos ? c : c - b - 1));
            if (pattern.size() < 3 || pattern[0] != '*' || pattern[1] != '.' ||
                pattern.find_first_of("*?[", 1) != std::string::npos)
                continue;
            const std::string suffix = pattern.substr(1);
            if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
                continue;
            const int weight = std::atoi(line.substr(0, a).c_str());
            // The heavier pattern wins, then the longer one ("*.tar.gz" before "*.gz").
            if (weight > bestWeight || (weight == bestWeight && suffix.size() > bestLength)) {
                best = line.substr(a + 1, b - a - 1);
                bestWeight = weight;
                bestLength = suffix.size();
            }
        }
        if (!best.empty()) break;
    }
    return best;
}

std::string GenericIconOf(const std::string& mimeType) {
    for (const std::string& dir : DataFolders()) {
        std::ifstream icons(dir + "/mime/generic-icons");
        for (std::string line; std::getline(icons, line);) {
            size_t colon = line.find(':');
            if (colon != std::string::npos && line.compare(0, colon, mimeType) == 0 && colon == mimeType.size())
                return line.substr(colon + 1);
        }
    }
    return std::string();
}

bool ReadPng(const std::string& path, std::vector<uint8_t>* out) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::vector<uint8_t> bytes;
    char chunk[4096];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + file.gcount());
        if (bytes.size() > kMaxIconBytes) return false;
    }
    if (bytes.size() < 8 || std::string(bytes.begin(), bytes.begin() + 8) != std::string(kPngSignature, 8))
        return false;
    out->swap(bytes);
    return true;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::vector<std::string> FileIconNames(const std::string& hostPath) {
    std::vector<std::string> names;
    if (IsFolder(hostPath)) {
        names = {"folder", "inode-directory"};
        return names;
    }
    const size_t slash = hostPath.find_last_of('/');
    const std::string mime = MimeTypeOf(slash == std::string::npos ? hostPath : hostPath.substr(slash + 1));
    if (!mime.empty()) {
        std::string own = mime;
        for (char& c : own)
            if (c == '/') c = '-';
        names.push_back(own);
        std::string generic = GenericIconOf(mime);
        if (!generic.empty()) names.push_back(generic);
        names.push_back(mime.substr(0, mime.find('/')) + "-x-generic");
    }
    names.push_back("application-x-generic");
    names.push_back("text-x-generic");
    return names;
}

bool FileIconPng(const std::string& hostPath, int pixels, const std::string& ownFolder, std::vector<uint8_t>* out) {
    if (!out || pixels <= 0 || pixels > 1024) return false;
    const std::string size = std::to_string(pixels) + "x" + std::to_string(pixels);
    const std::vector<std::string> names = FileIconNames(hostPath);
    static const char* const kThemes[] = {"Adwaita", "hicolor"};
    static const char* const kContexts[] = {"places", "mimetypes"};
    // Each name is looked for everywhere before the next, less fitting one.
    for (const std::string& name : names) {
        if (!ownFolder.empty() && ReadPng(ownFolder + "/" + size + "/" + name + ".png", out)) return true;
        for (const std::string& dir : DataFolders())
            for (const char* theme : kThemes)
                for (const char* context : kContexts)
                    if (ReadPng(dir + "/icons/" + theme + "/" + size + "/" + context + "/" + name + ".png", out))
                        return true;
    }
    return false;
}

} // namespace platform::shell
