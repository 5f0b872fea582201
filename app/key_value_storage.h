#pragma once
// XKeyValueStorage: `new keyValueStorage()` in scripts, the scripts' settings kept across runs.
// A storage named "a.b" is the registry key Software\Kestrum\XKeyValueStorage\a\b of the current
// user; its values are the key's values (strings, 32-bit numbers and streams) and its child
// storages the key's subkeys. Every call opens and closes its own key.
#include <cstdint>

#include "runtime/script_object.h"
#include "runtime/wide_string.h"

namespace NUBO {
class XArray;
class XDictionary;
} // namespace NUBO

// The storage under the key path; with an empty path it acts on the hive itself.
class XKeyValueRegistryStore {
public:
    void Open(const WCHAR* name);
    void Close() { path_.Empty(); }
    const NUBO::TWString& GetPath() const { return path_; }

    // Result codes: 7 for a missing key or value, 1 for another registry error. A registry that
    // cannot be used holds nothing: reads find no value (7), writes fail (1).
    int32_t GetValue(const WCHAR* name, NUBO::XVariant* out);
    int32_t SetValue(const WCHAR* name, const NUBO::XVariant& value);
    int32_t GetAll(NUBO::XDictionary* out);
    int32_t RemoveValue(const WCHAR* name);
    int32_t GetChildStorages(NUBO::XArray* out);
    // Deletes the storage `name` and what is below it, then the company key when that is left empty.
    int32_t DeleteStorageTree(const WCHAR* name);

private:
    NUBO::TWString path_;
};

class XKeyValueStorage : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "XKeyValueStorage"

    XKeyValueStorage();
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // Null when it could not be made; every member then answers 1.
    XKeyValueRegistryStore* GetStore() const { return store_; }

protected:
    ~XKeyValueStorage() override;

private:
    XKeyValueRegistryStore* store_ = nullptr; // owned
};

// The create-instance function of "keyValueStorage".
int32_t CreateXKeyValueStorage(NUBO::XObject** out);

// Maps a registry error to a result code: not found is 7, anything else 1.
int32_t MapRegistryError(long error);
