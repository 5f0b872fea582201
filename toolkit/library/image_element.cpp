#include "toolkit/library/image_element.h"

#include "graphics/pixels/dib_bitmap.h"
#include "toolkit/base/uri.h"
#include "toolkit/style/attribute_value.h"

namespace {

// The rectangle of `width` x `height` from (x, y), or false when it does not fit in 32 bits.
bool CutRect(int64_t x, int64_t y, int64_t width, int64_t height, RECT* out) {
    if (x + width > INT32_MAX || y + height > INT32_MAX) return false;
    *out = RECT{int32_t(x), int32_t(y), int32_t(x + width), int32_t(y + height)};
    return true;
}

} // namespace

int32_t oxImageElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    if (!value) return kElementNotHandled;
    switch (attribute) {
    case kAtomIndex:
        mode_ = kByIndex;
        x_ = ParseInt(value);
        return 0;
    case kAtomSrc:
        reference_ = value;
        reload_ = true;
        SetSrcUri(value);
        return 0;
    case kAtomX:
        mode_ = kByRect;
        x_ = ParseInt(value);
        return 0;
    case kAtomY:
        mode_ = kByRect;
        y_ = ParseInt(value);
        return 0;
    case kAtomWidth:
        mode_ = kByRect;
        width_ = ParseInt(value);
        return 0;
    case kAtomHeight:
        mode_ = kByRect;
        height_ = ParseInt(value);
        return 0;
    default:
        return oxBitmapElement::SetMarkupAttribute(ns, attribute, value);
    }
}

void oxImageElement::GetCutSize(int32_t* width, int32_t* height) const {
    *width = *height = -1;
    if (mode_ != kByRect) return;
    int32_t ew = -1, eh = -1;
    if (oxBitmapElement* source = FindSource())
        source->GetElementSize(&ew, &eh);
    else if (width_ == 0 || height_ == 0)
        return;
    *width = width_ ? width_ : ew;
    *height = height_ ? height_ : eh;
}

oxBitmapElement* oxImageElement::FindSource() const {
    if (reference_.IsEmpty()) return nullptr;
    oxUri uri(reference_.GetString());
    const oxAtom scheme = uri.GetScheme();
    const WCHAR* fragment = uri.GetFragment();
    if ((scheme != 0 && scheme != kAtomBox && scheme != kAtomEe) || !fragment || !*fragment) return nullptr;
    oxBitmapElement* source = FindReferencedBitmap(reference_.GetString());
    return source && source != this && source->GetTag() == kAtomBitmap ? source : nullptr;
}

void oxImageElement::Load() {
    reload_ = false;
    if (mode_ == kNone) return;
    oxBitmapElement* source = FindSource();
    if (!source) return;
    const oxDibBitmap* frame = source->GetFrame(-1);
    int32_t ew = -1, eh = -1;
    source->GetElementSize(&ew, &eh);
    RECT cut{};
    if (mode_ == kByIndex) {
        if (ew == -1 || eh == -1 || !CutRect(int64_t(x_) * ew, 0, ew, eh, &cut)) return;
    } else {
        if (x_ < 0 || y_ < 0) return;
        const int32_t w = width_ < 1 ? ew : width_, h = height_ < 1 ? eh : height_;
        if (w < 1 || h < 1 || !CutRect(x_, y_, w, h, &cut)) return;
    }
    SetOnlyFrame(CopyBitmap32(frame, &cut));
}
