#include "app/key_value_storage.h"

#include <cstring>
#include <new>
#include <vector>

#include "platform/crt/wide.h"
#include "platform/shell/registry.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_array.h"
#include "runtime/script_dictionary.h"
#include "runtime/stream.h"
#include "runtime/stream_adapter.h"
#include "toolkit/script/script_class.h"

using NUBO::RefPtr;
using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

constexpr const WCHAR* kStorageRoot = u"Software\\Kestrum\\XKeyValueStorage";
constexpr const WCHAR* kCompanyKey = u"Software\\Kestrum";
constexpr DWORD kFirstBuffer = 1028;
constexpr DWORD kNameUnits = 256;
constexpr REGSAM kDeleteAccess = 0x10009; // delete, query values, enumerate subkeys

// The key of the storage `name`: "." separates levels.
TWString StoragePath(const WCHAR* name) {
    TWString path(kStorageRoot);
    if (name && name[0]) {
        TWString levels(name);
        levels.Replace(u'.', u'\\');
        path += u'\\';
        path += levels;
    }
    return path;
}

// The script value of a registry value: text, a new stream at its start, or a 32-bit number.
int32_t RegistryValueToVariant(DWORD type, const BYTE* data, DWORD size, XVariant* out) {
    out->Clear();
    switch (type) {
    case REG_SZ: {
        const auto* text = reinterpret_cast<const WCHAR*>(data);
        *out = TWString(text, int(wcsnlen(text, size / 2)));
        return 0;
    }
    case REG_BINARY: {
        NUBO::XStream* stream = nullptr;
        if (int32_t rc = NUBO::XStream::Create(&stream)) return rc;
        uint32_t written = 0;
        int32_t rc = size ? stream->Write(data, size, &written) : 0;
        if (rc == 0) rc = stream->Seek(0, 0);
        if (rc == 0) out->SetObject(stream);
        stream->Release();
        return rc;
    }
    case REG_DWORD:
    case REG_QWORD: {
        uint32_t n = 0;
        std::memcpy(&n, data, size < 4 ? size : 4);
        *out = unsigned(n);
        return 0;
    }
    default:
        return 0;
    }
}

// Deletes root\path when it has neither subkeys nor values.
LONG DeleteKeyIfEmpty(HKEY root, const TWString& path) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(root, path.GetString(), 0, kDeleteAccess, &key);
    if (rc != ERROR_SUCCESS) return rc;
    DWORD subKeys = 0, values = 0;
    rc = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                          nullptr, nullptr);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || subKeys || values) return rc;
    return RegDeleteKeyW(root, path.GetString());
}

// What a read of a registry that cannot be used finds: nothing is stored.
int32_t MapReadError(long error) {
    return error == long(ERROR_BADDB) ? NUBO::XR_NOT_FOUND : MapRegistryError(error);
}

int32_t Open(XKeyValueStorage* self, XArgList* args, XVariant*) {
    if (!self->GetStore()) return NUBO::XR_FAIL;
    NUBO::XArgString name(args->GetArg(0));
    self->GetStore()->Open(name.GetString());
    return 0;
}

int32_t Close(XKeyValueStorage* self, XArgList*, XVariant*) {
    if (!self->GetStore()) return NUBO::XR_FAIL;
    self->GetStore()->Close();
    return 0;
}

int32_t GetValue(XKeyValueStorage* self, XArgList* args, XVariant* out) {
    if (!self->GetStore()) return NUBO::XR_FAIL;
    NUBO::XArgString name(args->GetArg(0));
    int32_t rc = self->GetStore()->GetValue(name.GetString(), out);
    if (rc != NUBO::XR_NOT_FOUND) return rc;
    out->Clear();
    if (args->GetCount() > 1) *out = *args->GetArg(1);
    return 0;
}

int32_t SetValue(XKeyValueStorage* self, XArgList* args, XVariant*) {
    if (!self->GetStore()) return NUBO::XR_FAIL;
    NUBO::XArgString name(args->GetArg(0));
    return self->GetStore()->SetValue(name.GetString(), *args->GetArg(1));
}

