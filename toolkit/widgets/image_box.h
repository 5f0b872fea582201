#pragma once
// oxImageBox: the box of the `image` tag. It shows the picture its `src` names (a file, or "#id" for a
// bitmap resource of the scene), else the picture of its fill style, sized from the picture and the
// "aspect" keyword, mirrored in right-to-left scenes, and steps through the frames of an animated
// picture on the toolkit's timer queue, one frame per painted delay.
#include <cstdint>

#include "runtime/wide_string.h"
#include "toolkit/core/box.h"
#include "toolkit/library/bitmap_element.h"

class oxTimerEntry;
namespace NUBO {
class XStream;
}

class oxImageBox : public oxBox, private oxBitmapListener {
public:
    explicit oxImageBox(oxAtom tag);
    ~oxImageBox() override;

    oxAtom GetBoxType() const override { return kAtomImage; }
    void CloneInto(oxBox* target, bool keepBindingsIdle) override;
    void OnSceneAttached() override;
    void Arrange(oxPlacementRecord* placement) override;
    void PaintContent(oxCanvas* canvas) override;
    const WCHAR* GetAttribute(oxAtom attribute) override;
    int32_t SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) override;
    void SetChangeFlag(uint32_t mask, bool on) override;
    // An image box has no layout.
    oxLayout* GetLayout() override { return nullptr; }
    oxPoint GetIntrinsicSize() override;
    // The animation tick.
    void OnTimer(oxTimerEntry* entry) override;

    void SetSrc(const WCHAR* text);
    // Decodes the stream as the picture, in place of any source; false when no frame decoded.
    bool LoadFromStream(NUBO::XStream* stream);
    // n < 0 repeats forever; else the animation plays n + 1 times.
    void SetFramesRepeatCount(int32_t count);
    // How many times the animation plays (-1: for ever).
    int32_t GetFramesRepeatLimit() const { return repeatLimit_; }
    // The bitmap, else the fill style's picture; starts the animation timer when one is due.
    oxBitmapElement* GetPicture();
    // The picture's natural size, (0, 0) without one.
    oxPoint GetImageSize();

    const NUBO::TWString& GetSrc() const { return src_; }
    int32_t GetCurrentFrame() const { return currentFrame_; }
    int32_t GetRepeatsDone() const { return repeatsDone_; }
    bool IsAnimating() const { return timer_ != nullptr; }

private:
    void Load();
    // The bitmap resource the fill style's `icon` names, or null.
    oxBitmapElement* IconPicture();
    void DropBitmap();
    void StopTimer();
    void StartTimerIfDue(oxBitmapElement* picture);
    // The size after the "aspect" rules, from the natural size and a given size (-1: not given).
    oxPoint ApplyAspect(oxPoint natural, int32_t givenWidth, int32_t givenHeight, bool fromLayout);

    void OnBitmapChanged(oxBitmapElement* bitmap) override;
    void OnBitmapDestroyed(oxBitmapElement* bitmap) override;

    NUBO::TWString src_;
    oxBitmapElement* bitmap_ = nullptr;
    bool ownsBitmap_ = false;
    bool mirrored_ = false;
    bool reported_ = false; // a picture that would not load is reported once per source
    int32_t frameCount_ = 1;
    int32_t repeatLimit_ = -1;
    int32_t currentFrame_ = 0;
    int32_t repeatsDone_ = 0;
    // The one pending animation entry (owned by the timer queue once started).
    oxTimerEntry* timer_ = nullptr;
    NUBO::TWString repeatText_;
};

// Makes the box factory build image boxes for the `image` kind.
void oxRegisterImageBoxKind();
