#pragma once
// oxTransferData: what a drag carries from its source to the drop target, a list of entries each
// holding a text or a stream under a format name ("text", a MIME type, a name the scene chose). A
// drag event holds it counted; scripts reach it through the TransferData class.
#include <atomic>
#include <cstdint>

#include "platform/com/unknown.h"
#include "runtime/ptr_vector.h"
#include "runtime/wide_string.h"

namespace NUBO {
class XStream;
}

class oxTransferData final : public IUnknown {
public:
    // A new, empty list with one reference; null when memory ran out.
    static oxTransferData* Create();

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;

    int32_t GetCount() const { return int32_t(entries_.size()); }
    // The format of an entry; false for an index outside the list.
    bool GetFormatAt(int32_t index, NUBO::TWString* out) const;
    bool HasFormat(const WCHAR* format) const;
    // The text of an entry of that format that holds a text; false otherwise.
    bool GetStringAt(int32_t index, const WCHAR* format, NUBO::TWString* out) const;
    // The stream of an entry of that format that holds one, with a reference; false otherwise.
    bool GetStreamAt(int32_t index, const WCHAR* format, NUBO::XStream** out) const;
    // Appends an entry; false when memory ran out.
    bool AddString(const WCHAR* format, const WCHAR* text);
    // The entry keeps a reference on the stream.
    bool AddStream(const WCHAR* format, NUBO::XStream* stream);

private:
    struct Entry {
        NUBO::TWString format;
        NUBO::TWString text;
        NUBO::XStream* stream = nullptr; // counted; null for a text
    };

    oxTransferData() = default;
    ~oxTransferData();
    const Entry* EntryAt(int32_t index, const WCHAR* format) const;
    bool Add(const WCHAR* format, const WCHAR* text, NUBO::XStream* stream);

    std::atomic<ULONG> refs_{1};
    NUBO::PtrVector<Entry*> entries_; // owned
};
