#pragma once
// oxBitmapElement: a `bitmap` resource of a library. It names a picture file (or, by "#id", another
// bitmap it takes its frames from), decodes it on the first Prepare into a frame list that it owns,
// and may keep only a thumbnail of it. It answers the painter as an image paint element and tells
// its listeners (image boxes, not owned) when it changes and when it goes away.
#include <cstdint>

#include "runtime/ptr_vector.h"
#include "runtime/wide_string.h"
#include "toolkit/core/uri_load.h"
#include "toolkit/library/bindable_element.h"
#include "toolkit/paint/box_painter.h"

class oxDibBitmap;
class oxFrameList;
class oxStyleElement;
class oxStyleValue;
class oxBitmapElement;
namespace NUBO {
class XStream;
}

// Told of a bitmap's changes; a listener is not owned and must remove itself before it goes away.
class oxBitmapListener {
public:
    virtual void OnBitmapChanged(oxBitmapElement* bitmap) = 0;
    // The bitmap is being destroyed; it forgets the listener afterwards.
    virtual void OnBitmapDestroyed(oxBitmapElement* bitmap) = 0;

protected:
    ~oxBitmapListener() = default;
};

class oxBitmapElement : public oxBindableElement, public oxPaintElement, public oxEventTarget {
public:
    // From markup: the source comes later, so nothing loads until `src` is given.
    oxBitmapElement(oxAtom tag, oxLibrary* library);
    // From a source text (a script's bitmap): no library, loads on the first Prepare.
    explicit oxBitmapElement(const WCHAR* src);
    ~oxBitmapElement() override;

    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    // Only a bitmap whose frames came from a stream object can be copied; null otherwise.
    oxElement* Clone() override;

    // A text with a scheme, "#id", or any text of a bitmap without library is kept as it is; other
    // texts are resolved against the library's base directory. Null does nothing.
    void SetSrcUri(const WCHAR* text);
    // Decodes the stream at once; `src` is emptied. True when a frame was decoded.
    bool SetSrcObject(NUBO::XStream* stream);
    // Drops the bitmap's own style values.
    void SetStyleText(const WCHAR* text);
    // The bitmap's own style values, kept in a style element made on the first one.
    bool SetStyleValue(int propertyId, const oxStyleValue& value);
    // Empty when the bitmap has no own value of the property.
    void GetStyleValue(oxStyleValue* out, int propertyId) const;
    void SetThumbSize(int32_t width, int32_t height);
    void SetKeepSourceImage(bool keep);

    // Decodes on first use or after a change of source, and makes the thumbnail.
    void Prepare();
    // A download ended: with result 0 its stream becomes the frames (an error leaves the frames as
    // they were); the listeners hear of it either way.
    void OnLoaded(int32_t result, NUBO::XStream* stream);
    // "urlLoadComplete" of the download of a picture of another scheme.
    int32_t HandleEvent(oxEvent* event) override;
    // -1: the current frame. The thumbnail when there is one; else the frame; else the frame of the
    // bitmap that "#id" names. Null when there is none.
    oxDibBitmap* GetFrame(int32_t index);
    int32_t GetFrameDelay(int32_t index) const;
    int32_t GetFrameCount() const;
    void AdvanceFrame();
    // (0, 0) without frames; the thumbnail's size when there is one, else the current frame's.
    void GetSize(int32_t* width, int32_t* height);
    // The cell size of a strip: (-1, -1) when no element width is set.
    void GetElementSize(int32_t* width, int32_t* height) const;
    // 1 when there was a current frame to mirror.
    int MirrorCurrentFrame();
    bool HasForeignScheme() const;

    void AddListener(oxBitmapListener* listener);
    void RemoveListener(oxBitmapListener* listener);

    const NUBO::TWString& GetSrc() const { return src_; }
    const NUBO::TWString& GetStyleText() const { return styleText_; }
    bool GetKeepSourceImage() const { return keepSourceImg_; }
    int32_t GetThumbWidth() const { return thumbWidth_; }
    int32_t GetThumbHeight() const { return thumbHeight_; }
    bool HasThumbnail() const { return thumbnail_ != nullptr; }
    oxBitmapElement* GetInheritedBitmap() const { return inherited_; }

    Kind GetPaintKind() const override { return kImage; }
    const oxDibBitmap* GetImage(int frame) override { return GetFrame(frame); }
    int32_t GetAnimationDelay() override;
    void AdvanceAnimation() override { AdvanceFrame(); }

protected:
    // Reads the source: a file, or the bitmap "#id" names.
    virtual void Load();
    bool Decode(NUBO::XStream* stream);
    // The bitmap or image element that a "#id" reference names among the themes and the library.
    oxBitmapElement* FindReferencedBitmap(const WCHAR* reference) const;
    // Empties the frame list (made when missing) and makes `image` its only frame; false when there
    // is no image or no list, and the frames are then cleared.
    bool SetOnlyFrame(oxDibBitmap* image);
    void ClearFrames();
    void NotifyChanged();

    oxFrameList* frames_ = nullptr;
    bool reload_ = false;

private:
    void MakeThumbnail();
    void SetInherited(oxBitmapElement* bitmap);

    // Forgets the inherited bitmap when that goes first.
    struct InheritWatch : oxBitmapListener {
        oxBitmapElement* owner = nullptr;
        void OnBitmapChanged(oxBitmapElement*) override {}
        void OnBitmapDestroyed(oxBitmapElement*) override { owner->inherited_ = nullptr; }
    };

    void DropDownload();

    NUBO::TWString src_;
    NUBO::TWString styleText_;
    oxStyleElement* style_ = nullptr; // owned
    bool keepSourceImg_ = true;
    oxBitmapElement* inherited_ = nullptr;
    InheritWatch watch_;
    NUBO::PtrVector<oxBitmapListener*> listeners_;
    oxDibBitmap* thumbnail_ = nullptr;
    int32_t thumbWidth_ = -1;
    int32_t thumbHeight_ = -1;
    int32_t elementWidth_ = -1;
    int32_t elementHeight_ = -1;
    // Set while the frame is asked of the bitmaps this one inherits from, so a ring of "#id"
    // references ends instead of recursing without end.
    bool busy_ = false;
    // The listener of the download of a picture of another scheme while it runs (a reference held).
    oxUriLoadListener* download_ = nullptr;
};

// A 32-bit copy of `rect` of `source` (the whole of it for null), keeping its premultiplication;
// null when the rectangle does not lie inside the source or memory is short.
oxDibBitmap* CopyBitmap32(const oxDibBitmap* source, const RECT* rect);
