#pragma once
// The decoded frames of one picture: one for a still image, one per frame of an animated GIF, one
// per image of an icon file. The list owns its entries and their bitmaps and carries the animation
// state (current frame, loop count, loops played) that the image box and the painter step through.
#include <cstdint>

#include "runtime/ptr_vector.h"

class oxDibBitmap;

struct oxFrameEntry {
    oxDibBitmap* image = nullptr; // owned, may be null
    int32_t bitDepth = 32;        // the icon's own bit count for icon images
    int32_t delay = -1;           // milliseconds; -1 for a still image
};

class oxFrameList {
public:
    oxFrameList() = default;
    ~oxFrameList();
    oxFrameList(const oxFrameList&) = delete;
    oxFrameList& operator=(const oxFrameList&) = delete;

    // Appends an entry unless the same image is already listed. The list takes the image over: it
    // is deleted when no entry can be made for it. 1 when the image is in the list.
    int AddFrame(oxDibBitmap* image, int32_t delay, int32_t bitDepth);
    // Puts `image` in place of an entry's image (-1: the current one) without deleting the old one,
    // which a depth conversion has already consumed. 0 when the index is out of range.
    int SetFrameImage(oxDibBitmap* image, int32_t index);
    // Null when out of range, without an image or with one that is not valid.
    oxDibBitmap* GetFrame(int32_t index) const;
    // -1 when out of range, without a valid image, or at the last frame once every loop has played.
    int32_t GetFrameDelay(int32_t index) const;
    void SetCurrent(uint32_t index);
    // The next frame; past the last one, back to the first while loops remain.
    void Advance();
    void GetCurrentFrameSize(int32_t* width, int32_t* height) const;
    // For icon files: the frame with the largest bit depth x width x height becomes current.
    void SelectLargest();
    // Deletes every entry and its image; the current index and loops played go back to 0.
    void Clear();

    size_t GetFrameCount() const { return frames.size(); }
    const oxFrameEntry* Entry(int32_t index) const;

    NUBO::PtrVector<oxFrameEntry*> frames;
    int32_t loopCount = -1; // -1 for ever; n: after the first playing, n more
    int32_t loopsPlayed = 0;
    uint32_t current = 0;
    int32_t pickLargest = 0;
};
