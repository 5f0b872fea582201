#pragma once
// File icons: the picture the desktop shows for a file of some type, from an icon folder of the
// program's own, else from the system's icon themes (the freedesktop layout: a theme folder holds
// <size>x<size>/<context>/<name>.png, and a file's type comes from the shared MIME globs).
#include <cstdint>
#include <string>
#include <vector>

namespace platform::shell {

// The icon names that may show the file at `hostPath`, best first: "folder" for a folder, else
// the names of its type by the extension ("text-plain", then "text-x-generic"), ending with the
// generic file's. A path that does not exist is taken for a plain file.
std::vector<std::string> FileIconNames(const std::string& hostPath);

// The PNG bytes of the icon for the file, `pixels` square, looked for first in `ownFolder`
// (laid out <pixels>x<pixels>/<name>.png; may be empty) and then in the system themes; false when
// no icon of that size exists.
bool FileIconPng(const std::string& hostPath, int pixels, const std::string& ownFolder, std::vector<uint8_t>* out);

} // namespace platform::shell
