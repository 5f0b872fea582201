#pragma once
// How the device's file names reach Linux files. Device paths are rooted at "\" and separated by
// '\' (a '/' is accepted too). "\X\Y" names <root>/X/Y, where <root> is $TANDU_ROOT or, when that
// is not set, "/". The program's folder keeps its host name on the device, so the path that
// GetModuleFileNameW reports, and "resources" beside it, name the real files whatever the root.
// The device's file system ignores case: a name that does not exist as written is looked up again
// segment by segment, ignoring case.
#include <string>

#include "platform/types.h"

namespace platform {

// The host path for a device path; relative paths stay relative to the working folder. Empty for
// a null path. Segments that exist in another case come back in the case they have on disk; the
// rest as written, so a new file can still be created in a folder named in another case.
std::string HostPathFromDevice(const WCHAR* devicePath);
std::string HostPathFromDevice(const std::u16string& devicePath);

// The device path of an absolute host path, or empty when it lies outside the device's tree.
std::u16string DevicePathFromHost(const std::string& hostPath);

// The running executable's host path.
const std::string& ProgramHostPath();

// UTF-8 (host names) to and from UTF-16 (device names).
std::string Utf8FromWide(const WCHAR* text, size_t length);
std::u16string WideFromUtf8(const std::string& text);

// Compares two host names as the device compares file names: ignoring case over the whole BMP.
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

} // namespace platform
