#pragma once
// oxImageElement: an `imageElement` resource, a picture cut out of another bitmap: the cell of an
// index in a strip of equal cells, or a rectangle. Its one frame is its own copy of those pixels.
#include <cstdint>

#include "runtime/wide_string.h"
#include "toolkit/library/bitmap_element.h"

class oxImageElement : public oxBitmapElement {
public:
    enum Mode { kNone = 0, kByIndex = 1, kByRect = 2 };

    oxImageElement(oxAtom tag, oxLibrary* library) : oxBitmapElement(tag, library) {}

    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;

    Mode GetMode() const { return mode_; }
    // -1 unless cut by index.
    int32_t GetIndex() const { return mode_ == kByIndex ? x_ : -1; }
    // -1 unless cut by rectangle.
    int32_t GetX() const { return mode_ == kByRect ? x_ : -1; }
    int32_t GetY() const { return mode_ == kByRect ? y_ : -1; }
    // Cut by rectangle: the size given, a side of 0 taken from the source's element size; else -1.
    void GetCutSize(int32_t* width, int32_t* height) const;
    // Null when empty.
    const WCHAR* GetSourceReference() const { return reference_.IsEmpty() ? nullptr : reference_.GetString(); }

protected:
    void Load() override;

private:
    // The `bitmap` that the reference names, looked up on each use: it is not owned.
    oxBitmapElement* FindSource() const;

    NUBO::TWString reference_;
    Mode mode_ = kNone;
    int32_t x_ = 0; // or the index
    int32_t y_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
};
