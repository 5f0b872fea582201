#pragma once
// oxElementSource: the data source of a box that bindings use as their element source. It listens
// to the box and hands each change of a bound property to the bindings recorded under it; the way
// back writes into the box. One per box, made on first use and forgotten when the box goes.
#include <cstdint>
#include <vector>

#include "runtime/wide_string.h"
#include "toolkit/binding/binding_source.h"
#include "toolkit/core/box.h"

class oxElementSource final : public oxBindingSource, public oxChangeListener {
public:
    static constexpr uint32_t kDeletingCount = 0xC0000001u;

    // The box's source (not counted for the caller); made when missing and `create` is set.
    static oxElementSource* For(oxBox* box, bool create);
    // The box is being destroyed: its source lets go of it.
    static void ForgetBox(oxBox* box);

    ULONG AddRef() override { return ++refCount_; }
    ULONG Release() override;
    ULONG AddSourceRef() override { return AddRef(); }
    ULONG ReleaseSourceRef() override { return Release(); }

    // oxChangeListener: the source box changed.
    void OnAttributeChanged(oxBox* box, oxAtom attribute) override { OnSourceAttributeChanged(box, attribute); }
    void OnStyleChanged(oxBox* box, int propertyId) override { OnSourceStyleChanged(box, propertyId); }

    void OnSourceAttributeChanged(oxBox* box, oxAtom attribute) override;
    void OnSourceStyleChanged(oxBox* box, int propertyId) override;
    bool IsReady() override { return box_ != nullptr; }
    void PushToTarget(oxBindingElement* binding, oxAtom key) override;
    void Attach(oxBindingElement* binding) override;
    void Detach(oxBindingElement* binding) override;
    void DetachAll() override;
    void SetSourceBox(oxBox* box) override;
    void SetName(const WCHAR* name) override;
    bool GetName(NUBO::TWString* out) override;
    void SetSourceValue(oxBox* box, oxBindingElement* binding, const WCHAR* value, const WCHAR* field,
                        bool isStyle) override;

    size_t GetRecordCount() const { return records_.size(); }

private:
    struct Record {
        oxBindingElement* binding; // one reference
        oxBox* target;
        bool isStyle;
        int property; // attribute atom or style id
    };
    oxElementSource() = default;
    ~oxElementSource();
    // The value of a recorded property of the box, as new text.
    WCHAR* ValueOf(const Record& r) const;
    void Push(bool isStyle, int property);

    uint32_t refCount_ = 0;
    oxBox* box_ = nullptr;
    std::vector<Record> records_;
    NUBO::TWString name_;
};
