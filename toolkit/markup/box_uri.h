#pragma once
// How the toolkit names its files: `box://package/path` and `ee://...` URIs name files in the
// "resources" folder beside the program, `file` URIs their path; relative references resolve
// against a base. Paths use the device's '\' separator.
#include <cstdint>

#include "platform/types.h"
#include "runtime/wide_string.h"

class oxUri;
namespace NUBO {
class XStream;
}

// Texts of the built-in path table.
inline constexpr const WCHAR* kBuiltInResourcesFolder = u"resources";
inline constexpr const WCHAR* kBuiltInDialogScene = u"box://KestrumToolkit/content/dialog/dialog.box";
inline constexpr const WCHAR* kBuiltInSheetDialogScene = u"box://KestrumToolkit/content/dialog/sheetDialog.box";
inline constexpr const WCHAR* kBuiltInSheetTintedScene =
    u"box://KestrumToolkit/content/dialog/sheetTintedBackground.box";

// The folder that holds the program's resources, which box:// and ee:// URIs and relative paths
// name files in: "resources" beside the program, with its trailing '\'.
const NUBO::TWString& GetResourcesFolder();
// Settles '/', '\', '.' and '..' in `path` by name, taking a relative path from the resources
// folder; true when the result lies inside that folder (compared without case). Markup opens no
// file for which this is false.
bool ConfineToResources(NUBO::TWString& path);

// The first six units are "box://" (case-sensitive).
bool IsBoxUri(const WCHAR* text);
// Index 0-3 of the table above; empty outside it.
NUBO::TWString GetBuiltInPath(int index);
// A path that begins with '\' stays; any other, its '..' kept inside, gets the resources folder in front (the program's
// own folder holds only the program: the scenes it opens by bare name are resources).
void AnchorToProgramFolder(NUBO::TWString& path);
// The authority, then "/" and the path when the path is not empty.
NUBO::TWString UriAuthorityPath(const oxUri& uri);
// 1 and the local path for box, ee and file URIs; 0 and an empty path for any other scheme. A box or
// ee path cannot climb out of the resources folder: a '..' at its top stays there.
int UriToLocalPath(const oxUri& uri, NUBO::TWString& out);
// 0 for a null URI, else 1 with the resolved path in `out`; a URI of an unknown scheme comes back
// unchanged, a relative one is combined with the base (then relative to the resources folder, and
// kept inside it like a box path).
int ResolveUriToPath(const WCHAR* uri, const WCHAR* base, NUBO::TWString& out);
// 0 and an open file stream at position 0 (the caller owns the reference), 1 when the file
// cannot be opened. A stream already in `out` is released first on success.
int OpenUriStream(const WCHAR* uri, NUBO::XStream** out);
