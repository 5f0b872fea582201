#pragma once
// GIF through giflib: DGifSlurp reads every image, and each is composed onto a full-screen 32-bit
// canvas from the previous state, as its predecessor's disposal method says, so that playing the
// animation later is only a switch between finished frames. Their memory is charged to the
// decode's budget by DecodeGif before any is composed.
#include <cstdint>

#include <gif_lib.h>

class oxDibBitmap;
class oxFrameList;

class oxGifComposer {
public:
    explicit oxGifComposer(oxFrameList* list) : list_(list) {}
    ~oxGifComposer();
    oxGifComposer(const oxGifComposer&) = delete;
    oxGifComposer& operator=(const oxGifComposer&) = delete;

    // Composes every saved image into the list, which holds only this picture's frames: 1 when
    // every frame was added; else 0 with the list emptied, so that no animation is shown cut short.
    int ComposeAll(const GifFileType* gif);

    int32_t loopCount = 0; // 0 until a looping extension is seen

private:
    // Adds the frame of image i; 0 when it could not be made.
    int Compose(const GifFileType* gif, int i, int previousDisposal, int* disposal);
    void ReadLoopCount(const SavedImage& image);

    oxFrameList* list_;
    int32_t background_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t keptIndex_ = -1;                 // the last frame whose disposal was 0 or 1
    oxDibBitmap* savedBackground_ = nullptr; // for disposal 2, owned
};
