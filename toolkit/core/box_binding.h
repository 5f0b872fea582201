#pragma once
// What a box knows of the data bindings made on it. The binding elements live above the box tree;
// the box keeps them counted in a side table and reaches them through this interface.
#include <cstdint>

#include "platform/types.h"
#include "toolkit/base/atoms.h"

class oxBox;

class oxDataBinding {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual const WCHAR* GetBindingName() const = 0;
    virtual void SetBindingName(const WCHAR* name) = 0;
    virtual oxAtom GetBindingId() const = 0;
    virtual oxBox* GetTargetBox() const = 0;
    // A new binding (one reference) with the same settings, aimed at `target`; null when it
    // cannot be made.
    virtual oxDataBinding* CloneFor(oxBox* target) = 0;
    // The copy's element source, given by the copying code, and its first connection.
    virtual oxBox* GetElementSourceBox() const = 0;
    virtual void SetElementSourceBox(oxBox* box) = 0;
    virtual void Start() = 0;
    // The binding lets go of source and target.
    virtual void Unbind() = 0;
    // A box whose binding table holds the binding is being destroyed.
    virtual void OnBoxDestroyed(oxBox* box) = 0;
    // The gadget box whose content the binding was made in.
    virtual void SetGadgetBox(oxBox* box) = 0;

protected:
    ~oxDataBinding() = default;
};
