#pragma once
// XObjectDictionaryView: any script object read and written as a dictionary, through the object's
// own allKeys, valueForKey and setValueForKey. Whoever asks for the object behind the view (a
// script, XObjectFromUnknown) gets the viewed object itself.
#include <cstdint>

#include "runtime/script_object.h"

class XObjectDictionaryView : public NUBO::XObject {
public:
    // Holds the target, which may be null, with a reference.
    explicit XObjectDictionaryView(NUBO::XObject* target);

    NUBO::XObject* GetTarget() const { return target_; }

    // The target's own answers; 10 without a target.
    int32_t GetObject(NUBO::XObject** out) override;
    int32_t QueryUnknown(IUnknown** out) override;

    // The dictionary operations; 92 without a target, else the target method's result code.
    // The keys come back as the object that "allKeys" answered, with a reference.
    int32_t AllKeys(NUBO::XObject** out);
    int32_t ValueForKey(const WCHAR* key, NUBO::XVariant* out);
    int32_t SetValueForKey(const VARIANT& value, const WCHAR* key);

protected:
    ~XObjectDictionaryView() override;

private:
    NUBO::XObject* target_;
};
