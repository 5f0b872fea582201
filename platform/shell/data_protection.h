#pragma once
// Protected data: bytes sealed with authenticated encryption (libsodium's secret box) under a key
// of the user's own, kept in a file beside the registry that only its owner may read. The key is
// made on first use. A blob sealed under another key, or changed in any byte, does not open.
#include <string>

#include "platform/types.h"
#include "platform/win/local_memory.h"

struct DATA_BLOB {
    DWORD cbData;
    BYTE* pbData;
};

// The output is allocated with LocalAlloc. Description, entropy, prompt and flags are not used.
BOOL CryptProtectData(DATA_BLOB* in, LPCWSTR description, DATA_BLOB* entropy, void* reserved, void* prompt, DWORD flags,
                      DATA_BLOB* out);
// FALSE (last error ERROR_INVALID_DATA) for a blob that is not one of this user's.
BOOL CryptUnprotectData(DATA_BLOB* in, LPWSTR* description, DATA_BLOB* entropy, void* reserved, void* prompt,
                        DWORD flags, DATA_BLOB* out);

namespace platform::protection {
// The key file: "protection.key" in the registry's folder.
std::string KeyFilePath();
} // namespace platform::protection
