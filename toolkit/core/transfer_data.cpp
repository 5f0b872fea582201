#include "toolkit/core/transfer_data.h"

#include <new>

#include "platform/com/guid.h"
#include "platform/crt/wide.h"
#include "runtime/stream.h"

oxTransferData* oxTransferData::Create() {
    return new (std::nothrow) oxTransferData();
}

oxTransferData::~oxTransferData() {
    for (Entry* entry : entries_) {
        if (entry->stream) entry->stream->Release();
        delete entry;
    }
}

HRESULT oxTransferData::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid != IID_IUnknown) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IUnknown*>(this);
    return S_OK;
}

ULONG oxTransferData::AddRef() {
    return ++refs_;
}

ULONG oxTransferData::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

const oxTransferData::Entry* oxTransferData::EntryAt(int32_t index, const WCHAR* format) const {
    if (index < 0 || size_t(index) >= entries_.size() || !format) return nullptr;
    const Entry* entry = entries_[size_t(index)];
    return wcscmp(entry->format.GetString(), format) == 0 ? entry : nullptr;
}

bool oxTransferData::GetFormatAt(int32_t index, NUBO::TWString* out) const {
    if (index < 0 || size_t(index) >= entries_.size()) return false;
    *out = entries_[size_t(index)]->format;
    return true;
}

bool oxTransferData::HasFormat(const WCHAR* format) const {
    for (const Entry* entry : entries_)
        if (format && wcscmp(entry->format.GetString(), format) == 0) return true;
    return false;
}

bool oxTransferData::GetStringAt(int32_t index, const WCHAR* format, NUBO::TWString* out) const {
    const Entry* entry = EntryAt(index, format);
    if (!entry || entry->stream) return false;
    *out = entry->text;
    return true;
}

bool oxTransferData::GetStreamAt(int32_t index, const WCHAR* format, NUBO::XStream** out) const {
    const Entry* entry = EntryAt(index, format);
    if (!entry || !entry->stream) return false;
    entry->stream->AddRef();
    *out = entry->stream;
    return true;
}

bool oxTransferData::Add(const WCHAR* format, const WCHAR* text, NUBO::XStream* stream) {
    auto* entry = new (std::nothrow) Entry();
    if (!entry) return false;
    entry->format = format ? format : u"";
    entry->text = text ? text : u"";
    if (!entries_.PushBack(entry)) {
        delete entry;
        return false;
    }
    entry->stream = stream;
    if (stream) stream->AddRef();
    return true;
}

bool oxTransferData::AddString(const WCHAR* format, const WCHAR* text) {
    return Add(format, text, nullptr);
}

bool oxTransferData::AddStream(const WCHAR* format, NUBO::XStream* stream) {
    return stream && Add(format, nullptr, stream);
}
