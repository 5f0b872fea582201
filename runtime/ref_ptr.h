#pragma once
// Holders for counted references and owned blocks. A counted object offers AddRef() (first operation of
// its counted-reference interface) and Release() (second). Constructing a RefPtr from a raw pointer
// adopts a reference the caller already owns; RefPtr<T>::ref() takes a new one.
#include <cstddef>
#include <cstdlib>
#include <type_traits>
#include <utility>

namespace NUBO {

template <class T> class RefPtr {
public:
    RefPtr() = default;
    RefPtr(std::nullptr_t) {}
    explicit RefPtr(T* adopted) : p_(adopted) {}
    RefPtr(const RefPtr& other) : p_(other.p_) {
        if (p_) p_->AddRef();
    }
    RefPtr(RefPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    template <class U>
    requires std::is_convertible_v<U*, T*> RefPtr(const RefPtr<U>& other) : p_(other.get()) {
        if (p_) p_->AddRef();
    }
    template <class U>
    requires std::is_convertible_v<U*, T*> RefPtr(RefPtr<U>&& other)
    noexcept : p_(other.detach()) {}
    ~RefPtr() { reset(); }

    // A holder that shares `p`: adds a reference.
    static RefPtr ref(T* p) {
        if (p) p->AddRef();
        return RefPtr(p);
    }

    RefPtr& operator=(const RefPtr& other) {
        if (p_ != other.p_) RefPtr(other).swap(*this);
        return *this;
    }
    RefPtr& operator=(RefPtr&& other) noexcept {
        if (this != &other) RefPtr(std::move(other)).swap(*this);
        return *this;
    }
    RefPtr& operator=(std::nullptr_t) {
        reset();
        return *this;
    }

    // Drops the held reference. The slot is cleared first, so a Release that re-enters sees it empty.
    void reset() {
        T* old = p_;
        p_ = nullptr;
        if (old) old->Release();
    }
    // Hands the reference to the caller, who now owns it.
    [[nodiscard]] T* detach() {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    void swap(RefPtr& other) noexcept { std::swap(p_, other.p_); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    friend bool operator==(const RefPtr& a, const RefPtr& b) { return a.p_ == b.p_; }
    friend bool operator==(const RefPtr& a, const T* b) { return a.p_ == b; }

    // Stores `object` in a raw slot that holds a counted reference. Storing what the slot already holds
    // does nothing; otherwise the slot is cleared and its old object released, then the new one (if
    // any) is stored and add-referenced. Returns the slot.
    static T*& Assign(T*& slot, T* object) {
        if (slot == object) return slot;
        T* old = slot;
        slot = nullptr;
        if (old) old->Release();
        if (object) {
            slot = object;
            object->AddRef();
        }
        return slot;
    }

private:
    T* p_ = nullptr;
};

// Frees a malloc'd block held in `slot` and clears the slot.
template <class T> void FreeAndNull(T*& slot) {
    std::free(const_cast<std::remove_const_t<T>*>(slot));
    slot = nullptr;
}

} // namespace NUBO
