#pragma once
// The toolkit's growable vector of pointers: child lists, frame lists, canvas stacks. Storage is one
// operator-new block that grows to max(needed, capacity * 1.5); a failed allocation leaves the vector
// as it was and is reported as 0, so callers can refuse the operation instead of crashing.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

namespace NUBO {

// Capacity for holding `needed` elements of `elementSize` bytes when `capacity` are held now:
// max(needed, capacity + capacity / 2), or 0 when that many elements cannot be addressed.
size_t PtrVectorGrowth(size_t capacity, size_t needed, size_t elementSize);

template <class T = void*> class PtrVector {
    static_assert(std::is_trivially_copyable_v<T>, "PtrVector moves its elements as bytes");

public:
    PtrVector() = default;
    PtrVector(const PtrVector&) = delete;
    PtrVector& operator=(const PtrVector&) = delete;
    PtrVector(PtrVector&& other) noexcept { Steal(other); }
    PtrVector& operator=(PtrVector&& other) noexcept {
        if (this != &other) {
            Release();
            Steal(other);
        }
        return *this;
    }
    ~PtrVector() { Release(); }

    size_t size() const { return static_cast<size_t>(last_ - first_); }
    bool empty() const { return last_ == first_; }
    size_t capacity() const { return capacity_; }
    T* data() { return first_; }
    const T* data() const { return first_; }
    T* begin() { return first_; }
    T* end() { return last_; }
    const T* begin() const { return first_; }
    const T* end() const { return last_; }
    T& operator[](size_t i) { return first_[i]; }
    const T& operator[](size_t i) const { return first_[i]; }
    T& Back() { return last_[-1]; }
    const T& Back() const { return last_[-1]; }

    // Inserts `count` copies of `value` before index `pos`. 1 on success; 0 when memory ran out or
    // `pos` lies past the end, leaving the vector unchanged.
    int InsertN(size_t pos, size_t count, T value) {
        size_t n = size();
        if (pos > n) return 0;
        if (count == 0) return 1;
        if (count > kMaxElements - n) return 0;
        if (count > capacity_ - n) {
            size_t grown = PtrVectorGrowth(capacity_, n + count, sizeof(T));
            if (grown == 0) return 0;
            T* block = static_cast<T*>(::operator new(grown * sizeof(T), std::nothrow));
            if (!block) return 0;
            if (pos) std::memcpy(block, first_, pos * sizeof(T));
            Fill(block + pos, count, value);
            if (n > pos) std::memcpy(block + pos + count, first_ + pos, (n - pos) * sizeof(T));
            ::operator delete(first_);
            first_ = block;
            last_ = block + n + count;
            capacity_ = grown;
            return 1;
        }
        if (n > pos) std::memmove(first_ + pos + count, first_ + pos, (n - pos) * sizeof(T));
        Fill(first_ + pos, count, value);
        last_ += count;
        return 1;
    }

    int PushBack(T value) { return InsertN(size(), 1, value); }

    // Removes the elements [first, last) and moves the tail down; returns `first`.
    size_t Erase(size_t first, size_t last) {
        size_t n = size();
        if (last > n) last = n;
        if (first >= last) return first;
        if (n > last) std::memmove(first_ + first, first_ + last, (n - last) * sizeof(T));
        last_ -= last - first;
        return first;
    }
    size_t Erase(size_t pos) { return Erase(pos, pos + 1); }

    void PopBack() {
        if (last_ != first_) --last_;
    }

    // Appends copies of `fill` up to n elements, or erases the tail beyond n. 1, or 0 when memory ran out.
    int Resize(size_t n, T fill) {
        size_t have = size();
        if (n > have) return InsertN(have, n - have, fill);
        Erase(n, have);
        return 1;
    }

    // Empties the vector; the storage stays for reuse.
    void Clear() { last_ = first_; }

    // Removes the first element equal to `value`; a null value removes nothing.
    bool Remove(T value) {
        if (value == T{}) return false;
        for (T* p = first_; p != last_; ++p) {
            if (*p == value) {
                Erase(static_cast<size_t>(p - first_));
                return true;
            }
        }
        return false;
    }

private:
    static constexpr size_t kMaxElements = static_cast<size_t>(-1) / sizeof(T);

    static void Fill(T* at, size_t count, T value) { std::fill_n(at, count, value); }
    void Steal(PtrVector& other) {
        first_ = other.first_;
        last_ = other.last_;
        capacity_ = other.capacity_;
        other.first_ = other.last_ = nullptr;
        other.capacity_ = 0;
    }
    void Release() {
        ::operator delete(first_);
        first_ = last_ = nullptr;
        capacity_ = 0;
    }

    T* first_ = nullptr;
    T* last_ = nullptr;
    size_t capacity_ = 0;
};

} // namespace NUBO