int32_t KeyExists(XKeyValueStorage* self, XArgList* args, XVariant* out) {
    if (!self->GetStore()) return NUBO::XR_FAIL;
    NUBO::XArgString name(args->GetArg(0));
    XVariant value;
    *out = self->GetStore()->GetValue(name.GetString(), &value) == 0;
    return 0;
}

// A new collection filled from the open storage: its values or its child storages; empty when
// the storage does not exist.
template <class Collection, int32_t (*Create)(XObject**), int32_t (XKeyValueRegistryStore::*Fill)(Collection*)>
int32_t Collect(XKeyValueStorage* self, XArgList*, XVariant* out) {
    if (!self->GetStore()) return NUBO::XR_FAIL;
    XObject* made = nullptr;
    if (int32_t rc = Create(&made)) return rc;
    RefPtr<XObject> collection(made);
    int32_t rc = (self->GetStore()->*Fill)(static_cast<Collection*>(made));
    if (rc != 0 && rc != NUBO::XR_NOT_FOUND) return rc;
    out->SetObject(made);
    return 0;
}

int32_t RemoveKey(XKeyValueStorage* self, XArgList* args, XVariant*) {
    if (!self->GetStore()) return NUBO::XR_FAIL;
    NUBO::XArgString name(args->GetArg(0));
    int32_t rc = self->GetStore()->RemoveValue(name.GetString());
    return rc == NUBO::XR_NOT_FOUND ? 0 : rc;
}

int32_t RemoveStorage(XKeyValueStorage* self, XArgList* args, XVariant*) {
    if (!self->GetStore()) return NUBO::XR_FAIL;
    NUBO::XArgString name(args->GetArg(0));
    return self->GetStore()->DeleteStorageTree(name.GetString());
}

using script_class::MethodRow;
const NUBO::XMemberEntry kMembers[] = {
    MethodRow<1, Open>("open"),
    MethodRow<0, Close>("close"),
    MethodRow<1, GetValue>("getValue"),
    MethodRow<2, SetValue>("setValue"),
    MethodRow<1, KeyExists>("keyExists"),
    MethodRow<0, Collect<NUBO::XDictionary, NUBO::CreateXDictionary, &XKeyValueRegistryStore::GetAll>>("getAll"),
    MethodRow<1, RemoveKey>("removeKey"),
    MethodRow<0, Collect<NUBO::XArray, NUBO::CreateXArray, &XKeyValueRegistryStore::GetChildStorages>>(
        "getChildStorages"),
    MethodRow<1, RemoveStorage>("removeStorage"),
    NUBO::XMemberEnd(),
};

} // namespace

int32_t MapRegistryError(long error) {
    if (error == ERROR_SUCCESS) return 0;
    return error == long(ERROR_FILE_NOT_FOUND) ? NUBO::XR_NOT_FOUND : NUBO::XR_FAIL;
}

void XKeyValueRegistryStore::Open(const WCHAR* name) {
    path_ = StoragePath(name);
}

int32_t XKeyValueRegistryStore::GetValue(const WCHAR* name, XVariant* out) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, path_.GetString(), 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS) return MapReadError(rc);
    BYTE first[kFirstBuffer];
    std::vector<BYTE> more;
    BYTE* data = first;
    DWORD size = kFirstBuffer, type = REG_NONE;
    while ((rc = RegQueryValueExW(key, name, nullptr, &type, data, &size)) == LONG(ERROR_MORE_DATA)) {
        more.assign(size, 0);
        data = more.data();
    }
    int32_t result = rc == ERROR_SUCCESS ? RegistryValueToVariant(type, data, size, out) : MapReadError(rc);
    RegCloseKey(key);
    return result;
}

