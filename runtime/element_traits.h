#pragma once
// Element traits of the runtime library's containers: how a stored element is copied in, destroyed
// and compared, and for map keys how it is hashed. Elements are pointer-sized words; the dynamic
// traits keep them as they are (the container owns nothing behind them).

namespace NUBO {

class TElementTraits {
public:
    // The stored form of `value`.
    virtual void* CopyElement(void* value) const = 0;
    virtual void DestroyElement(void* value) const = 0;
    // Negative, 0 or positive.
    virtual int CompareElements(void* a, void* b) const = 0;

protected:
    ~TElementTraits() = default;
};

class TKeyTraits : public TElementTraits {
public:
    virtual unsigned HashKey(void* key) const = 0;

protected:
    ~TKeyTraits() = default;
};

class TDynamicTraits final : public TElementTraits {
public:
    void* CopyElement(void* value) const override { return value; }
    void DestroyElement(void*) const override {}
    // The sign of a - b: a plain difference of two 64-bit words would not fit the result.
    int CompareElements(void* a, void* b) const override;

    static const TDynamicTraits& Instance();
};

class TDynamicKeyTraits final : public TKeyTraits {
public:
    void* CopyElement(void* value) const override { return value; }
    void DestroyElement(void*) const override {}
    int CompareElements(void* a, void* b) const override;
    // The key's own value (its low 32 bits).
    unsigned HashKey(void* key) const override;

    static const TDynamicKeyTraits& Instance();
};

} // namespace NUBO
