#pragma once
// The registry: a tree of keys under the two hives, each key holding typed, named values. It lives
// in one SQLite database per user, $XDG_DATA_HOME/tandu/registry.sqlite3 (or ~/.local/share/...),
// which TANDU_REGISTRY=path replaces. Key and value names are compared without case; subkeys
// enumerate in name order and values in the order they were first written. Every call that
// changes something is one transaction, so a crash of the program loses no change that returned.
// A database that cannot be opened or read is reported once on stderr; every call then fails with
// ERROR_BADDB and the program runs on without its stored values.
#include <string>

#include "platform/types.h"
#include "platform/win/last_error.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(ULONG_PTR(0x80000000));
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(ULONG_PTR(0x80000001));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(ULONG_PTR(0x80000002));

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM DELETE = 0x00010000;
constexpr REGSAM KEY_READ = 0x00020019;
constexpr REGSAM KEY_WRITE = 0x00020006;
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// `subKey` is a path of names separated by "\"; null or empty opens the key itself again. A key
// opened before in this run opens from memory; when another program has deleted it since, the
// first call on the new handle answers ERROR_FILE_NOT_FOUND, as opening it would have.
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
// Creates the key and every missing key above it.
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM access,
                     void* security, PHKEY result, LPDWORD disposition);
LONG RegCloseKey(HKEY key);
// With `data` null only the type and the size are told; a buffer too small gets ERROR_MORE_DATA
// with the size needed in *dataSize.
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);
// Deletes the key with everything below it, as the device's registry does.
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);
// `nameSize` is in characters and counts the terminating zero on the way in, not on the way out.
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD reserved, LPWSTR keyClass,
                   LPDWORD classSize, void* lastWriteTime);
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD reserved, LPDWORD type, LPBYTE data,
                   LPDWORD dataSize);
// Only the subkey and value counts and the longest names and data are told; the other outputs are 0.
LONG RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classSize, LPDWORD reserved, LPDWORD subKeys,
                      LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength,
                      LPDWORD maxValueLength, LPDWORD securityDescriptor, void* lastWriteTime);

namespace platform::registry {
// The database file in use, as the environment names it.
std::string DatabasePath();
// Closes the database (open keys become invalid); the next call opens it again from the
// environment. Tests use it to move between files and to act as a restarted program.
void CloseDatabase();
} // namespace platform::registry