int32_t XKeyValueRegistryStore::SetValue(const WCHAR* name, const XVariant& value) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, path_.GetString(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                              nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return MapRegistryError(rc);
    const int kind = value.GetKind();
    if ((kind >= NUBO::XVK_UINT8 && kind <= NUBO::XVK_INT32) ||
        (kind >= NUBO::XVK_UINT16 && kind <= NUBO::XVK_DOUBLE)) {
        const uint32_t n = value.ToUInt32();
        rc = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), sizeof(n));
    } else if (kind == NUBO::XVK_STRING) {
        const WCHAR* text = value.GetStringPtr();
        const DWORD units = DWORD(wcslen(text)) + 1;
        rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), units * 2);
    } else if (kind == NUBO::XVK_OBJECT) {
        NUBO::XStream* stream = nullptr;
        std::vector<BYTE> bytes;
        if (NUBO::VariantToXStream(&stream, &value) == 0 && stream) {
            int64_t size = 0;
            uint32_t read = 0;
            if (stream->GetSize(&size) == 0 && size > 0 && size <= INT32_MAX) {
                bytes.resize(size_t(size));
                stream->Seek(0, 0);
                if (stream->Read(bytes.data(), uint32_t(size), &read) != 0) read = 0;
            }
            bytes.resize(read);
            stream->Release();
        }
        rc = RegSetValueExW(key, name, 0, REG_BINARY, bytes.data(), DWORD(bytes.size()));
    }
    RegCloseKey(key);
    return MapRegistryError(rc);
}

int32_t XKeyValueRegistryStore::GetAll(NUBO::XDictionary* out) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, path_.GetString(), 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS) return MapReadError(rc);
    std::vector<BYTE> data(kFirstBuffer);
    int32_t result = 0;
    for (DWORD index = 0; result == 0;) {
        WCHAR name[kNameUnits];
        DWORD units = kNameUnits, size = DWORD(data.size()), type = REG_NONE;
        rc = RegEnumValueW(key, index, name, &units, nullptr, &type, data.data(), &size);
        if (rc == LONG(ERROR_MORE_DATA)) {
            // The same value again with room for its data; a name too long for the buffer is passed over.
            if (size > data.size()) {
                data.resize(size);
            } else {
                ++index;
            }
            continue;
        }
        if (rc != ERROR_SUCCESS) break;
        XVariant value;
        result = RegistryValueToVariant(type, data.data(), size, &value);
        if (result == 0) result = out->SetValueForKey(&value, name);
        ++index;
    }
    RegCloseKey(key);
    return result;
}

int32_t XKeyValueRegistryStore::RemoveValue(const WCHAR* name) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, path_.GetString(), 0, KEY_WRITE, &key);
    if (rc != ERROR_SUCCESS) return MapRegistryError(rc);
    rc = RegDeleteValueW(key, name);
    RegCloseKey(key);
    return MapRegistryError(rc);
}

int32_t XKeyValueRegistryStore::GetChildStorages(NUBO::XArray* out) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, path_.GetString(), 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS) return MapReadError(rc);
    DWORD count = 0;
    rc = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr);
    for (DWORD i = 0; rc == ERROR_SUCCESS && i < count; ++i) {
        WCHAR name[kNameUnits];
        DWORD units = kNameUnits;
        rc = RegEnumKeyExW(key, i, name, &units, nullptr, nullptr, nullptr, nullptr);
        if (rc == LONG(ERROR_MORE_DATA)) { // a name longer than a storage name may be
            rc = ERROR_SUCCESS;
            continue;
        }
        if (rc == ERROR_SUCCESS && out->AddValue(XVariant(TWString(name))) != 0) rc = ERROR_NOT_ENOUGH_MEMORY;
    }
    RegCloseKey(key);
    return MapRegistryError(rc);
}

int32_t XKeyValueRegistryStore::DeleteStorageTree(const WCHAR* name) {
    // A name cut to fit could name another storage, a shorter one, and delete that instead: too
    // long a name is refused.
    const TWString path = StoragePath(name);
    if (path.GetLength() > 255) return NUBO::XR_FAIL;
    // The registry deletes a key's whole subtree at once, however deep.
    LONG rc = RegDeleteKeyW(HKEY_CURRENT_USER, path.GetString());
    if (rc == ERROR_SUCCESS) DeleteKeyIfEmpty(HKEY_CURRENT_USER, TWString(kCompanyKey));
    return MapRegistryError(rc);
}

NUBO::XClassDescriptor XKeyValueStorage::Descriptor = {"XKeyValueStorage", 10, kMembers, &XObject::Descriptor, 0, {}};

XKeyValueStorage::XKeyValueStorage() : store_(new (std::nothrow) XKeyValueRegistryStore()) {}

XKeyValueStorage::~XKeyValueStorage() {
    delete store_;
}

int32_t CreateXKeyValueStorage(XObject** out) {
    return script_class::CreateInstance<XKeyValueStorage>(out);
}
