#include "graphics/image/frame_list.h"

#include <new>

#include "graphics/pixels/dib_bitmap.h"

oxFrameList::~oxFrameList() {
    Clear();
}

int oxFrameList::AddFrame(oxDibBitmap* image, int32_t delay, int32_t bitDepth) {
    if (image)
        for (oxFrameEntry* e : frames)
            if (e->image == image) return 1;
    auto* entry = new (std::nothrow) oxFrameEntry{image, bitDepth, delay};
    if (!entry || !frames.PushBack(entry)) {
        delete entry;
        delete image;
        return 0;
    }
    return 1;
}

const oxFrameEntry* oxFrameList::Entry(int32_t index) const {
    const size_t i = index == -1 ? current : static_cast<size_t>(static_cast<uint32_t>(index));
    return i < frames.size() ? frames[i] : nullptr;
}

int oxFrameList::SetFrameImage(oxDibBitmap* image, int32_t index) {
    auto* entry = const_cast<oxFrameEntry*>(Entry(index));
    if (!entry) return 0;
    entry->image = image;
    return 1;
}

oxDibBitmap* oxFrameList::GetFrame(int32_t index) const {
    const oxFrameEntry* e = Entry(index);
    return e && e->image && e->image->valid ? e->image : nullptr;
}

int32_t oxFrameList::GetFrameDelay(int32_t index) const {
    const oxFrameEntry* e = Entry(index);
    if (!e || !e->image || !e->image->valid) return -1;
    const bool last = e == frames.Back();
    if (last && loopCount != -1 && loopsPlayed >= loopCount) return -1;
    return e->delay;
}

void oxFrameList::SetCurrent(uint32_t index) {
    if (index < frames.size()) current = index;
}

void oxFrameList::Advance() {
    if (frames.empty()) return;
    if (current + 1 < frames.size()) {
        ++current;
    } else if (loopCount == -1 || loopsPlayed < loopCount) {
        ++loopsPlayed;
        current = 0;
    }
}

void oxFrameList::GetCurrentFrameSize(int32_t* width, int32_t* height) const {
    const oxFrameEntry* e = Entry(-1);
    const bool has = e && e->image;
    if (width) *width = has ? e->image->width : 0;
    if (height) *height = has ? e->image->height : 0;
}

void oxFrameList::SelectLargest() {
    if (!pickLargest) return;
    int64_t best = -1;
    for (size_t i = 0; i < frames.size(); ++i) {
        const oxFrameEntry* e = frames[i];
        const int64_t area = e->image ? int64_t(e->image->width) * e->image->height : 0;
        const int64_t score = int64_t(e->bitDepth) * area;
        if (score > best) {
            best = score;
            current = uint32_t(i);
        }
    }
}

void oxFrameList::Clear() {
    for (oxFrameEntry* e : frames) {
        delete e->image;
        delete e;
    }
    frames.Clear();
    current = 0;
    loopsPlayed = 0;
}
