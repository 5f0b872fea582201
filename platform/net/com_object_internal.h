#pragma once
// The counting and interface lookup of the network layer's single-interface COM objects: the
// object starts with one reference, answers IUnknown, its interface and what Answers adds.
#include "platform/com/unknown.h"

namespace platform::net {

template <class Interface, const IID& Id> class ComObject : public Interface {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == Id || Answers(riid)) {
            *out = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    virtual ~ComObject() = default;
    virtual bool Answers(REFIID) const { return false; }

    ULONG refs_ = 1;
};

} // namespace platform::net
